#include "user.h"

#include <cwchar>
#include <vector>

#include "platform/win32/wide.h"

namespace qb::suite {
namespace {

constexpr UINT kSendTimeoutMs = 2000;
constexpr DWORD kPollMs = 10;
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
  HWND found = nullptr;
};

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<Search*>(context);
  if (IsOwnDialog(window) && IsWindowEnabled(window) &&
      GetWindow(window, GW_OWNER) == search.owner) {
    search.found = window;
    return FALSE;
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

LPARAM KeyData(UINT virtualKey, bool release) {
  const UINT scan = MapVirtualKeyW(virtualKey, 0);  // MAPVK_VK_TO_VSC
  LPARAM data = 1 | static_cast<LPARAM>(scan << 16);
  // Page Up and Page Down of the navigation block are extended keys.
  if (virtualKey == VK_PRIOR || virtualKey == VK_NEXT) data |= LPARAM{1} << 24;
  if (release) data |= LPARAM{3} << 30;
  return data;
}

std::u16string Read(HWND window) {
  return win32::FromWide(TextOf(window));
}

bool Gone(HWND window) {
  return WaitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); });
}

// Presses `button` of a message box, as a click on it would.
void PressBoxButton(HWND box, int button) {
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
}

HWND FileNameField(HWND dialog) {
  HWND field = ControlOf(dialog, kFileNameCombo);
  if (field == nullptr) field = ControlOf(dialog, kFileNameEdit);
  if (field == nullptr) {
    ChildSearch search;
    search.className = L"Edit";
    EnumChildWindows(dialog, &VisitChild, reinterpret_cast<LPARAM>(&search));
    field = search.found;
  }
  return field;
}

}  // namespace

bool WaitFor(const std::function<bool()>& done, DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  while (!done()) {
    if (GetTickCount64() >= end) return false;
    Sleep(kPollMs);
  }
  return true;
}

