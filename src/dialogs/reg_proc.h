// The registry routines of the log properties: REG_DWORD values of a key under a root key.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/registry.h"
#include "sysutil/registry_key.h"

namespace qb {

// Creates or opens the key (non-volatile) with KEY_WRITE; nullopt with the error on failure.
std::optional<sysutil::RegistryKey> RegOpenKeyForWrite(platform::RegRoot root,
                                                       std::u16string_view subkey,
                                                       platform::ErrorCode* error = nullptr);
// Opens the key with KEY_QUERY_VALUE; nullopt on failure.
std::optional<sysutil::RegistryKey> RegOpenKeyForRead(platform::RegRoot root,
                                                      std::u16string_view subkey);
// Sets the value as a REG_DWORD of 4 bytes; the error of what failed, so a caller can tell.
platform::ErrorCode RegWriteDWord(platform::RegRoot root, std::u16string_view subkey,
                                  std::u16string_view name, std::uint32_t value);
// The value, or `defaultValue` when it cannot be read or is no REG_DWORD of 4 bytes.
std::uint32_t RegReadDWord(platform::RegRoot root, std::u16string_view subkey,
                           std::u16string_view name, std::uint32_t defaultValue);

}  // namespace qb
