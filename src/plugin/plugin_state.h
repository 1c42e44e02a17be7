// The process-wide objects of the loaded library and the lock that serialises their use
// between the host's main thread and its background thread.
#pragma once

#include <memory>
#include <mutex>

#include "localization/ev_language.h"
#include "plugin/fsplugin.h"

namespace qb::plugin {

struct PluginState {
  std::unique_ptr<TLngResource> language;
  int pluginNr = 0;
  fs::tProgressProc progress = nullptr;
  fs::tProgressProcW progressW = nullptr;
};

// The state, valid between the load steps and the unload.
PluginState& State();

// Whether the load steps have run and the state exists.
bool IsLoaded();

// Serialises every use of the shared objects (event log object, record list, language).
std::recursive_mutex& Lock();

}  // namespace qb::plugin
