#include "sysutil/registry_key.h"

#include "platform/platform.h"
#include "util/text.h"

namespace qb::sysutil {

namespace err = platform::err;

std::optional<RegistryKey> RegistryKey::Open(platform::RegRoot root, std::u16string_view path,
                                             std::uint32_t access, platform::ErrorCode* error) {
  platform::Handle h = 0;
  platform::ErrorCode code = platform::Registry().OpenKey(root, path, access, h);
  if (code == err::kSuccess && h == 0) code = err::kInvalidHandle;
  if (error != nullptr) *error = code;
  if (code != err::kSuccess) return std::nullopt;
  return RegistryKey(h);
}

std::optional<RegistryKey> RegistryKey::Create(platform::RegRoot root, std::u16string_view path,
                                               std::uint32_t access) {
  platform::Handle h = 0;
  if (platform::Registry().CreateKey(root, path, access, h) != err::kSuccess || h == 0) {
    return std::nullopt;
  }
  return RegistryKey(h);
}

void RegistryKey::Close() {
  if (handle_ != 0) platform::Registry().CloseKey(std::exchange(handle_, 0));
}

bool RegistryKey::ValueExists(std::u16string_view name) const {
  std::uint32_t type = 0;
  platform::Bytes data;
  return platform::Registry().QueryValue(handle_, name, type, data) == err::kSuccess;
}

std::optional<std::u16string> RegistryKey::ReadString(std::u16string_view name) const {
  std::uint32_t type = 0;
  platform::Bytes data;
  if (platform::Registry().QueryValue(handle_, name, type, data) != err::kSuccess) {
    return std::nullopt;
  }
  if (type != platform::regtype::kSz && type != platform::regtype::kExpandSz) return std::nullopt;
  return std::u16string(util::UpToZero(util::FromUtf16LeBytes(data)));
}

std::optional<std::uint32_t> RegistryKey::ReadDword(std::u16string_view name) const {
  std::uint32_t type = 0;
  platform::Bytes data;
  if (platform::Registry().QueryValue(handle_, name, type, data) != err::kSuccess ||
      type != platform::regtype::kDword || data.size() != 4) {
    return std::nullopt;
  }
  return std::to_integer<std::uint32_t>(data[0]) | std::to_integer<std::uint32_t>(data[1]) << 8 |
         std::to_integer<std::uint32_t>(data[2]) << 16 |
         std::to_integer<std::uint32_t>(data[3]) << 24;
}

platform::ErrorCode RegistryKey::WriteString(std::u16string_view name, std::u16string_view value) {
  platform::Bytes data = util::Utf16LeBytes(value, false);
  data.resize(data.size() + 2);  // the terminator is part of a string value
  return platform::Registry().SetValue(handle_, name, platform::regtype::kSz, data);
}

platform::ErrorCode RegistryKey::WriteDword(std::u16string_view name, std::uint32_t value) {
  const std::byte data[4] = {static_cast<std::byte>(value), static_cast<std::byte>(value >> 8),
                             static_cast<std::byte>(value >> 16),
                             static_cast<std::byte>(value >> 24)};
  return platform::Registry().SetValue(handle_, name, platform::regtype::kDword, data);
}

std::vector<std::u16string> RegistryKey::SubKeyNames() const {
  std::vector<std::u16string> names;
  std::u16string name;
  for (std::uint32_t i = 0; platform::Registry().EnumSubKey(handle_, i, name) == err::kSuccess;
       ++i) {
    names.push_back(name);
  }
  return names;
}

}  // namespace qb::sysutil
