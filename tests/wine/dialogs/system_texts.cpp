#include "system_texts.h"

#include "platform/win32/windows_api.h"

namespace qb::winetest::dialogs {
namespace {

bool LocalFields(std::uint32_t seconds, SYSTEMTIME& fields) {
  constexpr std::uint64_t kEpochSeconds = 11'644'473'600;
  const std::uint64_t ticks = (kEpochSeconds + seconds) * 10'000'000;
  const FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  FILETIME local{};
  return FileTimeToLocalFileTime(&utc, &local) && FileTimeToSystemTime(&local, &fields);
}

}  // namespace

std::wstring LocalDate(std::uint32_t seconds) {
  SYSTEMTIME fields{};
  wchar_t text[128] = {};
  if (!LocalFields(seconds, fields) ||
      GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &fields, nullptr, text, 128) == 0) {
    return L"<no date>";
  }
  return text;
}

std::wstring LocalTime(std::uint32_t seconds) {
  SYSTEMTIME fields{};
  wchar_t text[128] = {};
  if (!LocalFields(seconds, fields) ||
      GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &fields, nullptr, text, 128) == 0) {
    return L"<no time>";
  }
  return text;
}

std::wstring Thousands(std::uint64_t value) {
  wchar_t separator[8] = {};
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8);
  const std::wstring digits = std::to_wstring(value);
  std::wstring text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) text += separator;
    text += digits[i];
  }
  return text;
}

std::wstring LanguageName(std::uint32_t localeId) {
  wchar_t name[128] = {};
  if (GetLocaleInfoW(localeId, LOCALE_SLANGUAGE, name, 128) == 0) return L"<unknown>";
  return name;
}

}  // namespace qb::winetest::dialogs
