// Text on the clipboard.
#pragma once

#include <string_view>

#include "platform/types.h"
#include "platform/win32/windows_api.h"

namespace qb::win32 {

// Replaces the clipboard's contents with `text` as CF_UNICODETEXT, the clipboard opened for
// `owner`; the error code of the step that failed.
platform::ErrorCode PutClipboardText(HWND owner, std::u16string_view text);

}  // namespace qb::win32
