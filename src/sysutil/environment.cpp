#include "sysutil/environment.h"

#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace qb::sysutil {
namespace {

constexpr std::uint32_t kExpandBuffer = 260;

}  // namespace

std::u16string ExpandEnvVars(std::u16string_view text) {
  auto& system = platform::System();
  std::vector<char16_t> buffer(kExpandBuffer);
  std::uint32_t needed = system.ExpandEnvironmentStrings(text, buffer);
  if (needed > buffer.size()) {
    buffer.resize(needed);
    needed = system.ExpandEnvironmentStrings(text, buffer);
    if (needed > buffer.size()) return {};
  }
  if (needed == 0) return {};
  return std::u16string(buffer.data(), needed - 1);
}

}  // namespace qb::sysutil
