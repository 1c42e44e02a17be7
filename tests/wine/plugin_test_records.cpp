#include "plugin_test_records.h"

namespace qb::winetest {
namespace {

namespace evtype = platform::evtype;

// Times whose seconds are never 0, so that the plugin always shows a time of day; the record
// was written two seconds after it was generated, so that the two cannot be confused.
constexpr std::uint32_t kFirstTime = 1700000007;
constexpr std::uint32_t kTimeStep = 3661;
constexpr std::uint32_t kWriteDelay = 2;

platform::Bytes Bytes(std::initializer_list<int> values) {
  platform::Bytes bytes;
  for (int v : values) bytes.push_back(static_cast<std::byte>(v));
  return bytes;
}

// A source no message library is registered for: its texts are the fallbacks.
constexpr wchar_t kUnknownCategory[] = L"Unknown";
constexpr wchar_t kNoUser[] = L"N\\A";

TestRecord Make(std::u16string source, std::uint32_t eventId, std::uint16_t type,
                std::uint16_t category, std::vector<std::u16string> strings,
                std::wstring typeWord) {
  TestRecord record;
  record.category = kUnknownCategory;
  record.user = kNoUser;
  record.contents.source = std::move(source);
  record.contents.eventId = eventId;
  record.contents.eventType = type;
  record.contents.category = category;
  record.contents.strings = std::move(strings);
  record.contents.computer = u"QBWINE";
  record.typeWord = std::move(typeWord);
  return record;
}

}  // namespace

platform::Bytes LocalSystemSid() {
  return Bytes({1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0});
}

std::vector<TestRecord> ApplicationRecords() {
  std::vector<TestRecord> records;
  // The plugin's own message table: message 0 is the first insert, category 1 "Default".
  records.push_back(
      Make(u"Quillerbankton", 0, evtype::kInformation, 1, {u"disk full"}, L"information"));
  records.back().category = L"Default";
  records.back().description = L"disk full";
  records.push_back(
      Make(u"TestSource", 0x40000001, evtype::kWarning, 1, {u"C:", u"93"}, L"warning"));
  records.back().contents.sid = LocalSystemSid();
  records.back().contents.data = Bytes({0x51, 0x42, 0x21, 0x00, 0xEF, 0xBE, 0xAD, 0xDE});
  records.back().category = L"Storage";
  records.back().user = L"NT AUTHORITY\\SYSTEM";
  records.back().description = L"Disk C: is at 93 percent.";
  // The message names three inserts: formatting it with two would read past them, so the
  // fallback text is expected.
  records.push_back(
      Make(u"TestSource", 0xC0000002, evtype::kError, 2, {u"alpha", u"beta"}, L"error"));
  records.back().category = L"Network";
  records.push_back(
      Make(u"AuditCheck", 4624, evtype::kAuditSuccess, 0, {u"user1"}, L"successaudit"));
  records.push_back(
      Make(u"AuditCheck", 4625, evtype::kAuditFailure, 0, {u"user2"}, L"failureaudit"));
  // Type 0 is shown as information, as the system's viewer does.
  records.push_back(Make(u"LegacyTool", 7, evtype::kSuccess, 0, {}, L"information"));
  // The size shown is the event code, the low 16 bits of the identifier.
  records.push_back(Make(u"OddSource", 0x8004ABCD, 0x20, 3, {u"x"}, L"unknown"));
  for (std::size_t i = 0; i < records.size(); ++i) {
    auto& contents = records[i].contents;
    contents.timeGenerated = kFirstTime + static_cast<std::uint32_t>(i) * kTimeStep;
    contents.timeWritten = contents.timeGenerated + kWriteDelay;
  }
  return records;
}

std::wstring FallbackDescription(const TestRecord& record) {
  std::wstring inserts;
  for (const auto& text : record.contents.strings) {
    inserts += std::wstring(text.begin(), text.end()) + L"\r\n";
  }
  return L"Not found the description for event ID ( " + std::to_wstring(EventCode(record)) +
         L" ) in Source ( " +
         std::wstring(record.contents.source.begin(), record.contents.source.end()) +
         L" ). The local computer may not have the necessary registry information or message "
         L"DLL files to display messages from a remote computer. The following information is "
         L"part of the event: " +
         inserts;
}

std::wstring ExpectedDescription(const TestRecord& record) {
  return record.description.empty() ? FallbackDescription(record) : record.description;
}

std::wstring ListedName(const TestRecord& record) {
  return L"[" + std::to_wstring(record.contents.recordNumber) + L"] " +
         std::wstring(record.contents.source.begin(), record.contents.source.end()) + L"." +
         record.typeWord;
}

bool StoreRecords(sim::SimEventLog& log, std::vector<TestRecord>& records) {
  bool ok = true;
  for (auto& record : records) {
    const std::uint32_t expected = log.nextNumber;
    record.contents.recordNumber = log.Append(record.contents);
    ok = ok && record.contents.recordNumber == expected && expected != 0;
  }
  return ok;
}

}  // namespace qb::winetest
