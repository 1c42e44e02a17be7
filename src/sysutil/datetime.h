// Date-time values (days since 1899-12-30, fraction = time of day), calendar fields and
// file times, converted without the operating system.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/types.h"

namespace qb::sysutil {

using DateTime = double;

inline constexpr DateTime kUnixEpochDays = 25569.0;  // 1970-01-01 as a date-time

// Calendar fields of a date-time, rounded to the millisecond as the classic DecodeDateTime.
platform::SystemTime DateTimeToSystemTime(DateTime value);

// Date-time of calendar fields; nullopt for fields out of range.
std::optional<DateTime> SystemTimeToDateTime(const platform::SystemTime& time);

// SystemTimeToFileTime / FileTimeToSystemTime.
std::optional<platform::FileTime> SystemTimeToFileTime(const platform::SystemTime& time);
std::optional<platform::SystemTime> FileTimeToSystemTime(platform::FileTime time);

// Date-time of whole days and seconds: the date-time convention's exact value for them.
DateTime MakeDateTime(std::int64_t days, std::uint32_t secondsOfDay);

}  // namespace qb::sysutil
