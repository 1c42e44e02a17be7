#include "host/window_user.h"

#include <algorithm>
#include <cwchar>
#include <utility>

namespace qb::host {
namespace {

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

HWND FindChild(HWND dialog, ChildSearch search) {
  EnumChildWindows(dialog, &VisitChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

constexpr DWORD kPollMs = 10;

LPARAM KeyData(UINT virtualKey, bool release) {
  const UINT scan = MapVirtualKeyW(virtualKey, 0);  // MAPVK_VK_TO_VSC
  LPARAM data = 1 | static_cast<LPARAM>(scan << 16);
  // Page Up and Page Down of the navigation block are extended keys.
  if (virtualKey == VK_PRIOR || virtualKey == VK_NEXT) data |= LPARAM{1} << 24;
  if (release) data |= LPARAM{3} << 30;
  return data;
}

}  // namespace

bool IsOwnDialog(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return false;
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  return std::wcscmp(className, L"#32770") == 0;
}

std::vector<HWND> OwnDialogs(HWND owner, bool anyOwner) {
  Search search;
  search.owner = owner;
  search.anyOwner = anyOwner;
  EnumWindows(&VisitTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND ControlOf(HWND dialog, int id) {
  if (HWND direct = GetDlgItem(dialog, id)) return direct;
  return FindChild(dialog, {.id = id});
}

HWND ChildOfClass(HWND dialog, const wchar_t* className) {
  return FindChild(dialog, {.className = className});
}

HWND FileNameField(HWND saveDialog) {
  constexpr int kFileNameCombo = 0x47C;  // cmb13
  constexpr int kFileNameEdit = 0x480;   // edt1
  HWND field = ControlOf(saveDialog, kFileNameCombo);
  if (field == nullptr) field = ControlOf(saveDialog, kFileNameEdit);
  if (field == nullptr) field = ChildOfClass(saveDialog, L"Edit");
  return field;
}

std::wstring WindowText(HWND window) {
  if (window == nullptr) return {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                           &length)) {
    return {};
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied)) {
    return {};
  }
  text.resize(std::min<std::size_t>(copied, length));
  return text;
}

bool SetWindowTextTimed(HWND window, const std::wstring& text) {
  DWORD_PTR ignored = 0;
  return window != nullptr &&
         SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored) != 0;
}

bool IsChecked(HWND button) {
  DWORD_PTR state = 0;
  return button != nullptr &&
         SendMessageTimeoutW(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state) &&
         state == BST_CHECKED;
}

HWND FocusOfThread(DWORD thread) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(thread, &info)) return nullptr;
  return info.hwndFocus;
}

void PressButton(HWND dialog, int id) {
  HWND button = ControlOf(dialog, id);
  HWND parent = button != nullptr ? GetParent(button) : dialog;
  PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void PressKey(HWND target, UINT virtualKey) {
  PostMessageW(target, WM_KEYDOWN, virtualKey, KeyData(virtualKey, false));
  PostMessageW(target, WM_KEYUP, virtualKey, KeyData(virtualKey, true));
}

bool WaitFor(const std::function<bool()>& done, DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  while (!done()) {
    if (GetTickCount64() >= end) return false;
    Sleep(kPollMs);
  }
  return true;
}

bool WaitGone(HWND window, DWORD milliseconds) {
  return WaitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); }, milliseconds);
}

HWND WaitForDialog(HWND owner, const std::atomic<bool>* callReturned, DWORD milliseconds) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        for (HWND dialog : OwnDialogs(owner)) {
          if (IsWindowEnabled(dialog)) found = dialog;
        }
        return found != nullptr || (callReturned != nullptr && callReturned->load());
      },
      milliseconds);
  return found;
}

bool WaitForFocusIn(HWND dialog, DWORD milliseconds) {
  const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
  return WaitFor(
      [&] {
        HWND focus = FocusOfThread(thread);
        return focus != nullptr && (focus == dialog || IsChild(dialog, focus));
      },
      milliseconds);
}

void Sync(HWND window) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &ignored);
}

