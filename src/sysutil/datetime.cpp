#include "sysutil/datetime.h"

#include <cmath>

namespace qb::sysutil {
namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;
constexpr std::uint64_t kTicksPerMs = 10'000;

bool IsLeap(std::int64_t y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(std::int64_t y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days from 0001-01-01 (day 0) to the given date.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  const std::int64_t py = y - 1;
  std::int64_t days = py * 365 + py / 4 - py / 100 + py / 400;
  for (int k = 1; k < m; ++k) days += DaysInMonth(y, k);
  return days + d - 1;
}

// Inverse of DaysFromCivil for days >= 0.
void CivilFromDays(std::int64_t days, std::int64_t& y, int& m, int& d) {
  // Shift to an era-based algorithm (Howard Hinnant's) anchored at 0000-03-01.
  const std::int64_t z = days + 306;  // 0001-01-01 is day 306 after 0000-03-01
  const std::int64_t era = z / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = yoe + era * 400 + (m <= 2 ? 1 : 0);
}

constexpr std::int64_t kDateTimeZeroDays = 693593;  // 1899-12-30 counted from 0001-01-01
constexpr std::int64_t kFileTimeZeroDays = 584388;  // 1601-01-01 counted from 0001-01-01

platform::SystemTime FromDaysAndMs(std::int64_t days, std::int64_t ms) {
  std::int64_t y;
  int m;
  int d;
  CivilFromDays(days, y, m, d);
  platform::SystemTime t;
  t.wYear = static_cast<std::uint16_t>(y);
  t.wMonth = static_cast<std::uint16_t>(m);
  t.wDay = static_cast<std::uint16_t>(d);
  t.wDayOfWeek = static_cast<std::uint16_t>((days + 1) % 7);  // 0001-01-01 was a Monday
  t.wHour = static_cast<std::uint16_t>(ms / 3'600'000);
  t.wMinute = static_cast<std::uint16_t>(ms / 60'000 % 60);
  t.wSecond = static_cast<std::uint16_t>(ms / 1000 % 60);
  t.wMilliseconds = static_cast<std::uint16_t>(ms % 1000);
  return t;
}

bool Valid(const platform::SystemTime& t) {
  return t.wYear >= 1 && t.wYear <= 9999 && t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1 &&
         t.wDay <= DaysInMonth(t.wYear, t.wMonth) && t.wHour < 24 && t.wMinute < 60 &&
         t.wSecond < 60 && t.wMilliseconds < 1000;
}

std::int64_t MsOfDay(const platform::SystemTime& t) {
  return ((t.wHour * 60LL + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds;
}

}  // namespace

platform::SystemTime DateTimeToSystemTime(DateTime value) {
  if (!std::isfinite(value)) return {};
  // Milliseconds since the zero date-time; negative date-times count the fraction forwards.
  const double whole = std::trunc(value);
  const double frac = std::fabs(value - whole);
  std::int64_t days = static_cast<std::int64_t>(whole);
  std::int64_t ms = std::llround(frac * kMsPerDay);
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    days += value < 0 ? -1 : 1;
  }
  const std::int64_t civil = days + kDateTimeZeroDays;
  if (civil < 0 || civil > DaysFromCivil(9999, 12, 31)) return {};
  return FromDaysAndMs(civil, ms);
}

std::optional<DateTime> SystemTimeToDateTime(const platform::SystemTime& t) {
  if (!Valid(t)) return std::nullopt;
  const std::int64_t days = DaysFromCivil(t.wYear, t.wMonth, t.wDay) - kDateTimeZeroDays;
  const double frac = static_cast<double>(MsOfDay(t)) / kMsPerDay;
  // Before the zero date the fraction still counts forwards from midnight.
  return days >= 0 ? static_cast<double>(days) + frac : static_cast<double>(days) - frac;
}

std::optional<platform::FileTime> SystemTimeToFileTime(const platform::SystemTime& t) {
  if (!Valid(t) || t.wYear < 1601) return std::nullopt;
  const std::int64_t days = DaysFromCivil(t.wYear, t.wMonth, t.wDay) - kFileTimeZeroDays;
  const std::uint64_t ms = static_cast<std::uint64_t>(days) * kMsPerDay + MsOfDay(t);
  return platform::FileTime::from(ms * kTicksPerMs);
}

std::optional<platform::SystemTime> FileTimeToSystemTime(platform::FileTime time) {
  const std::uint64_t ms = time.value() / kTicksPerMs;
  const auto days = static_cast<std::int64_t>(ms / kMsPerDay) + kFileTimeZeroDays;
  if (days > DaysFromCivil(30827, 12, 31)) return std::nullopt;
  return FromDaysAndMs(days, static_cast<std::int64_t>(ms % kMsPerDay));
}

DateTime MakeDateTime(std::int64_t days, std::uint32_t secondsOfDay) {
  return static_cast<double>(days) + static_cast<double>(secondsOfDay) / 86400.0;
}

}  // namespace qb::sysutil
