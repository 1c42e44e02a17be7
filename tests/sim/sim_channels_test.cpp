// The simulated Windows Event Log beyond what the platform suite can ask of both backends:
// where channels and their files come from, classic logs, damaged and real files, language
// files, a Windows without the service, the counters and faults tests of the core use, and
// concurrent callers.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "evtx_fixture.h"
#include "platform/sim/services/channel_config.h"
#include "support/channel_fixture.h"
#include "support/sim_fixture.h"

namespace qb::sim {
namespace {

using platform::ErrorCode;
using platform::EvtChannelConfig;
using platform::EvtValue;
using platform::Handle;
namespace err = platform::err;
namespace evtflags = platform::evtflags;

constexpr std::uint32_t kFwd = evtflags::kChannelPath | evtflags::kForwardDirection;
constexpr std::uint32_t kRev = evtflags::kChannelPath | evtflags::kReverseDirection;

class SimChannelsTest : public support::SimTest {
 protected:
  // As every Windows since Vista has it.
  SimChannelsTest() { registry().CreateKey(kWinevtChannelsKey); }

  SimChannelService& service() { return machine().channels(); }

  void Channel(std::u16string name, std::size_t events, std::u16string provider = u"Gen") {
    support::ChannelFields form;
    form.name = name;
    support::AddChannel(machine(), form);
    if (events > 0) {
      support::WriteChannelFile(machine(), name, support::GeneratedEvents(name, provider, events));
    }
  }

