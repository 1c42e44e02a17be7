#include "user.h"

#include "host/window_user.h"
#include "platform/win32/wide.h"

namespace qb::suite {
namespace {

constexpr DWORD kPollMs = 10;

std::u16string Read(HWND window) {
  return win32::FromWide(host::WindowText(window));
}

bool Gone(HWND window) {
  return WaitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); });
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
  HWND found = nullptr;
  WaitFor(
      [&] {
        for (HWND dialog : host::OwnDialogs(owner)) {
          if (IsWindowEnabled(dialog)) found = dialog;
        }
        // Once the call has returned, no window of it can come any more.
        return found != nullptr || (callReturned != nullptr && callReturned->load());
      },
      milliseconds);
  // Visible comes before active: keys pressed now would find the focus nowhere yet.
  if (found != nullptr) {
    WaitFor([&] {
      HWND focus = FocusOf(found);
      return focus == found || IsChild(found, focus);
    });
  }
  return found;
}

HWND FocusOf(HWND window) {
  return host::FocusOfThread(GetWindowThreadProcessId(window, nullptr));
}

// --- Win32DialogUser ---

void Win32DialogUser::Click(int id) {
  HWND control = host::ControlOf(dialog_, id);
  // A mouse click on a disabled control goes nowhere.
  if (control == nullptr || !IsWindowEnabled(control)) return;
  const auto type = GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK;
  if (type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON) {
    // The button sees the click itself: it checks itself and takes the focus.
    PostMessageW(control, BM_CLICK, 0, 0);
  } else {
    host::PressButton(dialog_, id);
  }
}

void Win32DialogUser::PressKey(std::uint32_t virtualKey) {
  HWND focus = FocusOf(dialog_);
  HWND target = focus != nullptr ? focus : dialog_;
  host::PressKey(target, virtualKey);
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
  Box seen{Read(box), Read(host::ControlOf(box, host::kMessageBoxText))};
  host::PressButton(box, button);
  EXPECT_TRUE(Gone(box)) << "the message box is still open";
  return seen;
}

std::u16string Win32DialogUser::Caption() {
  return Read(dialog_);
}

std::u16string Win32DialogUser::Text(int id) {
  return Read(host::ControlOf(dialog_, id));
}

bool Win32DialogUser::IsChecked(int id) {
  return host::IsChecked(host::ControlOf(dialog_, id));
}

bool Win32DialogUser::IsEnabled(int id) {
  HWND control = host::ControlOf(dialog_, id);
  return control != nullptr && IsWindowEnabled(control);
}

bool Win32DialogUser::IsVisible(int id) {
  HWND control = host::ControlOf(dialog_, id);
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
        seen = {Read(box), Read(host::ControlOf(box, host::kMessageBoxText))};
        host::PressButton(box, button);
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
        HWND field = host::FileNameField(dialog);
        if (field == nullptr) {
          ADD_FAILURE() << "the save-file dialog has no file name field";
          return dialog;
        }
        // The proposed name may be put in after the dialog has shown.
        WaitFor([&] { return !host::WindowText(field).empty(); });
        seen.proposed = Read(field);
        if (!path) {
          PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
          return dialog;
        }
        host::SetWindowTextTimed(field, win32::Terminated(*path));
        host::PressButton(dialog, IDOK);
        // A question whether to replace the file comes over the dialog: Yes.
        WaitFor(
            [&] {
              if (HWND box = FindDialog(dialog, &returned, 0)) {
                seen.askedToReplace = true;
                host::PressButton(box, IDYES);
                Gone(box);
              }
              return !IsWindow(dialog) || !IsWindowVisible(dialog);
            },
            kFileDialogWaitMs);
        return dialog;
      });
}

}  // namespace qb::suite
