#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>

namespace qb::platform {
namespace {
Platform* g_platform = nullptr;
}

Platform& Current() {
  if (g_platform == nullptr) {
    std::fputs("Quillerbankton: no platform installed\n", stderr);
    std::abort();
  }
  return *g_platform;
}

bool IsInstalled() {
  return g_platform != nullptr;
}

void Install(Platform* platform) {
  g_platform = platform;
}

ScopedInstall::ScopedInstall(Platform& platform) : previous_(g_platform) {
  g_platform = &platform;
}

ScopedInstall::~ScopedInstall() {
  g_platform = previous_;
}

}  // namespace qb::platform
