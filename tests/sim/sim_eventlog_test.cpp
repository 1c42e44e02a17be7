#include "platform/sim/services/eventlog_service.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/sim/formats/evt_file.h"
#include "platform/sim/services/registry.h"
#include "platform/sim/services/system.h"
#include "support/drain_records.h"

namespace qb::sim {
namespace {

// The service's own types and constants, as the service sees them.
using namespace platform;
namespace ev = evflags;
using WaitResult = IChangeEvent::WaitResult;

constexpr std::uint32_t kSequentialForwards = ev::kSequentialRead | ev::kForwardsRead;

struct ReadCall {
  ReadResult result;
  std::vector<std::uint32_t> numbers;  // of the records delivered, in order
};

class SimEventLogTest : public ::testing::Test {
 protected:
  SimEventLogTest() : service_(files_, registry_) {
    app_ = &service_.AddLog(u"Application");
    // Record n carries n*3 characters, so records differ in size.
    for (std::uint32_t n = 1; n <= 6; ++n) Append(*app_, n * 3);
  }

  static std::uint32_t Append(SimEventLog& log, std::size_t textLength) {
    RecordFields contents;
    contents.source = u"Test";
    contents.strings = {std::u16string(textLength, u'a')};
    return log.Append(contents);
  }

  std::uint32_t SizeOf(std::uint32_t number) const {
    return static_cast<std::uint32_t>(app_->records[number - app_->oldestNumber].size());
  }

  Handle Open(std::u16string_view name = u"Application") {
    Handle h = 0;
    EXPECT_EQ(service_.OpenEventLog(name, h), err::kSuccess);
    return h;
  }

  // One ReadEventLog call; the delivered buffer must hold exactly whole records.
  ReadCall Do(Handle h, std::uint32_t flags, std::uint32_t offset, std::size_t size) {
    Bytes buffer(size);
    ReadCall read{service_.ReadEventLog(h, flags, offset, buffer), {}};
    std::size_t at = 0;
    while (at < read.result.bytesRead) {
      const platform::ByteSpan rest = platform::ByteSpan(buffer).subspan(at);
      EXPECT_TRUE(LooksLikeRecord(rest));
      read.numbers.push_back(RecordNumber(rest));
      at += std::max<std::uint32_t>(RecordLength(rest), 4);
    }
    EXPECT_EQ(at, read.result.bytesRead);
    return read;
  }

  // Everything a handle delivers from here on with a generous buffer.
  std::vector<std::uint32_t> Drain(Handle h, std::uint32_t flags) {
    return support::DrainRecords([&] { return Do(h, flags, 0, 0x10000); });
  }

  SimSystem files_;
  SimRegistry registry_;
  SimEventLogService service_;
  SimEventLog* app_ = nullptr;
};

using Numbers = std::vector<std::uint32_t>;

// Reading is a suite case (tests/platform/eventlog_service_suite.cpp); the sim delivers the
// very bytes it stores.
TEST_F(SimEventLogTest, RecordsArriveExactlyAsStored) {
  const Handle h = Open();
  Bytes buffer(platform::kMaxReadBuffer);
  const ReadResult r = service_.ReadEventLog(h, kSequentialForwards, 0, buffer);
  ASSERT_EQ(r.error, err::kSuccess);
  Bytes expected;
  for (const auto& record : app_->records)
    expected.insert(expected.end(), record.begin(), record.end());
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + r.bytesRead), expected);
  EXPECT_EQ(Do(h, kSequentialForwards, 0, platform::kMaxReadBuffer).result.error, err::kHandleEof);
  EXPECT_EQ(Do(h + 1000, kSequentialForwards, 0, 0x1000).result.error, err::kInvalidHandle);
  EXPECT_EQ(service_.ReadCallCount(), 3u);
}

TEST_F(SimEventLogTest, OverwritingLogDropsItsOldestRecords) {
  const Handle h = Open();
  EXPECT_EQ(Do(h, kSequentialForwards, 0, SizeOf(1)).numbers, (Numbers{1}));
  std::uint32_t used = kEvtHeaderSize + kEvtEofRecordSize;
  for (const auto& r : app_->records) used += static_cast<std::uint32_t>(r.size());
  app_->maxSize = used;
  // A record the size of the two oldest together only fits when both go.
  Bytes big = BuildEventRecord({});
  ResizeRecord(big, SizeOf(1) + SizeOf(2));
  ASSERT_EQ(app_->Append(big), 7u);
  std::uint32_t count = 0, oldest = 0;
  EXPECT_EQ(service_.GetNumberOfRecords(h, count), err::kSuccess);
  EXPECT_EQ(service_.GetOldestRecord(h, oldest), err::kSuccess);
  EXPECT_EQ(count, 5u);
  EXPECT_EQ(oldest, 3u);
  // The handle was at record 2, which is gone: it goes on with the oldest one left.
  EXPECT_EQ(Drain(h, kSequentialForwards), (Numbers{3, 4, 5, 6, 7}));
  bool full = true;
  EXPECT_EQ(service_.GetFullInformation(h, full), err::kSuccess);
  EXPECT_FALSE(full);
}

