#include "eventlog/event_log.h"

#include "platform/sim/doubles/scripted_eventlog_service.h"
#include "support/eventlog_fixture.h"
#include "util/text.h"

namespace qb {
namespace {

using support::EventLogTest;
using support::U8;

constexpr auto osRead = TFSOpenState::osRead;
constexpr auto osBackUp = TFSOpenState::osBackUp;

class EventLogObjectTest : public EventLogTest {
 protected:
  // A log whose records are numbered 7, 8 and 9.
  sim::SimEventLog& SevenToNine(std::u16string_view name = u"Application") {
    auto& l = AddLog(name);
    l.oldestNumber = l.nextNumber = 7;
    for (int i = 0; i < 3; ++i) l.Append(Record(u"Src", 100 + i));
    return l;
  }
  std::vector<std::uint32_t> Numbers(bool forwards) {
    std::vector<TFileItem> items;
    EXPECT_TRUE(log().Read(false, forwards, &items));
    std::vector<std::uint32_t> numbers;
    for (const auto& i : items) numbers.push_back(i.fiNumber);
    return numbers;
  }
};

TEST_F(EventLogObjectTest, OpenStatesAndTheirErrors) {
  SevenToNine();
  ASSERT_TRUE(log().Open(1, osRead));
  try {
    log().Open(1, osRead);
    FAIL() << "second open";
  } catch (const EFWEventLog& e) {
    EXPECT_EQ(e.Message(), u"Event Manager is already open in this mode osRead.");
  }
  EXPECT_TRUE(log().OpenState().Has(osRead));  // the first open stays
  EXPECT_EQ(log().RecordCount(false, false), 3u);

  try {
    log().Open(1, TFSOpenState::osNotify);
    FAIL() << "osNotify";
  } catch (const EFWEventLog& e) {
    EXPECT_EQ(e.Message(), support::OwnResources().strings.at(65173));
  }
  EXPECT_NO_THROW(log().Close(TFSOpenState::osNotify));  // not running: nothing to close
  log().Close(osRead);
  log().Close(osRead);  // nothing open: nothing happens
  EXPECT_FALSE(log().OpenState().Has(osRead));
  EXPECT_THROW(log().Open(4, osRead), EListError);
  EXPECT_EQ(machine().eventlog().OpenHandleCount(), 0u);
}

TEST_F(EventLogObjectTest, ReadingWithoutTheStateRaisesTheModeMessage) {
  SevenToNine();
  TFWEventLogRecord r;
  const std::u16string text = support::OwnResources().strings.at(65171);
  try {
    log().Read(false, 7u, r);
    FAIL();
  } catch (const EFWEventLog& e) {
    EXPECT_EQ(e.Message(), text.substr(0, text.size() - 4) + u"\"osRead\"") << U8(e.Message());
  }
  try {
    log().RecordCount(true, false);
    FAIL();
  } catch (const EFWEventLog& e) {
    EXPECT_NE(e.Message().find(u"\"osBackUp\""), std::u16string::npos);
  }
  // The list variant checks its list before anything else.
  EXPECT_FALSE(log().Read(false, false, static_cast<std::vector<TFileItem>*>(nullptr)));
  EXPECT_THROW(log().Read(false, false, TFWOnReadRecordEvent()), EFWEventLog);
}

TEST_F(EventLogObjectTest, ListsBothWaysAndCountsAndReadsByNumber) {
  SevenToNine();
  ASSERT_TRUE(log().Open(1, osRead));
  EXPECT_EQ(Numbers(false), (std::vector<std::uint32_t>{9, 8, 7}));
  EXPECT_EQ(Numbers(true), (std::vector<std::uint32_t>{7, 8, 9}));
  EXPECT_EQ(log().RecordCount(false, false), 3u);
  EXPECT_EQ(log().RecordCount(false, true), 7u);

  TFWEventLogRecord r;
  ASSERT_TRUE(log().Read(false, 8u, r));
  EXPECT_EQ(r.Number, 8u);
  EXPECT_EQ(r.EventID, 101u);
  TFWEventLogRecord untouched = r;
  EXPECT_FALSE(log().Read(false, 10u, r));
  EXPECT_FALSE(log().Read(false, 6u, r));
  EXPECT_EQ(r.Number, untouched.Number);
  EXPECT_EQ(r.Description, untouched.Description);

  // The list is appended to, not emptied first.
  std::vector<TFileItem> items(1);
  ASSERT_TRUE(log().Read(false, false, &items));
  EXPECT_EQ(items.size(), 4u);
}

TEST_F(EventLogObjectTest, CallbacksCanStopAndProceduresAreOptional) {
  SevenToNine();
  ASSERT_TRUE(log().Open(1, osRead));
  int calls = 0;
  EXPECT_TRUE(log().Read(
      false, true,
      TFWOnReadRecordEvent([&](TFWEventLog& sender, const TFWEventLogRecord& rec, bool& stop) {
        ++calls;
        EXPECT_EQ(&sender, &log());
        EXPECT_EQ(rec.Number, 7u);
        stop = true;
      })));
  EXPECT_EQ(calls, 1);

  static std::vector<std::uint32_t> seen;
  seen.clear();
  EXPECT_TRUE(
      log().Read(false, false,
                 static_cast<TFWOnReadRecordCallback>([](TFWEventLog*, const TFWEventLogRecord& rec,
                                                         bool&) { seen.push_back(rec.Number); })));
  EXPECT_EQ(seen, (std::vector<std::uint32_t>{9, 8, 7}));
  EXPECT_TRUE(log().Read(false, false, static_cast<TFWOnReadRecordCallback>(nullptr)));
}

TEST_F(EventLogObjectTest, ManyRecordsComeInFewReadsAndLargeRecordsGrowTheBuffer) {
  auto& l = AddLog(u"Application");
  for (int i = 0; i < 1000; ++i) l.Append(Record(u"Service Control Manager", 7036));
  auto big = Record(u"Big", 1);
  big.data.assign(200 * 1024, std::byte{0xAB});
  const std::uint32_t bigNumber = l.Append(big);
  for (int i = 0; i < 10; ++i) l.Append(Record(u"After", 2));
  ASSERT_TRUE(log().Open(1, osRead));
  const auto before = machine().eventlog().ReadCallCount();
  std::vector<TFileItem> items;
  ASSERT_TRUE(log().Read(false, false, &items));
  const auto reads = machine().eventlog().ReadCallCount() - before;
  ASSERT_EQ(items.size(), 1011u);
  EXPECT_EQ(items[0].fiNumber, 1011u);
  EXPECT_EQ(items[10].fiNumber, bigNumber);
  EXPECT_EQ(items[10].fiName, u"Big");
  EXPECT_EQ(items.back().fiNumber, 1u);
  EXPECT_LE(reads * 50, items.size() + 50) << reads << " reads";

  TFWEventLogRecord r;
  ASSERT_TRUE(log().Read(false, bigNumber, r));
  EXPECT_EQ(r.BinData.size(), 200u * 1024);
}

TEST_F(EventLogObjectTest, EventTypeWords) {
  EXPECT_EQ(log().EventTypeToString(TFWEventLogRecordType::rtInformation, true), u"information");
  EXPECT_EQ(log().EventTypeToString(TFWEventLogRecordType::rtSuccess, true), u"information");
  EXPECT_EQ(log().EventTypeToString(TFWEventLogRecordType::rtAuditFailed, false), u"FailureAudit");
  EXPECT_EQ(log().EventTypeToString(TFWEventLogRecordType::rtAuditSuccess, true), u"successaudit");
  EXPECT_EQ(log().EventTypeToString(TFWEventLogRecordType::rtUnknown, true), u"unknown");
}

TEST_F(EventLogObjectTest, TypeWordsAreLoweredOncePerLanguageNotPerRecord) {
  auto& l = AddLog(u"Application");
  for (int i = 0; i < 200; ++i) l.Append(Record(u"S", 1, i % 2 ? 1 : 2));
  ASSERT_TRUE(log().Open(1, osRead));
  std::vector<TFileItem> items;
  ASSERT_TRUE(log().Read(false, false, &items));
  const auto lowered = machine().locale().ToLowerCalls();
  items.clear();
  ASSERT_TRUE(log().Read(false, false, &items));
  EXPECT_EQ(machine().locale().ToLowerCalls(), lowered);
  EXPECT_EQ(items[0].fiType, u"error");  // newest first: record 200 was written as an error
  EXPECT_EQ(items[1].fiType, u"warning");
}

TEST_F(EventLogObjectTest, AdministratorsAreFoundAlsoInLargeTokens) {
  EXPECT_TRUE(log().IsAdmin());
  ResetLog();
  const auto admins = sim::SimAccounts::SidFromString(u"S-1-5-32-544");
  std::vector<platform::Bytes> groups;
  for (int i = 0; i < 60; ++i) {
    groups.push_back(
        sim::SimAccounts::SidFromString(u"S-1-5-21-1-2-3-" + util::ToDecimal(1000 + i)));
  }
  groups.push_back(admins);
  machine().accounts().SetTokenGroups(groups);
  EXPECT_TRUE(log().IsAdmin());
  ResetLog();
  groups.pop_back();
  machine().accounts().SetTokenGroups(groups);
  EXPECT_FALSE(log().IsAdmin());
  ResetLog();
  // UAC's filtered token: Administrators only denies.
  machine().accounts().AddTokenGroup(admins, platform::groupattr::kUseForDenyOnly);
  EXPECT_FALSE(log().IsAdmin());
  ResetLog();
  machine().accounts().SetTokenGroups({admins});
  machine().accounts().SetTokenError(platform::err::kAccessDenied);
  EXPECT_FALSE(log().IsAdmin());
}

TEST_F(EventLogObjectTest, BackupFilesReadBackRecordForRecord) {
  auto& l = AddLog(u"Application");
  AddLog(u"System");
  AddLibrary(u"C:\\msg\\sys.dll", {{0x40000010, u"System says %1\r\n"}, {3, u"Disk\r\n"}});
  AddSource(u"System", u"Disk", u"C:\\msg\\sys.dll", u"C:\\msg\\sys.dll");
  for (int i = 0; i < 300; ++i) {
    auto r = Record(u"Disk", 0x40000010, i % 3 == 0 ? 1 : 4);
    r.category = 3;
    r.strings = {u"part " + util::ToDecimal(i)};
    r.data.assign(static_cast<std::size_t>(i % 17), std::byte{0x5A});
    l.Append(r);
  }
  ASSERT_TRUE(log().Open(1, osRead));
  ASSERT_TRUE(log().CreateBackup(u"C:\\Temp\\app.evt"));
  // The backup is read with the sources of catalogue entry 2 (System).
  ASSERT_TRUE(log().BackupOpen(u"C:\\Temp\\app.evt", 2));
  EXPECT_EQ(log().RecordCount(true, false), 300u);
  std::vector<TFWEventLogRecord> fromLog;
  std::vector<TFWEventLogRecord> fromBackup;
  ASSERT_TRUE(log().Read(false, true,
                         TFWOnReadRecordEvent([&](TFWEventLog&, const TFWEventLogRecord& r, bool&) {
                           fromLog.push_back(r);
                         })));
  ASSERT_TRUE(log().Read(true, true,
                         TFWOnReadRecordEvent([&](TFWEventLog&, const TFWEventLogRecord& r, bool&) {
                           fromBackup.push_back(r);
                         })));
  ASSERT_EQ(fromBackup.size(), 300u);
  for (std::size_t i = 0; i < 300; ++i) {
    EXPECT_EQ(fromBackup[i].Number, fromLog[i].Number);
    EXPECT_EQ(fromBackup[i].EventType, fromLog[i].EventType);
    EXPECT_EQ(fromBackup[i].BinData, fromLog[i].BinData);
    EXPECT_EQ(fromBackup[i].TimeWritten, fromLog[i].TimeWritten);
  }
  EXPECT_EQ(fromBackup[5].Description, u"System says part 5");
  EXPECT_EQ(fromBackup[5].Category, u"Disk");
  // The log itself (Application) has no such source: the fallback texts.
  EXPECT_EQ(fromLog[5].Category, u"Unknown");

  // With both open, closing the backup keeps the libraries; closing the log releases them.
  const auto libraries = log().MessageLibraries().Count;
  EXPECT_GT(libraries, 0);
  log().Close(osBackUp);
  EXPECT_EQ(log().MessageLibraries().Count, libraries);
  log().Close(osRead);
  EXPECT_EQ(log().MessageLibraries().Count, 0);
  EXPECT_EQ(machine().modules().OpenModuleCount(), 0u);
}

// Readings over answers a service or a damaged log might give.
class ReadingLoopTest : public EventLogTest {
 protected:
  ReadingLoopTest() {
    AddLog(u"Application");
    machine().platform().eventlog = &service_;
  }
  // The event log object closes its log through the service: it goes first.
  ~ReadingLoopTest() override { ResetLog(); }
  static platform::Bytes Concat(std::initializer_list<platform::Bytes> parts) {
    platform::Bytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  }
  std::vector<std::uint32_t> ListNumbers(bool& result) {
    std::vector<TFileItem> items;
    result = log().Read(false, false, &items);
    std::vector<std::uint32_t> numbers;
    for (const auto& i : items) numbers.push_back(i.fiNumber);
    return numbers;
  }
  static platform::Bytes Rec(std::uint32_t number) {
    auto r = Record(u"S");
    r.recordNumber = number;
    return sim::BuildEventRecord(r);
  }
  sim::ScriptedEventLogService service_;
};

TEST_F(ReadingLoopTest, DamagedRecordsEndTheReadingButKeepWhatCameBefore) {
  ASSERT_TRUE(log().Open(1, osRead));
  auto shortRecord = Rec(3);
  sim::WriteU32(shortRecord, 0, 40);  // Length below the fixed part
  service_.answers.push_back({0, Concat({Rec(5), Rec(4), shortRecord}), 0, 0});
  service_.answers.back().bytesRead =
      static_cast<std::uint32_t>(service_.answers.back().bytes.size());
  service_.answers.push_back({0, Rec(2), 0, 0});
  bool ok = true;
  EXPECT_EQ(ListNumbers(ok), (std::vector<std::uint32_t>{5, 4}));
  EXPECT_FALSE(ok);

  auto zero = Rec(9);
  sim::WriteU32(zero, 0, 0);  // would never advance
  service_.answers = {{0, zero, static_cast<std::uint32_t>(zero.size()), 0}};
  EXPECT_TRUE(ListNumbers(ok).empty());
  EXPECT_FALSE(ok);

  // A record claiming more bytes than were delivered.
  auto longer = Rec(8);
  sim::WriteU32(longer, 0, static_cast<std::uint32_t>(longer.size() + 8));
  service_.answers = {{0, longer, static_cast<std::uint32_t>(longer.size()), 0}};
  EXPECT_TRUE(ListNumbers(ok).empty());
  EXPECT_FALSE(ok);
}

TEST_F(ReadingLoopTest, ServiceAnswersThatCouldLoopOrOverrunAreRefused) {
  ASSERT_TRUE(log().Open(1, osRead));
  bool ok = true;
  // Success with nothing delivered.
  service_.answers = {{0, {}, 0, 0}};
  EXPECT_TRUE(ListNumbers(ok).empty());
  EXPECT_FALSE(ok);
  // More bytes reported than the buffer has: only the buffer is walked.
  const auto r = Rec(1);
  service_.answers = {{0, r, 0xFFFFFFF0u, 0}};
  EXPECT_EQ(ListNumbers(ok), (std::vector<std::uint32_t>{1}));
  // "Insufficient buffer" for a size that is not larger, or beyond the platform's limit.
  service_.answers = {{platform::err::kInsufficientBuffer, {}, 0, 16}};
  EXPECT_TRUE(ListNumbers(ok).empty());
  EXPECT_FALSE(ok);
  service_.answers = {{platform::err::kInsufficientBuffer, {}, 0, 0x100000}};
  EXPECT_TRUE(ListNumbers(ok).empty());
  EXPECT_FALSE(ok);
  // Growing once, then the same place again.
  service_.answers = {{platform::err::kInsufficientBuffer, {}, 0, 70000},
                      {0, r, static_cast<std::uint32_t>(r.size()), 0}};
  EXPECT_EQ(ListNumbers(ok), (std::vector<std::uint32_t>{1}));
  EXPECT_TRUE(ok);
  // Another error: false; counting fails: false without reading.
  service_.answers = {{platform::err::kInvalidParameter, {}, 0, 0}};
  EXPECT_TRUE(ListNumbers(ok).empty());
  EXPECT_FALSE(ok);
  service_.countError = platform::err::kInvalidHandle;
  const auto reads = service_.reads;
  EXPECT_TRUE(ListNumbers(ok).empty());
  EXPECT_FALSE(ok);
  EXPECT_EQ(service_.reads, reads);
}

}  // namespace
}  // namespace qb
