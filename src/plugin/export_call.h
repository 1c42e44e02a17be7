// How an export enters the library and uses its shared objects.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace qb::plugin {

// One call of an export, from entry to return. Counts the threads inside the exports, so that
// an unload frees nothing while one is, and admits no caller once the state is gone (false).
// The first caller on a thread other than the loading one (the host's background thread)
// pins the library: the host may unload it while that thread is still inside.
class ExportCall {
 public:
  ExportCall() noexcept;
  ~ExportCall();
  ExportCall(const ExportCall&) = delete;
  ExportCall& operator=(const ExportCall&) = delete;
  explicit operator bool() const { return admitted_; }

 private:
  bool admitted_ = false;
};

// The plugin-wide lock over the shared objects, for the part of an export that uses them.
// What must be shown to the user meanwhile (Tell) waits until the lock is let go for the last
// time on this thread: no window and no host callback runs while it is held, so the host's
// background thread never waits for the user.
class StateLock {
 public:
  StateLock();
  ~StateLock();
  StateLock(const StateLock&) = delete;
  StateLock& operator=(const StateLock&) = delete;
  // Let go and take again in the middle (a column read without the lock).
  void unlock();
  void lock();

 private:
  std::unique_lock<std::recursive_mutex> lock_;
};

// A message box of the library (`flags` as MessageBox takes them): now, or when this thread's
// StateLock is let go.
void Tell(std::u16string text, std::uint32_t flags);

// Whether a background call pinned the library.
bool ModulePinned();

}  // namespace qb::plugin
