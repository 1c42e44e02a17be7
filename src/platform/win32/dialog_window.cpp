// Running a dialog: the modal loop, the dialog procedure, and the controller's handlers, none
// of which may let an exception reach the system's code.
#include "platform/win32/dialog_window.h"

#include <array>
#include <cstring>

#include "platform/win32/dialog_controls.h"
#include "platform/win32/own_module.h"

namespace qb::win32 {
namespace {

using platform::ControlKind;
namespace dlgresult = platform::dlgresult;

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME;

// A DLGTEMPLATE followed by empty menu, class and title arrays and no controls; templates
// must be DWORD-aligned.
struct alignas(DWORD) EmptyTemplate {
  std::array<WORD, 12> words{};
};
static_assert(sizeof(DLGTEMPLATE) == 18, "the template's arrays follow at offset 18");

EmptyTemplate MakeTemplate() noexcept {
  DLGTEMPLATE header{};
  header.style = kDialogStyle;
  header.dwExtendedStyle = kDialogExStyle;
  EmptyTemplate result;
  std::memcpy(result.words.data(), &header, sizeof(header));
  return result;
}

void InitCommonControlsOnce() noexcept {
  // Here and not in DllMain: it loads and initialises comctl32's classes.
  static const bool initialised = [] {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_TAB_CLASSES | ICC_UPDOWN_CLASS};
    return InitCommonControlsEx(&classes) != FALSE;
  }();
  static_cast<void>(initialised);
}

// Re-enables the owner when the dialog ends, before its window is destroyed, so that the
// system activates the owner again.
class OwnerDisabled {
 public:
  explicit OwnerDisabled(HWND owner) noexcept
      : owner_(owner != nullptr && IsWindowEnabled(owner) ? owner : nullptr) {
    if (owner_ != nullptr) EnableWindow(owner_, FALSE);
  }
  ~OwnerDisabled() {
    if (owner_ != nullptr) EnableWindow(owner_, TRUE);
  }
  OwnerDisabled(const OwnerDisabled&) = delete;
  OwnerDisabled& operator=(const OwnerDisabled&) = delete;

 private:
  HWND owner_;
};

}  // namespace

int RunDialog(const platform::DialogLayout& layout, const DialogTexts& texts, HWND owner,
              platform::IDialogController& controller) noexcept {
  DialogWindow dialog(layout, texts, owner, controller);
  return dialog.Run();
}

DialogWindow::DialogWindow(const platform::DialogLayout& layout, const DialogTexts& texts,
                           HWND owner, platform::IDialogController& controller) noexcept
    : layout_(layout), texts_(texts), owner_(owner), controller_(controller) {}

template <class Handler>
void DialogWindow::Guarded(Handler&& handler) noexcept {
  if (broken_) return;
  try {
    handler();
  } catch (...) {
    // Nothing may unwind through a window procedure: the dialog ends, and no handler runs
    // any more.
    result_ = dlgresult::kCancel;
    closed_ = true;
    broken_ = true;
  }
}

int DialogWindow::Run() noexcept {
  InitCommonControlsOnce();
  const EmptyTemplate emptyTemplate = MakeTemplate();
  UniqueWindow window(CreateDialogIndirectParamW(
      OwnModule(), reinterpret_cast<const DLGTEMPLATE*>(emptyTemplate.words.data()), owner_,
      &DialogProc, reinterpret_cast<LPARAM>(this)));
  if (window == nullptr) return dlgresult::kNone;
  dialog_ = window.get();
  std::optional<WPARAM> quit;
  {
    const OwnerDisabled disabled(owner_);
    try {
      Build();
    } catch (...) {  // out of memory, or a text that could not be had
      ending_ = true;
      if (destroyed_) static_cast<void>(window.release());
      return dlgresult::kNone;
    }
    Guarded([&] { controller_.OnCreate(*this); });
    created_ = true;
    if (!closed_ && !destroyed_) {
      ShowWindow(dialog_, SW_SHOW);
      // Showing activates the dialog and places the focus; should it not have, do it here.
      if (!focusPlaced_) PlaceInitialFocus();
    }
    quit = Loop();
    ending_ = true;
  }
  if (destroyed_) {
    static_cast<void>(window.release());  // destroyed from outside, with its owner say
  } else {
    window.reset();
  }
  dialog_ = nullptr;
  // The loop took a WM_QUIT meant for the thread's own loop: hand it on.
  if (quit) PostQuitMessage(static_cast<int>(*quit));
  return result_;
}

