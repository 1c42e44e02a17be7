// Controls on a tab page are drawn over the page, which a themed tab control paints in a colour
// of its own, and not over the dialog's face. Labels there are transparent windows that draw
// their text only, so that a label running into its neighbour's box shows both texts as the
// original's windowless labels did; radio buttons and icons fill their boxes with the page.
#include "platform/win32/dialog_window.h"

namespace qb::win32 {

using platform::ControlKind;

const DialogWindow::Control* DialogWindow::TabsBeneath(const Control& control) const {
  const Control* at = &control;
  for (int depth = 0; at != nullptr && depth < 8; ++depth) {
    const Control* parent = at->layout->parent != 0 ? Find(at->layout->parent) : nullptr;
    if (parent == nullptr || parent == at) return nullptr;
    if (parent->layout->kind == ControlKind::kTabPage) {
      const Control* tabs = parent->layout->parent != 0 ? Find(parent->layout->parent) : nullptr;
      return tabs != nullptr && tabs->layout->kind == ControlKind::kTabs ? tabs : nullptr;
    }
    at = parent;
  }
  return nullptr;
}

bool DialogWindow::IsTransparent(const Control& control) {
  return control.window != nullptr &&
         (GetWindowLongPtrW(control.window, GWL_EXSTYLE) & WS_EX_TRANSPARENT) != 0;
}

INT_PTR DialogWindow::OnColorStatic(HDC dc, HWND window) noexcept {
  const Control* control = nullptr;
  for (const auto& c : controls_) {
    if (c.window == window) control = &c;
  }
  const Control* tabs = control != nullptr ? TabsBeneath(*control) : nullptr;
  if (tabs == nullptr || tabs->window == nullptr) return FALSE;  // the dialog's own colours
  switch (control->layout->kind) {
    case ControlKind::kLabel:
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    case ControlKind::kRadio:
    case ControlKind::kIcon: {
      HBRUSH brush = PageBrush(*tabs);
      if (brush == nullptr) return FALSE;
      SetBkMode(dc, TRANSPARENT);
      // The pattern starts at the tab control's corner, wherever the control lies on it.
      POINT origin{0, 0};
      MapWindowPoints(tabs->window, window, &origin, 1);
      SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
      return reinterpret_cast<INT_PTR>(brush);
    }
    default:
      return FALSE;  // the memos keep the read-only edit's face
  }
}

HBRUSH DialogWindow::PageBrush(const Control& tabs) noexcept {
  if (pageBrush_ != nullptr) return pageBrush_.get();
  RECT area{};
  if (!GetClientRect(tabs.window, &area) || area.right <= 0 || area.bottom <= 0) return nullptr;
  HDC screen = GetDC(tabs.window);
  if (screen == nullptr) return nullptr;
  HDC memory = CreateCompatibleDC(screen);
  UniqueBitmap image(CreateCompatibleBitmap(screen, area.right, area.bottom));
  ReleaseDC(tabs.window, screen);
  if (memory == nullptr || image == nullptr) {
    if (memory != nullptr) DeleteDC(memory);
    return nullptr;
  }
  const HGDIOBJ old = SelectObject(memory, image.get());
  FillRect(memory, &area, GetSysColorBrush(COLOR_BTNFACE));
  SendMessageW(tabs.window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory),
               PRF_CLIENT | PRF_ERASEBKGND);
  SelectObject(memory, old);
  DeleteDC(memory);
  pageBrush_.reset(CreatePatternBrush(image.get()));
  if (pageBrush_ != nullptr) pageImage_ = std::move(image);
  return pageBrush_.get();
}

RECT DialogWindow::PlaceOf(const Control& control) const {
  RECT place{};
  if (control.window != nullptr && GetWindowRect(control.window, &place)) {
    MapWindowPoints(HWND_DESKTOP, dialog_, reinterpret_cast<POINT*>(&place), 2);
  }
  return place;
}

void DialogWindow::RepaintBeneath(const Control& control, const RECT& before) {
  if (!IsTransparent(control) || dialog_ == nullptr) return;
  // A transparent window repaints only itself; whatever its old text covered stays unless the
  // page beneath is painted again, before it.
  const RECT now = PlaceOf(control);
  RECT area{};
  UnionRect(&area, &before, &now);
  RedrawWindow(dialog_, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace qb::win32
