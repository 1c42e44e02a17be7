// IChannelService: the channels of the Windows Event Log, their settings, queries over a
// channel or an .evtx file, the values and XML of events, publishers' texts, log information,
// clearing and exporting, on a channel of the test's own where the backend can make one.
#include <algorithm>

#include "backend.h"

namespace qb::suite {
namespace {

using platform::ErrorCode;
using platform::EvtChannelConfig;
using platform::EvtSystem;
using platform::EvtValue;
using platform::Handle;
namespace err = platform::err;
namespace evtflags = platform::evtflags;
namespace evttype = platform::evttype;

constexpr std::uint32_t kFwd = evtflags::kChannelPath | evtflags::kForwardDirection;
constexpr std::uint32_t kRev = evtflags::kChannelPath | evtflags::kReverseDirection;
constexpr std::uint64_t kTime = 133500000000000000ull;
constexpr char16_t kProvider[] = u"Quillerbankton-Suite-Provider";
constexpr char16_t kProviderGuid[] = u"{5A1E7C3B-1D2F-4E6A-9B8C-0D1E2F3A4B5C}";
constexpr std::size_t kEvents = 7;

std::vector<std::byte> GuidBytes() {
  // {5A1E7C3B-1D2F-4E6A-9B8C-0D1E2F3A4B5C} as Windows lays a GUID out.
  const unsigned char b[16] = {0x3B, 0x7C, 0x1E, 0x5A, 0x2F, 0x1D, 0x6A, 0x4E,
                               0x9B, 0x8C, 0x0D, 0x1E, 0x2F, 0x3A, 0x4B, 0x5C};
  std::vector<std::byte> bytes;
  for (const unsigned char c : b) bytes.push_back(static_cast<std::byte>(c));
  return bytes;
}

// Event n (0-based): id 100 + n % 3, level 1 + n % 4, task n % 2 + 1.
std::vector<ChannelEvent> SuiteEvents() {
  std::vector<ChannelEvent> events(kEvents);
  for (std::size_t n = 0; n < kEvents; ++n) {
    ChannelEvent& e = events[n];
    e.provider = kProvider;
    e.providerGuid = GuidBytes();
    e.eventId = static_cast<std::uint16_t>(100 + n % 3);
    e.level = static_cast<std::uint8_t>(1 + n % 4);
    e.task = static_cast<std::uint16_t>(n % 2 + 1);
    e.timeCreated = kTime + n * 10'000'000ull;
    e.data = {{u"User", u"user" + std::u16string(1, static_cast<char16_t>(u'0' + n))},
              {u"Count", std::u16string(1, static_cast<char16_t>(u'0' + n))}};
  }
  return events;
}

class ChannelServiceSuite : public PlatformTest {
 protected:
  // Closes what a test opened, so a leak fails nothing else.
  struct Owned {
    platform::IChannelService& service;
    Handle handle = 0;
    ~Owned() {
      if (handle != 0) service.Close(handle);
    }
  };

  bool MakeChannel() { return backend().ChannelWithEvents(SuiteEvents(), channel_); }

  // The EventRecordIDs a query yields, in order; the query's error if it fails.
  ErrorCode Ids(std::u16string_view path, std::u16string_view query, std::uint32_t flags,
                std::vector<std::uint64_t>& ids, std::uint32_t batch = 3) {
    ids.clear();
    Owned results{channels()};
    if (const ErrorCode e = channels().Query(path, query, flags, results.handle); e != 0) return e;
    Owned context{channels()};
    EXPECT_EQ(channels().CreateRenderContext(evtflags::kRenderContextSystem, context.handle), 0u);
    std::vector<Handle> events(batch);
    for (;;) {
      std::uint32_t returned = 0;
      const ErrorCode next = channels().Next(results.handle, events, returned);
      if (next == err::kNoMoreItems) break;
      EXPECT_EQ(next, 0u);
      if (next != 0 || returned == 0) break;
      for (std::uint32_t i = 0; i < returned; ++i) {
        std::vector<EvtValue> values;
        EXPECT_EQ(channels().RenderValues(context.handle, events[i], values), 0u);
        if (values.size() > static_cast<std::size_t>(EvtSystem::kEventRecordId)) {
          ids.push_back(values[static_cast<std::size_t>(EvtSystem::kEventRecordId)].number);
        }
        EXPECT_EQ(channels().Close(events[i]), 0u);
      }
    }
    return 0;
  }

