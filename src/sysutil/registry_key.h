// An open registry key that closes itself, with typed reads that treat a value of the wrong
// type as absent.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace qb::sysutil {

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() { Close(); }
  RegistryKey(RegistryKey&& other) noexcept : handle_(std::exchange(other.handle_, 0)) {}
  RegistryKey& operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = std::exchange(other.handle_, 0);
    }
    return *this;
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // RegOpenKeyEx: an existing key only. nullopt, with the error in *error, on failure.
  static std::optional<RegistryKey> Open(platform::RegRoot root, std::u16string_view path,
                                         std::uint32_t access,
                                         platform::ErrorCode* error = nullptr);
  static std::optional<RegistryKey> Create(platform::RegRoot root, std::u16string_view path,
                                           std::uint32_t access);
  // Takes over a key opened elsewhere.
  static RegistryKey Adopt(platform::Handle handle) { return RegistryKey(handle); }

  platform::Handle handle() const { return handle_; }
  void Close();

  bool ValueExists(std::u16string_view name) const;
  // REG_SZ or REG_EXPAND_SZ, up to its first zero character.
  std::optional<std::u16string> ReadString(std::u16string_view name) const;
  // REG_DWORD of four bytes.
  std::optional<std::uint32_t> ReadDword(std::u16string_view name) const;
  // REG_SZ and REG_DWORD values; the Windows error, zero when written.
  platform::ErrorCode WriteString(std::u16string_view name, std::u16string_view value);
  platform::ErrorCode WriteDword(std::u16string_view name, std::uint32_t value);
  // Names of the direct subkeys in enumeration order.
  std::vector<std::u16string> SubKeyNames() const;

 private:
  explicit RegistryKey(platform::Handle handle) : handle_(handle) {}
  platform::Handle handle_ = 0;
};

}  // namespace qb::sysutil
