#include "plugin_test_registry.h"

namespace qb::winetest {

std::optional<RegistryKey> RegistryKey::Open(const std::wstring& path, REGSAM access) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return RegistryKey(key);
}

std::optional<RegistryKey> RegistryKey::Create(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return RegistryKey(key);
}

RegistryKey::~RegistryKey() {
  if (key_ != nullptr) RegCloseKey(key_);
}

std::optional<std::wstring> RegistryKey::String(const wchar_t* name) const {
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return std::nullopt;
  }
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.resize(size / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  return value;
}

std::optional<DWORD> RegistryKey::Dword(const wchar_t* name) const {
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(value)) {
    return std::nullopt;
  }
  return value;
}

bool RegistryKey::HasValue(const wchar_t* name) const {
  return RegQueryValueExW(key_, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool RegistryKey::SetString(const wchar_t* name, const std::wstring& value, DWORD type) {
  const auto size = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key_, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()), size) ==
         ERROR_SUCCESS;
}

bool RegistryKey::SetDword(const wchar_t* name, DWORD value) {
  return RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof(value)) == ERROR_SUCCESS;
}

std::vector<std::wstring> RegistryKey::SubKeys() const {
  std::vector<std::wstring> names;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumKeyExW(key_, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, length);
  }
  return names;
}

bool KeyExists(const std::wstring& path) {
  return RegistryKey::Open(path, KEY_QUERY_VALUE).has_value();
}

AddedKeys::~AddedKeys() {
  // The deepest first: a key added below another added key goes with it anyway.
  for (auto it = added_.rbegin(); it != added_.rend(); ++it) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, it->c_str());
  }
}

std::optional<RegistryKey> AddedKeys::Create(const std::wstring& path) {
  const bool existed = KeyExists(path);
  auto key = RegistryKey::Create(path);
  if (key && !existed) added_.push_back(path);
  return key;
}

}  // namespace qb::winetest
