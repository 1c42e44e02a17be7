// Quitting and unloading while the host's background thread is inside the library.
#pragma once

#include <string>

namespace qb::winetest {

// Runs each way of ending as a child process of this program (`--exit-case <name> <plugin>`)
// and checks that it ends at once with status 0.
void CheckExitsWhileColumnsLoad(const std::wstring& pluginPath);

// The child's side: one way of ending; its exit status.
int RunExitCase(const std::wstring& which, const std::wstring& pluginPath);

}  // namespace qb::winetest