  // Record ids a query yields, all in one walk; the error of the query or of Next.
  ErrorCode Walk(std::u16string_view path, std::u16string_view query, std::uint32_t flags,
                 std::vector<std::uint64_t>& ids, bool renderAll = false) {
    ids.clear();
    Handle results = 0;
    if (const ErrorCode e = service().Query(path, query, flags, results); e != 0) return e;
    Handle system = 0, user = 0;
    service().CreateRenderContext(evtflags::kRenderContextSystem, system);
    service().CreateRenderContext(evtflags::kRenderContextUser, user);
    Handle events[16];
    std::uint32_t returned = 0;
    ErrorCode next = 0;
    while ((next = service().Next(results, events, returned)) == 0) {
      for (std::uint32_t i = 0; i < returned; ++i) {
        std::vector<EvtValue> values;
        EXPECT_EQ(service().RenderValues(system, events[i], values), 0u);
        ids.push_back(values[static_cast<std::size_t>(platform::EvtSystem::kEventRecordId)].number);
        if (renderAll) {
          std::u16string xml;
          // A record whose XML cannot be rendered fails alone; the walk goes on.
          if (service().RenderXml(events[i], xml) == 0) {
            EXPECT_TRUE(xml.starts_with(u"<"));
          }
          service().RenderValues(user, events[i], values);
        }
        service().Close(events[i]);
      }
    }
    service().Close(system);
    service().Close(user);
    service().Close(results);
    return next == err::kNoMoreItems ? 0 : next;
  }
};

TEST_F(SimChannelsTest, WithoutTheServiceEveryCallFails) {
  Channel(u"Old/Operational", 3);
  files().SetOsMajorVersion(5);
  Handle h = 0;
  std::u16string text;
  EvtValue value;
  std::vector<EvtValue> values;
  std::uint32_t returned = 0;
  const std::vector<std::pair<const char*, ErrorCode>> calls = {
      {"OpenChannelEnum", service().OpenChannelEnum(h)},
      {"NextChannelPath", service().NextChannelPath(h, text)},
      {"OpenChannelConfig", service().OpenChannelConfig(u"Old/Operational", h)},
      {"GetChannelConfigProperty",
       service().GetChannelConfigProperty(h, EvtChannelConfig::kEnabled, value)},
      {"SaveChannelConfig", service().SaveChannelConfig(h)},
      {"Query", service().Query(u"Old/Operational", u"*", kFwd, h)},
      {"Next", service().Next(h, std::span(&h, 1), returned)},
      {"CreateRenderContext", service().CreateRenderContext(evtflags::kRenderContextSystem, h)},
      {"RenderValues", service().RenderValues(h, h, values)},
      {"RenderXml", service().RenderXml(h, text)},
      {"OpenPublisherMetadata", service().OpenPublisherMetadata(u"Gen", h)},
      {"FormatMessage", service().FormatMessage(h, h, evtflags::kFormatEvent, text)},
      {"OpenLog", service().OpenLog(u"Old/Operational", evtflags::kChannelPath, h)},
      {"GetLogInfo", service().GetLogInfo(h, platform::EvtLogProperty::kFileSize, value)},
      {"ClearLog", service().ClearLog(u"Old/Operational", u"")},
      {"ExportLog",
       service().ExportLog(u"Old/Operational", u"*", u"C:\\Temp\\x.evtx", evtflags::kChannelPath)},
      {"Close", service().Close(h)}};
  for (const auto& [name, error] : calls) EXPECT_EQ(error, err::kModNotFound) << name;
  EXPECT_FALSE(files().FileExists(u"C:\\Temp\\x.evtx"));
}

TEST_F(SimChannelsTest, AMachineDescribedWithoutTheEventLogHasOnlyClassicLogs) {
  support::ChannelFields classic;
  classic.name = u"Application";
  classic.classic = true;
  support::AddChannel(machine(), classic);
  Handle h = 0;
  ASSERT_EQ(service().OpenChannelEnum(h), 0u);
  EXPECT_EQ(service().Close(h), 0u);
  registry().DeleteTree(platform::RegRoot::kLocalMachine,
                        u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT");
  EXPECT_EQ(service().OpenChannelEnum(h), err::kModNotFound);
  EXPECT_EQ(service().OpenChannelConfig(u"Application", h), err::kModNotFound);
  EXPECT_EQ(service().Query(u"Application", u"*", kFwd, h), err::kModNotFound);
  EXPECT_EQ(service().OpenLog(u"Application", evtflags::kChannelPath, h), err::kModNotFound);
  EXPECT_EQ(service().OpenHandleCount(), 0u);
}

TEST_F(SimChannelsTest, ChannelsAndClassicLogsInRegistryOrder) {
  Channel(u"b-Channel/Operational", 0);
  Channel(u"Application", 0);
  support::ChannelFields classic;
  classic.name = u"Application";
  classic.classic = true;
  support::AddChannel(machine(), classic);
  classic.name = u"Custom Log";
  support::AddChannel(machine(), classic);
  Channel(u"A-Channel/Admin", 0);
  Handle channels = 0;
  ASSERT_EQ(service().OpenChannelEnum(channels), 0u);
  std::vector<std::u16string> names;
  std::u16string name;
  while (service().NextChannelPath(channels, name) == 0) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"A-Channel/Admin", u"Application",
                                                u"b-Channel/Operational", u"Custom Log"}));
  EXPECT_EQ(service().Close(channels), 0u);
}

