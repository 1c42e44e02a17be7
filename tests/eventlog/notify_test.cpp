#include <chrono>
#include <thread>

#include "support/eventlog_fixture.h"

namespace qb {
namespace {

using namespace std::chrono_literals;
using support::EventLogTest;

class NotifyTest : public EventLogTest {
 protected:
  NotifyTest() : app_(AddLog(u"Application")) { app_.Append(Record(u"S", 1)); }
  // Pumps the registering thread's messages until `done` or a time limit.
  template <typename Done>
  bool PumpUntil(Done done, std::chrono::milliseconds limit = 3000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      machine().ui().PumpMessages();
      if (done()) return true;
      std::this_thread::sleep_for(5ms);
    }
    return false;
  }
  bool Register() {
    return log().RegisterChangeNotify(TFWOnChangeEvent(
        [this](TFWEventLog&, const TFWEventLogRecord& r) { seen_.push_back(r.Number); }));
  }
  sim::SimEventLog& app_;
  std::vector<std::uint32_t> seen_;
};

TEST_F(NotifyTest, NeedsTheLogAndOnlyOneRegistration) {
  EXPECT_THROW(Register(), EFWEventLog);
  ASSERT_TRUE(log().Open(1, TFSOpenState::osRead));
  ASSERT_TRUE(Register());
  try {
    Register();
    FAIL();
  } catch (const EFWEventLog& e) {
    EXPECT_EQ(e.Message(), support::OwnResources().strings.at(65174));
  }
  EXPECT_THROW(log().Close(TFSOpenState::osNotify), EFWEventLog);
  log().DeRegisterChangeNotify();
  log().DeRegisterChangeNotify();  // not running: nothing
  ASSERT_TRUE(Register());
  log().DeRegisterChangeNotify();
}

TEST_F(NotifyTest, ChangesDeliverTheNewestRecordOnTheRegisteringThread) {
  ASSERT_TRUE(log().Open(1, TFSOpenState::osRead));
  const auto mainThread = std::this_thread::get_id();
  std::thread::id calledOn;
  ASSERT_TRUE(
      log().RegisterChangeNotify(TFWOnChangeEvent([&](TFWEventLog&, const TFWEventLogRecord& r) {
        calledOn = std::this_thread::get_id();
        seen_.push_back(r.Number);
      })));
  // Several records before the hand-over runs: only the newest arrives.
  app_.Append(Record(u"S", 2));
  app_.Append(Record(u"S", 3));
  app_.Append(Record(u"S", 4));
  ASSERT_TRUE(PumpUntil([&] { return !seen_.empty(); }));
  EXPECT_EQ(seen_.front(), 4u);
  EXPECT_EQ(calledOn, mainThread);
  // Closing the reading handle does not end the notification.
  log().Close(TFSOpenState::osRead);
  app_.Append(Record(u"S", 5));
  ASSERT_TRUE(PumpUntil([&] { return seen_.back() == 5u; }));
  log().DeRegisterChangeNotify();
  EXPECT_EQ(machine().eventlog().OpenHandleCount(), 0u);
}

TEST_F(NotifyTest, PlainProceduresAreCalledToo) {
  static std::uint32_t last = 0;
  ASSERT_TRUE(log().Open(1, TFSOpenState::osRead));
  ASSERT_TRUE(log().RegisterChangeNotify(static_cast<TFWOnChangeCallback>(
      [](TFWEventLog*, const TFWEventLogRecord& r) { last = r.Number; })));
  app_.Append(Record(u"S", 9));
  ASSERT_TRUE(PumpUntil([&] { return last == 2u; }));
  log().DeRegisterChangeNotify();
}

TEST_F(NotifyTest, HandOversPendingAtDeregistrationAreDropped) {
  ASSERT_TRUE(log().Open(1, TFSOpenState::osRead));
  ASSERT_TRUE(Register());
  app_.Append(Record(u"S", 2));
  std::this_thread::sleep_for(250ms);  // the thread is now waiting for its hand-over
  log().DeRegisterChangeNotify();
  machine().ui().PumpMessages();
  EXPECT_TRUE(seen_.empty());
  ResetLog();  // joins the ended thread
  machine().ui().PumpMessages();
}

TEST_F(NotifyTest, AFailedWaitEndsTheNotificationWithAMessage) {
  ASSERT_TRUE(log().Open(1, TFSOpenState::osRead));
  machine().eventlog().SetWaitFails(true);
  ASSERT_TRUE(Register());
  ASSERT_TRUE(PumpUntil([&] { return !machine().ui().MessageBoxes().empty(); }));
  EXPECT_FALSE(log().OpenState().Has(TFSOpenState::osNotify));
  const auto text = machine().ui().MessageBoxes().front().text;
  EXPECT_EQ(text.rfind(u"Ошибка потока ожидания оповещений. Код ошибки 6, описание \"", 0), 0u)
      << support::U8(text);
  EXPECT_NE(text.find(u"\"The handle is invalid\""), std::u16string::npos) << support::U8(text);
  machine().eventlog().SetWaitFails(false);
  ASSERT_TRUE(Register());  // a new registration works again
  log().DeRegisterChangeNotify();
}

TEST_F(NotifyTest, ErrorWindowMessagesMustMatchTheCurrentWindow) {
  ASSERT_TRUE(log().Open(1, TFSOpenState::osRead));
  ASSERT_TRUE(Register());
  const auto window = log().ErrorWindow();
  EXPECT_NE(window, 0u);
  EXPECT_EQ(log().ErrorWndProc(platform::kWmUser + 5, window, 5), 0);
  EXPECT_EQ(log().ErrorWndProc(platform::kWmUser, window + 1, 5), 0);
  EXPECT_TRUE(log().OpenState().Has(TFSOpenState::osNotify));
  EXPECT_THROW(log().ErrorWndProc(platform::kWmUser, window, 5), EFWEventLog);
  EXPECT_FALSE(log().OpenState().Has(TFSOpenState::osNotify));
  // A late message of the ended notification is ignored after a new registration.
  ASSERT_TRUE(Register());
  EXPECT_EQ(log().ErrorWndProc(platform::kWmUser, window, 5), 0);
  EXPECT_TRUE(log().OpenState().Has(TFSOpenState::osNotify));
}

TEST_F(NotifyTest, NoWindowOrNoSecondHandleLeavesNothingOpen) {
  ASSERT_TRUE(log().Open(1, TFSOpenState::osRead));
  machine().ui().SetMessageWindowCreationFails(true);
  EXPECT_FALSE(Register());
  EXPECT_FALSE(log().OpenState().Has(TFSOpenState::osNotify));
  EXPECT_EQ(machine().eventlog().OpenHandleCount(), 1u);
  machine().ui().SetMessageWindowCreationFails(false);
  machine().eventlog().SetOpenFails(u"Application", platform::err::kAccessDenied);
  EXPECT_FALSE(Register());
  EXPECT_EQ(machine().eventlog().OpenHandleCount(), 1u);
}

}  // namespace
}  // namespace qb
