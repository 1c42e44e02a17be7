#include "host/window_user.h"

#include <algorithm>
#include <cwchar>

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

}  // namespace qb::host
