#include "dialog_user.h"

#include <atomic>
#include <cwchar>
#include <thread>

#include "check.h"

namespace qb::wine_test {
namespace {

constexpr UINT kSendTimeoutMs = 2000;

struct Search {
  HWND owner;
  HWND found;
};

BOOL CALLBACK VisitWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (process == GetCurrentProcessId() && std::wcscmp(className, L"#32770") == 0 &&
      IsWindowVisible(window) && GetWindow(window, GW_OWNER) == search->owner) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

bool WaitFor(const std::function<bool()>& done, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > milliseconds) return false;
    Sleep(10);
  }
  return true;
}

HWND FindDialog(HWND owner, DWORD milliseconds) {
  Search search{owner, nullptr};
  WaitFor(
      [&] {
        EnumWindows(&VisitWindow, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      milliseconds);
  // Visible comes before active: keys pressed now would find the focus nowhere yet.
  if (search.found != nullptr) {
    WaitFor([&] {
      HWND focus = FocusOf(search.found);
      return focus == search.found || IsChild(search.found, focus);
    });
  }
  return search.found;
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied)) {
    return L"<no answer>";
  }
  return std::wstring(text, copied < 1024 ? copied : 1023);
}

RECT PlaceIn(HWND dialog, HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

void PressKey(HWND dialog, UINT key) {
  HWND target = FocusOf(dialog);
  PostMessageW(target != nullptr ? target : dialog, WM_KEYDOWN, key, 1);
}

void PostClick(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

int RunWithUser(const std::function<int()>& run, const std::function<void()>& script,
                const std::function<HWND()>& dialog) {
  std::atomic<bool> returned{false};
  const DWORD runner = GetCurrentThreadId();
  std::thread user([&] {
    script();
    if (WaitFor([&] { return returned.load(); })) return;
    QB_CHECK(!"the dialog is still open after the user's last action");
    if (HWND stuck = dialog()) PostMessageW(stuck, WM_CLOSE, 0, 0);
    if (WaitFor([&] { return returned.load(); })) return;
    PostThreadMessageW(runner, WM_QUIT, 0, 0);
  });
  const int result = run();
  returned = true;
  user.join();
  return result;
}

}  // namespace qb::wine_test