TEST_F(SimEventLogTest, OpeningClosingAndCounting) {
  service_.AddLog(u"System");
  const Handle s = Open(u"system");
  const Handle fallback = Open(u"NoSuchLog");  // opens Application, as Windows does
  std::uint32_t count = 0;
  EXPECT_EQ(service_.GetNumberOfRecords(s, count), err::kSuccess);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(service_.GetOldestRecord(s, count), err::kSuccess);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(service_.GetNumberOfRecords(fallback, count), err::kSuccess);
  EXPECT_EQ(count, 6u);
  EXPECT_EQ(service_.OpenHandleCount(), 2u);
  EXPECT_EQ(service_.CloseEventLog(fallback), err::kSuccess);
  EXPECT_EQ(service_.OpenHandleCount(), 1u);

  service_.SetOpenFails(u"System", err::kAccessDenied);
  Handle h = 7;
  EXPECT_EQ(service_.OpenEventLog(u"SYSTEM", h), err::kAccessDenied);
  EXPECT_EQ(h, 0u);
  service_.SetOpenFails(u"System", err::kSuccess);
  EXPECT_NE(Open(u"System"), 0u);

  SimSystem files;
  SimRegistry registry;
  SimEventLogService bare(files, registry);
  EXPECT_EQ(bare.OpenEventLog(u"Anything", h), err::kFileNotFound);
}

