// The registry routines of the log properties: REG_DWORD values of a log's existing key.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/registry.h"
#include "sysutil/registry_key.h"

namespace qb {

// Sets the value as a REG_DWORD of 4 bytes in an existing key (a log removed meanwhile is not
// made again); the error of what failed, so a caller can tell.
platform::ErrorCode RegWriteDWord(platform::RegRoot root, std::u16string_view subkey,
                                  std::u16string_view name, std::uint32_t value);
// The value, or `defaultValue` when it cannot be read or is no REG_DWORD of 4 bytes.
std::uint32_t RegReadDWord(platform::RegRoot root, std::u16string_view subkey,
                           std::u16string_view name, std::uint32_t defaultValue);

}  // namespace qb
