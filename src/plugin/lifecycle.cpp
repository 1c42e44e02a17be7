#include "plugin/lifecycle.h"

#include <atomic>

#include "platform/platform.h"
#include "plugin/host_options.h"
#include "plugin/plugin_state.h"

namespace qb::plugin {
namespace {

constexpr char16_t kSourceName[] = u"Quillerbankton";
constexpr char16_t kOwnSourceKey[] =
    u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Quillerbankton";

std::unique_ptr<PluginState> g_state;
std::atomic<bool> g_loaded{false};
std::uint64_t g_loads = 0;

// Column readers a thread was still inside at an unload. They are never destroyed (the thread
// comes back to them) nor forgotten: a plain pointer, so no destructor runs at the unload, and
// a chain that leak checkers see as held.
struct Abandoned {
  std::unique_ptr<ColumnReader> reader;
  std::unique_ptr<Abandoned> next;
};
Abandoned* g_abandoned = nullptr;

void Abandon(std::unique_ptr<ColumnReader> reader) {
  auto entry = std::make_unique<Abandoned>();
  entry->reader = std::move(reader);
  entry->next.reset(g_abandoned);
  g_abandoned = entry.release();
}

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

std::uint64_t LoadCount() {
  return g_loads;
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
    if (const auto beforeLoad = Options().beforeLoad) beforeLoad();
    auto state = std::make_unique<PluginState>();
    // The language comes first: the next steps already need its texts.
    state->language = std::make_shared<TLngResource>();
    state->eventLog = std::make_unique<TFWEventLog>(*state->language, kSourceName);
    // A failure is reported to the user and does not stop the load.
    state->eventLog->RegisterApp(1);
    state->findRecord = std::make_unique<TFindRecord>();
    state->columns = std::make_unique<ColumnReader>(state->language, *state->eventLog);
    state->findRecord->frSerial = ++g_loads << 32;
    g_state = std::move(state);
    g_loaded.store(true, std::memory_order_release);
  } catch (...) {
    // The host must survive whatever happens here; the exports answer without the state.
  }
}

void OnProcessDetach(bool processTerminating) noexcept {
  if (!IsLoaded()) return;
  if (processTerminating) {
    // Other threads are gone and may have died holding the lock: no lock, no window, no
    // freeing; only the event source key goes, as at every unload.
    try {
      if (g_state->eventLog && g_state->eventLog->IsAdmin()) {
        platform::Registry().DeleteTree(platform::RegRoot::kLocalMachine, kOwnSourceKey);
      }
    } catch (...) {
    }
    return;
  }
  try {
    // Never wait under the loader lock: should another thread still be inside an export, its
    // objects are left as they are (the memory goes with the process).
    std::unique_lock lock(Lock(), std::try_to_lock);
    if (!lock.owns_lock()) {
      g_loaded.store(false, std::memory_order_release);
      return;
    }
    g_loaded.store(false, std::memory_order_release);
    std::unique_ptr<PluginState> state = std::move(g_state);
    state->findRecord->frEventList.clear();
    state->findRecord.reset();
    // Under the loader lock: no window, no wait for a thread, no library loaded or freed.
    state->eventLog->PrepareForUnload();
    if (state->columns->Busy()) {
      // The host's background thread is inside a fetch (perhaps a slow account lookup): the
      // reader and what it uses stay alive, and the thread finds the state gone when it comes
      // back. Waiting for it here could hang the host.
      Abandon(std::move(state->columns));
    } else {
      state->columns->PrepareForUnload();
      state->columns.reset();
    }
    state->eventLog->DeregisterApp(true);
    state->eventLog.reset();
    state->language.reset();
  } catch (...) {
  }
}

}  // namespace qb::plugin
