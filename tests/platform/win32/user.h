// The person at the screen on Windows: a second thread that finds the windows a call of the
// interface opens, reads them and clicks and presses keys in them, while the test's thread is
// inside the call's modal loop. Every wait is limited in time, so that a window that never
// comes or never goes fails the test instead of hanging the run.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "backend.h"
#include "host/window_user.h"
#include "platform/win32/windows_api.h"

namespace qb::suite {

inline constexpr DWORD kUserWaitMs = 5000;
inline constexpr DWORD kFileDialogWaitMs = 20000;  // the first one loads the shell's parts

// Polls `done` until it holds or `milliseconds` have passed.
bool WaitFor(const std::function<bool()>& done, DWORD milliseconds = kUserWaitMs);

// A visible, enabled dialog box (#32770) of this process owned by `owner`, once the focus is
// in it; nullptr when none came in time, or as soon as `callReturned` is set.
HWND FindDialog(HWND owner, const std::atomic<bool>* callReturned = nullptr,
                DWORD milliseconds = kUserWaitMs);

// The window with the keyboard focus on the thread that owns `window`.
HWND FocusOf(HWND window);

// A dialog's user on this thread.
class Win32DialogUser final : public DialogUser {
 public:
  explicit Win32DialogUser(HWND dialog) : dialog_(dialog) {}

  HWND window() const { return dialog_; }

  void Click(int id) override;
  void PressKey(std::uint32_t virtualKey) override;
  void CloseBox() override;
  void ClickOpening(int id, const Script& script) override;
  Box ClickAnswering(int id, int button) override;
  std::u16string Caption() override;
  std::u16string Text(int id) override;
  bool IsChecked(int id) override;
  bool IsEnabled(int id) override;
  bool IsVisible(int id) override;
  int Focused() override;
  bool Until(const std::function<bool()>& done) override;

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

// The sessions of the Windows backend.
std::unique_ptr<UserSession> ActOnWindowsDialog(HWND owner, DialogUser::Script script);
std::unique_ptr<UserSession> AnswerWindowsMessageBox(HWND owner, int button, DialogUser::Box& seen);
std::unique_ptr<UserSession> AnswerWindowsSaveDialog(HWND owner, std::optional<std::u16string> path,
                                                     Backend::SaveDialogSeen& seen);

}  // namespace qb::suite
