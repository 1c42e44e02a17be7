// The exports of a plugin library loaded into a Windows host, looked up by name.
#pragma once

#include "platform/win32/windows_api.h"

#include <string>
#include <vector>

#include "host/plugin_exports.h"

namespace qb::host {

// GetProcAddress of every export into `exports`; the names the library lacks (their pointers
// are null).
std::vector<std::string> ResolveExports(HMODULE module, PluginExports& exports);

}  // namespace qb::host
