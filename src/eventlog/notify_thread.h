// The state a change notification shares between its waiting thread and the thread that
// registered it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "eventlog/event_log.h"
#include "platform/platform.h"

namespace qb {

struct NotifyContext {
  enum class Request { kNone, kChange, kError };

  // Waiting thread: asks the registering thread to run `request` and waits until it has run.
  // False when the notification ended meanwhile (the request is dropped).
  bool HandOver(Request request, platform::ErrorCode code);
  // Registering thread, from the hidden window: runs the waiting request, if any.
  void RunPending();
  // Registering thread: ends the notification; nothing is handed over afterwards.
  void End();

  std::mutex mutex;
  std::condition_variable cv;
  bool alive = true;                              // guarded by mutex
  std::atomic<bool> terminated{false};            // the thread's stop request
  platform::IMessageWindow* window = nullptr;     // guarded by mutex, cleared by End
  Request pending = Request::kNone;               // guarded by mutex
  platform::ErrorCode pendingError = 0;           // guarded by mutex
  bool done = false;                              // guarded by mutex
  std::unique_ptr<platform::IChangeEvent> event;  // used by the waiting thread only

  // Registering thread only.
  TFWEventLog* owner = nullptr;
  TFWOnChangeEvent onChangeEvent;
  TFWOnChangeCallback onChangeCallback = nullptr;
};

class TFWNotifyThread {
 public:
  // The thread's body: waits for changes in steps of 100 ms, so a stop request is noticed
  // within about that time.
  static void Execute(const std::shared_ptr<NotifyContext>& context);
};

}  // namespace qb
