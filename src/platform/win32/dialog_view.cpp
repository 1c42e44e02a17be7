// The running dialog as its controller sees it: controls named by their layout ids, places in
// 96-DPI pixels of the client area, converted from and to the device pixels of the window.
#include <algorithm>

#include "platform/win32/dialog_controls.h"
#include "platform/win32/dialog_window.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace qb::win32 {
namespace {

using platform::ControlKind;

std::u16string WindowText(HWND window) {
  if (window == nullptr) return {};
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  return FromWide(text.data(), static_cast<std::size_t>(std::clamp(copied, 0, length)));
}

bool HasStyle(HWND window, DWORD style) {
  return (static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)) & style) != 0;
}

void SetStyle(HWND window, DWORD style, bool on) {
  const auto now = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
  const DWORD wanted = on ? now | style : now & ~style;
  if (wanted != now) SetWindowLongPtrW(window, GWL_STYLE, static_cast<LONG_PTR>(wanted));
}

}  // namespace

DialogWindow::Control* DialogWindow::Find(int id) {
  for (auto& control : controls_) {
    if (control.layout->id == id) return &control;
  }
  return nullptr;
}

const DialogWindow::Control* DialogWindow::Find(int id) const {
  for (const auto& control : controls_) {
    if (control.layout->id == id) return &control;
  }
  return nullptr;
}

HWND DialogWindow::WindowOf(int id) const {
  const Control* control = Find(id);
  return control != nullptr ? control->window : nullptr;
}

bool DialogWindow::Usable(const Control& control) const {
  if (control.window == nullptr) return control.enabled && control.visible;
  return IsWindowEnabled(control.window) && HasStyle(control.window, WS_VISIBLE);
}

std::pair<std::size_t, std::size_t> DialogWindow::RadioGroupOf(std::size_t index) const {
  auto starts = [&](std::size_t i) {
    return i == 0 || controls_[i - 1].layout->kind != ControlKind::kRadio ||
           (controls_[i].layout->style & platform::cs::kGroupStart) != 0;
  };
  std::size_t first = index;
  while (!starts(first)) --first;
  std::size_t last = index + 1;
  while (last < controls_.size() && controls_[last].layout->kind == ControlKind::kRadio &&
         !starts(last)) {
    ++last;
  }
  return {first, last};
}

platform::Handle DialogWindow::Window() const {
  return ToHandle(dialog_);
}

void DialogWindow::SetCaption(std::u16string_view text) {
  if (dialog_ == nullptr) return;
  const std::wstring caption = Terminated(text);
  SetWindowTextW(dialog_, caption.c_str());
}

std::u16string DialogWindow::Caption() const {
  return WindowText(dialog_);
}

