#include "user.h"

#include <cwchar>

#include "window_capture.h"
#include "wine_test_support.h"

namespace qb::winetest::dialogs {
namespace {

constexpr DWORD kPollMs = 20;
constexpr UINT kSendTimeoutMs = 5000;
// The control ids the system's save dialog gives its file-name box: a combo box on Windows,
// an edit elsewhere.
constexpr int kFileNameCombo = 0x47C;  // cmb13
constexpr int kFileNameEdit = 0x480;   // edt1
constexpr int kMessageText = 0xFFFF;   // the text of a message box

bool IsOwnDialog(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return false;
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  return std::wcscmp(className, L"#32770") == 0;
}

struct Search {
  HWND owner = nullptr;
  bool anyOwner = false;
  std::vector<HWND> found;
};

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<Search*>(context);
  if (IsOwnDialog(window) && (search.anyOwner || GetWindow(window, GW_OWNER) == search.owner)) {
    search.found.push_back(window);
  }
  return TRUE;
}

struct ChildSearch {
  int id = 0;
  const wchar_t* className = nullptr;  // instead of the id
  HWND found = nullptr;
};

BOOL CALLBACK VisitChild(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<ChildSearch*>(context);
  if (search.className != nullptr) {
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (_wcsicmp(className, search.className) != 0) return TRUE;
  } else if (GetDlgCtrlID(window) != search.id) {
    return TRUE;
  }
  search.found = window;
  return FALSE;
}

std::vector<HWND> DialogsOf(HWND owner, bool anyOwner) {
  Search search;
  search.owner = owner;
  search.anyOwner = anyOwner;
  EnumWindows(&VisitTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

LPARAM KeyData(WORD virtualKey, bool release) {
  const UINT scan = MapVirtualKeyW(virtualKey, 0);  // MAPVK_VK_TO_VSC
  LPARAM data = 1 | static_cast<LPARAM>(scan << 16);
  // Page Up and Page Down of the navigation block are extended keys.
  if (virtualKey == VK_PRIOR || virtualKey == VK_NEXT) data |= LPARAM{1} << 24;
  if (release) data |= LPARAM{3} << 30;
  return data;
}

}  // namespace

std::vector<HWND> OwnedDialogs(HWND owner) {
  return DialogsOf(owner, false);
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
        const std::wstring text = Text(box, kMessageText);
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
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        return GetGUIThreadInfo(hostThread_, &info) && info.hwndFocus != nullptr &&
               (info.hwndFocus == dialog || IsChild(dialog, info.hwndFocus));
      },
      nullptr);
}

void User::Sync(HWND dialog) const {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &ignored);
}

HWND User::Control(HWND dialog, int id) {
  if (HWND direct = GetDlgItem(dialog, id)) return direct;
  // Controls inside a group box or a tab control may be children of those.
  ChildSearch search;
  search.id = id;
  EnumChildWindows(dialog, &VisitChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring User::WindowText(HWND window) {
  if (window == nullptr) return {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &length)) {
    return {};
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_NORMAL, kSendTimeoutMs, &copied)) {
    return {};
  }
  text.resize(std::min<std::size_t>(copied, length));
  return text;
}

std::wstring User::Text(HWND dialog, int id) const {
  return WindowText(Control(dialog, id));
}

bool User::Checked(HWND dialog, int id) const {
  DWORD_PTR state = 0;
  HWND button = Control(dialog, id);
  return button != nullptr &&
         SendMessageTimeoutW(button, BM_GETCHECK, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &state) &&
         state == BST_CHECKED;
}

bool User::Enabled(HWND dialog, int id) const {
  HWND control = Control(dialog, id);
  return control != nullptr && IsWindowEnabled(control);
}

int User::FocusedId() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(hostThread_, &info) || info.hwndFocus == nullptr) return 0;
  return GetDlgCtrlID(info.hwndFocus);
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
  if (!SendMessageTimeoutW(dialog, DM_GETDEFID, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &answer) ||
      HIWORD(answer) != DC_HASDEFID) {
    return 0;
  }
  return LOWORD(answer);
}

void User::Click(HWND dialog, int id) const {
  HWND button = Control(dialog, id);
  HWND parent = button != nullptr ? GetParent(button) : dialog;
  PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void User::ClickRadio(HWND dialog, int id) const {
  PostMessageW(Control(dialog, id), BM_CLICK, 0, 0);
}

void User::Press(WORD virtualKey) const {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(hostThread_, &info)) return;
  HWND target = info.hwndFocus != nullptr ? info.hwndFocus : info.hwndActive;
  PostMessageW(target, WM_KEYDOWN, virtualKey, KeyData(virtualKey, false));
  PostMessageW(target, WM_KEYUP, virtualKey, KeyData(virtualKey, true));
}

std::optional<BoxText> User::Answer(HWND owner, int button) const {
  HWND box = WaitForDialog(owner, kChangeTimeoutMs);
  if (box == nullptr) return std::nullopt;
  BoxText read{WindowText(box), Text(box, kMessageText)};
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
  if (!WaitGone(box)) return std::nullopt;
  return read;
}

bool User::SaveAs(HWND owner, const std::wstring& path, std::optional<BoxText>* prompted) const {
  HWND dialog = WaitForDialog(owner);
  if (dialog == nullptr) return false;
  HWND name = Control(dialog, kFileNameCombo);
  if (name == nullptr) name = Control(dialog, kFileNameEdit);
  if (name == nullptr) {
    ChildSearch search;
    search.className = L"Edit";
    EnumChildWindows(dialog, &VisitChild, reinterpret_cast<LPARAM>(&search));
    name = search.found;
  }
  DWORD_PTR ignored = 0;
  if (name == nullptr ||
      !SendMessageTimeoutW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_NORMAL,
                           kSendTimeoutMs, &ignored)) {
    return false;
  }
  Click(dialog, IDOK);
  const ULONGLONG end = GetTickCount64() + kAppearTimeoutMs;
  while (IsWindow(dialog) && IsWindowVisible(dialog)) {
    for (HWND box : OwnedDialogs(dialog)) {
      if (!IsWindowEnabled(box)) continue;
      BoxText read{WindowText(box), Text(box, kMessageText)};
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(box, IDYES)));
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
  for (HWND dialog : DialogsOf(nullptr, true)) {
    captions.push_back(WindowText(dialog));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
  }
  return captions;
}

}  // namespace qb::winetest::dialogs
