#include "eventlog/raw_record.h"
#include "eventlog/record_decoder.h"
#include "support/eventlog_fixture.h"
#include "sysutil/datetime.h"

namespace qb {
namespace {

using support::EventLogTest;

class DecodeTest : public EventLogTest {
 protected:
  DecodeTest() { AddLog(u"Application"); }
  TFWEventLogRecord Full(const platform::Bytes& bytes) {
    const auto raw = RawEventRecord::At(bytes, 0);
    EXPECT_TRUE(raw.has_value());
    return log().DecodeEventRecord(1, *raw);
  }
  TFileItem Light(const platform::Bytes& bytes) {
    const auto raw = RawEventRecord::At(bytes, 0);
    EXPECT_TRUE(raw.has_value());
    return log().DecodeFileItem(*raw);
  }
};

TEST_F(DecodeTest, FieldsOfAFullRecord) {
  AddLibrary(u"C:\\m.dll", {{0xC0000005, u"Failed: %1 and %2\r\n"}, {2, u"Devices\r\n"}});
  AddSource(u"Application", u"Disk", u"C:\\m.dll", u"C:\\m.dll");
  auto fields = Record(u"Disk", 0xC0000005, 1);
  fields.category = 2;
  fields.computer = u"HOST1";
  fields.strings = {u"a", u"b"};
  fields.sid = sim::SimAccounts::SidFromString(u"S-1-5-18");
  fields.data = {std::byte{1}, std::byte{2}, std::byte{3}, std::byte{4},
                 std::byte{5}, std::byte{6}, std::byte{7}, std::byte{8}};
  fields.recordNumber = 42;
  const auto r = Full(sim::BuildEventRecord(fields));
  EXPECT_EQ(r.Number, 42u);
  EXPECT_EQ(r.EventID, 5u);  // the low 16 bits; the lookup used all 32
  EXPECT_EQ(r.EventType, TFWEventLogRecordType::rtError);
  EXPECT_EQ(r.SourceName, u"Disk");
  EXPECT_EQ(r.ComputerName, u"HOST1");
  EXPECT_EQ(r.Category, u"Devices");
  EXPECT_EQ(r.Description, u"Failed: a and b");
  EXPECT_EQ(r.Account, u"SYSTEM");
  EXPECT_EQ(r.Domain, u"NT AUTHORITY");
  EXPECT_EQ(r.BinData, fields.data);
  const auto item = Light(sim::BuildEventRecord(fields));
  EXPECT_EQ(item.fiSize, 5u);
  EXPECT_EQ(item.fiNumber, 42u);
  EXPECT_EQ(item.fiName, u"Disk");
  EXPECT_EQ(item.fiType, u"error");
}

TEST_F(DecodeTest, TypesOutsideTheSixAreShownAsUnknown) {
  EXPECT_EQ(Full(sim::BuildEventRecord(Record(u"S", 1, 0))).EventType,
            TFWEventLogRecordType::rtSuccess);
  EXPECT_EQ(Light(sim::BuildEventRecord(Record(u"S", 1, 0))).fiType, u"information");
  EXPECT_EQ(Full(sim::BuildEventRecord(Record(u"S", 1, 3))).EventType,
            TFWEventLogRecordType::rtUnknown);
  EXPECT_EQ(Light(sim::BuildEventRecord(Record(u"S", 1, 3))).fiType, u"unknown");
  EXPECT_EQ(Light(sim::BuildEventRecord(Record(u"S", 1, 0x8000))).fiType, u"unknown");
}

TEST_F(DecodeTest, TimesAtAChosenOffset) {
  machine().locale().SetUtcOffsetMinutes(60);
  auto fields = Record(u"S");
  fields.timeGenerated = 86399;
  fields.timeWritten = 0;
  const auto r = Full(sim::BuildEventRecord(fields));
  const auto created = sysutil::DateTimeToSystemTime(r.TimeCreated);
  EXPECT_EQ(created, (platform::SystemTime{1970, 1, 5, 2, 0, 59, 59, 0}));
  EXPECT_EQ(r.TimeCreated, sysutil::MakeDateTime(25570, 3599));
  EXPECT_EQ(sysutil::DateTimeToSystemTime(r.TimeWritten).wHour, 1);
  const auto item = Light(sim::BuildEventRecord(fields));
  const auto utc = sysutil::FileTimeToSystemTime(item.fiTime);
  ASSERT_TRUE(utc.has_value());
  EXPECT_EQ(*utc, (platform::SystemTime{1970, 1, 4, 1, 23, 59, 59, 0}));
  EXPECT_EQ(RecordTimeToLocal(0), sysutil::MakeDateTime(25569, 3600));
  machine().locale().SetUtcOffsetMinutes(-300);
  EXPECT_EQ(RecordTimeToLocal(86400), sysutil::MakeDateTime(25569, 86400 - 5 * 3600));
}

TEST_F(DecodeTest, LineBreaksByWindowsVersion) {
  EXPECT_EQ(NormalizeLineBreaks(u"x\ny\rz", 6), u"x\r\nyz");
  EXPECT_EQ(NormalizeLineBreaks(u"x\r\n\r\ny", 6), u"x\r\n\r\ny");
  EXPECT_EQ(NormalizeLineBreaks(u"x\r\n\r\ny", 5), u"x\r\ny");
  EXPECT_EQ(NormalizeLineBreaks(u"x\r\n\r\n\r\ny", 5), u"x\r\n\r\ny");
  AddLibrary(u"C:\\m.dll", {{7, u"one\r\n\r\ntwo\rthree\nfour\r\n"}});
  AddSource(u"Application", u"S", u"C:\\m.dll");
  files().SetOsMajorVersion(5);
  EXPECT_EQ(Full(sim::BuildEventRecord(Record(u"S", 7))).Description, u"one\r\ntwothree\r\nfour");
  files().SetOsMajorVersion(6);
  EXPECT_EQ(Full(sim::BuildEventRecord(Record(u"S", 7))).Description,
            u"one\r\n\r\ntwothree\r\nfour");
}

TEST_F(DecodeTest, AccountsThatCannotBeNamed) {
  auto fields = Record(u"S");
  const auto deleted = sim::SimAccounts::SidFromString(u"S-1-5-21-9-9-9-1234");
  machine().accounts().AddAccount(deleted, u"gone", u"QBSIM");
  machine().accounts().DeleteAccount(deleted);
  fields.sid = deleted;
  auto r = Full(sim::BuildEventRecord(fields));
  EXPECT_EQ(r.Account, u"");
  EXPECT_EQ(r.Domain, u"");
  fields.sid = sim::SimAccounts::SidFromString(u"S-1-5-21-7-7-7-1000");  // never known
  r = Full(sim::BuildEventRecord(fields));
  EXPECT_EQ(r.Account, u"");
  fields.sid.clear();
  r = Full(sim::BuildEventRecord(fields));
  EXPECT_EQ(r.Account, u"");
  EXPECT_EQ(r.Domain, u"");
  EXPECT_TRUE(r.BinData.empty());
}

TEST_F(DecodeTest, PartsOutsideTheRecordCountAsAbsent) {
  AddLibrary(u"C:\\m.dll", {{1, u"got %1\r\n"}});
  AddSource(u"Application", u"S", u"C:\\m.dll");
  auto fields = Record(u"S", 1);
  fields.strings = {u"insert"};
  fields.sid = sim::SimAccounts::SidFromString(u"S-1-5-18");
  fields.data = platform::Bytes(16, std::byte{7});
  const auto good = sim::BuildEventRecord(fields);
  EXPECT_EQ(Full(good).Description, u"got insert");

  auto strings = good;
  sim::WriteU32(strings, sim::recfield::kStringOffset, static_cast<std::uint32_t>(good.size()) + 8);
  auto r = Full(strings);
  // Without its insert the message cannot be formatted: the fallback lists no inserts.
  EXPECT_NE(r.Description.find(u"event ID ( 1 )"), std::u16string::npos);
  EXPECT_EQ(r.Account, u"SYSTEM");

  auto many = good;
  sim::WriteU16(many, sim::recfield::kNumStrings, 5000);
  EXPECT_NE(Full(many).Description.find(u"event ID ( 1 )"), std::u16string::npos);

  auto sid = good;
  sim::WriteU32(sid, sim::recfield::kUserSidOffset, 0xFFFFFFF0u);
  EXPECT_EQ(Full(sid).Account, u"");

  auto data = good;
  sim::WriteU32(data, sim::recfield::kDataLength, 0xFFFFFFFFu);
  EXPECT_TRUE(Full(data).BinData.empty());
  sim::WriteU32(data, sim::recfield::kDataLength, 16);
  sim::WriteU32(data, sim::recfield::kDataOffset, static_cast<std::uint32_t>(good.size()) - 8);
  EXPECT_TRUE(Full(data).BinData.empty());

  // Names without terminators inside the record.
  platform::Bytes bare(60, std::byte{0x41});
  sim::WriteU32(bare, 0, 60);
  const auto raw = RawEventRecord::At(bare, 0);
  ASSERT_TRUE(raw.has_value());
  EXPECT_EQ(raw->SourceName(), u"");
  EXPECT_EQ(raw->ComputerName(), u"");
  EXPECT_TRUE(raw->Strings().empty());
  EXPECT_FALSE(RawEventRecord::At(bare, 8).has_value());
  EXPECT_FALSE(RawEventRecord::At(bare, 100).has_value());
}

}  // namespace
}  // namespace qb