HWND FindDialog(HWND owner, const std::atomic<bool>* callReturned, DWORD milliseconds) {
  Search search{owner, nullptr};
  WaitFor(
      [&] {
        EnumWindows(&VisitTopLevel, reinterpret_cast<LPARAM>(&search));
        // Once the call has returned, no window of it can come any more.
        return search.found != nullptr || (callReturned != nullptr && callReturned->load());
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

HWND ControlOf(HWND dialog, int id) {
  if (HWND direct = GetDlgItem(dialog, id)) return direct;
  ChildSearch search;
  search.id = id;
  EnumChildWindows(dialog, &VisitChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring TextOf(HWND window) {
  if (window == nullptr) return {};
  wchar_t text[1024] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied)) {
    return L"<no answer>";
  }
  return std::wstring(text, copied < 1024 ? copied : 1023);
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

// --- Win32DialogUser ---

void Win32DialogUser::Click(int id) {
  HWND control = ControlOf(dialog_, id);
  // A mouse click on a disabled control goes nowhere.
  if (control == nullptr || !IsWindowEnabled(control)) return;
  const auto type = GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK;
  if (type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON) {
    // The button sees the click itself: it checks itself and takes the focus.
    PostMessageW(control, BM_CLICK, 0, 0);
  } else {
    PostMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(control));
  }
}

void Win32DialogUser::PressKey(std::uint32_t virtualKey) {
  HWND focus = FocusOf(dialog_);
  HWND target = focus != nullptr ? focus : dialog_;
  PostMessageW(target, WM_KEYDOWN, virtualKey, KeyData(virtualKey, false));
  PostMessageW(target, WM_KEYUP, virtualKey, KeyData(virtualKey, true));
}

void Win32DialogUser::CloseBox() {
  PostMessageW(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void Win32DialogUser::ClickOpening(int id, const Script& script) {
  Click(id);
  HWND second = FindDialog(dialog_);
  if (second == nullptr) {
    ADD_FAILURE() << "no dialog came over the dialog";
    return;
  }
  Win32DialogUser user(second);
  script(user);
  if (!Gone(second)) {
    ADD_FAILURE() << "the dialog is still open after the user's last action";
    PostMessageW(second, WM_CLOSE, 0, 0);
    Gone(second);
  }
}

DialogUser::Box Win32DialogUser::ClickAnswering(int id, int button) {
  Click(id);
  HWND box = FindDialog(dialog_);
  if (box == nullptr) {
    ADD_FAILURE() << "no message box came over the dialog";
    return {};
  }
  Box seen{Read(box), Read(ControlOf(box, kMessageText))};
  PressBoxButton(box, button);
  EXPECT_TRUE(Gone(box)) << "the message box is still open";
  return seen;
}

std::u16string Win32DialogUser::Caption() {
  return Read(dialog_);
}

std::u16string Win32DialogUser::Text(int id) {
  return Read(ControlOf(dialog_, id));
}

bool Win32DialogUser::IsChecked(int id) {
  DWORD_PTR state = 0;
  HWND button = ControlOf(dialog_, id);
  return button != nullptr &&
         SendMessageTimeoutW(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state) &&
         state == BST_CHECKED;
}

bool Win32DialogUser::IsEnabled(int id) {
  HWND control = ControlOf(dialog_, id);
  return control != nullptr && IsWindowEnabled(control);
}

bool Win32DialogUser::IsVisible(int id) {
  HWND control = ControlOf(dialog_, id);
  return control != nullptr && IsWindowVisible(control);
}

int Win32DialogUser::Focused() {
  HWND focus = FocusOf(dialog_);
  if (focus == nullptr || focus == dialog_ || !IsChild(dialog_, focus)) return 0;
  return GetDlgCtrlID(focus);
}

bool Win32DialogUser::Until(const std::function<bool()>& done) {
  return WaitFor(done);
}

// --- sessions ---

UserThread::UserThread(Act act)
    : runner_(GetCurrentThreadId()), thread_([this, act = std::move(act)] {
        HWND window = act(returned_);
        if (window == nullptr || WaitFor([&] { return returned_.load(); })) return;
        ADD_FAILURE() << "the window is still open after the user's last action";
        PostMessageW(window, WM_CLOSE, 0, 0);
        if (WaitFor([&] { return returned_.load(); })) return;
        quitPosted_ = true;
        PostThreadMessageW(runner_, WM_QUIT, 0, 0);
      }) {}

UserThread::~UserThread() {
  returned_ = true;
  thread_.join();
  // The quit message was for the call's loop only.
  MSG msg;
  if (quitPosted_) PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

std::unique_ptr<UserSession> ActOnWindowsDialog(HWND owner, DialogUser::Script script) {
  return std::make_unique<UserThread>(
      [owner, script = std::move(script)](const std::atomic<bool>& returned) -> HWND {
        HWND dialog = FindDialog(owner, &returned);
        if (dialog == nullptr) {
          ADD_FAILURE() << "no dialog came over the owner";
          return nullptr;
        }
        Win32DialogUser user(dialog);
        script(user);
        return dialog;
      });
}

std::unique_ptr<UserSession> AnswerWindowsMessageBox(HWND owner, int button,
                                                     DialogUser::Box& seen) {
  return std::make_unique<UserThread>(
      [owner, button, &seen](const std::atomic<bool>& returned) -> HWND {
        HWND box = FindDialog(owner, &returned);
        if (box == nullptr) {
          ADD_FAILURE() << "no message box came over the owner";
          return nullptr;
        }
        seen = {Read(box), Read(ControlOf(box, kMessageText))};
        PressBoxButton(box, button);
        return box;
      });
}

std::unique_ptr<UserSession> AnswerWindowsSaveDialog(HWND owner, std::optional<std::u16string> path,
                                                     Backend::SaveDialogSeen& seen) {
  return std::make_unique<UserThread>(
      [owner, path = std::move(path), &seen](const std::atomic<bool>& returned) -> HWND {
        HWND dialog = FindDialog(owner, &returned, kFileDialogWaitMs);
        if (dialog == nullptr) {
          ADD_FAILURE() << "no save-file dialog came over the owner";
          return nullptr;
        }
        HWND field = FileNameField(dialog);
        if (field == nullptr) {
          ADD_FAILURE() << "the save-file dialog has no file name field";
          return dialog;
        }
        // The proposed name may be put in after the dialog has shown.
        WaitFor([&] { return !TextOf(field).empty(); });
        seen.proposed = Read(field);
        if (!path) {
          PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
          return dialog;
        }
        const std::wstring typed = win32::Terminated(*path);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()),
                            SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        // A question whether to replace the file comes over the dialog: Yes.
        WaitFor(
            [&] {
              if (HWND box = FindDialog(dialog, &returned, 0)) {
                seen.askedToReplace = true;
                PressBoxButton(box, IDYES);
                Gone(box);
              }
              return !IsWindow(dialog) || !IsWindowVisible(dialog);
            },
            kFileDialogWaitMs);
        return dialog;
      });
}

}  // namespace qb::suite
