// The library's entry point: installs the Windows platform for the core and hands loading
// and unloading over to it.
#include <memory>

#include "platform/platform.h"
#include "platform/win32/message_window.h"
#include "platform/win32/own_module.h"
#include "platform/win32/win32_platform.h"
#include "plugin/lifecycle.h"

namespace {

// The platform is built at attach and never destroyed: objects the runtime tears down after
// DllMain may still reach it, and its services own nothing that needs releasing.
union PlatformSlot {
  PlatformSlot() {}
  ~PlatformSlot() {}
  qb::win32::Win32Platform platform;
};
PlatformSlot g_slot;

BOOL Attach(HINSTANCE instance) {
  qb::win32::SetOwnModule(instance);
  DisableThreadLibraryCalls(instance);
  // Only pointers are set up: nothing here may wait under the loader lock.
  std::construct_at(&g_slot.platform);
  qb::platform::Install(&g_slot.platform.Get());
  qb::plugin::OnProcessAttach();
  return TRUE;
}

void Detach(bool processTerminating) {
  qb::plugin::OnProcessDetach(processTerminating);
  // When the whole process ends, its other threads and their windows are gone already.
  if (processTerminating) return;
  // No window may call into this library's code once it is unmapped.
  qb::win32::ReleaseMessageWindows();
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  // An exception must never reach the loader, which runs inside the host's process.
  try {
    switch (reason) {
      case DLL_PROCESS_ATTACH:
        return Attach(instance);
      case DLL_PROCESS_DETACH:
        Detach(reserved != nullptr);
        return TRUE;
      default:
        return TRUE;
    }
  } catch (...) {
    return reason == DLL_PROCESS_ATTACH ? FALSE : TRUE;
  }
}
