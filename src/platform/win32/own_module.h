// The module that holds this code: the plugin library, or a program the backend is linked into.
#pragma once

#include "platform/win32/windows_api.h"

namespace qb::win32 {

// DllMain records the library's handle here before anything else runs.
void SetOwnModule(HMODULE module) noexcept;

// The recorded handle, or the module containing this code when none was recorded.
HMODULE OwnModule() noexcept;

}  // namespace qb::win32
