#include "dialogs/reg_proc.h"

namespace qb {

platform::ErrorCode RegWriteDWord(platform::RegRoot root, std::u16string_view subkey,
                                  std::u16string_view name, std::uint32_t value) {
  platform::ErrorCode error = platform::err::kSuccess;
  auto key = sysutil::RegistryKey::Open(root, subkey, platform::access::kKeySetValue, &error);
  if (!key) return error;
  return key->WriteDword(name, value);
}

std::uint32_t RegReadDWord(platform::RegRoot root, std::u16string_view subkey,
                           std::u16string_view name, std::uint32_t defaultValue) {
  const auto key = sysutil::RegistryKey::Open(root, subkey, platform::access::kKeyQueryValue);
  if (!key) return defaultValue;
  return key->ReadDword(name).value_or(defaultValue);
}

}  // namespace qb
