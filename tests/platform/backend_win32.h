// The user of the Windows backend's dialogs in the suites: the suites' DialogUser over the
// person at the screen of tools/host (window_user.h), acting from a second thread while the
// test's thread is inside the call's modal loop.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "backend.h"
#include "host/window_user.h"

namespace qb::suite {

// A dialog's user on this thread.
class Win32DialogUser final : public DialogUser {
 public:
  explicit Win32DialogUser(HWND dialog) : dialog_(dialog) {}

  HWND window() const { return dialog_; }

  void Click(int id) override { host::Click(dialog_, id); }
  void PressKey(std::uint32_t virtualKey) override;
  void CloseBox() override { PostMessageW(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0); }
  void ClickOpening(int id, const Script& script) override;
  Box ClickAnswering(int id, int button) override;
  std::u16string Caption() override;
  std::u16string Text(int id) override;
  bool IsChecked(int id) override { return host::IsChecked(host::ControlOf(dialog_, id)); }
  bool IsEnabled(int id) override { return host::IsControlEnabled(dialog_, id); }
  bool IsVisible(int id) override { return host::IsControlVisible(dialog_, id); }
  int Focused() override { return host::FocusedControl(dialog_); }
  bool Until(const std::function<bool()>& done) override { return host::WaitFor(done); }

 private:
  HWND dialog_;
};

// Runs `act` on a thread of its own while the test's thread makes its call. `act` returns the
// window it acted on (nullptr when none came, a failure it reports itself). Should that window
// outlive the call's end by more than a while, it is a failure: the window is closed, and
// should it ignore that, the test's thread gets WM_QUIT.
class UserThread final : public UserSession {
 public:
  using Act = std::function<HWND(const std::atomic<bool>& callReturned)>;
  explicit UserThread(Act act);
  ~UserThread() override;
  UserThread(const UserThread&) = delete;
  UserThread& operator=(const UserThread&) = delete;

 private:
  std::atomic<bool> returned_{false};
  std::atomic<bool> quitPosted_{false};
  const DWORD runner_;
  std::thread thread_;  // last: it starts once everything it uses exists
};

// A dialog over `owner` once it is up for the user (the focus in it); nullptr when none came.
HWND DialogUpFor(HWND owner, const std::atomic<bool>* callReturned = nullptr,
                 DWORD milliseconds = host::kAppearTimeoutMs);

}  // namespace qb::suite
