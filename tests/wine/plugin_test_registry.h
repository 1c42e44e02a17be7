// The real registry, as the test reads and prepares it: the event log keys under HKLM.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/windows_api.h"

namespace qb::winetest {

inline constexpr wchar_t kEventLogKey[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog";

// An open key of HKEY_LOCAL_MACHINE, closed with the object.
class RegistryKey {
 public:
  static std::optional<RegistryKey> Open(const std::wstring& path, REGSAM access = KEY_READ);
  // Creates the key and its missing parents.
  static std::optional<RegistryKey> Create(const std::wstring& path);
  RegistryKey(RegistryKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  RegistryKey& operator=(RegistryKey&&) = delete;
  ~RegistryKey();

  // The value when it has the type asked for.
  std::optional<std::wstring> String(const wchar_t* name) const;  // REG_SZ or REG_EXPAND_SZ
  std::optional<DWORD> Dword(const wchar_t* name) const;
  bool HasValue(const wchar_t* name) const;
  bool SetString(const wchar_t* name, const std::wstring& value, DWORD type = REG_SZ);
  bool SetDword(const wchar_t* name, DWORD value);
  // Names of the subkeys in the order RegEnumKeyExW gives them.
  std::vector<std::wstring> SubKeys() const;

 private:
  explicit RegistryKey(HKEY key) : key_(key) {}
  HKEY key_;
};

bool KeyExists(const std::wstring& path);

// Keys the test adds to the registry; those that were not there before are removed again,
// with their subkeys, when the object goes.
class AddedKeys {
 public:
  AddedKeys() = default;
  ~AddedKeys();
  AddedKeys(const AddedKeys&) = delete;
  AddedKeys& operator=(const AddedKeys&) = delete;
  std::optional<RegistryKey> Create(const std::wstring& path);

 private:
  std::vector<std::wstring> added_;
};

}  // namespace qb::winetest
