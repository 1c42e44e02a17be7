// What the library knows of the host beyond the calls themselves: how it wants to be shown
// things, and the callbacks it gave at FsInit / FsInitW.
#pragma once

#include <optional>
#include <string_view>

#include "plugin/fsplugin.h"

namespace qb::plugin {

struct HostOptions {
  // The host shows no windows of the library (a host on another system): "open" leaves the
  // record to the host, "properties" tells what it has as text.
  bool noPluginWindows = false;
  // Runs before the load steps (once per load), on the thread of the first FsInit / FsInitW and
  // under the plugin's lock: where a library without an entry point of its own installs its
  // platform.
  void (*beforeLoad)() = nullptr;
};

// Set before the first export is called (the library's own start-up code).
void SetHostOptions(const HostOptions& options);
const HostOptions& Options();

// Kept at FsInit / FsInitW: the host's request callbacks and its number for the library.
void RememberRequestProc(int pluginNr, fs::tRequestProc request);
void RememberRequestProcW(int pluginNr, fs::tRequestProcW request);
void ForgetRequestProcs();

// The host's request callback with this request type (RT_MsgOK, RT_MsgYesNo...), the wide one
// when the host gave it. nullopt when the host gave none; else what the host answered.
std::optional<bool> AskHost(int requestType, std::u16string_view title, std::u16string_view text);

}  // namespace qb::plugin