TEST_F(SimChannelsTest, WhereAChannelKeepsItsEvents) {
  support::ChannelFields own;
  own.name = u"Vendor-App/Operational";
  support::AddChannel(machine(), own);
  support::ChannelFields moved = own;
  moved.name = u"Moved";
  moved.file = u"%SystemDrive%\\Logs\\moved.evtx";
  support::AddChannel(machine(), moved);
  support::ChannelFields classic;
  classic.name = u"Old Style";
  classic.classic = true;
  classic.file = u"%SystemRoot%\\System32\\config\\OldStyle.evt";
  support::AddChannel(machine(), classic);
  const struct {
    const char16_t* channel;
    const char16_t* file;
  } kCases[] = {{u"Vendor-App/Operational",
                 u"%SystemRoot%\\System32\\Winevt\\Logs\\Vendor-App%4Operational.evtx"},
                {u"Moved", u"%SystemDrive%\\Logs\\moved.evtx"},
                {u"Old Style", u"%SystemRoot%\\System32\\config\\OldStyle.evt"}};
  for (const auto& c : kCases) {
    Handle config = 0;
    ASSERT_EQ(service().OpenChannelConfig(c.channel, config), 0u);
    EvtValue file;
    EXPECT_EQ(service().GetChannelConfigProperty(config, EvtChannelConfig::kLogFilePath, file), 0u);
    EXPECT_EQ(file.text, c.file) << support::U8(c.channel);
    service().Close(config);
  }
  EXPECT_EQ(support::ChannelFilePath(machine(), u"Moved"), u"C:\\Logs\\moved.evtx");
  // A file not written yet, and an .evt file, hold no events; the channels are there.
  files().AddFile(u"C:\\Windows\\System32\\config\\OldStyle.evt", std::string_view("LfLe"));
  for (const char16_t* channel : {u"Vendor-App/Operational", u"Old Style"}) {
    std::vector<std::uint64_t> ids;
    EXPECT_EQ(Walk(channel, u"*", kFwd, ids), 0u) << support::U8(channel);
    EXPECT_TRUE(ids.empty());
    Handle log = 0;
    ASSERT_EQ(service().OpenLog(channel, evtflags::kChannelPath, log), 0u);
    EvtValue count;
    EXPECT_EQ(service().GetLogInfo(log, platform::EvtLogProperty::kNumberOfLogRecords, count), 0u);
    EXPECT_EQ(count.number, 0u);
    service().Close(log);
  }
  EXPECT_EQ(service().OpenHandleCount(), 0u);
}

TEST_F(SimChannelsTest, ClassicLogSettingsLiveInItsEventLogKey) {
  support::ChannelFields classic;
  classic.name = u"Old Style";
  classic.classic = true;
  classic.maxSize = 0x80000;
  support::AddChannel(machine(), classic);
  Handle config = 0;
  ASSERT_EQ(service().OpenChannelConfig(u"old style", config), 0u);
  EvtValue value;
  service().GetChannelConfigProperty(config, EvtChannelConfig::kClassicEventlog, value);
  EXPECT_EQ(value.number, 1u);
  service().GetChannelConfigProperty(config, EvtChannelConfig::kMaxSize, value);
  EXPECT_EQ(value.number, 0x80000u);
  value = {};
  value.type = platform::evttype::kBoolean;
  value.number = 1;
  ASSERT_EQ(service().SetChannelConfigProperty(config, EvtChannelConfig::kRetention, value), 0u);
  ASSERT_EQ(service().SetChannelConfigProperty(config, EvtChannelConfig::kAutoBackup, value), 0u);
  ASSERT_EQ(service().SaveChannelConfig(config), 0u);
  service().Close(config);
  const std::u16string key = std::u16string(kClassicLogsKey) + u"\\Old Style";
  EXPECT_EQ(registry().GetDword(key, u"Retention"), 0xFFFFFFFFu);
  EXPECT_EQ(registry().GetDword(key, u"AutoBackupLogFiles"), 1u);
}

TEST_F(SimChannelsTest, SecurityTakesAnAdministrator) {
  support::ChannelFields security;
  security.name = u"Security";
  security.classic = true;
  support::AddChannel(machine(), security);
  support::WriteChannelFile(machine(), u"Security", support::GeneratedEvents(u"Security", u"S", 2));
  std::vector<std::uint64_t> ids;
  EXPECT_EQ(Walk(u"Security", u"*", kFwd, ids), 0u);
  EXPECT_EQ(ids.size(), 2u);
  support::MakeStandardUser(machine());
  EXPECT_EQ(Walk(u"Security", u"*", kFwd, ids), err::kAccessDenied);
}