// Backing up, clearing and reading backups are suite cases; a folder that cannot be written
// and the sim's own loading and saving of .evt files are not.
TEST_F(SimEventLogTest, BackupClearAndOpenBackupRoundTrip) {
  const std::deque<Bytes> before = app_->records;
  const Handle h = Open();
  files_.SetReadOnlyFolder(u"C:\\Users\\Public");
  EXPECT_EQ(service_.ClearEventLog(h, u"C:\\Users\\Public\\b.evt"), err::kAccessDenied);
  EXPECT_EQ(app_->records.size(), 6u);
  EXPECT_EQ(service_.ClearEventLog(h, u"C:\\Temp\\b.evt"), err::kSuccess);
  EXPECT_TRUE(app_->records.empty());
  const Bytes saved = *files_.FileContents(u"C:\\Temp\\b.evt");

  Handle backup = 0;
  ASSERT_EQ(service_.OpenBackupEventLog(u"C:\\Temp\\b.evt", backup), err::kSuccess);
  // Only a live log can be cleared.
  EXPECT_EQ(service_.ClearEventLog(backup, u""), err::kInvalidHandle);
  EXPECT_EQ(service_.CloseEventLog(backup), err::kSuccess);

  // The same file loads into a live log, numbers and all.
  ASSERT_TRUE(service_.LoadEvt(u"Restored", saved));
  SimEventLog* restored = service_.FindLog(u"restored");
  ASSERT_NE(restored, nullptr);
  EXPECT_EQ(restored->records, before);
  EXPECT_EQ(restored->nextNumber, 7u);
  EXPECT_EQ(ReadEvtFile(service_.SaveEvt(u"Restored"))->records,
            std::vector<Bytes>(before.begin(), before.end()));
  std::string error;
  EXPECT_FALSE(service_.LoadEvt(u"Restored", Bytes(100), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(service_.SaveEvt(u"NoSuchLog").empty());
}

// Where reported events go is a suite case; the sim writes them exactly as Windows lays
// them out, with its clock and computer name.
TEST_F(SimEventLogTest, ReportedEventsAreLaidOutAsWindowsDoes) {
  SimEventLog& system = service_.AddLog(u"System");
  registry_.CreateKey(u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\Disk");
  service_.SetNow(1234567890);
  service_.SetComputerName(u"BOX");
  Handle disk = 0, other = 0;
  ASSERT_EQ(service_.RegisterEventSource(u"disk", disk), err::kSuccess);
  ASSERT_EQ(service_.RegisterEventSource(u"Unlisted", other), err::kSuccess);
  EXPECT_EQ(service_.RegisteredSources(), (std::vector<std::u16string>{u"disk", u"Unlisted"}));

  const std::vector<std::u16string> strings{u"\\Device\\Harddisk0", u"x"};
  const Bytes data{std::byte{1}, std::byte{2}, std::byte{3}, std::byte{4}, std::byte{5}};
  ASSERT_EQ(service_.ReportEvent(disk, 1, 2, 0xC0040007, strings, data), err::kSuccess);
  ASSERT_EQ(system.records.size(), 1u);
  RecordFields expected;
  expected.recordNumber = 1;
  expected.timeGenerated = expected.timeWritten = 1234567890;
  expected.eventId = 0xC0040007;
  expected.eventType = 1;
  expected.category = 2;
  expected.source = u"disk";
  expected.computer = u"BOX";
  expected.strings = strings;
  expected.data = data;
  EXPECT_EQ(system.records[0], BuildEventRecord(expected));

  ASSERT_EQ(service_.ReportEvent(other, 4, 0, 1, {}, {}), err::kSuccess);
  EXPECT_EQ(RecordNumber(app_->records.back()), 7u);
  EXPECT_EQ(service_.DeregisterEventSource(other), err::kSuccess);
  EXPECT_EQ(service_.SourceHandleCount(), 1u);
}

TEST_F(SimEventLogTest, FullLogRefusesEvents) {
  app_->overwrite = false;
  std::uint32_t used = kEvtHeaderSize + kEvtEofRecordSize;
  for (const auto& r : app_->records) used += static_cast<std::uint32_t>(r.size());
  app_->maxSize = used + 100;
  Handle source = 0;
  service_.RegisterEventSource(u"S", source);
  const Handle h = Open();
  bool full = true;
  EXPECT_EQ(service_.GetFullInformation(h, full), err::kSuccess);
  EXPECT_FALSE(full);
  EXPECT_EQ(service_.ReportEvent(source, 4, 0, 1, {}, {}), err::kSuccess);  // one still fits
  EXPECT_EQ(service_.ReportEvent(source, 4, 0, 1, {}, {}), err::kLogFileFull);
  EXPECT_EQ(app_->records.size(), 7u);
  EXPECT_EQ(service_.GetFullInformation(h, full), err::kSuccess);
  EXPECT_TRUE(full);
  EXPECT_EQ(service_.ClearEventLog(h, u""), err::kSuccess);
  EXPECT_EQ(service_.GetFullInformation(h, full), err::kSuccess);
  EXPECT_FALSE(full);
  service_.SetFullInformationMissing(true);
  EXPECT_EQ(service_.GetFullInformation(h, full), err::kProcNotFound);
}

// Waking, resetting and time-outs are suite cases; failures of the wait and of the event's
// creation are the sim's fault injection.
TEST_F(SimEventLogTest, ChangeEventFailuresAreReported) {
  const Handle h = Open();
  platform::ErrorCode error = 1;
  auto event = service_.NotifyChangeEventLog(h, error);
  ASSERT_NE(event, nullptr);
  service_.SetWaitFails(true);
  Append(*app_, 1);
  error = 0;
  EXPECT_EQ(event->Wait(0, error), WaitResult::kFailed);
  EXPECT_NE(error, err::kSuccess);
  service_.SetWaitFails(false);
  EXPECT_EQ(event->Wait(0, error), WaitResult::kSignalled);

  service_.SetCreateEventFails(err::kNotEnoughMemory);
  EXPECT_EQ(service_.NotifyChangeEventLog(h, error), nullptr);
  EXPECT_EQ(error, err::kNotEnoughMemory);
}

// A reader thread following the log while the test thread writes to it, as the core's
// background reader does.
TEST_F(SimEventLogTest, ConcurrentReaderSeesEveryAppendedRecord) {
  app_->Clear();
  const Handle h = Open();
  platform::ErrorCode error = 0;
  auto event = service_.NotifyChangeEventLog(h, error);
  ASSERT_NE(event, nullptr);
  constexpr std::uint32_t kCount = 300;
  Numbers seen;
  std::thread reader([&] {
    Bytes buffer(0x400);
    while (seen.size() < kCount) {
      const ReadResult r = service_.ReadEventLog(h, kSequentialForwards, 0, buffer);
      if (r.error == err::kEventlogFileChanged) continue;
      if (r.error != err::kSuccess) {
        if (event->Wait(2000, error) != WaitResult::kSignalled) break;
        continue;
      }
      for (std::size_t at = 0; at < r.bytesRead;) {
        const auto rest = platform::ByteSpan(buffer).subspan(at);
        seen.push_back(RecordNumber(rest));
        at += RecordLength(rest);
      }
    }
  });
  for (std::uint32_t i = 0; i < kCount; ++i) Append(*app_, i % 40);
  reader.join();
  Numbers expected(kCount);
  for (std::uint32_t i = 0; i < kCount; ++i) expected[i] = i + 1;
  EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace qb::sim