  // The first event a query yields, to render; its handle is the caller's (with `results`).
  Handle First(std::u16string_view query, Owned& results) {
    if (channels().Query(channel_, query, kFwd, results.handle) != 0) return 0;
    Handle event = 0;
    std::uint32_t returned = 0;
    if (channels().Next(results.handle, std::span(&event, 1), returned) != 0) return 0;
    return returned == 1 ? event : 0;
  }

  std::vector<std::uint64_t> AllIds(bool forward) {
    std::vector<std::uint64_t> ids(kEvents);
    for (std::size_t i = 0; i < kEvents; ++i) ids[i] = forward ? i + 1 : kEvents - i;
    return ids;
  }

  std::u16string channel_;
};

#define NEED_CHANNEL() \
  if (!MakeChannel()) GTEST_SKIP() << "the backend cannot make a channel of the test's own"

TEST_F(ChannelServiceSuite, EnumerationListsTheChannelOnceInOrder) {
  NEED_CHANNEL();
  Owned channels_{channels()};
  ASSERT_EQ(channels().OpenChannelEnum(channels_.handle), 0u);
  std::vector<std::u16string> paths;
  std::u16string path;
  ErrorCode error = 0;
  while ((error = channels().NextChannelPath(channels_.handle, path)) == 0) paths.push_back(path);
  EXPECT_EQ(error, err::kNoMoreItems);
  EXPECT_EQ(std::count(paths.begin(), paths.end(), channel_), 1);
  const auto upper = [](std::u16string s) {
    for (auto& c : s) c = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    return s;
  };
  for (std::size_t i = 1; i < paths.size(); ++i) {
    EXPECT_LE(upper(paths[i - 1]), upper(paths[i])) << U8(paths[i - 1]) << " " << U8(paths[i]);
  }
}

TEST_F(ChannelServiceSuite, ConfigPropertiesHaveTheirTypes) {
  NEED_CHANNEL();
  Owned config{channels()};
  ASSERT_EQ(channels().OpenChannelConfig(channel_, config.handle), 0u);
  const struct {
    EvtChannelConfig id;
    std::uint32_t type;
  } kCases[] = {{EvtChannelConfig::kEnabled, evttype::kBoolean},
                {EvtChannelConfig::kType, evttype::kUInt32},
                {EvtChannelConfig::kClassicEventlog, evttype::kBoolean},
                {EvtChannelConfig::kRetention, evttype::kBoolean},
                {EvtChannelConfig::kAutoBackup, evttype::kBoolean},
                {EvtChannelConfig::kMaxSize, evttype::kUInt64},
                {EvtChannelConfig::kLogFilePath, evttype::kString}};
  for (const auto& c : kCases) {
    EvtValue value;
    EXPECT_EQ(channels().GetChannelConfigProperty(config.handle, c.id, value), 0u);
    EXPECT_EQ(value.type, c.type) << "property " << static_cast<int>(c.id);
  }
  EvtValue classic, enabled, file;
  channels().GetChannelConfigProperty(config.handle, EvtChannelConfig::kClassicEventlog, classic);
  channels().GetChannelConfigProperty(config.handle, EvtChannelConfig::kEnabled, enabled);
  channels().GetChannelConfigProperty(config.handle, EvtChannelConfig::kLogFilePath, file);
  EXPECT_EQ(classic.number, 0u);
  EXPECT_EQ(enabled.number, 1u);
  EXPECT_TRUE(file.text.ends_with(u".evtx")) << U8(file.text);
}

TEST_F(ChannelServiceSuite, UnknownChannelIsNotFound) {
  Owned config{channels()};
  EXPECT_EQ(channels().OpenChannelConfig(u"Quillerbankton-No-Such/Channel", config.handle),
            err::kEvtChannelNotFound);
  Owned results{channels()};
  EXPECT_EQ(channels().Query(u"Quillerbankton-No-Such/Channel", u"*", kFwd, results.handle),
            err::kEvtChannelNotFound);
}

TEST_F(ChannelServiceSuite, SettingsAreCheckedAndSaved) {
  NEED_CHANNEL();
  {
    Owned config{channels()};
    ASSERT_EQ(channels().OpenChannelConfig(channel_, config.handle), 0u);
    EvtValue wrong;
    wrong.type = evttype::kUInt32;
    wrong.number = 1;
    EXPECT_EQ(
        channels().SetChannelConfigProperty(config.handle, EvtChannelConfig::kRetention, wrong),
        err::kEvtInvalidChannelPropertyValue);
    EvtValue size;
    size.type = evttype::kUInt64;
    size.number = 4 << 20;
    EvtValue keep;
    keep.type = evttype::kBoolean;
    keep.number = 1;
    EXPECT_EQ(channels().SetChannelConfigProperty(config.handle, EvtChannelConfig::kMaxSize, size),
              0u);
    EXPECT_EQ(
        channels().SetChannelConfigProperty(config.handle, EvtChannelConfig::kRetention, keep), 0u);
    ASSERT_EQ(channels().SaveChannelConfig(config.handle), 0u);
  }
  Owned config{channels()};
  ASSERT_EQ(channels().OpenChannelConfig(channel_, config.handle), 0u);
  EvtValue size, keep;
  channels().GetChannelConfigProperty(config.handle, EvtChannelConfig::kMaxSize, size);
  channels().GetChannelConfigProperty(config.handle, EvtChannelConfig::kRetention, keep);
  EXPECT_EQ(size.number, 4u << 20);
  EXPECT_EQ(keep.number, 1u);
}

TEST_F(ChannelServiceSuite, QueriesSelectAndOrder) {
  NEED_CHANNEL();
  const struct {
    const char16_t* query;
    std::uint32_t flags;
    std::vector<std::uint64_t> ids;
  } kCases[] = {
      {u"*", kFwd, AllIds(true)},
      {u"*", kRev, AllIds(false)},
      {u"*", evtflags::kChannelPath, AllIds(true)},
      {u"*[System[(EventRecordID=3)]]", kFwd, {3}},
      {u"*[System[(EventRecordID>=2 and EventRecordID<=4)]]", kFwd, {2, 3, 4}},
      {u"*[System[(EventRecordID>=2 and EventRecordID<=4)]]", kRev, {4, 3, 2}},
      {u"*[System[(EventRecordID=1) or (EventRecordID=6)]]", kFwd, {1, 6}},
      {u"*[System[(EventRecordID=99)]]", kFwd, {}},
      {u"*[System[Level=2]]", kFwd, {2, 6}},
      {u"*[System[(EventID=101)]]", kRev, {5, 2}},
      {u"*[System[(Level=1 or Level=3) and EventID=100]]", kFwd, {1, 7}},
  };
  for (const auto& c : kCases) {
    std::vector<std::uint64_t> ids;
    EXPECT_EQ(Ids(channel_, c.query, c.flags, ids), 0u) << U8(c.query);
    EXPECT_EQ(ids, c.ids) << U8(c.query) << " flags " << c.flags;
  }
}

TEST_F(ChannelServiceSuite, InvalidQueriesAreRefused) {
  NEED_CHANNEL();
  const char16_t* kQueries[] = {u"",
                                u"Event",
                                u"*[System[(EventRecordID=)]]",
                                u"*[System[(EventRecordID=1]]",
                                u"*[System[(EventRecordID=1)]",
                                u"*[System[(Bogus=1)]]",
                                u"*[System[(EventRecordID=1) xor (EventRecordID=2)]]"};
  for (const char16_t* query : kQueries) {
    Owned results{channels()};
    EXPECT_EQ(channels().Query(channel_, query, kFwd, results.handle), err::kEvtInvalidQuery)
        << U8(query);
  }
}

TEST_F(ChannelServiceSuite, NextDeliversBatchesThenNoMoreItems) {
  NEED_CHANNEL();
  Owned results{channels()};
  ASSERT_EQ(channels().Query(channel_, u"*", kFwd, results.handle), 0u);
  std::vector<Handle> events(3);
  std::vector<std::uint32_t> sizes;
  std::uint32_t returned = 0;
  while (channels().Next(results.handle, events, returned) == 0) {
    sizes.push_back(returned);
    for (std::uint32_t i = 0; i < returned; ++i) channels().Close(events[i]);
  }
  EXPECT_EQ(sizes, (std::vector<std::uint32_t>{3, 3, 1}));
  EXPECT_EQ(channels().Next(results.handle, events, returned), err::kNoMoreItems);
  EXPECT_EQ(returned, 0u);
}

TEST_F(ChannelServiceSuite, RenderSystemValues) {
  NEED_CHANNEL();
  Owned results{channels()};
  Owned event{channels(), First(u"*[System[(EventRecordID=3)]]", results)};
  ASSERT_NE(event.handle, 0u);
  Owned context{channels()};
  ASSERT_EQ(channels().CreateRenderContext(evtflags::kRenderContextSystem, context.handle), 0u);
  std::vector<EvtValue> values;
  ASSERT_EQ(channels().RenderValues(context.handle, event.handle, values), 0u);
  ASSERT_EQ(values.size(), static_cast<std::size_t>(EvtSystem::kCount));
  const auto at = [&](EvtSystem id) { return values[static_cast<std::size_t>(id)]; };
  const ChannelEvent expected = SuiteEvents()[2];
  EXPECT_EQ(at(EvtSystem::kProviderName).type, evttype::kString);
  EXPECT_EQ(at(EvtSystem::kProviderName).text, kProvider);
  EXPECT_EQ(at(EvtSystem::kProviderGuid).type, evttype::kGuid);
  EXPECT_EQ(at(EvtSystem::kProviderGuid).bytes, GuidBytes());
  EXPECT_EQ(at(EvtSystem::kEventId).type, evttype::kUInt16);
  EXPECT_EQ(at(EvtSystem::kEventId).number, expected.eventId);
  EXPECT_EQ(at(EvtSystem::kQualifiers).type, evttype::kNull);
  EXPECT_EQ(at(EvtSystem::kLevel).type, evttype::kByte);
  EXPECT_EQ(at(EvtSystem::kLevel).number, expected.level);
  EXPECT_EQ(at(EvtSystem::kTask).number, expected.task);
  EXPECT_EQ(at(EvtSystem::kKeywords).type, evttype::kHexInt64);
  EXPECT_EQ(at(EvtSystem::kKeywords).number, expected.keywords);
  EXPECT_EQ(at(EvtSystem::kTimeCreated).type, evttype::kFileTime);
  EXPECT_EQ(at(EvtSystem::kTimeCreated).number, expected.timeCreated);
  EXPECT_EQ(at(EvtSystem::kEventRecordId).type, evttype::kUInt64);
  EXPECT_EQ(at(EvtSystem::kEventRecordId).number, 3u);
  EXPECT_EQ(at(EvtSystem::kChannel).text, channel_);
  EXPECT_EQ(at(EvtSystem::kUserId).type, evttype::kNull);
}

TEST_F(ChannelServiceSuite, RenderUserValuesAndXml) {
  NEED_CHANNEL();
  Owned results{channels()};
  Owned event{channels(), First(u"*[System[(EventRecordID=4)]]", results)};
  ASSERT_NE(event.handle, 0u);
  Owned context{channels()};
  ASSERT_EQ(channels().CreateRenderContext(evtflags::kRenderContextUser, context.handle), 0u);
  std::vector<EvtValue> values;
  ASSERT_EQ(channels().RenderValues(context.handle, event.handle, values), 0u);
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].type, evttype::kString);
  EXPECT_EQ(values[0].text, u"user3");
  EXPECT_EQ(values[1].text, u"3");

