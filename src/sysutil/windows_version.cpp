#include "sysutil/windows_version.h"

#include <atomic>

#include "platform/platform.h"

namespace qb::sysutil {
namespace {

std::atomic<std::uintptr_t> g_wow64RedirectionState{0};

}  // namespace

std::uint32_t GetOSMajorVersion() {
  std::uint32_t major = 0;
  if (!platform::System().GetVersionEx(major)) return 0;
  return major;
}

bool IsWow64(platform::Handle process) {
  bool wow64 = false;
  return platform::System().IsWow64Process(process, wow64) == platform::err::kSuccess && wow64;
}

bool DisableWow64Redirection() {
  auto& system = platform::System();
  if (!IsWow64(system.CurrentProcess())) return false;
  std::uintptr_t state = 0;
  if (system.DisableWow64FsRedirection(state) != platform::err::kSuccess) return false;
  g_wow64RedirectionState = state;
  return true;
}

bool RevertWow64Redirection() {
  try {
    auto& system = platform::System();
    if (!IsWow64(system.CurrentProcess())) return false;
    return system.RevertWow64FsRedirection(g_wow64RedirectionState) == platform::err::kSuccess;
  } catch (...) {
    return false;
  }
}

}  // namespace qb::sysutil
