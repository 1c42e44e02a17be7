// IMessageWindow: messages posted from any thread and calls handed over from other threads run
// on the thread that made the window, from its message handling; what is still pending when
// the window goes is dropped.
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "backend.h"

namespace qb::suite {
namespace {

using platform::kWmUser;

struct Received {
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  std::thread::id thread;
};

class MessageWindowSuite : public PlatformTest {
 protected:
  std::unique_ptr<platform::IMessageWindow> Recording(std::vector<Received>& received) {
    return ui().CreateMessageWindow(
        [&received](std::uint32_t message, std::uintptr_t w, std::intptr_t l) {
          received.push_back({message, w, l, std::this_thread::get_id()});
          return std::intptr_t{0};
        });
  }
  // Lets the messages that could still come come.
  void Settle() {
    backend().PumpUntil([] { return false; }, 100);
  }
};

TEST_F(MessageWindowSuite, PostedMessagesArriveOnTheOwnerThreadInOrder) {
  std::vector<Received> received;
  auto window = Recording(received);
  ASSERT_NE(window, nullptr);
  EXPECT_NE(window->Id(), 0u);
  EXPECT_TRUE(window->Post(kWmUser, 7, -42));
  std::thread([&] { EXPECT_TRUE(window->Post(kWmUser + 1, 8, 43)); }).join();
  EXPECT_TRUE(window->Post(kWmUser + 2, 9, 44));
  // Nothing runs before the owner thread handles its messages.
  EXPECT_TRUE(received.empty());
  EXPECT_TRUE(backend().PumpUntil([&] { return received.size() >= 3; }));
  Settle();
  ASSERT_EQ(received.size(), 3u);
  const struct {
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
  } expected[] = {{kWmUser, 7, -42}, {kWmUser + 1, 8, 43}, {kWmUser + 2, 9, 44}};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(received[i].message, expected[i].message) << i;
    EXPECT_EQ(received[i].wParam, expected[i].wParam) << i;
    EXPECT_EQ(received[i].lParam, expected[i].lParam) << i;
    EXPECT_EQ(received[i].thread, std::this_thread::get_id()) << i;
  }
}

TEST_F(MessageWindowSuite, MessagesPendingWhenTheWindowGoesAreDropped) {
  std::vector<Received> received;
  auto window = Recording(received);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->Post(kWmUser, 1, 1));
  window.reset();
  Settle();
  EXPECT_TRUE(received.empty());
}

TEST_F(MessageWindowSuite, CallsRunOnTheOwnerThread) {
  std::vector<Received> received;
  auto window = Recording(received);
  ASSERT_NE(window, nullptr);
  // From the owner thread itself the call simply runs.
  std::thread::id ranOn;
  EXPECT_TRUE(window->RunOnOwnerThread([&] { ranOn = std::this_thread::get_id(); }));
  EXPECT_EQ(ranOn, std::this_thread::get_id());

  ranOn = {};
  std::atomic<bool> finished{false};
  bool result = false;
  std::thread worker([&] {
    result = window->RunOnOwnerThread([&] { ranOn = std::this_thread::get_id(); });
    finished = true;
  });
  EXPECT_TRUE(backend().PumpUntil([&] { return finished.load(); }));
  worker.join();
  EXPECT_TRUE(result);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST_F(MessageWindowSuite, ACallerStillWaitingWhenTheWindowGoesGetsFalse) {
  std::vector<Received> received;
  auto window = Recording(received);
  ASSERT_NE(window, nullptr);
  std::atomic<bool> waiting{false}, finished{false}, ran{false};
  bool result = true;
  // The object itself, not the owner that lets go of it.
  platform::IMessageWindow* const target = window.get();
  std::thread late([&] {
    waiting = true;
    result = target->RunOnOwnerThread([&] { ran = true; });
    finished = true;
  });
  while (!waiting) std::this_thread::yield();
  // Most likely the caller is blocked inside its call by now; either way it must not run.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  window.reset();
  EXPECT_TRUE(backend().PumpUntil([&] { return finished.load(); }));
  late.join();
  EXPECT_FALSE(result);
  EXPECT_FALSE(ran);
}

TEST_F(MessageWindowSuite, AProcedureMayDestroyItsOwnWindow) {
  std::unique_ptr<platform::IMessageWindow> self;
  int calls = 0;
  self = ui().CreateMessageWindow([&](std::uint32_t, std::uintptr_t, std::intptr_t) {
    ++calls;
    self.reset();
    return std::intptr_t{0};
  });
  ASSERT_NE(self, nullptr);
  EXPECT_TRUE(self->Post(kWmUser, 0, 0));
  EXPECT_TRUE(self->Post(kWmUser, 1, 0));
  EXPECT_TRUE(backend().PumpUntil([&] { return calls > 0; }));
  Settle();
  EXPECT_EQ(self, nullptr);
  // The second message went with the window.
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace qb::suite
