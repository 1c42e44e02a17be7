// What a person at the screen does with the windows of this process, as plain calls: find the
// dialogs a call opened, read their controls as a screen reader does, click and press keys.
// The Wine test programs and the win32 platform suites drive dialogs with these from a second
// thread; every message sent has a time limit, so a hung window cannot hang the caller.
#pragma once

#include "host/windows_headers.h"

#include <string>
#include <vector>

namespace qb::host {

inline constexpr int kMessageBoxText = 0xFFFF;  // the static control holding a box's text
inline constexpr UINT kSendTimeoutMs = 5000;

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

// WM_GETTEXT, the text a screen reader reads; empty when the window does not answer.
std::wstring WindowText(HWND window);
bool SetWindowTextTimed(HWND window, const std::wstring& text);
bool IsChecked(HWND button);
// The window with the keyboard focus on `thread`, nullptr when none has it.
HWND FocusOfThread(DWORD thread);

// A button pressed: BN_CLICKED posted to its parent, as a click on it sends.
void PressButton(HWND dialog, int id);
// A key pressed and released in `target`.
void PressKey(HWND target, UINT virtualKey);

}  // namespace qb::host
