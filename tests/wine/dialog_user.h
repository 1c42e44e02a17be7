// Acting as the user on windows of this process from a second thread: finding a dialog,
// reading its controls, pressing keys and buttons; every wait is limited in time, so that a
// window that never comes or never goes fails the checks instead of hanging the run.
#pragma once

#include <functional>
#include <string>

#include "platform/win32/windows_api.h"

namespace qb::wine_test {

inline constexpr DWORD kUserWaitMs = 5000;

// Polls `done` until it holds or `milliseconds` have passed.
bool WaitFor(const std::function<bool()>& done, DWORD milliseconds = kUserWaitMs);

// A visible dialog box (#32770) of this process owned by `owner`, once it has the focus;
// nullptr when none came.
HWND FindDialog(HWND owner, DWORD milliseconds = kUserWaitMs);

// WM_GETTEXT through SendMessageTimeoutW: the text a screen reader would read.
std::wstring TextOf(HWND window);

// The window's rectangle in the client coordinates of `dialog`.
RECT PlaceIn(HWND dialog, HWND window);

// The window with the keyboard focus on the thread that owns `window`.
HWND FocusOf(HWND window);

// A key pressed in the window with the focus, as the system would post it.
void PressKey(HWND dialog, UINT key);

// The click notification of control `id`, as a tool would post it.
void PostClick(HWND dialog, int id);

// Runs `script` on a thread of its own while `run` runs here; should the dialog outlive the
// script, it is closed, and should it ignore that, this thread's loop gets WM_QUIT.
int RunWithUser(const std::function<int()>& run, const std::function<void()>& script,
                const std::function<HWND()>& dialog);

}  // namespace qb::wine_test
