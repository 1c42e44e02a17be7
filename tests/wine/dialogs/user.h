// The person in front of the host: finds the dialogs the plugin opens, reads their controls,
// clicks, types keys, answers message boxes and fills in the save-file dialog. It runs on a
// thread of its own while the host's thread is inside the plugin's modal loop; every wait is
// limited in time.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"

namespace qb::winetest::dialogs {

inline constexpr DWORD kAppearTimeoutMs = 15000;  // a dialog, the save dialog included
inline constexpr DWORD kChangeTimeoutMs = 5000;   // what a click or key changes

// A message box's caption and text.
struct BoxText {
  std::wstring caption, text;
};

class User {
 public:
  // `hostThread` runs the dialogs; `callReturned` is set once the plugin's call has returned,
  // so that waits for a dialog end early.
  User(DWORD hostThread, const std::atomic<bool>& callReturned, std::wstring screenshots);

  // The first visible and enabled dialog window ("#32770") of this process owned by `owner`,
  // once there is one; nullptr when none comes in time.
  HWND WaitForDialog(HWND owner, DWORD timeoutMs = kAppearTimeoutMs) const;
  // Until `condition` holds; false when it still fails at the end. A message box that
  // appears over `watched` meanwhile is reported as a failure and closed.
  bool WaitUntil(const std::function<bool()>& condition, HWND watched,
                 DWORD timeoutMs = kChangeTimeoutMs) const;
  bool WaitGone(HWND window, DWORD timeoutMs = kChangeTimeoutMs) const;
  // Until the keyboard focus of the host's thread is in `dialog`, as it is once the dialog is
  // up for the user.
  bool WaitForFocusIn(HWND dialog) const;
  // Returns once the host's thread has handled everything sent before.
  void Sync(HWND dialog) const;

  // Controls by their control id, anywhere inside the dialog.
  static HWND Control(HWND dialog, int id);
  std::wstring Text(HWND dialog, int id) const;
  static std::wstring WindowText(HWND window);
  bool Checked(HWND dialog, int id) const;
  bool Enabled(HWND dialog, int id) const;
  // The control id of the focused control of the host's thread, 0 when none has the focus.
  int FocusedId() const;
  // The controls Tab visits after control `from`, by control id, up to and including `from`
  // again (at most 20).
  static std::vector<int> TabOrder(HWND dialog, int from);
  // The default button's control id (DM_GETDEFID), 0 when there is none.
  static int DefaultId(HWND dialog);

  // A push button clicked: BN_CLICKED posted to the button's parent.
  void Click(HWND dialog, int id) const;
  // A radio button clicked with the mouse (BM_CLICK), which also checks it.
  void ClickRadio(HWND dialog, int id) const;
  // A key pressed while the focused control has the focus.
  void Press(WORD virtualKey) const;

  // Waits for the message box over `owner`, reads it and presses `button` (IDYES, IDNO, ...);
  // nullopt when no box came or it did not close.
  std::optional<BoxText> Answer(HWND owner, int button) const;
  // Waits for the save-file dialog over `owner`, types `path` as the file name and clicks
  // Save; the text of the overwrite prompt, answered Yes, when one came (`prompted`). False
  // when the dialog did not come or did not close.
  bool SaveAs(HWND owner, const std::wstring& path, std::optional<BoxText>* prompted) const;

  // With screenshots on: a PNG of the window in the screenshot folder.
  void Shoot(HWND window, const wchar_t* fileName) const;

  // Closes every dialog of the process that is still up; their captions.
  static std::vector<std::wstring> CloseAll();

 private:
  DWORD hostThread_;
  const std::atomic<bool>& callReturned_;
  std::wstring screenshots_;
};

// Every visible dialog window of this process owned by `owner`.
std::vector<HWND> OwnedDialogs(HWND owner);

}  // namespace qb::winetest::dialogs
