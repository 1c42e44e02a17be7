#include "dialogs/reg_proc.h"

#include "platform/platform.h"

namespace qb {

namespace err = platform::err;

std::optional<sysutil::RegistryKey> RegOpenKeyForWrite(platform::RegRoot root,
                                                       std::u16string_view subkey,
                                                       platform::ErrorCode* error) {
  platform::Handle handle = 0;
  const platform::ErrorCode code =
      platform::Registry().CreateKey(root, subkey, platform::access::kKeyWrite, handle);
  if (error != nullptr) *error = code;
  if (code != err::kSuccess || handle == 0) {
    if (error != nullptr && code == err::kSuccess) *error = err::kInvalidHandle;
    return std::nullopt;
  }
  return sysutil::RegistryKey::Adopt(handle);
}

std::optional<sysutil::RegistryKey> RegOpenKeyForRead(platform::RegRoot root,
                                                      std::u16string_view subkey) {
  return sysutil::RegistryKey::Open(root, subkey, platform::access::kKeyQueryValue);
}

platform::ErrorCode RegWriteDWord(platform::RegRoot root, std::u16string_view subkey,
                                  std::u16string_view name, std::uint32_t value) {
  platform::ErrorCode error = err::kSuccess;
  auto key = RegOpenKeyForWrite(root, subkey, &error);
  if (!key) return error;
  const std::byte data[4] = {static_cast<std::byte>(value), static_cast<std::byte>(value >> 8),
                             static_cast<std::byte>(value >> 16),
                             static_cast<std::byte>(value >> 24)};
  return platform::Registry().SetValue(key->handle(), name, platform::regtype::kDword, data);
}

std::uint32_t RegReadDWord(platform::RegRoot root, std::u16string_view subkey,
                           std::u16string_view name, std::uint32_t defaultValue) {
  const auto key = RegOpenKeyForRead(root, subkey);
  if (!key) return defaultValue;
  return key->ReadDword(name).value_or(defaultValue);
}

}  // namespace qb
