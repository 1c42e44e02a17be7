// The person at the screen: what a user does with the windows of this process, as plain calls
// from a thread of its own while another thread is inside a call's modal loop. It finds the
// dialogs a call opened, reads their controls as a screen reader does, clicks, presses keys,
// answers message boxes and fills in the save-file dialog. Every wait and every message sent
// has a time limit, so a window that never comes, never goes or hangs fails the caller instead
// of hanging it. The dialog watchdog, the Wine test programs and the win32 platform suites all
// act through these.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"

namespace qb::host {

inline constexpr int kMessageBoxText = 0xFFFF;  // the static control holding a box's text
inline constexpr UINT kSendTimeoutMs = 5000;
inline constexpr DWORD kChangeTimeoutMs = 5000;       // what a click or key changes
inline constexpr DWORD kAppearTimeoutMs = 15000;      // a dialog
inline constexpr DWORD kFileDialogTimeoutMs = 20000;  // the first one loads the shell's parts

// --- finding ---
// A visible dialog window ("#32770") of this process.
bool IsOwnDialog(HWND window);
// The visible dialogs of this process owned by `owner`, or all of them with `anyOwner`.
std::vector<HWND> OwnDialogs(HWND owner, bool anyOwner = false);
// Control `id` anywhere inside `dialog` (a group box or tab control may be its parent).
HWND ControlOf(HWND dialog, int id);
// The first child window of `dialog` of window class `className`, at any depth.
HWND ChildOfClass(HWND dialog, const wchar_t* className);
// The file-name box of the system's save-file dialog: a combo box on Windows, an edit
// elsewhere.
HWND FileNameField(HWND saveDialog);

// --- waiting ---
// Polls `done` until it holds; false when `milliseconds` passed first.
bool WaitFor(const std::function<bool()>& done, DWORD milliseconds = kChangeTimeoutMs);
// Until `window` is gone or hidden.
bool WaitGone(HWND window, DWORD milliseconds = kChangeTimeoutMs);
// The first visible and enabled dialog of this process owned by `owner`, once there is one;
// nullptr when none came in time, or as soon as `callReturned` is set (no window of that call
// can come any more).
HWND WaitForDialog(HWND owner, const std::atomic<bool>* callReturned = nullptr,
                   DWORD milliseconds = kAppearTimeoutMs);
// Until the keyboard focus of the dialog's thread is inside it, as it is once the dialog is up
// for the user (keys pressed earlier would go nowhere).
bool WaitForFocusIn(HWND dialog, DWORD milliseconds = kChangeTimeoutMs);
// Returns once the window's thread has handled everything sent to it before.
void Sync(HWND window);

// --- reading ---
// WM_GETTEXT, the text a screen reader reads; empty when the window does not answer.
std::wstring WindowText(HWND window);
std::wstring ControlText(HWND dialog, int id);
bool IsChecked(HWND button);
bool IsControlEnabled(HWND dialog, int id);
bool IsControlVisible(HWND dialog, int id);
// The window with the keyboard focus on `thread`, nullptr when none has it.
HWND FocusOfThread(DWORD thread);
// The control id of the control of `dialog` that has the keyboard focus; 0 when the focus is
// elsewhere.
int FocusedControl(HWND dialog);
// The controls Tab visits after control `from`, by control id, up to and including `from`
// again (at most 20).
std::vector<int> TabOrder(HWND dialog, int from);
// The default button's control id (DM_GETDEFID), 0 when there is none.
int DefaultId(HWND dialog);
// A message box's caption and text.
struct BoxText {
  std::wstring caption, text;
};
BoxText ReadBox(HWND box);

// --- acting ---
bool SetWindowTextTimed(HWND window, const std::wstring& text);
// BN_CLICKED posted to the button's parent, as a click on a push button sends.
void PressButton(HWND dialog, int id);
// A click as the mouse gives it: a radio button checks itself and takes the focus, another
// button sends BN_CLICKED; a disabled control gets nothing.
void Click(HWND dialog, int id);
// A key pressed and released in `target`.
void PressKey(HWND target, UINT virtualKey);
// A key pressed where the keyboard focus of `thread` is (its active window when none has it).
void PressKeyOnThread(DWORD thread, UINT virtualKey);
// Waits for the message box over `owner`, reads it and presses `button` (IDYES, IDNO...);
// nullopt when no box came or it did not close.
std::optional<BoxText> AnswerBox(HWND owner, int button,
                                 const std::atomic<bool>* callReturned = nullptr,
                                 DWORD milliseconds = kChangeTimeoutMs);
// The system's save-file dialog over `owner`: what it proposed, then `path` typed as the file
// name and Save clicked, an overwrite question answered Yes (nullopt `path`: Cancel).
struct SaveDialogSeen {
  HWND dialog = nullptr;  // the dialog, when it came
  bool came = false;      // the dialog came
  bool closed = false;    // and went after the user's answer
  std::wstring proposed;
  std::optional<BoxText> replacePrompt;
};
SaveDialogSeen FillSaveDialog(HWND owner, const std::optional<std::wstring>& path,
                              const std::atomic<bool>* callReturned = nullptr);
// Closes every dialog of the process that is still up; their captions.
std::vector<std::wstring> CloseAllDialogs();

}  // namespace qb::host
