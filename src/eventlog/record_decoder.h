// Pieces of record decoding that need no event log object.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "sysutil/datetime.h"

namespace qb {

// Seconds since 1970-01-01 UTC as a file time.
platform::FileTime UtcFileTime(std::uint32_t seconds);

// Seconds since 1970-01-01 UTC as a local date-time (the offset in force now).
sysutil::DateTime RecordTimeToLocal(std::uint32_t seconds);

// Account and domain of a SID; both empty when there is none or it cannot be resolved.
void LookupRecordAccount(std::span<const std::byte> sid, std::u16string& account,
                         std::u16string& domain);

// Line breaks of a description as CR LF; on major version 5 a doubled CR LF becomes one.
std::u16string NormalizeLineBreaks(std::u16string_view text, std::uint32_t osMajorVersion);

}  // namespace qb
