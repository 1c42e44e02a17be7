// The sample machine: samplegen's description format, and the committed sample (description,
// registry export, machine.ini) as one consistent machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>

#include "description.h"
#include "generator.h"
#include "localization/ini_file.h"
#include "platform/sim/formats/event_record.h"
#include "platform/sim/formats/evt_file.h"
#include "platform/sim/services/accounts.h"
#include "platform/sim/services/registry.h"
#include "samples/sample_files.h"
#include "util/text.h"

namespace qb::samplegen {
namespace {

namespace fs = std::filesystem;
using platform::Bytes;

const std::u16string kEventLogKey = u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\";

Bytes ReadFile(const fs::path& path) {
  const std::string text = ReadText(path);
  Bytes bytes(text.size());
  std::transform(text.begin(), text.end(), bytes.begin(),
                 [](char c) { return static_cast<std::byte>(c); });
  return bytes;
}

// A fresh folder under the system's temporary folder, removed again at the end.
class TempFolder {
 public:
  TempFolder() {
    std::random_device seed;
    path_ = fs::temp_directory_path() / ("qb-samplegen-" + std::to_string(seed()));
    fs::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

Description Parse(std::string_view text) {
  std::string error;
  auto description = ParseDescription(text, &error);
  EXPECT_TRUE(description.has_value()) << error;
  return description.value_or(Description{});
}

const Description& Sample() {
  static const Description sample = Parse(ReadText(kSamples / "description.txt"));
  return sample;
}

std::u16string Strings(const Bytes& record, std::size_t index) {
  const auto count = sim::ReadU16(record, sim::recfield::kNumStrings).value_or(0);
  std::size_t pos = sim::ReadU32(record, sim::recfield::kStringOffset).value_or(0);
  for (std::size_t i = 0; i < count; ++i) {
    std::u16string text;
    for (; pos + 1 < record.size(); pos += 2) {
      const auto c = static_cast<char16_t>(*sim::ReadU16(record, pos));
      if (c == 0) break;
      text.push_back(c);
    }
    pos += 2;
    if (i == index) return text;
  }
  return u"<missing>";
}

Bytes Sid(const Bytes& record) {
  const std::size_t offset = sim::ReadU32(record, sim::recfield::kUserSidOffset).value_or(0);
  const std::size_t length = sim::ReadU32(record, sim::recfield::kUserSidLength).value_or(0);
  return Bytes(record.begin() + static_cast<std::ptrdiff_t>(offset),
               record.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

// --- the description format ---------------------------------------------------------------

constexpr std::string_view kSmall =
    R"(seed 7
computer WS-TEST
start 2007-03-05 06:58:12
zone 60
list svc = Alpha
account staff S-1-5-21-1-2-3-1001 TEST\anna
log Small records=4 gap=10..10
  source Service Control Manager
    event 0x40001B7C information user=staff sid=user data=17 : The {svc} service | )"
    R"({number:5..5} | {{x}} | {user.domain}\{user.name} | {time} {date} | a{bar}b
)";

TEST(SamplegenDescription, BuildsRecordsAsDescribed) {
  const Description description = Parse(kSmall);
  ASSERT_EQ(description.logs.size(), 1u);
  const sim::EvtLog log = GenerateLog(description, description.logs[0]);
  ASSERT_EQ(log.records.size(), 4u);
  const Bytes& first = log.records[0];
  EXPECT_EQ(sim::RecordNumber(first), 1u);
  EXPECT_EQ(sim::ReadU32(first, sim::recfield::kEventId), 0x40001B7Cu);
  EXPECT_EQ(sim::ReadU16(first, sim::recfield::kEventType), 4u);
  EXPECT_EQ(sim::ReadU32(first, sim::recfield::kDataLength), 17u);
  // 2007-03-05 06:58:12 UTC, then every ten seconds.
  EXPECT_EQ(sim::ReadU32(first, sim::recfield::kTimeGenerated), 1173077892u);
  EXPECT_EQ(sim::ReadU32(log.records[3], sim::recfield::kTimeGenerated), 1173077922u);
  EXPECT_EQ(sim::RecordNumber(log.records[3]), 4u);
  EXPECT_EQ(Strings(first, 0), u"The Alpha service");
  EXPECT_EQ(Strings(first, 1), u"5");
  EXPECT_EQ(Strings(first, 2), u"{x}");
  EXPECT_EQ(Strings(first, 3), u"TEST\\anna");
  EXPECT_EQ(Strings(first, 4), u"7:58:12 AM 3/5/2007");  // one hour east of UTC
  EXPECT_EQ(Strings(first, 5), u"a|b");
  EXPECT_EQ(Sid(first), sim::SimAccounts::SidFromString(u"S-1-5-21-1-2-3-1001"));
}

TEST(SamplegenDescription, WeightZeroNeverWritesTheEvent) {
  const Description description = Parse(R"(start 2007-01-01 00:00:00
log L records=200 gap=1..100
  source S
    event 1 information weight=0
    event 2 warning weight=3
    event 3 error
)");
  const sim::EvtLog log = GenerateLog(description, description.logs[0]);
  std::map<std::uint32_t, int> seen;
  for (const auto& record : log.records) ++seen[*sim::ReadU32(record, sim::recfield::kEventId)];
  EXPECT_EQ(seen.count(1), 0u);
  EXPECT_GT(seen[2], seen[3]);  // 3:1 over 200 records
  EXPECT_GT(seen[3], 0);
}

TEST(SamplegenDescription, TheSeedDecides) {
  std::string text(kSmall);
  const Description a = Parse(text);
  const Description b = Parse(text.replace(text.find("seed 7"), 6, "seed 8"));
  EXPECT_EQ(GenerateEvtFile(a, a.logs[0]), GenerateEvtFile(a, a.logs[0]));
  EXPECT_NE(GenerateEvtFile(a, a.logs[0]), GenerateEvtFile(b, b.logs[0]));
}

TEST(SamplegenDescription, WritesWrappedDirtyFiles) {
  const Description description = Parse(R"(start 2007-01-01 00:00:00
log L records=300 gap=1..100 maxsize=0x10000 first=4711 offset=0xF000 dirty
  source S
    event 1 information : {number}
)");
  std::string error;
  const auto log = sim::ReadEvtFile(GenerateEvtFile(description, description.logs[0]), &error);
  ASSERT_TRUE(log.has_value()) << error;
  EXPECT_FALSE(log->damaged);
  EXPECT_EQ(log->records.size(), 300u);
  EXPECT_EQ(log->oldestRecordNumber, 4711u);
  EXPECT_EQ(log->flags & (sim::evtflag::kDirty | sim::evtflag::kWrap),
            sim::evtflag::kDirty | sim::evtflag::kWrap);
}

TEST(SamplegenDescription, FaultsNameTheirLine) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"log L records=1 gap=1..2\n  source S\n    event 1 informative\n",
       "line 3: unknown event type"},
      {"log L records=1 gap=1..2\nsource S\nevent 1 error : {nolist}\n", "line 3: no list named"},
      {"event 1 error\n", "line 1: event outside a source"},
      {"log L records=1\n", "line 1: log needs records= and gap="},
      {"\nlog L records=1 gap=5..1\n", "line 2: gap range runs backwards"},
      {"account g S-1-x D\\n\n", "line 1: bad SID"},
      {"log L records=1 gap=1\nsource S\nevent 1 error sid=ghosts\n",
       "line 3: no account in group"},
      {"list a = {b}\nlist b = {a}\nlog L records=1 gap=1\nsource S\nevent 1 error : {a}\n",
       "line 1: list 'a' uses itself"},
      {"log L records=1 gap=1\nsource S\nevent 1 error : {user.name}\n", "line 3: {user.*} needs"},
      {"log L records=1 gap=1\nsource S\nevent 1 error : {unclosed\n", "line 3: unclosed"},
      {"frobnicate\n", "line 1: unknown keyword"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseDescription(c.text, &error).has_value()) << c.text;
    EXPECT_EQ(error.rfind(c.expected, 0), 0u) << "got: " << error << "\nfor: " << c.text;
  }
}

// --- the committed sample ---------------------------------------------------------------

TEST(SampleMachine, GivesTheSameBytesEveryTime) {
  TempFolder one, two;
  ASSERT_EQ(WriteMachineFolder(Sample(), kSamples, one.path()), "");
  ASSERT_EQ(WriteMachineFolder(Sample(), kSamples, two.path()), "");
  std::set<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(one.path())) {
    if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), one.path()));
  }
  for (const auto& entry : fs::recursive_directory_iterator(two.path())) {
    if (entry.is_regular_file()) {
      EXPECT_TRUE(files.contains(fs::relative(entry.path(), two.path()))) << entry.path();
    }
  }
  EXPECT_TRUE(files.contains("registry.reg"));
  EXPECT_TRUE(files.contains("machine.ini"));
  for (const auto& log : Sample().logs) {
    EXPECT_TRUE(files.contains(fs::path("logs") / (log.name + ".evt"))) << log.name;
  }
  for (const auto& file : files) {
    EXPECT_TRUE(ReadFile(one.path() / file) == ReadFile(two.path() / file)) << file;
  }
}

