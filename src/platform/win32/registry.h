// IRegistry over advapi32's registry functions.
#pragma once

#include "platform/registry.h"
#include "platform/win32/windows_api.h"

namespace qb::win32 {

class Win32Registry final : public platform::IRegistry {
 public:
  platform::ErrorCode OpenKey(platform::RegRoot root, std::u16string_view subkey,
                              std::uint32_t access, platform::Handle& key) override;
  platform::ErrorCode CreateKey(platform::RegRoot root, std::u16string_view subkey,
                                std::uint32_t access, platform::Handle& key) override;
  void CloseKey(platform::Handle key) override;
  platform::ErrorCode EnumSubKey(platform::Handle key, std::uint32_t index,
                                 std::u16string& name) override;
  platform::ErrorCode QueryValue(platform::Handle key, std::u16string_view name,
                                 std::uint32_t& type, platform::Bytes& data) override;
  platform::ErrorCode SetValue(platform::Handle key, std::u16string_view name, std::uint32_t type,
                               platform::ByteSpan data) override;
  platform::ErrorCode DeleteTree(platform::RegRoot root, std::u16string_view subkey) override;
};

// The depth-first deletion DeleteTree falls back to where RegDeleteTreeW is missing (before
// Vista): deletes `path` below `parent` with all its subkeys.
platform::ErrorCode DeleteKeyTreeByHand(HKEY parent, const wchar_t* path);

}  // namespace qb::win32
