// Copying records out: the UTF-16 text rendition with its labelled lines.
#include <cstdint>

#include "plugin_test_checks.h"
#include "wine_test_support.h"

namespace qb::winetest {
namespace {

constexpr std::size_t kLabelWidth = 28;

// A label padded to the width the labels take in the text.
std::wstring Label(const wchar_t* label) {
  std::wstring text = label;
  if (text.size() < kLabelWidth) text.resize(kLabelWidth, L' ');
  return text;
}

// The local date and time of a record time as the user's locale writes them.
std::wstring LocalDateTime(std::uint32_t seconds) {
  constexpr std::uint64_t kEpochSeconds = 11'644'473'600;
  const std::uint64_t ticks = (kEpochSeconds + seconds) * 10'000'000;
  const FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  FILETIME local{};
  SYSTEMTIME fields{};
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &fields)) return {};
  wchar_t date[128] = {};
  wchar_t time[128] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &fields, nullptr, date, 128);
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &fields, nullptr, time, 128);
  return std::wstring(date) + L" " + time;
}

bool HasLine(const std::wstring& text, const std::wstring& line) {
  return text.find(L"\r\n" + line + L"\r\n") != std::wstring::npos ||
         text.rfind(line + L"\r\n", 0) == 0;
}

void CheckLine(const std::wstring& text, const std::string& what, const wchar_t* label,
               const std::wstring& value) {
  Check(HasLine(text, Label(label) + value),
        what + "has the line \"" + Narrow(std::wstring(label)) + " " + Narrow(value) + "\"");
}

void CheckRecordFile(const LoadedPlugin& plugin, const TestRecord& record) {
  const std::string what = "record " + std::to_string(record.contents.recordNumber) + " (" +
                           Narrow(ListedName(record)) + ") copied out ";
  std::wstring remote = RecordPath(record);
  std::wstring local =
      plugin.folder + L"\\record_" + std::to_wstring(record.contents.recordNumber) + L".txt";
  RemoteInfo info{};
  info.sizeLow = EventCode(record);
  const int result = plugin.fs.FsGetFileW(Host(remote), Host(local), 0, Host(&info));
  Check(result == kFileOk, what + "gives FS_FILE_OK (got " + std::to_string(result) + ")");
  const auto text = ReadUtf16File(local);
  if (!Check(text.has_value(), what + "is a UTF-16 LE file with a byte-order mark")) return;

  CheckLine(*text, what, L"Root Key:", kApplicationLog);
  CheckLine(*text, what, L"Event Source:", Wide(record.contents.source));
  CheckLine(*text, what, L"Date:", LocalDateTime(record.contents.timeWritten));
  CheckLine(*text, what, L"Event ID:", std::to_wstring(EventCode(record)));
  CheckLine(*text, what, L"Event Category:", record.category);
  CheckLine(*text, what, L"Event Type:", record.typeWord);
  CheckLine(*text, what, L"Record Number:", std::to_wstring(record.contents.recordNumber));
  CheckLine(*text, what, L"User Name:", record.user);
  CheckLine(*text, what, L"Computer Name:", Wide(record.contents.computer));

  // The description follows its label on a line of its own.
  std::wstring description = ExpectedDescription(record);
  if (description.size() < 2 || description.compare(description.size() - 2, 2, L"\r\n") != 0) {
    description += L"\r\n";
  }
  const std::size_t at = text->find(Label(L"Description:") + L"\r\n");
  const std::wstring after =
      at == std::wstring::npos ? std::wstring() : text->substr(at + kLabelWidth + 2);
  Check(after.rfind(description, 0) == 0, what + "has the description \"" + Narrow(description) +
                                              "\" (got \"" + Narrow(after.substr(0, 300)) + "\")");

  const bool hasData = text->find(L"Binary Data:") != std::wstring::npos;
  if (record.contents.data.empty()) {
    Check(!hasData, what + "has no binary data section");
  }
}

}  // namespace

void CheckRecordFiles(const LoadedPlugin& plugin, const std::vector<TestRecord>& records) {
  for (const TestRecord& record : records) CheckRecordFile(plugin, record);

  // The binary data of the TestSource record, as words and as bytes.
  const TestRecord& withData = records[kFormattedRecord];
  const auto text = ReadUtf16File(plugin.folder + L"\\record_" +
                                  std::to_wstring(withData.contents.recordNumber) + L".txt");
  if (!text) return;
  Check(text->find(L"Binary Data:") != std::wstring::npos,
        "the record with binary data has a binary data section");
  Check(text->find(L"0000: 00214251 DEADBEEF") != std::wstring::npos,
        "the binary data is dumped as little-endian words");
  Check(text->find(L"0000: 51 42 21 00 EF BE AD DE") != std::wstring::npos,
        "the binary data is dumped as bytes");
  // The message names three inserts and the record has two: no text of that message may
  // appear, only the fallback with the two inserts.
  const auto tooFew =
      ReadUtf16File(plugin.folder + L"\\record_" +
                    std::to_wstring(records[kTooFewInsertsRecord].contents.recordNumber) + L".txt");
  Check(tooFew && tooFew->find(L"Needs") == std::wstring::npos,
        "a message naming more inserts than the record has is not formatted");
}

}  // namespace qb::winetest
