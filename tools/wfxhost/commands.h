// The host's commands, run against any plugin behind a Plugin.
#pragma once

#include <ostream>

#include "wfxhost/command_line.h"
#include "wfxhost/plugin_api.h"

namespace qb::wfxhost {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the plugin reported a failure
inline constexpr int kExitUsage = 2;
inline constexpr int kExitSetup = 3;  // the plugin or its machine could not be loaded

// Calls FsInitW, then runs the command: results to `out`, problems and the plugin's log
// messages and message boxes to `err`.
int RunCommand(const Plugin& plugin, const Options& options, std::ostream& out, std::ostream& err);

}  // namespace qb::wfxhost
