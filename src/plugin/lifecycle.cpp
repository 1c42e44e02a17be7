#include "plugin/lifecycle.h"

#include <atomic>

#include "plugin/plugin_state.h"

namespace qb::plugin {
namespace {

std::unique_ptr<PluginState> g_state;
std::atomic<bool> g_loaded{false};

std::recursive_mutex& LockInstance() {
  static std::recursive_mutex lock;
  return lock;
}

}  // namespace

PluginState& State() {
  return *g_state;
}

bool IsLoaded() {
  return g_loaded.load(std::memory_order_acquire);
}

std::recursive_mutex& Lock() {
  return LockInstance();
}

void OnProcessAttach() noexcept {}

void EnsureLoaded() noexcept {
  if (IsLoaded()) return;
  try {
    std::lock_guard lock(Lock());
    if (IsLoaded()) return;
    auto state = std::make_unique<PluginState>();
    state->language = std::make_unique<TLngResource>();
    g_state = std::move(state);
    g_loaded.store(true, std::memory_order_release);
  } catch (...) {
    // The host must survive whatever happens here; the exports answer without the state.
  }
}

void OnProcessDetach(bool processTerminating) noexcept {
  if (processTerminating) {
    // Other threads are gone and may have held the lock: free nothing that needs it.
    return;
  }
  try {
    std::lock_guard lock(Lock());
    g_loaded.store(false, std::memory_order_release);
    g_state.reset();
  } catch (...) {
  }
}

}  // namespace qb::plugin
