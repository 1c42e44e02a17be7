// A dialog told as text, for hosts that show no windows of the library: the dialog's own logic
// fills an in-memory view, and what it would show is read off that view line by line.
#pragma once

#include <functional>
#include <string>

#include "platform/dialog.h"

namespace qb {

// Runs `controller`'s OnCreate and OnActivate on a view of `layout` that is never shown, then
// returns the caption, an empty line and one line per row of what the dialog shows: texts of
// labels, edits and group boxes, the checked radio button, the chosen list entry, a number
// edit while enabled. Controls side by side (tops within a few pixels) share a line, lines go
// top to bottom; buttons, hidden controls, empty texts and the line of a radio button that is
// not checked are left out. Lines end with CR LF.
std::u16string DialogAsText(const platform::DialogLayout& layout,
                            const std::function<std::u16string(std::uint16_t)>& texts,
                            platform::IDialogController& controller);

}  // namespace qb
