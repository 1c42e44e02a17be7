// IEventLogService: reading backup files placed in a scratch folder, and writing, clearing and
// watching a live log of the test's own where the backend can make one.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "backend.h"
#include "differences.h"
#include "support/drain_records.h"

namespace qb::suite {
namespace {

using platform::Bytes;
using platform::ByteSpan;
using platform::ErrorCode;
using platform::Handle;
using platform::ReadResult;
namespace err = platform::err;
namespace ev = platform::evflags;
using WaitResult = platform::IChangeEvent::WaitResult;
using Numbers = std::vector<std::uint32_t>;

constexpr std::uint32_t kSeqFwd = ev::kSequentialRead | ev::kForwardsRead;
constexpr std::uint32_t kSeqBack = ev::kSequentialRead | ev::kBackwardsRead;
constexpr std::uint32_t kSeekFwd = ev::kSeekRead | ev::kForwardsRead;
constexpr std::uint32_t kSeekBack = ev::kSeekRead | ev::kBackwardsRead;

// EVENTLOGRECORD fields at their documented offsets.
std::uint32_t U32(ByteSpan record, std::size_t offset) {
  std::uint32_t value = 0;
  if (record.size() >= offset + 4) std::memcpy(&value, record.data() + offset, 4);
  return value;
}
std::uint16_t U16(ByteSpan record, std::size_t offset) {
  std::uint16_t value = 0;
  if (record.size() >= offset + 2) std::memcpy(&value, record.data() + offset, 2);
  return value;
}
// The zero-terminated UTF-16 text at `offset`.
std::u16string Text(ByteSpan record, std::size_t offset) {
  std::u16string text;
  for (; offset + 2 <= record.size(); offset += 2) {
    const char16_t c = U16(record, offset);
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

struct Record {
  std::uint32_t number = 0, eventId = 0;
  std::uint16_t type = 0, category = 0;
  std::u16string source;
  std::vector<std::u16string> strings;
  Bytes data;
};

Record Decode(ByteSpan bytes) {
  Record r;
  r.number = U32(bytes, 8);
  r.eventId = U32(bytes, 20);
  r.type = U16(bytes, 24);
  r.category = U16(bytes, 28);
  r.source = Text(bytes, 56);
  std::size_t at = U32(bytes, 36);
  for (std::uint16_t i = 0; i < U16(bytes, 26); ++i) {
    r.strings.push_back(Text(bytes, at));
    at += (r.strings.back().size() + 1) * 2;
  }
  const std::size_t dataAt = U32(bytes, 52), dataLength = U32(bytes, 48);
  if (dataAt + dataLength <= bytes.size()) {
    r.data.assign(bytes.begin() + dataAt, bytes.begin() + dataAt + dataLength);
  }
  return r;
}

struct Read {
  ReadResult result;
  std::vector<Record> records;  // delivered, in order
  Numbers numbers;
};

// Six records of differing sizes: record n carries n * 3 characters.
std::vector<LogRecord> SixRecords() {
  std::vector<LogRecord> records;
  for (std::uint32_t n = 1; n <= 6; ++n) {
    records.push_back({n,
                       platform::evtype::kWarning,
                       static_cast<std::uint16_t>(n % 3),
                       u"Disk",
                       {std::u16string(n * 3, u'a'), u"second"}});
  }
  return records;
}

class EventLogSuite : public PlatformTest {
 protected:
  // A backup file of `records` in the scratch folder, opened.
  Handle OpenBackup(std::span<const LogRecord> records, std::u16string_view name = u"log.evt") {
    const std::u16string path = backend().ScratchFolder() + u"\\" + std::u16string(name);
    EXPECT_EQ(system().WriteFile(path, EventLogBackup(records)), err::kSuccess);
    Handle log = 0;
    EXPECT_EQ(eventlog().OpenBackupEventLog(path, log), err::kSuccess);
    return log;
  }

  Handle Open(std::u16string_view name) {
    Handle log = 0;
    EXPECT_EQ(eventlog().OpenEventLog(name, log), err::kSuccess) << U8(name);
    return log;
  }

  // One ReadEventLog call; the delivered bytes must be whole records.
  Read Do(Handle log, std::uint32_t flags, std::uint32_t offset, std::size_t size) {
    Bytes buffer(size);
    Read read{eventlog().ReadEventLog(log, flags, offset, buffer), {}, {}};
    std::size_t at = 0;
    while (at < read.result.bytesRead) {
      const ByteSpan rest = ByteSpan(buffer).subspan(at, read.result.bytesRead - at);
      const std::uint32_t length = U32(rest, 0);
      EXPECT_TRUE(length >= 56 && length <= rest.size() && U32(rest, 4) == 0x654C664C &&
                  U32(rest, length - 4) == length);
      if (length < 56 || length > rest.size()) break;
      read.records.push_back(Decode(rest.first(length)));
      read.numbers.push_back(read.records.back().number);
      sizes_[read.numbers.back()] = length;
      at += length;
    }
    EXPECT_EQ(at, read.result.bytesRead);
    return read;
  }

  // Everything a handle delivers from here on, read with a generous buffer.
  Numbers Drain(Handle log, std::uint32_t flags) {
    return support::DrainRecords([&] { return Do(log, flags, 0, 0x10000); });
  }

  std::uint32_t Count(Handle log) {
    std::uint32_t count = 0;
    EXPECT_EQ(eventlog().GetNumberOfRecords(log, count), err::kSuccess);
    return count;
  }

  // The sizes of the six records, learnt by reading them through a handle of their own.
  void LearnSizes(std::span<const LogRecord> records) {
    const Handle all = OpenBackup(records, u"sizes.evt");
    EXPECT_EQ(Drain(all, kSeqFwd).size(), records.size());
    eventlog().CloseEventLog(all);
  }
  std::uint32_t SizeOf(std::uint32_t number) { return sizes_.at(number); }

  // The test's own live log and its event source; false when the backend has none.
  bool MakeLiveLog() {
    if (!backend().WritableLog(log_, source_)) return false;
    return eventlog().RegisterEventSource(source_, sourceHandle_) == err::kSuccess;
  }
  ~EventLogSuite() override {
    if (sourceHandle_ != 0) eventlog().DeregisterEventSource(sourceHandle_);
  }
  ErrorCode Report(std::uint32_t eventId, const std::vector<std::u16string>& strings = {},
                   const Bytes& data = {}) {
    return eventlog().ReportEvent(sourceHandle_, platform::evtype::kInformation, 0, eventId,
                                  strings, data);
  }

  std::map<std::uint32_t, std::uint32_t> sizes_;  // by record number
  std::u16string log_, source_;
  Handle sourceHandle_ = 0;
};

#define QB_NEED_LIVE_LOG() \
  if (!MakeLiveLog()) GTEST_SKIP() << "the backend has no log a test may write to"

// --- everywhere ---

TEST_F(EventLogSuite, EmptyBackupPathsAreInvalidParameters) {
  Handle log = 7;
  EXPECT_EQ(eventlog().OpenBackupEventLog(u"", log), err::kInvalidParameter);
  EXPECT_EQ(log, 0u);
  const Handle application = Open(u"Application");
  ASSERT_NE(application, 0u);
  EXPECT_EQ(eventlog().BackupEventLog(application, u""), err::kInvalidParameter);
  EXPECT_EQ(eventlog().CloseEventLog(application), err::kSuccess);
  log = 7;
  EXPECT_EQ(eventlog().OpenBackupEventLog(backend().ScratchFolder() + u"\\none.evt", log),
            err::kFileNotFound);
  EXPECT_EQ(log, 0u);
}

TEST_F(EventLogSuite, ReadBuffersHaveALimit) {
  const Handle application = Open(u"Application");
  Bytes buffer(platform::kMaxReadBuffer + 1);
  const ReadResult over = eventlog().ReadEventLog(application, kSeqFwd, 0, buffer);
  EXPECT_EQ(over.error, err::kInvalidParameter);
  EXPECT_EQ(over.bytesRead, 0u);
  buffer.pop_back();
  EXPECT_NE(eventlog().ReadEventLog(application, kSeqBack, 0, buffer).error,
            err::kInvalidParameter);
  eventlog().CloseEventLog(application);
}

TEST_F(EventLogSuite, AnyNameOpensALog) {
  // An unknown name opens the Application log; names ignore case. Every open is a handle of
  // its own.
  const Handle unknown = Open(u"No Such Log");
  const Handle upper = Open(u"APPLICATION");
  EXPECT_NE(unknown, 0u);
  EXPECT_NE(upper, 0u);
  if (!Applies(Difference::kEventLogServiceStubbed)) {
    EXPECT_NE(unknown, upper);
  }
  EXPECT_EQ(eventlog().CloseEventLog(unknown), err::kSuccess);
  EXPECT_EQ(eventlog().CloseEventLog(upper), err::kSuccess);
}

TEST_F(EventLogSuite, ChangeEventsCanBeWaitedFor) {
  const Handle application = Open(u"Application");
  ErrorCode error = 1;
  const auto change = eventlog().NotifyChangeEventLog(application, error);
  ASSERT_NE(change, nullptr);
  EXPECT_EQ(error, err::kSuccess);
  EXPECT_NE(change->Wait(0, error), WaitResult::kFailed);
  bool full = true;
  const ErrorCode fullError = eventlog().GetFullInformation(application, full);
  EXPECT_NE(fullError, err::kProcNotFound);
  // The Application log overwrites its oldest records rather than fill up.
  if (fullError == err::kSuccess) {
    EXPECT_FALSE(full);
  }
  EXPECT_EQ(eventlog().CloseEventLog(application), err::kSuccess);
}

// --- backup files ---

TEST_F(EventLogSuite, SequentialReadsDeliverWholeRecordsInOrder) {
  QB_SKIP_WHERE(Difference::kEventLogServiceStubbed);
  const auto records = SixRecords();
  LearnSizes(records);
  const Handle log = OpenBackup(records);
  EXPECT_EQ(Count(log), 6u);
  // Room for records 1 and 2 but not for 3 as well.
  EXPECT_EQ(Do(log, kSeqFwd, 0, SizeOf(1) + SizeOf(2) + SizeOf(3) - 1).numbers, (Numbers{1, 2}));
  EXPECT_EQ(Drain(log, kSeqFwd), (Numbers{3, 4, 5, 6}));
  EXPECT_EQ(Do(log, kSeqFwd, 0, 0x1000).result.error, err::kHandleEof);

  const Handle back = OpenBackup(records, u"back.evt");
  EXPECT_EQ(Do(back, kSeqBack, 0, SizeOf(6) + SizeOf(5)).numbers, (Numbers{6, 5}));
  EXPECT_EQ(Drain(back, kSeqBack), (Numbers{4, 3, 2, 1}));
  EXPECT_EQ(eventlog().CloseEventLog(log), err::kSuccess);
  EXPECT_EQ(eventlog().CloseEventLog(back), err::kSuccess);
}

TEST_F(EventLogSuite, SeekThenSequentialContinues) {
  QB_SKIP_WHERE(Difference::kEventLogServiceStubbed);
  const auto records = SixRecords();
  LearnSizes(records);
  const Handle log = OpenBackup(records);
  EXPECT_EQ(Do(log, kSeekFwd, 3, SizeOf(3)).numbers, (Numbers{3}));
  EXPECT_EQ(Do(log, kSeqFwd, 0, SizeOf(4)).numbers, (Numbers{4}));
  // A sequential read continues from the position in the direction of its own flags.
  EXPECT_EQ(Do(log, kSeqBack, 0, 0x10000).numbers, (Numbers{5, 4, 3, 2, 1}));
  EXPECT_EQ(Do(log, kSeekBack, 4, SizeOf(4) + SizeOf(3)).numbers, (Numbers{4, 3}));
  EXPECT_EQ(Drain(log, kSeqBack), (Numbers{2, 1}));
  EXPECT_EQ(Do(log, kSeekFwd, 6, 0x10000).numbers, (Numbers{6}));
  EXPECT_EQ(Do(log, kSeqFwd, 0, 0x10000).result.error, err::kHandleEof);
  eventlog().CloseEventLog(log);
}

TEST_F(EventLogSuite, RecordsCarryWhatWasWritten) {
  QB_SKIP_WHERE(Difference::kEventLogServiceStubbed);
  const auto records = SixRecords();
  const Handle log = OpenBackup(records);
  std::uint32_t oldest = 0;
  EXPECT_EQ(eventlog().GetOldestRecord(log, oldest), err::kSuccess);
  EXPECT_EQ(oldest, 1u);
  const Read read = Do(log, kSeqFwd, 0, 0x10000);
  ASSERT_EQ(read.records.size(), 6u);
  for (std::size_t i = 0; i < 6; ++i) {
    const Record& r = read.records[i];
    EXPECT_EQ(r.number, i + 1);
    EXPECT_EQ(r.eventId, records[i].eventId);
    EXPECT_EQ(r.type, records[i].type);
    EXPECT_EQ(r.category, records[i].category);
    EXPECT_EQ(r.source, u"Disk");
    EXPECT_EQ(r.strings, records[i].strings);
  }
  eventlog().CloseEventLog(log);
}

TEST_F(EventLogSuite, TooSmallABufferReportsTheRecordSize) {
  QB_SKIP_WHERE(Difference::kEventLogServiceStubbed);
  const auto records = SixRecords();
  LearnSizes(records);
  const Handle log = OpenBackup(records);
  EXPECT_EQ(Do(log, kSeqFwd, 0, SizeOf(1)).numbers, (Numbers{1}));
  for (std::size_t size : {std::size_t{0}, std::size_t{SizeOf(2) - 4}}) {
    const Read r = Do(log, kSeqFwd, 0, size);
    EXPECT_EQ(r.result.error, err::kInsufficientBuffer) << size;
    EXPECT_EQ(r.result.bytesNeeded, SizeOf(2)) << size;
    EXPECT_EQ(r.result.bytesRead, 0u) << size;
  }
  const Read seek = Do(log, kSeekBack, 5, 8);
  EXPECT_EQ(seek.result.error, err::kInsufficientBuffer);
  EXPECT_EQ(seek.result.bytesNeeded, SizeOf(5));
  // Neither failure moved the position.
  EXPECT_EQ(Do(log, kSeqFwd, 0, SizeOf(2)).numbers, (Numbers{2}));
  eventlog().CloseEventLog(log);
}

TEST_F(EventLogSuite, BadRequestsAreRefused) {
  QB_SKIP_WHERE(Difference::kEventLogServiceStubbed);
  const Handle log = OpenBackup(SixRecords());
  for (std::uint32_t flags : {0u, 1u, 4u, 3u | 4u, 1u | 12u, kSeqFwd | 0x10u}) {
    EXPECT_EQ(Do(log, flags, 1, 0x1000).result.error, err::kInvalidParameter) << flags;
  }
  // Seeks to record numbers the log does not hold.
  EXPECT_EQ(Do(log, kSeekFwd, 0, 0x1000).result.error, err::kInvalidParameter);
  EXPECT_EQ(Do(log, kSeekBack, 7, 0x1000).result.error, err::kInvalidParameter);
  // A closed handle is no handle.
  EXPECT_EQ(eventlog().CloseEventLog(log), err::kSuccess);
  EXPECT_EQ(eventlog().CloseEventLog(log), err::kInvalidHandle);
  EXPECT_EQ(Do(log, kSeqFwd, 0, 0x1000).result.error, err::kInvalidHandle);
  std::uint32_t count = 7;
  EXPECT_EQ(eventlog().GetNumberOfRecords(log, count), err::kInvalidHandle);
}

TEST_F(EventLogSuite, AnEmptyLogHasNothingToRead) {
  QB_SKIP_WHERE(Difference::kEventLogServiceStubbed);
  const Handle log = OpenBackup({});
  EXPECT_EQ(Count(log), 0u);
  std::uint32_t oldest = 7;
  EXPECT_EQ(eventlog().GetOldestRecord(log, oldest), err::kSuccess);
  EXPECT_EQ(oldest, 0u);
  EXPECT_EQ(Do(log, kSeekFwd, 1, 0x1000).result.error, err::kInvalidParameter);
  EXPECT_EQ(Do(log, kSeqBack, 0, 0x1000).result.error, err::kHandleEof);
  eventlog().CloseEventLog(log);
}

TEST_F(EventLogSuite, ABackupIsCheckedWhenOpenedAndReadAsItWasThen) {
  QB_SKIP_WHERE(Difference::kEventLogServiceStubbed);
  const std::u16string garbage = backend().ScratchFolder() + u"\\garbage.evt";
  ASSERT_EQ(system().WriteFile(garbage, Bytes(100, std::byte{0x55})), err::kSuccess);
  Handle log = 7;
  EXPECT_EQ(eventlog().OpenBackupEventLog(garbage, log), err::kEventlogFileCorrupt);
  EXPECT_EQ(log, 0u);

  log = OpenBackup(SixRecords());
  // Whatever happens to the file afterwards, the handle reads what was there.
  system().WriteFile(backend().ScratchFolder() + u"\\log.evt", Bytes(100, std::byte{0x55}));
  EXPECT_EQ(Drain(log, kSeqBack), (Numbers{6, 5, 4, 3, 2, 1}));
  eventlog().CloseEventLog(log);
}

// --- a live log of the test's own ---

TEST_F(EventLogSuite, ReportedEventsGoToTheSourcesLog) {
  QB_SKIP_WHERE(Difference::kEventLogServiceStubbed);
  QB_NEED_LIVE_LOG();
  // Names ignore case.
  std::u16string upper = log_;
  for (char16_t& c : upper) c = c >= u'a' && c <= u'z' ? c - 32 : c;
  const Handle log = Open(upper);
  EXPECT_EQ(Count(log), 0u);
  const std::vector<std::u16string> strings{u"\\Device\\Harddisk0", u"x"};
  const Bytes data{std::byte{1}, std::byte{2}, std::byte{3}, std::byte{4}, std::byte{5}};
  ASSERT_EQ(
      eventlog().ReportEvent(sourceHandle_, platform::evtype::kError, 2, 0xC0040007, strings, data),
      err::kSuccess);
  EXPECT_EQ(Count(log), 1u);
  const Read read = Do(log, kSeqFwd, 0, 0x10000);
  ASSERT_EQ(read.records.size(), 1u);
  const Record& r = read.records[0];
  EXPECT_EQ(r.number, 1u);
  EXPECT_EQ(r.eventId, 0xC0040007u);
  EXPECT_EQ(r.type, platform::evtype::kError);
  EXPECT_EQ(r.category, 2u);
  EXPECT_EQ(r.source, source_);
  EXPECT_EQ(r.strings, strings);
  EXPECT_EQ(r.data, data);

  // A source no log lists writes into the Application log.
  Handle stray = 0;
  ASSERT_EQ(eventlog().RegisterEventSource(u"Quillerbankton Suite Stray", stray), err::kSuccess);
  EXPECT_EQ(eventlog().ReportEvent(stray, platform::evtype::kInformation, 0, 1, {}, {}),
            err::kSuccess);
  EXPECT_EQ(Count(log), 1u);
  const Handle application = Open(u"Application");
  const Read newest = Do(application, kSeqBack, 0, 0x10000);
  ASSERT_FALSE(newest.records.empty());
  EXPECT_EQ(newest.records[0].source, u"Quillerbankton Suite Stray");
  eventlog().CloseEventLog(application);

  EXPECT_EQ(eventlog().DeregisterEventSource(stray), err::kSuccess);
  EXPECT_EQ(eventlog().DeregisterEventSource(stray), err::kInvalidHandle);
  EXPECT_EQ(eventlog().ReportEvent(stray, platform::evtype::kInformation, 0, 1, {}, {}),
            err::kInvalidHandle);
  eventlog().CloseEventLog(log);
}

TEST_F(EventLogSuite, LiveChangesReachOpenHandles) {
  QB_SKIP_WHERE(Difference::kEventLogServiceStubbed);
  QB_NEED_LIVE_LOG();
  for (std::uint32_t id = 1; id <= 3; ++id) ASSERT_EQ(Report(id), err::kSuccess);
  const Handle log = Open(log_);
  EXPECT_EQ(Drain(log, kSeqFwd), (Numbers{1, 2, 3}));
  ASSERT_EQ(Report(4), err::kSuccess);
  EXPECT_EQ(Drain(log, kSeqFwd), (Numbers{4}));

  const Handle clearing = Open(log_);
  EXPECT_EQ(eventlog().ClearEventLog(clearing, u""), err::kSuccess);
  EXPECT_EQ(Count(clearing), 0u);
  // The reader learns of the change once, then reads afresh; numbering restarts.
  EXPECT_EQ(Do(log, kSeqFwd, 0, 0x1000).result.error, err::kEventlogFileChanged);
  EXPECT_EQ(Do(log, kSeqFwd, 0, 0x1000).result.error, err::kHandleEof);
  ASSERT_EQ(Report(5), err::kSuccess);
  EXPECT_EQ(Drain(log, kSeqFwd), (Numbers{1}));
  eventlog().CloseEventLog(log);
  eventlog().CloseEventLog(clearing);
}

TEST_F(EventLogSuite, BackupsAndClearsRoundTrip) {
  QB_SKIP_WHERE(Difference::kEventLogServiceStubbed);
  QB_NEED_LIVE_LOG();
  for (std::uint32_t id = 1; id <= 6; ++id) ASSERT_EQ(Report(id), err::kSuccess);
  const Handle log = Open(log_);
  const std::u16string folder = backend().ScratchFolder();
  EXPECT_EQ(eventlog().BackupEventLog(log, folder + u"\\a.evt"), err::kSuccess);
  EXPECT_EQ(eventlog().BackupEventLog(log, folder + u"\\A.EVT"), err::kAlreadyExists);
  EXPECT_EQ(eventlog().BackupEventLog(log, folder + u"\\missing\\a.evt"), err::kPathNotFound);

  // Clearing into an existing file leaves the log alone.
  EXPECT_EQ(eventlog().ClearEventLog(log, folder + u"\\a.evt"), err::kAlreadyExists);
  EXPECT_EQ(Count(log), 6u);
  EXPECT_EQ(eventlog().ClearEventLog(log, folder + u"\\b.evt"), err::kSuccess);
  EXPECT_EQ(Count(log), 0u);

  for (const char16_t* name : {u"\\a.evt", u"\\b.evt"}) {
    Handle backup = 0;
    ASSERT_EQ(eventlog().OpenBackupEventLog(folder + name, backup), err::kSuccess) << U8(name);
    EXPECT_EQ(Count(backup), 6u);
    EXPECT_EQ(Drain(backup, kSeqBack), (Numbers{6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(Do(backup, kSeekFwd, 6, 0x1000).numbers, (Numbers{6}));
    EXPECT_EQ(eventlog().CloseEventLog(backup), err::kSuccess);
  }
  eventlog().CloseEventLog(log);
}

TEST_F(EventLogSuite, ChangeEventsWakeWaitersAndResetThemselves) {
  QB_SKIP_WHERE(Difference::kEventLogServiceStubbed);
  QB_NEED_LIVE_LOG();
  const Handle log = Open(log_);
  ErrorCode error = 1;
  const auto change = eventlog().NotifyChangeEventLog(log, error);
  ASSERT_NE(change, nullptr);
  EXPECT_EQ(error, err::kSuccess);

  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Report(1);
  });
  EXPECT_EQ(change->Wait(5000, error), WaitResult::kSignalled);
  writer.join();

  // Auto-reset; a change of another log does not count; the time-out is really waited for.
  Handle stray = 0;
  ASSERT_EQ(eventlog().RegisterEventSource(u"Quillerbankton Suite Stray", stray), err::kSuccess);
  EXPECT_EQ(eventlog().ReportEvent(stray, platform::evtype::kInformation, 0, 1, {}, {}),
            err::kSuccess);
  eventlog().DeregisterEventSource(stray);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(change->Wait(50, error), WaitResult::kTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(45));
  EXPECT_EQ(eventlog().ClearEventLog(log, u""), err::kSuccess);
  EXPECT_EQ(change->Wait(0, error), WaitResult::kSignalled);
  eventlog().CloseEventLog(log);
}

}  // namespace
}  // namespace qb::suite
