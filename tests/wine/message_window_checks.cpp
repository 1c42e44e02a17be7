// The hidden message window: posting, calls handed over from other threads, and what is
// dropped when the window goes away.
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "check.h"
#include "platform/win32/message_window.h"
#include "platform/win32/ui.h"
#include "platform/win32/windows_api.h"
#include "platform_checks.h"

namespace qb::wine_test {
namespace {

struct Received {
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  DWORD thread = 0;
};

// Dispatches this thread's messages until `done` holds or the time is up.
template <class Done>
bool PumpUntil(Done done, DWORD milliseconds = 5000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > milliseconds) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(1);
  }
  return true;
}

void Pump(DWORD milliseconds) {
  PumpUntil([] { return false; }, milliseconds);
}

void PostedMessagesArrive(win32::Win32UserInterface& ui) {
  std::vector<Received> received;
  auto window = ui.CreateMessageWindow(
      [&](std::uint32_t message, std::uintptr_t w, std::intptr_t l) -> std::intptr_t {
        received.push_back({message, w, l, GetCurrentThreadId()});
        return 0;
      });
  QB_CHECK(window != nullptr);
  if (window == nullptr) return;
  QB_CHECK(window->Id() != 0);
  // System messages keep their default handling and never reach the procedure.
  QB_CHECK(window->Post(WM_NULL, 0, 0));
  QB_CHECK(window->Post(platform::kWmUser, 7, -42));
  std::thread poster([&] { window->Post(platform::kWmUser + 1, 8, 43); });
  poster.join();
  QB_CHECK(PumpUntil([&] { return received.size() >= 2; }));
  Pump(50);
  QB_CHECK(received.size() == 2);
  if (received.size() == 2) {
    QB_CHECK(received[0].message == platform::kWmUser && received[0].wParam == 7 &&
             received[0].lParam == -42);
    QB_CHECK(received[1].message == platform::kWmUser + 1 && received[1].wParam == 8);
    // Posted from another thread, handled on the owner thread.
    QB_CHECK(received[1].thread == GetCurrentThreadId());
  }

  // What is still queued when the window goes is dropped, not delivered to freed memory.
  received.clear();
  QB_CHECK(window->Post(platform::kWmUser + 2, 0, 0));
  window.reset();
  Pump(100);
  QB_CHECK(received.empty());
}

void CallsRunOnOwnerThread(win32::Win32UserInterface& ui) {
  auto window = ui.CreateMessageWindow(
      [](std::uint32_t, std::uintptr_t, std::intptr_t) { return std::intptr_t{0}; });
  QB_CHECK(window != nullptr);
  if (window == nullptr) return;
  const DWORD owner = GetCurrentThreadId();

  // From the owner thread itself the call simply runs.
  DWORD ranOn = 0;
  QB_CHECK(window->RunOnOwnerThread([&] { ranOn = GetCurrentThreadId(); }));
  QB_CHECK(ranOn == owner);

  std::atomic<bool> finished{false};
  bool result = false;
  bool rethrown = false;
  ranOn = 0;
  std::thread worker([&] {
    result = window->RunOnOwnerThread([&] { ranOn = GetCurrentThreadId(); });
    try {
      window->RunOnOwnerThread([] { throw std::runtime_error("from the call"); });
    } catch (const std::runtime_error&) {
      rethrown = true;
    }
    finished = true;
  });
  QB_CHECK(PumpUntil([&] { return finished.load(); }));
  worker.join();
  QB_CHECK(result && ranOn == owner);
  // An exception of the call reaches the caller, not the system's dispatch code.
  QB_CHECK(rethrown);

  // A caller still waiting when the window goes returns false, and its call never runs.
  std::atomic<bool> waiting{false};
  std::atomic<bool> ran{false};
  finished = false;
  result = true;
  std::thread late([&] {
    waiting = true;
    result = window->RunOnOwnerThread([&] { ran = true; });
    finished = true;
  });
  while (!waiting) Sleep(1);
  Sleep(200);  // the worker is now blocked inside its call
  window.reset();
  QB_CHECK(PumpUntil([&] { return finished.load(); }));
  late.join();
  QB_CHECK(!result && !ran);
}

