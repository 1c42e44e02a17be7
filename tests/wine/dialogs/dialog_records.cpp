#include "dialog_test.h"

namespace qb::winetest::dialogs {

std::vector<TestRecord> DialogRecords() {
  std::vector<TestRecord> records = ApplicationRecords();
  TestRecord record;
  auto& contents = record.contents;
  contents.source = u"Disk-Health-Monitor";
  contents.eventId = 0xC0000F00;
  contents.eventType = platform::evtype::kError;
  contents.strings = {u"sector 7"};
  contents.computer = u"QBWINE";
  contents.sid = LocalSystemSid();
  contents.data = {std::byte{0x64}, std::byte{0x69}, std::byte{0x73}, std::byte{0x6B},
                   std::byte{0x01}, std::byte{0x02}, std::byte{0x03}, std::byte{0x04},
                   std::byte{0x41}, std::byte{0x42}, std::byte{0x43}};
  contents.timeGenerated = records.back().contents.timeGenerated + 3661;
  contents.timeWritten = contents.timeGenerated + 2;
  record.typeWord = L"error";
  record.category = L"Unknown";
  record.user = L"NT AUTHORITY\\SYSTEM";
  records.push_back(std::move(record));
  return records;
}

}  // namespace qb::winetest::dialogs
