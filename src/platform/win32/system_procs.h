// Functions looked up at run time in system libraries the process has loaded already, for
// calls that older Windows versions lack.
#pragma once

#include "platform/win32/windows_api.h"

namespace qb::win32 {

// nullptr when the module is not loaded or lacks the function. The detour through a
// parameterless function type is the documented way to convert FARPROC without a warning.
template <class Function>
Function SystemProc(const wchar_t* module, const char* name) noexcept {
  HMODULE handle = GetModuleHandleW(module);
  if (handle == nullptr) return nullptr;
  FARPROC proc = GetProcAddress(handle, name);
  if (proc == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc));
}

}  // namespace qb::win32
