// Where a dialog goes on the screen.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace qb::sysutil {

// Where a dialog sits on the screen, in screen pixels.
struct FormBounds {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Width = 0;
  std::int32_t Height = 0;
};

// Centres the form over window `wnd` and keeps it inside the virtual screen (all monitors).
void CenterFormOverWindow(FormBounds& form, platform::Handle wnd);

}  // namespace qb::sysutil
