#include "platform/sim/formats/evt_file.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/sim/formats/event_record.h"

namespace qb::sim {
namespace {

using platform::Bytes;

// Header fields the tests look at.
constexpr std::size_t kStart = 16, kEnd = 20, kCurrent = 24, kMaxSizeField = 32, kFlags = 36;

Bytes Rec(std::uint32_t number, std::size_t textLength) {
  RecordFields contents;
  contents.recordNumber = number;
  contents.source = u"Src";
  contents.strings = {std::u16string(textLength, u'x')};
  return BuildEventRecord(contents);
}

// Records of varied sizes numbered from `first`.
EvtLog Log(std::uint32_t first, std::uint32_t count) {
  EvtLog log;
  for (std::uint32_t i = 0; i < count; ++i) log.records.push_back(Rec(first + i, (i * 7) % 23));
  log.oldestRecordNumber = first;
  log.currentRecordNumber = first + count;
  return log;
}

std::uint32_t TotalSize(const EvtLog& log) {
  std::uint32_t total = 0;
  for (const auto& r : log.records) total += static_cast<std::uint32_t>(r.size());
  return total;
}

std::uint32_t Field(const Bytes& file, std::size_t offset) {
  return *ReadU32(file, offset);
}

TEST(EvtFile, PlainFileRoundTrips) {
  EvtLog log = Log(10, 5);
  log.maxSize = 0x20005;
  log.retention = 7;
  log.flags = evtflag::kArchiveSet;
  const Bytes file = WriteEvtFile(log);
  EXPECT_EQ(file.size(), 0x30000u);  // MaxSize rounded up to 64 KiB
  EXPECT_EQ(Field(file, kStart), kEvtHeaderSize);
  EXPECT_EQ(Field(file, kEnd), kEvtHeaderSize + TotalSize(log));
  EXPECT_EQ(Field(file, kMaxSizeField), 0x20005u);

  std::string error;
  const auto read = ReadEvtFile(file, &error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(read->records, log.records);
  EXPECT_EQ(read->oldestRecordNumber, 10u);
  EXPECT_EQ(read->currentRecordNumber, 15u);
  EXPECT_EQ(read->maxSize, 0x20005u);
  EXPECT_EQ(read->retention, 7u);
  EXPECT_EQ(read->flags, evtflag::kArchiveSet);
  EXPECT_FALSE(read->damaged);

  EXPECT_EQ(WriteEvtFile(Log(1, 1)).size(), kEvtSizeGranularity);
}

TEST(EvtFile, EmptyLogRoundTrips) {
  EvtLog log;
  log.currentRecordNumber = 42;
  const auto read = ReadEvtFile(WriteEvtFile(log));
  ASSERT_TRUE(read);
  EXPECT_TRUE(read->records.empty());
  EXPECT_EQ(read->oldestRecordNumber, 0u);
  EXPECT_EQ(read->currentRecordNumber, 42u);
  EXPECT_FALSE(read->damaged);
}

// Every start offset of a tight file: records and the end-of-file record split at every
// possible point where the file ends.
TEST(EvtFile, WrappedFilesRoundTripAtEveryStart) {
  const EvtLog log = Log(100, 4);
  const std::uint32_t used = TotalSize(log) + kEvtEofRecordSize;
  const std::uint32_t size = kEvtHeaderSize + used + 16;
  for (std::uint32_t start = kEvtHeaderSize; start < size; start += 4) {
    SCOPED_TRACE(start);
    const Bytes file = WriteEvtFile(log, {.fileSize = size, .startOffset = start});
    ASSERT_EQ(file.size(), size);
    EXPECT_EQ(Field(file, kStart), start);
    EXPECT_EQ((Field(file, kFlags) & evtflag::kWrap) != 0, start + used > size);
    const auto read = ReadEvtFile(file);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->records, log.records);
    EXPECT_EQ(read->currentRecordNumber, 104u);
    EXPECT_FALSE(read->damaged);
  }
}

TEST(EvtFile, DirtyFileIsReadFromItsEndOfFileRecord) {
  const EvtLog log = Log(1, 6);
  const std::uint32_t size = kEvtHeaderSize + TotalSize(log) + kEvtEofRecordSize + 64;
  Bytes file =
      WriteEvtFile(log, {.fileSize = size, .startOffset = size - 100, .dirtyStaleHeader = true});
  EXPECT_NE(Field(file, kFlags) & evtflag::kDirty, 0u);
  // Stale: the newest record is neither counted nor followed by the end-of-file record.
  EXPECT_EQ(Field(file, kCurrent), 6u);
  EXPECT_EQ(RecordNumber(std::span(file).subspan(Field(file, kEnd))), 6u);
  const auto read = ReadEvtFile(file);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->records, log.records);
  EXPECT_EQ(read->currentRecordNumber, 7u);

  // A stale start is replaced by the end-of-file record's too.
  WriteU32(file, kStart, Field(file, kStart) + 8);
  auto again = ReadEvtFile(file);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->records, log.records);

  // Without the dirty flag a header that does not lead to the end-of-file record is not trusted.
  WriteU32(file, kFlags, 0);
  again = ReadEvtFile(file);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->records, log.records);
}

