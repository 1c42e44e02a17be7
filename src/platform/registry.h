// Registry service: the calls the core makes under HKEY_LOCAL_MACHINE.
#pragma once

#include "platform/types.h"

namespace qb::platform {

enum class RegRoot { kLocalMachine, kCurrentUser };

class IRegistry {
 public:
  virtual ~IRegistry() = default;

  // RegOpenKeyExW: opens an existing key with the given access rights. Fails with
  // ERROR_FILE_NOT_FOUND when the key does not exist and ERROR_ACCESS_DENIED when the
  // rights asked for are not granted. `subkey` may use single backslashes between
  // components; a trailing backslash is allowed.
  virtual ErrorCode OpenKey(RegRoot root, std::u16string_view subkey, std::uint32_t access,
                            Handle& key) = 0;

  // RegCreateKeyExW (non-volatile): opens the key, creating it and any missing parents.
  virtual ErrorCode CreateKey(RegRoot root, std::u16string_view subkey, std::uint32_t access,
                              Handle& key) = 0;

  // RegCloseKey.
  virtual void CloseKey(Handle key) = 0;

  // RegEnumKeyExW: the name of subkey `index` in enumeration order (empty on failure);
  // ERROR_NO_MORE_ITEMS past the last one. Needs KEY_ENUMERATE_SUB_KEYS on the key.
  virtual ErrorCode EnumSubKey(Handle key, std::uint32_t index, std::u16string& name) = 0;

  // RegQueryValueExW: type and raw data of a value (strings as UTF-16 LE bytes with the
  // zero terminator the writer stored; empty on failure). ERROR_FILE_NOT_FOUND when missing.
  // Needs KEY_QUERY_VALUE on the key.
  virtual ErrorCode QueryValue(Handle key, std::u16string_view name, std::uint32_t& type,
                               Bytes& data) = 0;

  // RegSetValueExW. Needs KEY_SET_VALUE on the key.
  virtual ErrorCode SetValue(Handle key, std::u16string_view name, std::uint32_t type,
                             ByteSpan data) = 0;

  // RegDeleteTreeW on the key itself: deletes the key with every subkey and value.
  // ERROR_FILE_NOT_FOUND when it does not exist, ERROR_INVALID_PARAMETER for an empty path
  // (the root key itself is never emptied).
  virtual ErrorCode DeleteTree(RegRoot root, std::u16string_view subkey) = 0;
};

}  // namespace qb::platform