  std::u16string xml;
  ASSERT_EQ(channels().RenderXml(event.handle, xml), 0u);
  EXPECT_TRUE(xml.starts_with(
      u"<Event xmlns='http://schemas.microsoft.com/win/2004/08/events/event'><System>"))
      << U8(xml);
  EXPECT_NE(xml.find(u"<EventRecordID>4</EventRecordID>"), std::u16string::npos) << U8(xml);
  EXPECT_NE(xml.find(u"<Data Name='User'>user3</Data>"), std::u16string::npos) << U8(xml);
  EXPECT_EQ(xml.find(u'\n'), std::u16string::npos);
  EXPECT_EQ(xml.find(u"> <"), std::u16string::npos);
  EXPECT_TRUE(xml.ends_with(u"</Event>")) << U8(xml);
}

TEST_F(ChannelServiceSuite, ReadingAFileByPath) {
  NEED_CHANNEL();
  const std::u16string copy = backend().ScratchFolder() + u"\\copy.evtx";
  ASSERT_EQ(channels().ExportLog(channel_, u"*", copy, evtflags::kChannelPath), 0u);
  std::vector<std::uint64_t> ids;
  EXPECT_EQ(Ids(copy, u"*", evtflags::kFilePath | evtflags::kReverseDirection, ids), 0u);
  EXPECT_EQ(ids, AllIds(false));
  EXPECT_EQ(Ids(backend().ScratchFolder() + u"\\none.evtx", u"*", evtflags::kFilePath, ids),
            err::kFileNotFound);
}

