#include "sysutil/folders.h"

#include "platform/platform.h"

namespace qb::sysutil {

bool ForceDirectories(std::u16string_view path) {
  auto& system = platform::System();
  while (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
  if (path.empty()) return false;
  if (system.DirectoryExists(path)) return true;
  const auto sep = path.find_last_of(u'\\');
  if (sep != std::u16string_view::npos) ForceDirectories(path.substr(0, sep));
  system.CreateDirectory(path);
  return system.DirectoryExists(path);
}

}  // namespace qb::sysutil
