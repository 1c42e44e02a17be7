#include "sysutil/dialog_placement.h"

#include "platform/platform.h"
#include "util/rounding.h"

namespace qb::sysutil {

void CenterFormOverWindow(FormBounds& form, platform::Handle wnd) {
  auto& ui = platform::Ui();
  const auto screen = ui.GetVirtualScreen();
  const std::int64_t vx = screen.x;
  const std::int64_t vy = screen.y;
  const std::int64_t vr = vx + screen.cx;
  const std::int64_t vb = vy + screen.cy;
  platform::Rect r;
  if (!ui.GetWindowRect(wnd, r)) {
    // No window to centre over: centre over the whole virtual screen instead.
    r = {static_cast<std::int32_t>(vx), static_cast<std::int32_t>(vy),
         static_cast<std::int32_t>(vr), static_cast<std::int32_t>(vb)};
  }
  std::int64_t left = r.left + static_cast<std::int64_t>(
                                   util::HalfToEven(std::int64_t{r.right} - r.left - form.Width));
  std::int64_t top = r.top + static_cast<std::int64_t>(
                                 util::HalfToEven(std::int64_t{r.bottom} - r.top - form.Height));
  if (left + form.Width > vr) left = vr - form.Width;
  if (top + form.Height > vb) top = vb - form.Height;
  if (left < vx) left = vx;
  if (top < vy) top = vy;
  form.Left = static_cast<std::int32_t>(left);
  form.Top = static_cast<std::int32_t>(top);
}

}  // namespace qb::sysutil