std::wstring ControlText(HWND dialog, int id) {
  return WindowText(ControlOf(dialog, id));
}

bool IsControlEnabled(HWND dialog, int id) {
  HWND control = ControlOf(dialog, id);
  return control != nullptr && IsWindowEnabled(control);
}

bool IsControlVisible(HWND dialog, int id) {
  HWND control = ControlOf(dialog, id);
  return control != nullptr && IsWindowVisible(control);
}

int FocusedControl(HWND dialog) {
  HWND focus = FocusOfThread(GetWindowThreadProcessId(dialog, nullptr));
  if (focus == nullptr || focus == dialog || !IsChild(dialog, focus)) return 0;
  return GetDlgCtrlID(focus);
}

std::vector<int> TabOrder(HWND dialog, int from) {
  std::vector<int> order;
  HWND start = ControlOf(dialog, from);
  HWND at = start;
  for (int i = 0; at != nullptr && i < 20; ++i) {
    at = GetNextDlgTabItem(dialog, at, FALSE);
    order.push_back(at != nullptr ? GetDlgCtrlID(at) : 0);
    if (at == start) break;
  }
  return order;
}

int DefaultId(HWND dialog) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(dialog, DM_GETDEFID, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &answer) ||
      HIWORD(answer) != DC_HASDEFID) {
    return 0;
  }
  return LOWORD(answer);
}

BoxText ReadBox(HWND box) {
  return {WindowText(box), ControlText(box, kMessageBoxText)};
}

void Click(HWND dialog, int id) {
  HWND control = ControlOf(dialog, id);
  // A mouse click on a disabled control goes nowhere.
  if (control == nullptr || !IsWindowEnabled(control)) return;
  const auto type = GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK;
  if (type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON) {
    PostMessageW(control, BM_CLICK, 0, 0);
  } else {
    PressButton(dialog, id);
  }
}

void PressKeyOnThread(DWORD thread, UINT virtualKey) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(thread, &info)) return;
  HWND target = info.hwndFocus != nullptr ? info.hwndFocus : info.hwndActive;
  if (target != nullptr) PressKey(target, virtualKey);
}

std::optional<BoxText> AnswerBox(HWND owner, int button, const std::atomic<bool>* callReturned,
                                 DWORD milliseconds) {
  HWND box = WaitForDialog(owner, callReturned, milliseconds);
  if (box == nullptr) return std::nullopt;
  BoxText read = ReadBox(box);
  PressButton(box, button);
  if (!WaitGone(box)) return std::nullopt;
  return read;
}

SaveDialogSeen FillSaveDialog(HWND owner, const std::optional<std::wstring>& path,
                              const std::atomic<bool>* callReturned) {
  SaveDialogSeen seen;
  HWND dialog = WaitForDialog(owner, callReturned, kFileDialogTimeoutMs);
  if (dialog == nullptr) return seen;
  seen.came = true;
  seen.dialog = dialog;
  HWND field = FileNameField(dialog);
  if (field == nullptr) return seen;
  // The proposed name may be put in after the dialog has shown.
  WaitFor([&] { return !WindowText(field).empty(); });
  seen.proposed = WindowText(field);
  if (!path) {
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    seen.closed = WaitGone(dialog, kFileDialogTimeoutMs);
    return seen;
  }
  if (!SetWindowTextTimed(field, *path)) return seen;
  PressButton(dialog, IDOK);
  // A question whether to replace the file comes over the dialog: Yes.
  seen.closed = WaitFor(
      [&] {
        for (HWND box : OwnDialogs(dialog)) {
          if (!IsWindowEnabled(box)) continue;
          seen.replacePrompt = ReadBox(box);
          PressButton(box, IDYES);
          WaitGone(box);
        }
        return !IsWindow(dialog) || !IsWindowVisible(dialog);
      },
      kFileDialogTimeoutMs);
  return seen;
}

std::vector<std::wstring> CloseAllDialogs() {
  std::vector<std::wstring> captions;
  for (HWND dialog : OwnDialogs(nullptr, true)) {
    captions.push_back(WindowText(dialog));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
  }
  return captions;
}

}  // namespace qb::host
