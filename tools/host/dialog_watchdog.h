// Closes the message boxes of this process as they appear and keeps their texts: an unattended
// run (wfxhost, the Wine test programs) must never wait for a user, and must still say what
// the plugin wanted to tell one.
#pragma once

#include "platform/win32/windows_api.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qb::host {

class DialogWatchdog {
 public:
  DialogWatchdog();
  ~DialogWatchdog();
  DialogWatchdog(const DialogWatchdog&) = delete;
  DialogWatchdog& operator=(const DialogWatchdog&) = delete;

  // "caption: text" of each box closed since the last call (UTF-8). A box is answered with its
  // first button, as a user pressing Enter would: Yes where there is one, else OK.
  std::vector<std::string> Take();

 private:
  void Sweep();
  void Run();

  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> texts_;
  std::vector<HWND> closing_;  // boxes asked to close, not reported twice
  std::condition_variable swept_;
  bool firstSweepDone_ = false;
  std::thread thread_;  // last: it starts once everything it uses exists
};

}  // namespace qb::host
