// The channels of the Windows Event Log through the library's exports, with wevtapi's
// functions served over a simulated machine. Each case runs in a child process of this
// program (`--channel-case <name> <plugin> [real .evtx file]`): the library must load
// wevtapi itself, the first time it needs it, and a process holds it once.
#pragma once

#include <string>

namespace qb::winetest {

// Runs every case as a child and checks that each ends with status 0. `realFile`: a real
// .evtx file the machine gets as a channel's log, or empty.
void CheckChannels(const std::wstring& pluginPath, const std::wstring& realFile);

// The child's side: one case; its exit status. "bench" lists a channel of 100,000 events and
// prints the figure beside a direct read of the same file.
int RunChannelCase(const std::wstring& which, const std::wstring& pluginPath,
                   const std::wstring& realFile);

}  // namespace qb::winetest
