// Pictures of dialogs as they are on the screen, for a person to look at after the run.
#pragma once

#include <string>

#include "platform/win32/windows_api.h"

namespace qb::winetest::dialogs {

// The window's client area, with every control in it, copied from the screen into a PNG
// file; false when the copy or the file fails. The frame is left out: under Xvfb no window
// manager draws one, and the caption is checked as text instead.
bool CaptureWindow(HWND window, const std::wstring& path);

}  // namespace qb::winetest::dialogs