TEST_F(ChannelServiceSuite, ExportSelectsAndNeverReplaces) {
  NEED_CHANNEL();
  const std::u16string target = backend().ScratchFolder() + u"\\part.evtx";
  ASSERT_EQ(channels().ExportLog(channel_, u"*[System[(EventRecordID>=5)]]", target,
                                 evtflags::kChannelPath),
            0u);
  std::vector<std::uint64_t> ids;
  EXPECT_EQ(Ids(target, u"*", evtflags::kFilePath, ids), 0u);
  EXPECT_EQ(ids, (std::vector<std::uint64_t>{5, 6, 7}));
  EXPECT_EQ(channels().ExportLog(channel_, u"*", target, evtflags::kChannelPath),
            err::kAlreadyExists);
  EXPECT_EQ(Ids(target, u"*", evtflags::kFilePath, ids), 0u);
  EXPECT_EQ(ids.size(), 3u) << "the existing file was replaced";
}

TEST_F(ChannelServiceSuite, LogInformation) {
  NEED_CHANNEL();
  Owned log{channels()};
  ASSERT_EQ(channels().OpenLog(channel_, evtflags::kChannelPath, log.handle), 0u);
  const struct {
    platform::EvtLogProperty id;
    std::uint32_t type;
    std::optional<std::uint64_t> number;
  } kCases[] = {{platform::EvtLogProperty::kNumberOfLogRecords, evttype::kUInt64, kEvents},
                {platform::EvtLogProperty::kOldestRecordNumber, evttype::kUInt64, 1},
                {platform::EvtLogProperty::kFull, evttype::kBoolean, 0},
                {platform::EvtLogProperty::kFileSize, evttype::kUInt64, std::nullopt}};
  for (const auto& c : kCases) {
    EvtValue value;
    EXPECT_EQ(channels().GetLogInfo(log.handle, c.id, value), 0u);
    EXPECT_EQ(value.type, c.type) << static_cast<int>(c.id);
    if (c.number) {
      EXPECT_EQ(value.number, *c.number) << static_cast<int>(c.id);
    }
  }
  EvtValue size;
  channels().GetLogInfo(log.handle, platform::EvtLogProperty::kFileSize, size);
  EXPECT_GE(size.number, 0x11000u) << "a header block and a chunk at least";
}

