// The Windows backend's message windows beyond the interface's promises: system messages keep
// their default handling, a window destroyed from outside is let go, a call's exception reaches
// its caller, and before the library unloads no window may run its code any more.
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "backend.h"
#include "platform/win32/message_window.h"
#include "platform/win32/windows_api.h"

namespace qb::suite {
namespace {

using platform::kWmUser;

class Win32MessageWindow : public PlatformTest {
 protected:
  // A window whose procedure counts what reaches it.
  std::unique_ptr<platform::IMessageWindow> Counting(std::vector<std::uint32_t>& seen) {
    return ui().CreateMessageWindow([&seen](std::uint32_t message, std::uintptr_t, std::intptr_t) {
      seen.push_back(message);
      return std::intptr_t{0};
    });
  }
  void Settle() {
    backend().PumpUntil([] { return false; }, 50);
  }
};

TEST_F(Win32MessageWindow, SystemMessagesNeverReachTheProcedure) {
  std::vector<std::uint32_t> seen;
  auto window = Counting(seen);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->Post(WM_NULL, 0, 0));
  EXPECT_TRUE(window->Post(kWmUser, 0, 0));
  EXPECT_TRUE(backend().PumpUntil([&] { return !seen.empty(); }));
  Settle();
  EXPECT_EQ(seen, std::vector<std::uint32_t>{kWmUser});
}

TEST_F(Win32MessageWindow, WithoutAProcedureThereIsNoWindow) {
  EXPECT_EQ(ui().CreateMessageWindow(nullptr), nullptr);
}

TEST_F(Win32MessageWindow, AWindowDestroyedFromOutsideIsLetGo) {
  std::vector<std::uint32_t> seen;
  auto window = Counting(seen);
  ASSERT_NE(window, nullptr);
  DestroyWindow(reinterpret_cast<HWND>(window->Id()));
  EXPECT_EQ(window->Id(), 0u);
  EXPECT_FALSE(window->Post(kWmUser, 0, 0));
  window.reset();
  EXPECT_TRUE(seen.empty());
}

TEST_F(Win32MessageWindow, AnExceptionOfTheCallReachesTheCaller) {
  std::vector<std::uint32_t> seen;
  auto window = Counting(seen);
  ASSERT_NE(window, nullptr);
  std::atomic<bool> finished{false};
  bool rethrown = false;
  std::thread worker([&] {
    try {
      window->RunOnOwnerThread([] { throw std::runtime_error("from the call"); });
    } catch (const std::runtime_error&) {
      rethrown = true;
    }
    finished = true;
  });
  EXPECT_TRUE(backend().PumpUntil([&] { return finished.load(); }));
  worker.join();
  // Not the system's dispatch code.
  EXPECT_TRUE(rethrown);
}

// What the library does before it unloads.
TEST_F(Win32MessageWindow, WindowsAreReleasedBeforeUnload) {
  std::vector<std::uint32_t> seen;
  auto mine = Counting(seen);
  std::unique_ptr<platform::IMessageWindow> theirs;
  std::atomic<bool> created{false}, released{false}, gone{false};
  std::thread other([&] {
    theirs = ui().CreateMessageWindow(
        [](std::uint32_t, std::uintptr_t, std::intptr_t) { return std::intptr_t{0}; });
    const HWND window = reinterpret_cast<HWND>(theirs ? theirs->Id() : 0);
    created = true;
    backend().PumpUntil([&] { return released.load() && !IsWindow(window); });
    gone = !IsWindow(window);
  });
  while (!created) Sleep(1);
  if (mine == nullptr || theirs == nullptr) {
    released = true;
    other.join();
    FAIL() << "no message window";
  }
  const HWND own = reinterpret_cast<HWND>(mine->Id());
  EXPECT_TRUE(mine->Post(kWmUser, 0, 0));
  win32::ReleaseMessageWindows();
  released = true;
  other.join();
  EXPECT_FALSE(IsWindow(own));
  EXPECT_EQ(mine->Id(), 0u);
  EXPECT_FALSE(mine->Post(kWmUser, 0, 0));
  // The other thread's window closed itself through the default procedure.
  EXPECT_TRUE(gone);
  EXPECT_EQ(theirs->Id(), 0u);
  Settle();
  EXPECT_TRUE(seen.empty());
  mine.reset();
  theirs.reset();
  // The class can be had again afterwards.
  auto again = Counting(seen);
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(again->Post(kWmUser, 0, 0));
  EXPECT_TRUE(backend().PumpUntil([&] { return seen.size() == 1; }));
}

}  // namespace
}  // namespace qb::suite
