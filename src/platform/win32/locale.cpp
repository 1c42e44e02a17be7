#include "platform/win32/locale.h"

#include <limits>

#include "platform/win32/wide.h"
#include "platform/win32/windows_api.h"

namespace qb::win32 {
namespace {

// The conversion functions count in int; longer texts are not converted.
constexpr std::size_t kMaxConvertible = static_cast<std::size_t>(std::numeric_limits<int>::max());

SYSTEMTIME ToSystemTime(const platform::SystemTime& t) {
  return SYSTEMTIME{t.wYear, t.wMonth,  t.wDayOfWeek, t.wDay,
                    t.wHour, t.wMinute, t.wSecond,    t.wMilliseconds};
}

FILETIME ToFileTime(platform::FileTime time) {
  return FILETIME{time.dwLowDateTime, time.dwHighDateTime};
}

// GetLocaleInfoW, GetDateFormatW and GetTimeFormatW share one pattern: ask for the size with
// an empty buffer, then fill it. The sizes include the terminating zero.
template <class Call>
std::u16string AskTwice(Call call) {
  const int needed = call(nullptr, 0);
  if (needed <= 0) return {};
  std::wstring buffer(static_cast<std::size_t>(needed), L'\0');
  const int written = call(buffer.data(), needed);
  if (written <= 0) return {};
  return FromWide(buffer.data(), static_cast<std::size_t>(written - 1));
}

}  // namespace

std::u16string Win32Locale::AnsiToWide(std::string_view text) {
  if (text.empty() || text.size() > kMaxConvertible) return {};
  const int length = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring buffer(static_cast<std::size_t>(needed), L'\0');
  const int written = MultiByteToWideChar(CP_ACP, 0, text.data(), length, buffer.data(), needed);
  if (written <= 0) return {};
  return FromWide(buffer.data(), static_cast<std::size_t>(written));
}

std::string Win32Locale::WideToAnsi(std::u16string_view text) {
  if (text.empty() || text.size() > kMaxConvertible) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const int needed = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string buffer(static_cast<std::size_t>(needed), '\0');
  const int written =
      WideCharToMultiByte(CP_ACP, 0, wide, length, buffer.data(), needed, nullptr, nullptr);
  if (written <= 0) return {};
  buffer.resize(static_cast<std::size_t>(written));
  return buffer;
}

std::u16string Win32Locale::ToLower(std::u16string_view text) {
  std::u16string lower(text);
  if (lower.empty() || lower.size() > std::numeric_limits<DWORD>::max()) return lower;
  CharLowerBuffW(reinterpret_cast<wchar_t*>(lower.data()), static_cast<DWORD>(lower.size()));
  return lower;
}

int Win32Locale::CompareNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() <= kMaxConvertible && b.size() <= kMaxConvertible) {
    const int result =
        CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE,
                       reinterpret_cast<const wchar_t*>(a.data()), static_cast<int>(a.size()),
                       reinterpret_cast<const wchar_t*>(b.data()), static_cast<int>(b.size()));
    if (result != 0) return result - CSTR_EQUAL;
  }
  // The call failed: an ordinal order is still a consistent answer.
  return a.compare(b);
}

bool Win32Locale::LanguageName(std::uint32_t lcid, std::u16string& name) {
  name.clear();
  if (!IsValidLocale(lcid, LCID_SUPPORTED)) return false;
  name = AskTwice([lcid](wchar_t* buffer, int size) {
    return GetLocaleInfoW(lcid, LOCALE_SLANGUAGE, buffer, size);
  });
  return !name.empty();
}

std::u16string Win32Locale::FormatShortDate(const platform::SystemTime& time) {
  const SYSTEMTIME st = ToSystemTime(time);
  return AskTwice([&st](wchar_t* buffer, int size) {
    return GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, size);
  });
}

std::u16string Win32Locale::FormatLongTime(const platform::SystemTime& time) {
  const SYSTEMTIME st = ToSystemTime(time);
  return AskTwice([&st](wchar_t* buffer, int size) {
    return GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, buffer, size);
  });
}

std::u16string Win32Locale::ThousandSeparator() {
  return AskTwice([](wchar_t* buffer, int size) {
    return GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buffer, size);
  });
}

bool Win32Locale::FileTimeToLocal(platform::FileTime utc, platform::FileTime& local) {
  const FILETIME in = ToFileTime(utc);
  FILETIME out{};
  if (!FileTimeToLocalFileTime(&in, &out)) return false;
  local = platform::FileTime{out.dwLowDateTime, out.dwHighDateTime};
  return true;
}

bool Win32Locale::LocalToFileTime(platform::FileTime local, platform::FileTime& utc) {
  const FILETIME in = ToFileTime(local);
  FILETIME out{};
  if (!LocalFileTimeToFileTime(&in, &out)) return false;
  utc = platform::FileTime{out.dwLowDateTime, out.dwHighDateTime};
  return true;
}

}  // namespace qb::win32