TEST_F(SimChannelsTest, DamagedChunksAndLeftoverRecordsAreNoEvents) {
  Channel(u"Hurt/Operational", 0);
  EvtxWriterOptions options;
  options.badDataCrcChunks = {1};
  options.staleCopies = true;
  const auto events = support::GeneratedEvents(u"Hurt/Operational", u"Gen", 1500);
  support::WriteChannelFile(machine(), u"Hurt/Operational", events, options);
  std::vector<std::uint64_t> forward, reverse;
  ASSERT_EQ(Walk(u"Hurt/Operational", u"*", kFwd, forward), 0u);
  ASSERT_EQ(Walk(u"Hurt/Operational", u"*", kRev, reverse), 0u);
  std::reverse(reverse.begin(), reverse.end());
  EXPECT_EQ(forward, reverse);
  ASSERT_FALSE(forward.empty());
  EXPECT_LT(forward.size(), events.size()) << "the damaged chunk's events were read";
  // Every id once, ascending: no leftover copy came back as an event.
  EXPECT_TRUE(std::is_sorted(forward.begin(), forward.end()));
  EXPECT_EQ(std::adjacent_find(forward.begin(), forward.end()), forward.end());
  EXPECT_EQ(forward.front(), 1u);
  EXPECT_EQ(forward.back(), events.size());
}

TEST_F(SimChannelsTest, RealFilesAreReadAsFarAsTheyGo) {
  QB_NEED_SAMPLES();
  std::size_t files_read = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(evtxtest::kSamples)) {
    if (entry.path().extension() != ".evtx") continue;
    const std::u16string path = u"C:\\Samples\\" + FromUtf8(entry.path().filename().string());
    files().AddHostFile(path, entry.path());
    std::vector<std::uint64_t> forward, reverse;
    const ErrorCode error = Walk(path, u"*", evtflags::kFilePath, forward, true);
    if (error == err::kEventlogFileCorrupt) continue;  // not a log at all
    ASSERT_EQ(error, 0u) << entry.path();
    ASSERT_EQ(Walk(path, u"*", evtflags::kFilePath | evtflags::kReverseDirection, reverse), 0u);
    std::reverse(reverse.begin(), reverse.end());
    EXPECT_EQ(forward, reverse) << entry.path();
    Handle log = 0;
    ASSERT_EQ(service().OpenLog(path, evtflags::kFilePath, log), 0u) << entry.path();
    EvtValue count;
    service().GetLogInfo(log, platform::EvtLogProperty::kNumberOfLogRecords, count);
    service().Close(log);
    // The chunk headers may count records of chunks that turn out damaged, never fewer.
    EXPECT_GE(count.number, forward.size()) << entry.path();
    ++files_read;
  }
  EXPECT_GT(files_read, 10u);
  EXPECT_EQ(service().OpenHandleCount(), 0u);
}

TEST_F(SimChannelsTest, TextsWithParametersKeywordsAndLanguageFiles) {
  Channel(u"Texts/Operational", 0);
  support::ManifestPublisher publisher;
  publisher.name = u"Texts-Provider";
  publisher.guid = *WevtGuid::Parse(u"{11112222-3333-4444-5555-666677778888}");
  publisher.resourceFile = u"C:\\Windows\\System32\\textsprov.dll";
  publisher.split = true;
  publisher.events = {{7, 0, 4, 0, 0x1, u"Value %1 means %%42.", {u"V"}}};
  publisher.keywords = {{0x1, u"First Keyword"}};
  publisher.parameters = {{42, u"forty-two"}};
  support::AddManifestPublisher(machine(), publisher);
  WindowsEventFields form;
  form.provider = publisher.name;
  form.eventId = 7;
  form.keywords = 0x0020000000000001ull;
  form.recordId = 1;
  form.data = {{u"V", EvtxValue::String(u"x")}};
  support::WriteChannelFile(machine(), u"Texts/Operational", std::vector{form});

  Handle metadata = 0, results = 0, event = 0;
  std::uint32_t returned = 0;
  ASSERT_EQ(service().OpenPublisherMetadata(u"texts-provider", metadata), 0u);
  ASSERT_EQ(service().Query(u"Texts/Operational", u"*", kFwd, results), 0u);
  ASSERT_EQ(service().Next(results, std::span(&event, 1), returned), 0u);
  std::u16string text;
  EXPECT_EQ(service().FormatMessage(metadata, event, evtflags::kFormatEvent, text), 0u);
  EXPECT_EQ(text, u"Value x means forty-two.\r\n");
  EXPECT_EQ(service().FormatMessage(metadata, event, evtflags::kFormatKeyword, text), 0u);
  EXPECT_EQ(text, std::u16string(u"First Keyword\0Audit Success\0", 28));
  EXPECT_EQ(service().FormatMessage(metadata, event, evtflags::kFormatLevel, text), 0u);
  EXPECT_EQ(text, u"Information");

  // Without its language file the module has no texts of its own.
  EXPECT_TRUE(files().RemoveFile(u"C:\\Windows\\System32\\en-US\\textsprov.dll.mui"));
  Handle fresh = 0;
  machine().modules().SetLoadFails(u"C:\\Windows\\System32\\en-US\\textsprov.dll.mui",
                                   err::kFileNotFound);
  ASSERT_EQ(service().OpenPublisherMetadata(u"Texts-Provider", fresh), 0u);
  EXPECT_EQ(service().FormatMessage(fresh, event, evtflags::kFormatEvent, text),
            err::kMuiFileNotFound);
  EXPECT_TRUE(text.empty());
  for (const Handle h : {metadata, fresh, event, results}) EXPECT_EQ(service().Close(h), 0u);
}