TEST_F(ChannelServiceSuite, ClearWithAndWithoutBackup) {
  const struct { bool backup; } kCases[] = {{false}, {true}};
  for (const auto& c : kCases) {
    NEED_CHANNEL();
    const std::u16string backup =
        c.backup ? backend().ScratchFolder() + u"\\cleared.evtx" : std::u16string();
    ASSERT_EQ(channels().ClearLog(channel_, backup), 0u);
    std::vector<std::uint64_t> ids;
    EXPECT_EQ(Ids(channel_, u"*", kFwd, ids), 0u);
    EXPECT_TRUE(ids.empty());
    Owned log{channels()};
    ASSERT_EQ(channels().OpenLog(channel_, evtflags::kChannelPath, log.handle), 0u);
    EvtValue count;
    EXPECT_EQ(
        channels().GetLogInfo(log.handle, platform::EvtLogProperty::kNumberOfLogRecords, count),
        0u);
    EXPECT_EQ(count.number, 0u);
    if (c.backup) {
      EXPECT_EQ(Ids(backup, u"*", evtflags::kFilePath, ids), 0u);
      EXPECT_EQ(ids, AllIds(true));
    }
  }
}

TEST_F(ChannelServiceSuite, ClearKeepsEventsWhenTheBackupExists) {
  NEED_CHANNEL();
  const std::u16string backup = backend().ScratchFolder() + u"\\taken.evtx";
  ASSERT_EQ(system().WriteFile(backup, platform::Bytes(16)), 0u);
  EXPECT_EQ(channels().ClearLog(channel_, backup), err::kAlreadyExists);
  std::vector<std::uint64_t> ids;
  EXPECT_EQ(Ids(channel_, u"*", kFwd, ids), 0u);
  EXPECT_EQ(ids, AllIds(true));
}