void WindowsGoAway(win32::Win32UserInterface& ui) {
  QB_CHECK(ui.CreateMessageWindow(nullptr) == nullptr);

  // Destroyed from outside: the object stops using the handle.
  auto window = ui.CreateMessageWindow(
      [](std::uint32_t, std::uintptr_t, std::intptr_t) { return std::intptr_t{0}; });
  QB_CHECK(window != nullptr);
  if (window != nullptr) {
    DestroyWindow(reinterpret_cast<HWND>(window->Id()));
    QB_CHECK(window->Id() == 0);
    QB_CHECK(!window->Post(platform::kWmUser, 0, 0));
    window.reset();
  }

  // A procedure may destroy its own window object while it runs.
  std::unique_ptr<platform::IMessageWindow> self;
  bool handled = false;
  self = ui.CreateMessageWindow([&](std::uint32_t, std::uintptr_t, std::intptr_t) {
    self.reset();
    handled = true;
    return std::intptr_t{0};
  });
  QB_CHECK(self != nullptr);
  if (self != nullptr) {
    self->Post(platform::kWmUser, 0, 0);
    QB_CHECK(PumpUntil([&] { return handled; }));
    QB_CHECK(self == nullptr);
  }
}

// What the library does before it unloads: afterwards no window may run its code.
void WindowsReleasedBeforeUnload(win32::Win32UserInterface& ui) {
  int calls = 0;
  auto proc = [&](std::uint32_t, std::uintptr_t, std::intptr_t) {
    ++calls;
    return std::intptr_t{0};
  };
  auto mine = ui.CreateMessageWindow(proc);
  std::unique_ptr<platform::IMessageWindow> theirs;
  std::atomic<bool> created{false}, released{false}, gone{false};
  std::thread other([&] {
    theirs = ui.CreateMessageWindow(
        [](std::uint32_t, std::uintptr_t, std::intptr_t) { return std::intptr_t{0}; });
    const HWND window = reinterpret_cast<HWND>(theirs ? theirs->Id() : 0);
    created = true;
    PumpUntil([&] { return released.load() && !IsWindow(window); });
    gone = !IsWindow(window);
  });
  while (!created) Sleep(1);
  QB_CHECK(mine != nullptr && theirs != nullptr);
  if (mine == nullptr || theirs == nullptr) {
    released = true;
    other.join();
    return;
  }
  const HWND own = reinterpret_cast<HWND>(mine->Id());
  QB_CHECK(mine->Post(platform::kWmUser, 0, 0));
  win32::ReleaseMessageWindows();
  released = true;
  other.join();
  QB_CHECK(!IsWindow(own) && mine->Id() == 0 && !mine->Post(platform::kWmUser, 0, 0));
  // The other thread's window closed itself through the default procedure.
  QB_CHECK(gone && theirs->Id() == 0);
  Pump(50);
  QB_CHECK(calls == 0);
  mine.reset();
  theirs.reset();
  // The class can be had again afterwards.
  auto again = ui.CreateMessageWindow(proc);
  QB_CHECK(again != nullptr && again->Post(platform::kWmUser, 0, 0));
  QB_CHECK(PumpUntil([&] { return calls == 1; }));
}

}  // namespace

void MessageWindowChecks() {
  win32::Win32UserInterface ui;
  PostedMessagesArrive(ui);
  CallsRunOnOwnerThread(ui);
  WindowsGoAway(ui);
  WindowsReleasedBeforeUnload(ui);
  const auto screen = ui.GetVirtualScreen();
  QB_CHECK(screen.cx > 0 && screen.cy > 0);
  platform::Rect rect;
  QB_CHECK(!ui.GetWindowRect(0, rect));
  QB_CHECK(ui.LoadOwnIcon(u"NOSUCHICON") == 0);
}

}  // namespace qb::wine_test
