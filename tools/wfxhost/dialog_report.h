// What a dialog of the plugin shows, as text: one line per control with its text and state.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/services/dialog.h"

namespace qb::wfxhost {

// The dialog as it is now: its caption, then every control that has a window.
std::vector<std::string> DescribeDialog(const sim::SimDialog& dialog);

}  // namespace qb::wfxhost