TEST_F(ChannelServiceSuite, StandardUserMayNotClearOrSave) {
  NEED_CHANNEL();
  if (!backend().AsStandardUser()) GTEST_SKIP() << "the backend cannot drop its rights";
  EXPECT_EQ(channels().ClearLog(channel_, u""), err::kAccessDenied);
  Owned config{channels()};
  ASSERT_EQ(channels().OpenChannelConfig(channel_, config.handle), 0u);
  EXPECT_EQ(channels().SaveChannelConfig(config.handle), err::kAccessDenied);
  std::vector<std::uint64_t> ids;
  EXPECT_EQ(Ids(channel_, u"*", kFwd, ids), 0u);
  EXPECT_EQ(ids, AllIds(true));
}

TEST_F(ChannelServiceSuite, ClosingABadHandleFails) {
  EXPECT_EQ(channels().Close(0x12345670), err::kInvalidHandle);
  Handle context = 0;
  ASSERT_EQ(channels().CreateRenderContext(evtflags::kRenderContextSystem, context), 0u);
  EXPECT_EQ(channels().Close(context), 0u);
  EXPECT_EQ(channels().Close(context), err::kInvalidHandle);
}

// --- publishers' texts ---

class ChannelFormatSuite : public ChannelServiceSuite {
 protected:
  bool MakePublisher(bool split) {
    PublisherDesc desc;
    desc.name = kProvider;
    desc.guid = kProviderGuid;
    desc.events = {{100, 1, 1, u"User %1 counted %2 items.", {u"User", u"Count"}},
                   {101, 2, 2, u"Needs %3 of %1, see %%7.", {u"User", u"Count"}},
                   {102, 3, 1, u"", {u"User", u"Count"}}};
    desc.tasks = {{1, u"Counting"}, {2, u"Checking"}};
    desc.levels = {{1, u"Critical"}, {2, u"Error"}, {3, u"Warning"}};
    desc.parameters = {{7, u"the manual"}};
    desc.split = split;
    return backend().ManifestPublisher(desc);
  }

