#include "platform/win32/message_window.h"

#include <exception>
#include <mutex>
#include <vector>

#include "platform/win32/handles.h"
#include "platform/win32/own_module.h"

namespace qb::win32 {
namespace {

constexpr wchar_t kClassName[] = L"Quillerbankton.MessageWindow";

// What the window procedure answers to a call it has run; a window that is gone answers 0.
constexpr LRESULT kCallRan = 1;

// Guards the link between a window and its object (an owner thread dispatching a message
// must not pick up an object that another thread is destroying) and the list of windows.
std::mutex g_windowsMutex;
// Every window of the class that exists, so that none outlives the library's code.
std::vector<HWND> g_liveWindows;

std::mutex g_classMutex;
ATOM g_classAtom = 0;

// A message number of its own, so that no message the core posts is mistaken for a call.
UINT RunMessage() {
  static const UINT message = [] {
    const UINT registered = RegisterWindowMessageW(L"Quillerbankton.RunOnOwnerThread");
    return registered != 0 ? registered : UINT{WM_APP + 0x3A51};
  }();
  return message;
}

// A call handed to the owner thread; it lives on the waiting caller's stack.
struct CallPacket {
  const std::function<void()>* call = nullptr;
  std::exception_ptr error;
};

class MessageWindow final : public platform::IMessageWindow {
 public:
  explicit MessageWindow(platform::MessageProc proc)
      : proc_(std::make_shared<platform::MessageProc>(std::move(proc))),
        owner_(GetCurrentThreadId()) {}

  ~MessageWindow() override {
    HWND window = nullptr;
    {
      std::lock_guard lock(g_windowsMutex);
      window = window_;
      window_ = nullptr;
      if (window != nullptr) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    }
    if (window == nullptr) return;
    // Only the owner thread may destroy the window; others ask it to close itself.
    if (GetCurrentThreadId() == owner_) {
      DestroyWindow(window);
    } else {
      PostMessageW(window, WM_CLOSE, 0, 0);
    }
  }

  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  bool Create(ATOM windowClass) {
    window_ = CreateWindowExW(0, MAKEINTATOM(windowClass), L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                              nullptr, OwnModule(), this);
    return window_ != nullptr;
  }

  platform::Handle Id() const override {
    std::lock_guard lock(g_windowsMutex);
    return ToHandle(window_);
  }

  bool Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
    const HWND window = FromHandle<HWND>(Id());
    return window != nullptr && PostMessageW(window, message, wParam, lParam) != FALSE;
  }

  bool RunOnOwnerThread(const std::function<void()>& call) override {
    if (GetCurrentThreadId() == owner_) {
      call();
      return true;
    }
    const HWND window = FromHandle<HWND>(Id());
    if (window == nullptr) return false;
    CallPacket packet;
    packet.call = &call;
    if (SendMessageW(window, RunMessage(), 0, reinterpret_cast<LPARAM>(&packet)) != kCallRan) {
      return false;
    }
    // The call behaves as if made here, exceptions included.
    if (packet.error) std::rethrow_exception(packet.error);
    return true;
  }

  // The window is gone or taken away; called with the windows lock held.
  void ForgetWindow() { window_ = nullptr; }

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      std::lock_guard lock(g_windowsMutex);
      try {
        g_liveWindows.push_back(window);
      } catch (...) {
        return FALSE;  // the window is not created
      }
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      return DefWindowProcW(window, message, wParam, lParam);
    }
    std::shared_ptr<platform::MessageProc> proc;
    {
      std::lock_guard lock(g_windowsMutex);
      if (message == WM_NCDESTROY) std::erase(g_liveWindows, window);
      auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
      if (self != nullptr) {
        if (message == WM_NCDESTROY) {
          // Destroyed from outside: the object stays but must no longer use the handle.
          SetWindowLongPtrW(window, GWLP_USERDATA, 0);
          self->window_ = nullptr;
        } else {
          proc = self->proc_;
        }
      }
    }
    if (message == RunMessage()) {
      // A call whose window object is gone is dropped; the caller sees 0.
      if (proc == nullptr) return 0;
      auto* packet = reinterpret_cast<CallPacket*>(lParam);
      try {
        (*packet->call)();
      } catch (...) {
        packet->error = std::current_exception();
      }
      return kCallRan;
    }
    // System messages keep their default handling; the owner's messages go to its procedure.
    if (proc == nullptr || message < WM_USER) {
      return DefWindowProcW(window, message, wParam, lParam);
    }
    try {
      // The local copy keeps the procedure alive should it destroy its own window object.
      return (*proc)(message, wParam, lParam);
    } catch (...) {
      // Nothing may unwind into the system's dispatch code.
      return 0;
    }
  }

 private:
  HWND window_ = nullptr;
  std::shared_ptr<platform::MessageProc> proc_;
  const DWORD owner_;
};

ATOM WindowClass() {
  std::lock_guard lock(g_classMutex);
  if (g_classAtom == 0) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &MessageWindow::WindowProc;
    windowClass.hInstance = OwnModule();
    windowClass.lpszClassName = kClassName;
    g_classAtom = RegisterClassExW(&windowClass);
  }
  return g_classAtom;
}

}  // namespace

std::unique_ptr<platform::IMessageWindow> CreateMessageWindow(platform::MessageProc proc) {
  if (!proc) return nullptr;
  const ATOM windowClass = WindowClass();
  if (windowClass == 0) return nullptr;
  auto window = std::make_unique<MessageWindow>(std::move(proc));
  if (!window->Create(windowClass)) return nullptr;
  return window;
}

void ReleaseMessageWindows() noexcept {
  std::vector<HWND> windows;
  {
    std::lock_guard lock(g_windowsMutex);
    windows.swap(g_liveWindows);
    for (HWND window : windows) {
      auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
      if (self != nullptr) self->ForgetWindow();
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    }
  }
  for (HWND window : windows) {
    // From now on the system's default procedure answers, whatever still arrives.
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
      DestroyWindow(window);
    } else {
      PostMessageW(window, WM_CLOSE, 0, 0);
    }
  }
  std::lock_guard lock(g_classMutex);
  if (g_classAtom != 0 && UnregisterClassW(MAKEINTATOM(g_classAtom), OwnModule())) g_classAtom = 0;
}

}  // namespace qb::win32