TEST(SampleMachine, LogsReadBackAsDescribed) {
  TempFolder out;
  ASSERT_EQ(WriteMachineFolder(Sample(), kSamples, out.path()), "");
  std::set<std::uint16_t> types;
  std::set<std::uint32_t> dataSizes;
  std::size_t total = 0;
  for (const auto& described : Sample().logs) {
    SCOPED_TRACE(described.name);
    std::string error;
    const auto log =
        sim::ReadEvtFile(ReadFile(out.path() / "logs" / (described.name + ".evt")), &error);
    ASSERT_TRUE(log.has_value()) << error;
    EXPECT_FALSE(log->damaged);
    ASSERT_EQ(log->records.size(), described.records);
    EXPECT_EQ(log->oldestRecordNumber, described.firstNumber);
    EXPECT_EQ(log->maxSize, described.maxSize);
    EXPECT_EQ(log->retention, described.retention);
    std::uint32_t previous = 0;
    for (std::size_t i = 0; i < log->records.size(); ++i) {
      const Bytes& record = log->records[i];
      EXPECT_EQ(sim::RecordNumber(record), described.firstNumber + i);
      const std::uint32_t time = *sim::ReadU32(record, sim::recfield::kTimeGenerated);
      EXPECT_GE(time, previous);
      previous = time;
      types.insert(*sim::ReadU16(record, sim::recfield::kEventType));
      dataSizes.insert(*sim::ReadU32(record, sim::recfield::kDataLength));
    }
    total += log->records.size();
  }
  EXPECT_GE(total, 4000u);
  EXPECT_EQ(types, (std::set<std::uint16_t>{0, 1, 2, 4, 8, 16}));
  for (std::uint32_t size : {0u, 4u, 17u, 64u, 300u}) EXPECT_TRUE(dataSizes.contains(size)) << size;
}

