#include "plugin/lifecycle.h"

#include <atomic>
#include <vector>

#include "localization/ini_file.h"
#include "platform/platform.h"
#include "plugin/export_call.h"
#include "plugin/host_options.h"
#include "plugin/plugin_state.h"
#include "util/no_destructor.h"

namespace qb::plugin {
namespace {

constexpr char16_t kSourceName[] = u"Quillerbankton";
constexpr char16_t kOwnSourceKey[] =
    u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Quillerbankton";

// Plain pointers and atomics only: no static destructor may tear the state down behind the
// unload's back (the runtime runs them at every unload and at the process's end, while another
// thread may be inside or may have been ended holding a lock). The unload frees on purpose.
PluginState* g_state = nullptr;
std::atomic<bool> g_loaded{false};
std::atomic<std::uint64_t> g_loads{0};
// Threads inside an export now, and whether a thread other than the loading one has called.
std::atomic<int> g_inside{0};
// The load this thread ran the steps of (0: none). Plain values only: a thread_local with a
// destructor would keep the library loaded until its thread ends.
thread_local std::uint64_t t_loaderOf = 0;

bool IsLoadingThread() {
  return t_loaderOf != 0 && t_loaderOf == g_loads;
}
std::atomic<bool> g_pinned{false};

// States a thread was still inside at an unload. Never destroyed: the thread comes back to
// them (g_state still points there until a new load) and finds them unloaded. A chain that
// leak checkers see as held.
struct Abandoned {
  std::unique_ptr<PluginState> state;
  std::unique_ptr<Abandoned> next;
};
Abandoned* g_abandoned = nullptr;

void Abandon(std::unique_ptr<PluginState> state) {
  auto entry = std::make_unique<Abandoned>();
  entry->state = std::move(state);
  entry->next.reset(g_abandoned);
  g_abandoned = entry.release();
}

std::recursive_mutex& LockInstance() {
  static util::NoDestructor<std::recursive_mutex> lock;
  return *lock;
}

// Messages waiting for the plugin's lock to be let go, on this thread.
struct PendingMessage {
  std::u16string text;
  std::uint32_t flags;
};
thread_local int t_lockDepth = 0;
thread_local std::vector<PendingMessage>* t_pending = nullptr;

void ShowNow(const std::u16string& text, std::uint32_t flags) {
  platform::Ui().MessageBox(0, text, kSourceName, flags);
}

// A thread other than the loading one calls in: it is the host's background thread, which the
// host may leave inside an export while it unloads the library. Its code must stay mapped.
void NoteCaller() {
  if (g_pinned.load(std::memory_order_relaxed)) return;
  if (IsLoadingThread()) return;
  if (g_pinned.exchange(true)) return;
  platform::System().PinOwnModule();
}

}  // namespace

ExportCall::ExportCall() noexcept {
  g_inside.fetch_add(1);
  admitted_ = g_loaded.load();
  if (admitted_) NoteCaller();
}

ExportCall::~ExportCall() {
  g_inside.fetch_sub(1);
}

StateLock::StateLock() : lock_(LockInstance()) {
  ++t_lockDepth;
}

StateLock::~StateLock() {
  if (lock_.owns_lock()) {
    --t_lockDepth;
    lock_.unlock();
  }
  if (t_lockDepth == 0 && t_pending != nullptr) {
    std::unique_ptr<std::vector<PendingMessage>> pending(std::exchange(t_pending, nullptr));
    for (const auto& message : *pending) {
      try {
        ShowNow(message.text, message.flags);
      } catch (...) {
      }
    }
  }
}

void StateLock::unlock() {
  --t_lockDepth;
  lock_.unlock();
}

void StateLock::lock() {
  lock_.lock();
  ++t_lockDepth;
}

void Tell(std::u16string text, std::uint32_t flags) {
  if (t_lockDepth == 0) {
    ShowNow(text, flags);
    return;
  }
  // Owned by the StateLock that lets the lock go last on this thread.
  if (t_pending == nullptr) t_pending = std::make_unique<std::vector<PendingMessage>>().release();
  t_pending->push_back({std::move(text), flags});
}

PluginState& State() {
  return *g_state;
}

ColumnCache& ThreadsColumnCache() {
  return g_state->columnCaches[IsLoadingThread() ? 0 : 1];
}

bool IsLoaded() {
  return g_loaded.load(std::memory_order_acquire);
}

bool ModulePinned() {
  return g_pinned.load();
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
    StateLock lock;
    if (IsLoaded()) return;
    if (const auto beforeLoad = Options().beforeLoad) beforeLoad();
    auto state = std::make_unique<PluginState>();
    // The language comes first: the next steps already need its texts.
    state->language = std::make_shared<TLngResource>();
    state->eventLog = std::make_unique<TFWEventLog>(*state->language, kSourceName);
    // Said once the lock is let go: a failure is reported and does not stop the load.
    state->eventLog->SetNoticeSink(
        [](std::u16string text, std::uint32_t flags) { Tell(std::move(text), flags); });
    state->eventLog->RegisterApp(1);
    state->findRecord = std::make_unique<TFindRecord>();
    state->columns = std::make_unique<ColumnReader>(state->language, *state->eventLog);
    state->findRecord->frSerial = ++g_loads << 32;
    t_loaderOf = g_loads;
    // A library that was pinned is never loaded again; one that was not starts unpinned.
    g_pinned.store(false);
    g_state = state.release();
    g_loaded.store(true);
  } catch (...) {
    // The host must survive whatever happens here; the exports answer without the state.
  }
}

bool OnProcessDetach(bool processTerminating) noexcept {
  if (!IsLoaded()) return true;
  if (processTerminating) {
    // Other threads are gone and may have died holding the lock: no lock, no window, no
    // freeing; only the event source key goes, as at every unload.
    g_loaded.store(false);
    try {
      if (g_state->eventLog && g_state->eventLog->IsAdmin()) {
        platform::Registry().DeleteTree(platform::RegRoot::kLocalMachine, kOwnSourceKey);
      }
    } catch (...) {
    }
    return false;
  }
  try {
    // From here on no export admits a caller; one that was admitted already is counted.
    g_loaded.store(false);
    // Never wait under the loader lock: should another thread still be inside an export (or
    // hold the lock), the objects stay as they are, where that thread finds them unloaded.
    std::unique_lock lock(Lock(), std::try_to_lock);
    if (g_inside.load() != 0 || !lock.owns_lock()) {
      Abandon(std::unique_ptr<PluginState>(g_state));
      return false;
    }
    std::unique_ptr<PluginState> state(std::exchange(g_state, nullptr));
    state->findRecord->frEventList.clear();
    state->findRecord.reset();
    // Under the loader lock: no window, no wait for a thread, no library loaded or freed.
    state->eventLog->PrepareForUnload();
    state->columns->PrepareForUnload();
    state->columns.reset();
    state->eventLog->DeregisterApp(true);
    state->eventLog.reset();
    state->language.reset();
    ini::SetIniFileName({});
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace qb::plugin
