// The system's save-file dialog (GetSaveFileNameW).
#pragma once

#include <optional>
#include <string>

#include "platform/ui.h"

namespace qb::win32 {

// The full path chosen, nullopt when the user cancelled or the dialog could not be shown.
std::optional<std::u16string> ChooseSaveFile(const platform::SaveFileRequest& request);

// "ext" of a simple "*.ext" pattern, empty for anything else ("*.*", "*.a;*.b").
std::wstring DefaultExtension(std::u16string_view pattern);

}  // namespace qb::win32
