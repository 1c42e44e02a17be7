#include "platform/win32/registry.h"

#include <limits>
#include <stdexcept>

#include "platform/win32/handles.h"
#include "platform/win32/system_procs.h"
#include "platform/win32/wide.h"

namespace qb::win32 {
namespace {

using platform::ErrorCode;

HKEY RootKey(platform::RegRoot root) {
  return root == platform::RegRoot::kCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// Callers may end a path with one backslash; the registry functions want none.
std::wstring KeyPath(std::u16string_view subkey) {
  if (!subkey.empty() && subkey.back() == u'\\') subkey.remove_suffix(1);
  return Terminated(subkey);
}

// The longest key name the registry allows is 255 characters.
constexpr DWORD kMaxKeyNameLength = 256;

}  // namespace

ErrorCode DeleteKeyTreeByHand(HKEY parent, const wchar_t* path) {
  HKEY raw = nullptr;
  LSTATUS status =
      RegOpenKeyExW(parent, path, 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE, &raw);
  if (status != ERROR_SUCCESS) return static_cast<ErrorCode>(status);
  UniqueKey key(raw);
  wchar_t child[kMaxKeyNameLength + 1];
  for (;;) {
    DWORD length = kMaxKeyNameLength + 1;
    // Always index 0: each deletion shifts the remaining children down.
    status = RegEnumKeyExW(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) return static_cast<ErrorCode>(status);
    const ErrorCode error = DeleteKeyTreeByHand(key.get(), child);
    if (error != ERROR_SUCCESS) return error;
  }
  key.reset();
  return static_cast<ErrorCode>(RegDeleteKeyW(parent, path));
}

ErrorCode Win32Registry::OpenKey(platform::RegRoot root, std::u16string_view subkey,
                                 std::uint32_t access, platform::Handle& key) {
  key = 0;
  const std::wstring path = KeyPath(subkey);
  HKEY opened = nullptr;
  const LSTATUS status = RegOpenKeyExW(RootKey(root), path.c_str(), 0, access, &opened);
  if (status != ERROR_SUCCESS) return static_cast<ErrorCode>(status);
  key = ToHandle(opened);
  return ERROR_SUCCESS;
}

ErrorCode Win32Registry::CreateKey(platform::RegRoot root, std::u16string_view subkey,
                                   std::uint32_t access, platform::Handle& key) {
  key = 0;
  const std::wstring path = KeyPath(subkey);
  HKEY opened = nullptr;
  const LSTATUS status =
      RegCreateKeyExW(RootKey(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                      nullptr, &opened, nullptr);
  if (status != ERROR_SUCCESS) return static_cast<ErrorCode>(status);
  key = ToHandle(opened);
  return ERROR_SUCCESS;
}

void Win32Registry::CloseKey(platform::Handle key) {
  if (key != 0) RegCloseKey(FromHandle<HKEY>(key));
}

ErrorCode Win32Registry::EnumSubKey(platform::Handle key, std::uint32_t index,
                                    std::u16string& name) {
  name.clear();
  wchar_t buffer[kMaxKeyNameLength + 1];
  DWORD length = kMaxKeyNameLength + 1;
  const LSTATUS status = RegEnumKeyExW(FromHandle<HKEY>(key), index, buffer, &length, nullptr,
                                       nullptr, nullptr, nullptr);
  if (status != ERROR_SUCCESS) return static_cast<ErrorCode>(status);
  name = FromWide(buffer, length);
  return ERROR_SUCCESS;
}

ErrorCode Win32Registry::QueryValue(platform::Handle key, std::u16string_view name,
                                    std::uint32_t& type, platform::Bytes& data) {
  type = REG_NONE;
  data.clear();
  const std::wstring valueName = Terminated(name);
  const HKEY hkey = FromHandle<HKEY>(key);
  try {
    DWORD size = 0;
    DWORD valueType = REG_NONE;
    LSTATUS status = RegQueryValueExW(hkey, valueName.c_str(), nullptr, &valueType, nullptr, &size);
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) return static_cast<ErrorCode>(status);
    // The value may grow between the two calls: ask again until it fits.
    for (;;) {
      data.resize(size);
      DWORD got = size;
      status = RegQueryValueExW(hkey, valueName.c_str(), nullptr, &valueType,
                                size == 0 ? nullptr : reinterpret_cast<BYTE*>(data.data()), &got);
      if (status == ERROR_SUCCESS) {
        data.resize(got);
        type = valueType;
        return ERROR_SUCCESS;
      }
      if (status != ERROR_MORE_DATA) {
        data.clear();
        return static_cast<ErrorCode>(status);
      }
      size = got > size ? got : size + 256;
    }
  } catch (const std::exception&) {  // bad_alloc, or length_error past max_size()
    data.clear();
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

ErrorCode Win32Registry::SetValue(platform::Handle key, std::u16string_view name,
                                  std::uint32_t type, platform::ByteSpan data) {
  if (data.size() > std::numeric_limits<DWORD>::max()) return ERROR_INVALID_PARAMETER;
  const std::wstring valueName = Terminated(name);
  return static_cast<ErrorCode>(RegSetValueExW(FromHandle<HKEY>(key), valueName.c_str(), 0, type,
                                               reinterpret_cast<const BYTE*>(data.data()),
                                               static_cast<DWORD>(data.size())));
}

ErrorCode Win32Registry::DeleteTree(platform::RegRoot root, std::u16string_view subkey) {
  const std::wstring path = KeyPath(subkey);
  // An empty path would clear the whole root key.
  if (path.empty()) return ERROR_INVALID_PARAMETER;
  using RegDeleteTreeWFn = LSTATUS(WINAPI*)(HKEY, LPCWSTR);
  static const auto deleteTree = SystemProc<RegDeleteTreeWFn>(L"advapi32.dll", "RegDeleteTreeW");
  if (deleteTree != nullptr) {
    return static_cast<ErrorCode>(deleteTree(RootKey(root), path.c_str()));
  }
  return DeleteKeyTreeByHand(RootKey(root), path.c_str());
}

}  // namespace qb::win32
