#include "user.h"

#include "host/window_user.h"
#include "window_capture.h"
#include "wine_test_support.h"

namespace qb::winetest::dialogs {
namespace {

constexpr DWORD kPollMs = 20;

}  // namespace

std::vector<HWND> OwnedDialogs(HWND owner) {
  return host::OwnDialogs(owner);
}

User::User(DWORD hostThread, const std::atomic<bool>& callReturned, std::wstring screenshots)
    : hostThread_(hostThread), callReturned_(callReturned), screenshots_(std::move(screenshots)) {}

HWND User::WaitForDialog(HWND owner, DWORD timeoutMs) const {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    for (HWND dialog : OwnedDialogs(owner)) {
      if (IsWindowEnabled(dialog)) return dialog;
    }
    // Once the call has returned, no dialog of it can come any more.
    if (callReturned_ || GetTickCount64() >= end) return nullptr;
    Sleep(kPollMs);
  }
}

bool User::WaitUntil(const std::function<bool()>& condition, HWND watched, DWORD timeoutMs) const {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (watched != nullptr) {
      for (HWND box : OwnedDialogs(watched)) {
        const std::wstring text = Text(box, host::kMessageBoxText);
        Check(false, "no unexpected window over the dialog (closed \"" + Narrow(WindowText(box)) +
                         "\": " + Narrow(text) + ")");
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
        WaitGone(box);
      }
    }
    if (GetTickCount64() >= end) return false;
    Sleep(kPollMs);
  }
}

bool User::WaitGone(HWND window, DWORD timeoutMs) const {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount64() >= end) return false;
    Sleep(kPollMs);
  }
  return true;
}

bool User::WaitForFocusIn(HWND dialog) const {
  return WaitUntil(
      [&] {
        HWND focus = host::FocusOfThread(hostThread_);
        return focus != nullptr && (focus == dialog || IsChild(dialog, focus));
      },
      nullptr);
}

void User::Sync(HWND dialog) const {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, host::kSendTimeoutMs, &ignored);
}

HWND User::Control(HWND dialog, int id) {
  return host::ControlOf(dialog, id);
}

std::wstring User::WindowText(HWND window) {
  return host::WindowText(window);
}

std::wstring User::Text(HWND dialog, int id) const {
  return WindowText(Control(dialog, id));
}

bool User::Checked(HWND dialog, int id) const {
  return host::IsChecked(Control(dialog, id));
}

bool User::Enabled(HWND dialog, int id) const {
  HWND control = Control(dialog, id);
  return control != nullptr && IsWindowEnabled(control);
}

int User::FocusedId() const {
  HWND focus = host::FocusOfThread(hostThread_);
  return focus != nullptr ? GetDlgCtrlID(focus) : 0;
}

std::vector<int> User::TabOrder(HWND dialog, int from) {
  std::vector<int> order;
  HWND start = Control(dialog, from);
  HWND at = start;
  for (int i = 0; at != nullptr && i < 20; ++i) {
    at = GetNextDlgTabItem(dialog, at, FALSE);
    order.push_back(at != nullptr ? GetDlgCtrlID(at) : 0);
    if (at == start) break;
  }
  return order;
}

int User::DefaultId(HWND dialog) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(dialog, DM_GETDEFID, 0, 0, SMTO_NORMAL, host::kSendTimeoutMs, &answer) ||
      HIWORD(answer) != DC_HASDEFID) {
    return 0;
  }
  return LOWORD(answer);
}

void User::Click(HWND dialog, int id) const {
  host::PressButton(dialog, id);
}

void User::ClickRadio(HWND dialog, int id) const {
  PostMessageW(Control(dialog, id), BM_CLICK, 0, 0);
}

void User::Press(WORD virtualKey) const {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(hostThread_, &info)) return;
  host::PressKey(info.hwndFocus != nullptr ? info.hwndFocus : info.hwndActive, virtualKey);
}

std::optional<BoxText> User::Answer(HWND owner, int button) const {
  HWND box = WaitForDialog(owner, kChangeTimeoutMs);
  if (box == nullptr) return std::nullopt;
  BoxText read{WindowText(box), Text(box, host::kMessageBoxText)};
  host::PressButton(box, button);
  if (!WaitGone(box)) return std::nullopt;
  return read;
}

bool User::SaveAs(HWND owner, const std::wstring& path, std::optional<BoxText>* prompted) const {
  HWND dialog = WaitForDialog(owner);
  if (dialog == nullptr) return false;
  if (!host::SetWindowTextTimed(host::FileNameField(dialog), path)) return false;
  Click(dialog, IDOK);
  const ULONGLONG end = GetTickCount64() + kAppearTimeoutMs;
  while (IsWindow(dialog) && IsWindowVisible(dialog)) {
    for (HWND box : OwnedDialogs(dialog)) {
      if (!IsWindowEnabled(box)) continue;
      BoxText read{WindowText(box), Text(box, host::kMessageBoxText)};
      host::PressButton(box, IDYES);
      WaitGone(box);
      if (prompted != nullptr) *prompted = read;
    }
    if (GetTickCount64() >= end) return false;
    Sleep(kPollMs);
  }
  return true;
}

void User::Shoot(HWND window, const wchar_t* fileName) const {
  if (screenshots_.empty()) return;
  Sync(window);
  // What the last messages invalidated is painted before the picture is taken.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  Sync(window);
  Sleep(300);
  const std::wstring path = screenshots_ + L"\\" + fileName;
  Check(CaptureWindow(window, path), "a picture of the dialog is saved as " + Narrow(fileName));
}

std::vector<std::wstring> User::CloseAll() {
  std::vector<std::wstring> captions;
  for (HWND dialog : host::OwnDialogs(nullptr, true)) {
    captions.push_back(WindowText(dialog));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
  }
  return captions;
}

}  // namespace qb::winetest::dialogs