  ErrorCode Format(std::uint64_t recordId, std::uint32_t flags, std::u16string& text) {
    Owned metadata{channels()};
    if (const ErrorCode e = channels().OpenPublisherMetadata(kProvider, metadata.handle); e != 0) {
      return e;
    }
    Owned results{channels()};
    const std::u16string query = u"*[System[(EventRecordID=" +
                                 std::u16string(1, static_cast<char16_t>(u'0' + recordId)) + u")]]";
    Owned event{channels(), First(query, results)};
    EXPECT_NE(event.handle, 0u);
    return channels().FormatMessage(metadata.handle, event.handle, flags, text);
  }
};

// Each on a machine of its own: a module once loaded stays as it was loaded.
class ManifestTexts : public ChannelFormatSuite, public ::testing::WithParamInterface<bool> {};

TEST_P(ManifestTexts, OfEventsTasksAndLevels) {
  const bool split = GetParam();
  NEED_CHANNEL();
  if (!MakePublisher(split)) GTEST_SKIP() << "the backend cannot register a publisher";
  const struct {
    std::uint64_t record;
    std::uint32_t flags;
    ErrorCode error;
    std::u16string text;
  } kCases[] = {
      {1, evtflags::kFormatEvent, 0, u"User user0 counted 0 items.\r\n"},
      {4, evtflags::kFormatEvent, 0, u"User user3 counted 3 items.\r\n"},
      {1, evtflags::kFormatTask, 0, u"Counting"},
      {2, evtflags::kFormatTask, 0, u"Checking"},
      {2, evtflags::kFormatLevel, 0, u"Error"},
      // %3 names no value: the text comes with what could not be replaced left in.
      {2, evtflags::kFormatEvent, err::kEvtUnresolvedValueInsert,
       u"Needs %3 of user1, see the manual.\r\n"},
      {3, evtflags::kFormatEvent, err::kEvtMessageIdNotFound, u""},
  };
  for (const auto& c : kCases) {
    std::u16string text;
    EXPECT_EQ(Format(c.record, c.flags, text), c.error)
        << "record " << c.record << " flags " << c.flags;
    if (c.error == 0 || !c.text.empty()) {
      EXPECT_EQ(text, c.text) << U8(text);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ChannelFormatSuite, ManifestTexts, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "LanguageFile" : "InModule"; });

TEST_F(ChannelFormatSuite, UnknownPublisherHasNoMetadata) {
  Owned metadata{channels()};
  const ErrorCode error =
      channels().OpenPublisherMetadata(u"Quillerbankton-No-Such-Publisher", metadata.handle);
  EXPECT_TRUE(error == err::kFileNotFound || error == err::kEvtPublisherMetadataNotFound) << error;
}

TEST_F(ChannelFormatSuite, ClassicSourceTextsByFullId) {
  constexpr char16_t kSource[] = u"Quillerbankton Suite Classic";
  if (!backend().ClassicSource(u"Application", kSource, {{0x40000064, u"Classic %1 of %2.\r\n"}})) {
    GTEST_SKIP() << "the backend cannot register an event source";
  }
  std::vector<ChannelEvent> events(1);
  events[0].provider = kSource;
  events[0].eventId = 100;
  events[0].qualifiers = 0x4000;
  events[0].data = {{u"", u"one"}, {u"", u"two"}};
  if (!backend().ChannelWithEvents(events, channel_)) GTEST_SKIP() << "no channel";
  Owned metadata{channels()};
  ASSERT_EQ(channels().OpenPublisherMetadata(kSource, metadata.handle), 0u);
  Owned results{channels()};
  Owned event{channels(), First(u"*", results)};
  ASSERT_NE(event.handle, 0u);
  std::u16string text;
  EXPECT_EQ(channels().FormatMessage(metadata.handle, event.handle, evtflags::kFormatEvent, text),
            0u);
  EXPECT_EQ(text, u"Classic one of two.\r\n");
  EXPECT_EQ(channels().FormatMessage(metadata.handle, event.handle, evtflags::kFormatLevel, text),
            0u);
  EXPECT_EQ(text, u"Information");
}

}  // namespace
}  // namespace qb::suite
