// The version of the running Windows and WOW64: whether a 32-bit process runs on 64-bit
// Windows, and its file-system redirection.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace qb::sysutil {

// Major version of the running Windows; 0 when the query fails.
std::uint32_t GetOSMajorVersion();

// Whether `process` runs under WOW64; false when that cannot be told.
bool IsWow64(platform::Handle process);

// Switches WOW64 file-system redirection off for the calling thread; true when it was.
// One process-wide slot keeps the saved state until RevertWow64Redirection.
bool DisableWow64Redirection();
bool RevertWow64Redirection();

}  // namespace qb::sysutil