void DialogWindow::SetText(int id, std::u16string_view text) {
  Control* control = Find(id);
  if (control == nullptr || control->window == nullptr) return;
  const std::wstring wide = Terminated(text);
  if (control->layout->kind == ControlKind::kTabs) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(wide.c_str());
    SendMessageW(control->window, TCM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  const RECT before = PlaceOf(*control);
  // The tab control's window text as well: readers of WM_GETTEXT see what the tab shows.
  SetWindowTextW(control->window, wide.c_str());
  FitLabel(*control);
  RepaintBeneath(*control, before);
}

std::u16string DialogWindow::Text(int id) const {
  return WindowText(WindowOf(id));
}

void DialogWindow::SetEnabled(int id, bool enabled) {
  Control* control = Find(id);
  if (control == nullptr) return;
  if (control->window == nullptr) {
    control->enabled = enabled;
    return;
  }
  // A focused control that is disabled would leave the keyboard nowhere: move on first.
  if (!enabled && Focused() == id) SendMessageW(dialog_, WM_NEXTDLGCTL, 0, FALSE);
  const bool change = (IsWindowEnabled(control->window) != FALSE) != enabled;
  EnableWindow(control->window, enabled ? TRUE : FALSE);
  // The text's colour changes: the old text must not show through.
  if (change) RepaintBeneath(*control, PlaceOf(*control));
}

bool DialogWindow::IsEnabled(int id) const {
  const Control* control = Find(id);
  if (control == nullptr) return false;
  if (control->window == nullptr) return control->enabled;
  return IsWindowEnabled(control->window) != FALSE;
}

void DialogWindow::SetVisible(int id, bool visible) {
  Control* control = Find(id);
  if (control == nullptr) return;
  if (control->window == nullptr) {
    control->visible = visible;
    return;
  }
  if (!visible && Focused() == id) SendMessageW(dialog_, WM_NEXTDLGCTL, 0, FALSE);
  ShowWindow(control->window, visible ? SW_SHOWNA : SW_HIDE);
  RepaintBeneath(*control, PlaceOf(*control));
}

bool DialogWindow::IsVisible(int id) const {
  const Control* control = Find(id);
  if (control == nullptr) return false;
  // The style, not IsWindowVisible: the dialog itself is still hidden during OnCreate.
  if (control->window == nullptr) return control->visible;
  return HasStyle(control->window, WS_VISIBLE);
}

void DialogWindow::SetChecked(int id, bool checked) {
  const Control* control = Find(id);
  if (control == nullptr || control->window == nullptr ||
      control->layout->kind != ControlKind::kRadio) {
    return;
  }
  const auto index = static_cast<std::size_t>(control - controls_.data());
  const auto [first, last] = RadioGroupOf(index);
  if (checked) {
    for (std::size_t i = first; i < last; ++i) {
      if (i != index && controls_[i].window != nullptr) {
        SendMessageW(controls_[i].window, BM_SETCHECK, BST_UNCHECKED, 0);
      }
    }
  }
  SendMessageW(control->window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  // As in the original toolkit, Tab enters a group at its checked button only; the arrow keys
  // move within the group. Every check change, the user's clicks and arrows too, passes here.
  for (std::size_t i = first; i < last; ++i) {
    if (HWND radio = controls_[i].window) {
      SetStyle(radio, WS_TABSTOP, SendMessageW(radio, BM_GETCHECK, 0, 0) == BST_CHECKED);
    }
  }
}

bool DialogWindow::IsChecked(int id) const {
  const Control* control = Find(id);
  if (control == nullptr || control->window == nullptr ||
      control->layout->kind != ControlKind::kRadio) {
    return false;
  }
  return SendMessageW(control->window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void DialogWindow::SetImage(int id, int index) {
  Control* control = Find(id);
  if (control == nullptr || control->window == nullptr ||
      control->layout->kind != ControlKind::kIcon) {
    return;
  }
  UniqueIcon icon;
  if (index >= 0 && static_cast<std::size_t>(index) < imageSlots_.size() &&
      imageSlots_[static_cast<std::size_t>(index)] >= 0) {
    icon.reset(
        ImageList_GetIcon(images_.get(), imageSlots_[static_cast<std::size_t>(index)], ILD_NORMAL));
  }
  SendMessageW(control->window, STM_SETICON, reinterpret_cast<WPARAM>(icon.get()), 0);
  control->image = icon != nullptr ? index : -1;
  // The control has let go of the icon it showed before: that one is freed here.
  control->icon = std::move(icon);
}

int DialogWindow::Image(int id) const {
  const Control* control = Find(id);
  return control != nullptr ? control->image : -1;
}

void DialogWindow::AddItem(int id, std::u16string_view text) {
  const Control* control = Find(id);
  if (control == nullptr || control->window == nullptr ||
      control->layout->kind != ControlKind::kComboList) {
    return;
  }
  const std::wstring item = Terminated(text);
  SendMessageW(control->window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void DialogWindow::SetSelection(int id, int index) {
  const Control* control = Find(id);
  if (control == nullptr || control->window == nullptr ||
      control->layout->kind != ControlKind::kComboList) {
    return;
  }
  SendMessageW(control->window, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int DialogWindow::Selection(int id) const {
  const Control* control = Find(id);
  if (control == nullptr || control->window == nullptr ||
      control->layout->kind != ControlKind::kComboList) {
    return -1;
  }
  const LRESULT selection = SendMessageW(control->window, CB_GETCURSEL, 0, 0);
  return selection < 0 ? -1 : static_cast<int>(selection);
}

std::size_t DialogWindow::ItemCount(int id) const {
  const Control* control = Find(id);
  if (control == nullptr || control->window == nullptr ||
      control->layout->kind != ControlKind::kComboList) {
    return 0;
  }
  const LRESULT count = SendMessageW(control->window, CB_GETCOUNT, 0, 0);
  return count < 0 ? 0 : static_cast<std::size_t>(count);
}

platform::LayoutRect DialogWindow::Bounds(int id) const {
  const Control* control = Find(id);
  if (control == nullptr) return {};
  RECT box = control->box;
  if (control->window != nullptr) {
    // A combo box's window rectangle is the box shown, without the drop-down list.
    if (!GetWindowRect(control->window, &box)) return {};
    MapWindowPoints(HWND_DESKTOP, dialog_, reinterpret_cast<POINT*>(&box), 2);
  }
  return platform::LayoutRect{scale_.ToLayout(box.left), scale_.ToLayout(box.top),
                              scale_.ToLayout(box.right - box.left),
                              scale_.ToLayout(box.bottom - box.top)};
}

void DialogWindow::SetBounds(int id, platform::LayoutRect bounds) {
  const Control* control = Find(id);
  // Windowless kinds only lend an origin to controls made already: nothing to move.
  if (control == nullptr || control->window == nullptr) return;
  const RECT before = PlaceOf(*control);
  SetWindowPos(control->window, nullptr, scale_.ToDevice(bounds.x), scale_.ToDevice(bounds.y),
               scale_.ToDevice(bounds.width), scale_.ToDevice(bounds.height) + control->dropHeight,
               SWP_NOZORDER | SWP_NOACTIVATE);
  RepaintBeneath(*control, before);
}

int DialogWindow::Focused() const {
  const HWND focus = GetFocus();
  if (focus == nullptr) return 0;
  for (const auto& control : controls_) {
    if (control.window != nullptr && (control.window == focus || IsChild(control.window, focus))) {
      return control.layout->id;
    }
  }
  return 0;
}

void DialogWindow::SetFocus(int id) {
  const Control* control = Find(id);
  if (control == nullptr || control->window == nullptr || !IsFocusable(control->layout->kind)) {
    return;
  }
  // Before the dialog is shown the focus cannot be set yet: it goes there when it is.
  if (!focusPlaced_) {
    focusRequest_ = id;
    return;
  }
  if (!Usable(*control)) return;
  SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control->window), TRUE);
}

platform::Rect DialogWindow::WindowRect() const {
  RECT r{};
  if (dialog_ == nullptr || !::GetWindowRect(dialog_, &r)) return {};
  return platform::Rect{r.left, r.top, r.right, r.bottom};
}

void DialogWindow::MoveTo(std::int32_t left, std::int32_t top) {
  if (dialog_ == nullptr) return;
  SetWindowPos(dialog_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace qb::win32
