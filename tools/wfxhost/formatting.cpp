#include "wfxhost/formatting.h"

#include <array>
#include <cstdio>

namespace qb::wfxhost {
namespace {

struct Named {
  int value;
  const char* name;
};

template <std::size_t N>
std::string NameOf(const std::array<Named, N>& names, int value, const char* fallback) {
  for (const auto& entry : names) {
    if (entry.value == value) return entry.name;
  }
  return std::string(fallback) + " " + std::to_string(value);
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned mp = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

std::string FileTimeText(fs::FILETIME time) {
  const std::uint64_t value = (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
  if (value == 0 || (time.dwHighDateTime == 0xFFFFFFFF && time.dwLowDateTime == 0xFFFFFFFE)) {
    return "-";
  }
  constexpr std::uint64_t kTicksPerSecond = 10'000'000;
  constexpr std::int64_t kDaysFrom1601To1970 = 134774;
  const std::uint64_t seconds = value / kTicksPerSecond;
  const auto fraction = static_cast<unsigned>(value % kTicksPerSecond);
  const auto days = static_cast<std::int64_t>(seconds / 86400) - kDaysFrom1601To1970;
  const auto ofDay = static_cast<unsigned>(seconds % 86400);
  std::int64_t year = 0;
  unsigned month = 0, day = 0;
  CivilFromDays(days, year, month, day);
  char text[40];
  int n = std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02u:%02u:%02u",
                        static_cast<long long>(year), month, day, ofDay / 3600, ofDay / 60 % 60,
                        ofDay % 60);
  if (fraction != 0) {
    n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), ".%07u", fraction);
  }
  return std::string(text, static_cast<std::size_t>(n)) + "Z";
}

std::string AttributeText(fs::DWORD attributes) {
  constexpr fs::DWORD kReadonly = 0x01;
  constexpr fs::DWORD kDirectory = 0x10;
  return std::string{(attributes & kDirectory) ? 'd' : '-', (attributes & kReadonly) ? 'r' : '-'};
}

std::uint64_t FileSize(const fs::WIN32_FIND_DATAW& data) {
  return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

std::string FileResultName(int result) {
  static constexpr std::array<Named, 8> kNames{{
      {fs::FS_FILE_OK, "FS_FILE_OK"},
      {fs::FS_FILE_EXISTS, "FS_FILE_EXISTS"},
      {fs::FS_FILE_NOTFOUND, "FS_FILE_NOTFOUND"},
      {fs::FS_FILE_READERROR, "FS_FILE_READERROR"},
      {fs::FS_FILE_WRITEERROR, "FS_FILE_WRITEERROR"},
      {fs::FS_FILE_USERABORT, "FS_FILE_USERABORT"},
      {fs::FS_FILE_NOTSUPPORTED, "FS_FILE_NOTSUPPORTED"},
      {fs::FS_FILE_EXISTSRESUMEALLOWED, "FS_FILE_EXISTSRESUMEALLOWED"},
  }};
  return NameOf(kNames, result, "result");
}

std::string ExecResultName(int result) {
  static constexpr std::array<Named, 4> kNames{{
      {fs::FS_EXEC_OK, "FS_EXEC_OK"},
      {fs::FS_EXEC_ERROR, "FS_EXEC_ERROR"},
      {fs::FS_EXEC_YOURSELF, "FS_EXEC_YOURSELF"},
      {fs::FS_EXEC_SYMLINK, "FS_EXEC_SYMLINK"},
  }};
  return NameOf(kNames, result, "result");
}

std::string IconResultName(int result) {
  static constexpr std::array<Named, 4> kNames{{
      {fs::FS_ICON_USEDEFAULT, "FS_ICON_USEDEFAULT"},
      {fs::FS_ICON_EXTRACTED, "FS_ICON_EXTRACTED"},
      {fs::FS_ICON_EXTRACTED_DESTROY, "FS_ICON_EXTRACTED_DESTROY"},
      {fs::FS_ICON_DELAYED, "FS_ICON_DELAYED"},
  }};
  return NameOf(kNames, result, "result");
}

std::string FieldTypeName(int type) {
  static constexpr std::array<Named, 18> kNames{{
      {fs::ft_nomorefields, "ft_nomorefields"},
      {fs::ft_numeric_32, "ft_numeric_32"},
      {fs::ft_numeric_64, "ft_numeric_64"},
      {fs::ft_numeric_floating, "ft_numeric_floating"},
      {fs::ft_date, "ft_date"},
      {fs::ft_time, "ft_time"},
      {fs::ft_boolean, "ft_boolean"},
      {fs::ft_multiplechoice, "ft_multiplechoice"},
      {fs::ft_string, "ft_string"},
      {fs::ft_fulltext, "ft_fulltext"},
      {fs::ft_datetime, "ft_datetime"},
      {fs::ft_stringw, "ft_stringw"},
      {fs::ft_nosuchfield, "ft_nosuchfield"},
      {fs::ft_fileerror, "ft_fileerror"},
      {fs::ft_fieldempty, "ft_fieldempty"},
      {fs::ft_ondemand, "ft_ondemand"},
      {fs::ft_notsupported, "ft_notsupported"},
      {fs::ft_setcancel, "ft_setcancel"},
  }};
  return NameOf(kNames, type, "type");
}

std::string LastErrorText(std::uint32_t code) {
  static constexpr std::array<Named, 14> kNames{{
      {0, "ERROR_SUCCESS"},
      {2, "ERROR_FILE_NOT_FOUND"},
      {3, "ERROR_PATH_NOT_FOUND"},
      {5, "ERROR_ACCESS_DENIED"},
      {6, "ERROR_INVALID_HANDLE"},
      {8, "ERROR_NOT_ENOUGH_MEMORY"},
      {18, "ERROR_NO_MORE_FILES"},
      {30, "ERROR_READ_FAULT"},
      {87, "ERROR_INVALID_PARAMETER"},
      {1500, "ERROR_EVENTLOG_FILE_CORRUPT"},
      {1501, "ERROR_EVENTLOG_CANT_START"},
      {1502, "ERROR_LOG_FILE_FULL"},
      {1503, "ERROR_EVENTLOG_FILE_CHANGED"},
      {1722, "RPC_S_SERVER_UNAVAILABLE"},
  }};
  const std::string text = "error " + std::to_string(code);
  for (const auto& entry : kNames) {
    if (entry.value == static_cast<int>(code)) return text + " (" + entry.name + ")";
  }
  return text;
}

}  // namespace qb::wfxhost