TEST(SampleMachine, RegistryExportDescribesTheLogs) {
  sim::SimRegistry registry;
  ASSERT_EQ(registry.LoadRegFile(ReadFile(kSamples / "machine" / "registry.reg")), "");
  std::vector<std::string> unregistered;
  for (const auto& log : Sample().logs) {
    SCOPED_TRACE(log.name);
    const std::u16string key = kEventLogKey + util::Utf8ToUtf16(log.name);
    ASSERT_TRUE(registry.KeyExists(key));
    // What the log's file header says must agree with the registry.
    EXPECT_EQ(registry.GetDword(key, u"MaxSize"), log.maxSize);
    EXPECT_EQ(registry.GetDword(key, u"Retention"), log.retention);
    const auto file = registry.GetValue(key, u"File");
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->type, platform::regtype::kExpandSz);
    for (const auto& source : log.sources) {
      const std::u16string sourceKey = key + u"\\" + util::Utf8ToUtf16(source.name);
      if (!registry.KeyExists(sourceKey)) {
        unregistered.push_back(source.name);
        continue;
      }
      const auto library = registry.GetValue(sourceKey, u"EventMessageFile");
      if (library) {
        EXPECT_EQ(library->type, platform::regtype::kExpandSz) << source.name;
      }
    }
  }
  // Left out on purpose, to show records of sources the machine does not know.
  std::sort(unregistered.begin(), unregistered.end());
  EXPECT_EQ(unregistered, (std::vector<std::string>{"LoadPerf", "Sample Watchdog", "Srv"}));

  const std::u16string sample = kEventLogKey + u"QbSample";
  EXPECT_EQ(registry.GetString(sample, u"DisplayNameFile"),
            u"%SystemRoot%\\System32\\qbsample.dll");
  EXPECT_EQ(registry.GetDword(sample, u"DisplayNameID"), 0x1000u);
  EXPECT_EQ(registry.GetString(kEventLogKey + u"Security\\Security", u"CategoryMessageFile"),
            u"%SystemRoot%\\System32\\qbsample.dll");
}

TEST(SampleMachine, AccountsAreKnownUnlessDeleted) {
  // The machine's accounts: the simulator's built-in ones plus those of machine.ini.
  sim::SimAccounts accounts;
  const std::string ini = ReadText(kSamples / "machine" / "machine.ini");
  const auto doc = ini::Parse(ini, [](std::string_view text) { return util::Utf8ToUtf16(text); });
  for (const auto& [sid, account] : ini::SectionKeys(doc, u"Accounts")) {
    const auto slash = account.find(u'\\');
    ASSERT_NE(slash, std::u16string::npos) << util::Utf16ToUtf8(account);
    accounts.AddAccount(sim::SimAccounts::SidFromString(sid), account.substr(slash + 1),
                        account.substr(0, slash));
  }
  ASSERT_FALSE(Sample().accounts.empty());
  for (const auto& account : Sample().accounts) {
    SCOPED_TRACE(account.sid);
    std::u16string name, domain;
    const auto result = accounts.LookupAccountSid(
        sim::SimAccounts::SidFromString(util::Utf8ToUtf16(account.sid)), 256, 256, name, domain);
    if (account.group == "unknown") {
      EXPECT_NE(result, platform::err::kSuccess);
    } else {
      ASSERT_EQ(result, platform::err::kSuccess);
      EXPECT_EQ(util::Utf16ToUtf8(name), account.name);
      EXPECT_EQ(util::Utf16ToUtf8(domain), account.domain);
    }
  }
}

}  // namespace
}  // namespace qb::samplegen