std::optional<WPARAM> DialogWindow::Loop() noexcept {
  MSG msg{};
  while (!closed_ && !destroyed_) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      if (!closed_) result_ = dlgresult::kCancel;
      return msg.wParam;
    }
    if (got == -1) break;
    if (Preview(msg)) continue;
    if (IsDialogMessageW(dialog_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (!closed_) result_ = dlgresult::kCancel;
  return std::nullopt;
}

bool DialogWindow::Preview(const MSG& msg) noexcept {
  if (msg.message != WM_KEYDOWN || (msg.hwnd != dialog_ && !IsChild(dialog_, msg.hwnd))) {
    return false;
  }
  if (layout_.keyPreview) {
    bool handled = false;
    const auto key = static_cast<std::uint32_t>(msg.wParam);
    Guarded([&] { handled = controller_.OnKeyDown(*this, key); });
    if (handled || closed_) return true;
  }
  if (msg.wParam == VK_ESCAPE) {
    // An open drop-down list closes on Esc; everywhere else Esc cancels, in a memo as well,
    // which would otherwise turn it into WM_CLOSE.
    for (const auto& control : controls_) {
      if (control.layout->kind == ControlKind::kComboList && control.window != nullptr &&
          (control.window == msg.hwnd || IsChild(control.window, msg.hwnd)) &&
          SendMessageW(control.window, CB_GETDROPPEDSTATE, 0, 0) != FALSE) {
        return false;
      }
    }
    Cancel();
    return true;
  }
  return false;
}

INT_PTR CALLBACK DialogWindow::DialogProc(HWND window, UINT message, WPARAM wParam,
                                          LPARAM lParam) noexcept {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    return FALSE;  // the controls do not exist yet; the focus is placed when it is shown
  }
  auto* self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND:
      self->OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_CLOSE:
      // The close box: no button is clicked.
      self->Close(dlgresult::kCancel);
      return TRUE;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) return FALSE;
      return self->OnActivated() ? TRUE : FALSE;
    case WM_CTLCOLORSTATIC:
      // A brush returned here is the answer itself, not a DWLP_MSGRESULT.
      return self->OnColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_THEMECHANGED:
    case WM_SYSCOLORCHANGE:
      // The page looks different now: its picture is taken again when next needed.
      self->pageBrush_.reset();
      self->pageImage_.reset();
      return FALSE;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, DWLP_USER, 0);
      self->Destroyed();
      return FALSE;
    default:
      return FALSE;
  }
}

void DialogWindow::OnCommand(int id, int code) noexcept {
  if (id == IDCANCEL) {
    Cancel();
    return;
  }
  Control* control = Find(id);
  if (control == nullptr || control->window == nullptr || !IsClickable(control->layout->kind) ||
      code != BN_CLICKED) {
    return;
  }
  Click(*control);
}

bool DialogWindow::OnActivated() noexcept {
  if (!created_ || ending_ || closed_) return false;
  // The first activation places the initial focus itself; later ones let the dialog manager
  // give the focus back to the control that had it.
  const bool first = !focusPlaced_;
  if (first) PlaceInitialFocus();
  Guarded([&] { controller_.OnActivate(*this); });
  return first;
}

void DialogWindow::Click(Control& control) noexcept {
  if (closed_ || !Usable(control)) return;
  // A click the control did not see itself (BN_CLICKED sent by a tool) still checks it.
  if (control.layout->kind == ControlKind::kRadio) SetChecked(control.layout->id, true);
  const int id = control.layout->id;
  const int modalResult = control.layout->modalResult;
  Guarded([&] { controller_.OnClick(*this, id); });
  if (!closed_ && modalResult != dlgresult::kNone) Close(modalResult);
}

void DialogWindow::Cancel() noexcept {
  if (closed_) return;
  if (cancelId_ == 0) {
    Close(dlgresult::kCancel);
  } else if (Control* cancel = Find(cancelId_); cancel != nullptr && cancel->window != nullptr) {
    Click(*cancel);
  }
}

void DialogWindow::PlaceInitialFocus() noexcept {
  focusPlaced_ = true;
  const Control* target = nullptr;
  auto consider = [&](const Control& control) {
    if (target == nullptr && control.window != nullptr && IsFocusable(control.layout->kind) &&
        Usable(control)) {
      target = &control;
    }
  };
  if (focusRequest_ != 0) {
    if (const Control* requested = Find(focusRequest_)) consider(*requested);
  }
  for (const auto& control : controls_) {
    if ((control.layout->style & platform::cs::kFocus) != 0) consider(control);
  }
  for (const auto& control : controls_) consider(control);
  if (target != nullptr) {
    SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target->window), TRUE);
  } else {
    ::SetFocus(dialog_);  // nothing to focus: the keys, Esc among them, go to the dialog
  }
}

void DialogWindow::Destroyed() noexcept {
  destroyed_ = true;
  if (!closed_) {
    closed_ = true;
    result_ = dlgresult::kCancel;
  }
  for (auto& control : controls_) control.window = nullptr;
  dialog_ = nullptr;
}

void DialogWindow::Close(int result) {
  if (broken_) return;
  result_ = result;
  closed_ = true;
}

}  // namespace qb::win32
