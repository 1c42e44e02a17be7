// Making a dialog's controls from its layout: places scaled to the owner's DPI, the fonts, the
// icons and the initial state of every control.
#include <algorithm>

#include "platform/win32/dialog_controls.h"
#include "platform/win32/dialog_window.h"
#include "platform/win32/own_module.h"
#include "platform/win32/wide.h"

namespace qb::win32 {
namespace {

using platform::ControlKind;
namespace cs = platform::cs;

// Items of a combo box's drop-down list shown at once.
constexpr int kComboDropItems = 8;
// Size of a kIcon picture and of the images of the dialog's image list, at 96 DPI.
constexpr int kIconSize = 16;
constexpr int kLabelSlack = 4;  // 96-DPI pixels beyond the measured text of a label

}  // namespace

std::u16string DialogWindow::TextOf(std::uint16_t textId) const {
  if (textId == 0 || !texts_) return {};
  return texts_(textId);
}

void DialogWindow::Build() {
  scale_ = DialogScale(WindowDpi(owner_));
  fonts_.emplace(scale_.ToDevice(layout_.fontHeight));
  const std::wstring caption = Terminated(TextOf(layout_.captionId));
  SetWindowTextW(dialog_, caption.c_str());
  PlaceWindow();
  MakeImageList();

  controls_.reserve(layout_.controls.size());
  bool radioRun = false;      // the control before was a radio button
  bool radiosBefore = false;  // a run of radio buttons has not yet been closed by a group
  HWND previous = nullptr;
  for (const auto& layout : layout_.controls) {
    Control& control = controls_.emplace_back();
    control.layout = &layout;
    // A group begins at each radio group and again at the first focusable control after one,
    // so that the automatic radio buttons uncheck only their own group.
    bool group = false;
    if (layout.kind == ControlKind::kRadio) {
      group = !radioRun || (layout.style & cs::kGroupStart) != 0;
      radioRun = radiosBefore = true;
    } else {
      radioRun = false;
      if (radiosBefore && IsFocusable(layout.kind)) {
        group = true;
        radiosBefore = false;
      }
    }
    MakeControl(control, group, previous);
    if (control.window != nullptr) previous = control.window;
    if ((layout.style & cs::kCancel) != 0 && cancelId_ == 0 && IsClickable(layout.kind)) {
      cancelId_ = layout.id;
    }
    if ((layout.style & cs::kDefault) != 0 && control.window != nullptr &&
        IsClickable(layout.kind)) {
      SendMessageW(dialog_, DM_SETDEFID, static_cast<WPARAM>(layout.id), 0);
    }
  }
  // Tab order is a cycle: at the bottom of the z-order a tab control keeps its place in it
  // while the controls of its page paint over it.
  for (const auto& control : controls_) {
    if (control.layout->kind == ControlKind::kTabs && control.window != nullptr) {
      SetWindowPos(control.window, HWND_BOTTOM, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
}

void DialogWindow::PlaceWindow() {
  const int clientWidth = scale_.ToDevice(layout_.clientWidth);
  const int clientHeight = scale_.ToDevice(layout_.clientHeight);
  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(dialog_, GWL_EXSTYLE)));
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  SetWindowPos(dialog_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // The frame drawn may differ from the one computed (a caption of another height, say): make
  // up the difference so that the client area has its exact size.
  RECT client{};
  if (GetClientRect(dialog_, &client) &&
      (client.right != clientWidth || client.bottom != clientHeight)) {
    width += clientWidth - client.right;
    height += clientHeight - client.bottom;
    SetWindowPos(dialog_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // Centred over the owner, or on the work area; the logic may move it in OnCreate.
  RECT area{};
  if (owner_ == nullptr || !GetWindowRect(owner_, &area)) {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  const int left = area.left + (area.right - area.left - width) / 2;
  const int top = area.top + (area.bottom - area.top - height) / 2;
  SetWindowPos(dialog_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void DialogWindow::MakeImageList() {
  if (layout_.imageList.empty()) return;
  const int size = scale_.ToDevice(kIconSize);
  images_.reset(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK,
                                 static_cast<int>(layout_.imageList.size()), 0));
  if (images_ == nullptr) return;
  for (const char16_t* name : layout_.imageList) {
    int slot = -1;
    if (name != nullptr) {
      const std::wstring resource = Terminated(name);
      UniqueIcon icon(static_cast<HICON>(
          LoadImageW(OwnModule(), resource.c_str(), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
      if (icon != nullptr) slot = ImageList_AddIcon(images_.get(), icon.get());
    }
    imageSlots_.push_back(slot);
  }
}

void DialogWindow::MakeControl(Control& control, bool group, HWND previous) {
  const platform::ControlLayout& layout = *control.layout;
  POINT origin{0, 0};
  const Control* parent = layout.parent != 0 ? Find(layout.parent) : nullptr;
  if (parent != nullptr && parent != &control) origin = parent->childOrigin;
  int x = origin.x + scale_.ToDevice(layout.x);
  int y = origin.y + scale_.ToDevice(layout.y);
  int width = scale_.ToDevice(layout.width);
  int height = scale_.ToDevice(layout.height);
  control.childOrigin = POINT{x, y};

  const ControlClass windowClass = ClassOf(layout);
  if (windowClass.name == nullptr) {
    // A tab page fills the display area of its tab control unless it says otherwise.
    if (layout.kind == ControlKind::kTabPage && parent != nullptr &&
        parent->layout->kind == ControlKind::kTabs) {
      if (layout.width == 0) width = parent->page.cx;
      if (layout.height == 0) height = parent->page.cy;
    }
    control.box = RECT{x, y, x + width, y + height};
    control.enabled = (layout.style & cs::kDisabled) == 0;
    control.visible = (layout.style & cs::kHidden) == 0;
    return;
  }

  const std::u16string text = layout.textId != 0
                                  ? TextOf(layout.textId)
                                  : std::u16string(layout.text != nullptr ? layout.text : u"");
  const std::wstring wide = Terminated(text);
  const HFONT font = fonts_->For(layout.style);
  switch (layout.kind) {
    case ControlKind::kLabel: {
      const SIZE extent = MeasureText(dialog_, font, wide);
      // A few pixels to spare: static controls do not always draw text as narrow as DrawText
      // measures it, and a label must never lose its last character.
      if (layout.width == 0) width = extent.cx + scale_.ToDevice(kLabelSlack);
      if (layout.height == 0) height = extent.cy;
      if ((layout.style & cs::kBottom) != 0) {
        // One line at the bottom of its box: a static control cannot align text downwards.
        const int line = MeasureText(dialog_, font, {}).cy;
        if (height > line) {
          y += height - line;
          height = line;
        }
      }
      break;
    }
    case ControlKind::kIcon:
      width = height = scale_.ToDevice(kIconSize);
      break;
    case ControlKind::kComboList:
      // The window's height includes the drop-down list; the box shown keeps its own height.
      control.dropHeight = kComboDropItems * MeasureText(dialog_, font, {}).cy + 2;
      break;
    default:
      break;
  }
  const DWORD style = windowClass.style | (group ? WS_GROUP : 0);
  // A label on a tab page draws its text only (dialog_page.cpp).
  const DWORD exStyle =
      windowClass.exStyle |
      (layout.kind == ControlKind::kLabel && TabsBeneath(control) != nullptr ? WS_EX_TRANSPARENT
                                                                             : 0);
  control.window = CreateWindowExW(
      exStyle, windowClass.name, wide.c_str(), style, x, y, width, height + control.dropHeight,
      dialog_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), OwnModule(), nullptr);
  if (control.window == nullptr) return;  // the dialog goes on without it
  SendMessageW(control.window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

  switch (layout.kind) {
    case ControlKind::kRadio:
      if ((layout.style & cs::kChecked) != 0) {
        SendMessageW(control.window, BM_SETCHECK, BST_CHECKED, 0);
      }
      break;
    case ControlKind::kImageButton:
      if (layout.image != nullptr) {
        const std::wstring resource = Terminated(layout.image);
        control.icon.reset(static_cast<HICON>(LoadImageW(
            OwnModule(), resource.c_str(), IMAGE_ICON, scale_.ToDevice(layout.imageWidth),
            scale_.ToDevice(layout.imageHeight), LR_DEFAULTCOLOR)));
        SendMessageW(control.window, BM_SETIMAGE, IMAGE_ICON,
                     reinterpret_cast<LPARAM>(control.icon.get()));
      }
      break;
    case ControlKind::kNumberEdit:
      SendMessageW(control.window, EM_LIMITTEXT, 3, 0);
      break;
    case ControlKind::kUpDown:
      SendMessageW(control.window, UDM_SETBUDDY, reinterpret_cast<WPARAM>(previous), 0);
      SendMessageW(control.window, UDM_SETRANGE32, static_cast<WPARAM>(layout.min),
                   static_cast<LPARAM>(layout.max));
      SendMessageW(control.window, UDM_SETPOS32, 0, static_cast<LPARAM>(layout.value));
      break;
    case ControlKind::kTabs: {
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = const_cast<wchar_t*>(wide.c_str());
      SendMessageW(control.window, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
      // The display area depends on the tabs' height, which depends on the font set above.
      RECT area{0, 0, width, height};
      SendMessageW(control.window, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
      control.childOrigin = POINT{x + area.left, y + area.top};
      control.page = SIZE{std::max<LONG>(0, area.right - area.left),
                          std::max<LONG>(0, area.bottom - area.top)};
      break;
    }
    default:
      break;
  }
}

void DialogWindow::FitLabel(Control& control) {
  const platform::ControlLayout& layout = *control.layout;
  if (layout.kind != ControlKind::kLabel || control.window == nullptr) return;
  if (layout.width != 0 && layout.height != 0) return;
  const int length = GetWindowTextLengthW(control.window);
  std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      std::max(GetWindowTextW(control.window, text.data(), static_cast<int>(text.size())), 0)));
  const SIZE extent = MeasureText(dialog_, fonts_->For(layout.style), text);
  RECT now{};
  GetWindowRect(control.window, &now);
  const int width =
      layout.width == 0 ? extent.cx + scale_.ToDevice(kLabelSlack) : now.right - now.left;
  const int height = layout.height == 0 ? extent.cy : now.bottom - now.top;
  SetWindowPos(control.window, nullptr, 0, 0, width, height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace qb::win32
