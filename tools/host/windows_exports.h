// The exports of a plugin library loaded into a Windows host, looked up by name.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <vector>

#include "host/plugin_exports.h"

namespace qb::host {

// GetProcAddress of every export into `exports`; the names the library lacks (their pointers
// are null).
std::vector<std::string> ResolveExports(HMODULE module, PluginExports& exports);

}  // namespace qb::host