// Record data may hold the end-of-file markers; the scan must not stop there.
TEST(EvtFile, ScanSkipsMarkersInsideRecordData) {
  EvtLog log = Log(1, 3);
  RecordFields contents;
  contents.source = u"Src";
  // An empty log's file holds an end-of-file record at 0x30; that one names 0x30 as its own
  // offset, which it is not inside the data.
  contents.data = WriteEvtFile(EvtLog{}, {.fileSize = 0x100});
  contents.data.erase(contents.data.begin(), contents.data.begin() + kEvtHeaderSize);
  contents.data.resize(kEvtEofRecordSize);
  log.records.insert(log.records.begin(), BuildEventRecord(contents));
  for (std::uint32_t i = 0; i < 4; ++i) WriteU32(log.records[i], recfield::kRecordNumber, i + 1);
  const auto read = ReadEvtFile(WriteEvtFile(log, {.dirtyStaleHeader = true}));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->records, log.records);
  EXPECT_FALSE(read->damaged);
}

TEST(EvtFile, FillerAtTheEndOfTheFileIsSkipped) {
  const EvtLog log = Log(1, 2);
  const Bytes& a = log.records[0];
  const Bytes& b = log.records[1];
  const Bytes plain = WriteEvtFile(log);
  const auto eofAt = kEvtHeaderSize + a.size() + b.size();

  const std::uint32_t size = kEvtHeaderSize + 0x200;
  const auto aAt = static_cast<std::uint32_t>(size - a.size() - 8);
  const auto eofNow = static_cast<std::uint32_t>(kEvtHeaderSize + b.size());
  Bytes file(size);
  std::copy_n(plain.begin(), kEvtHeaderSize, file.begin());
  std::copy(a.begin(), a.end(), file.begin() + aAt);
  WriteU32(file, size - 8, 0x27);
  WriteU32(file, size - 4, 0x27);
  std::copy(b.begin(), b.end(), file.begin() + kEvtHeaderSize);
  std::copy_n(plain.begin() + eofAt, kEvtEofRecordSize, file.begin() + eofNow);
  WriteU32(file, eofNow + 20, aAt);  // BeginRecord
  WriteU32(file, eofNow + 24, eofNow);
  WriteU32(file, kStart, aAt);
  WriteU32(file, kEnd, eofNow);

  const auto read = ReadEvtFile(file);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->records, log.records);
  EXPECT_FALSE(read->damaged);
}

TEST(EvtFile, NonLogsAreRejected) {
  const Bytes good = WriteEvtFile(Log(1, 2));
  const auto rejected = [](const Bytes& file) {
    std::string error;
    const bool fails = !ReadEvtFile(file, &error);
    return fails && !error.empty();
  };
  EXPECT_TRUE(rejected({}));
  EXPECT_TRUE(rejected(Bytes(good.begin(), good.begin() + 0x57)));
  for (std::size_t field : {0, 4, 8, 12, 44}) {
    Bytes bad = good;
    WriteU32(bad, field, Field(good, field) + 1);
    EXPECT_TRUE(rejected(bad)) << field;
  }
  Bytes headerOnly(good.begin(), good.begin() + kEvtHeaderSize);
  headerOnly.resize(0x1000);
  EXPECT_TRUE(rejected(headerOnly));
}

// Damage in the middle keeps the sound records before it and says so.
TEST(EvtFile, DamagedFilesGiveTheirSoundPrefix) {
  const EvtLog log = Log(1, 5);
  const Bytes good = WriteEvtFile(log);
  const std::size_t third = kEvtHeaderSize + log.records[0].size() + log.records[1].size();
  const std::size_t fourth = third + log.records[2].size();
  const auto prefix = [&](const Bytes& file) {
    const auto read = ReadEvtFile(file);
    if (!read) return std::size_t{999};
    EXPECT_TRUE(read->damaged);
    EXPECT_TRUE(std::equal(read->records.begin(), read->records.end(), log.records.begin()));
    return read->records.size();
  };

  Bytes bad = good;
  WriteU32(bad, third + recfield::kReserved, 0);
  EXPECT_EQ(prefix(bad), 2u);
  bad = good;
  WriteU32(bad, third + recfield::kRecordNumber, 2);  // not above its predecessor
  EXPECT_EQ(prefix(bad), 2u);
  bad = good;
  // Framed like a record, but running over the end-of-file record.
  const auto over = static_cast<std::uint32_t>(log.records[3].size() + log.records[4].size() +
                                               kEvtEofRecordSize + 8);
  WriteU32(bad, fourth + recfield::kLength, over);
  WriteU32(bad, fourth + over - 4, over);
  EXPECT_EQ(prefix(bad), 3u);
  bad = good;
  WriteU32(bad, third, 0x34);  // shorter than a record
  EXPECT_EQ(prefix(bad), 2u);
  // Cut inside the fourth record, at no DWORD boundary: the end-of-file record is gone.
  EXPECT_EQ(prefix(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(fourth) + 10)),
            3u);
}

}  // namespace
}  // namespace qb::sim