TEST_F(SimChannelsTest, CountersAndFaultsForTestsOfTheCore) {
  Channel(u"Counted/Operational", 5);
  support::ClassicSource source;
  source.log = u"Application";
  source.name = u"Gen";
  source.eventFile = u"C:\\Windows\\System32\\gen.dll";
  source.messages = {{100, u"Hundred.\r\n"}};
  support::AddClassicSource(machine(), source);
  std::vector<std::uint64_t> ids;
  ASSERT_EQ(Walk(u"Counted/Operational", u"*", kFwd, ids), 0u);
  EXPECT_EQ(service().QueryCallCount(), 1u);
  EXPECT_EQ(service().NextCallCount(), 2u);  // one batch and the end
  EXPECT_EQ(service().RenderCallCount(), 5u);

  service().SetQueryFails(err::kAccessDenied);
  EXPECT_EQ(Walk(u"Counted/Operational", u"*", kFwd, ids), err::kAccessDenied);
  service().SetQueryFails(0);
  EXPECT_EQ(Walk(u"Counted/Operational", u"*", kFwd, ids), 0u);

  Handle metadata = 0, results = 0, event = 0;
  std::uint32_t returned = 0;
  ASSERT_EQ(service().OpenPublisherMetadata(u"Gen", metadata), 0u);
  ASSERT_EQ(service().Query(u"Counted/Operational", u"*", kFwd, results), 0u);
  ASSERT_EQ(service().Next(results, std::span(&event, 1), returned), 0u);
  std::u16string text;
  EXPECT_EQ(service().FormatMessage(metadata, event, evtflags::kFormatEvent, text), 0u);
  EXPECT_EQ(text, u"Hundred.\r\n");
  service().SetFormatFails(err::kEvtMessageLocaleNotFound);
  EXPECT_EQ(service().FormatMessage(metadata, event, evtflags::kFormatEvent, text),
            err::kEvtMessageLocaleNotFound);
  EXPECT_EQ(service().FormatCallCount(), 2u);
  EXPECT_EQ(service().OpenHandleCount(), 3u);
  for (const Handle h : {metadata, event, results}) service().Close(h);
  EXPECT_EQ(service().OpenHandleCount(), 0u);
}

TEST_F(SimChannelsTest, ConcurrentReadersEachSeeEveryEvent) {
  Channel(u"Busy/Operational", 3000);
  std::vector<std::vector<std::uint64_t>> seen(4);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < seen.size(); ++t) {
    threads.emplace_back(
        [&, t] { Walk(u"Busy/Operational", u"*", t % 2 ? kRev : kFwd, seen[t], true); });
  }
  for (auto& thread : threads) thread.join();
  for (std::size_t t = 0; t < seen.size(); ++t) {
    EXPECT_EQ(seen[t].size(), 3000u) << "thread " << t;
  }
  EXPECT_EQ(service().OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace qb::sim
