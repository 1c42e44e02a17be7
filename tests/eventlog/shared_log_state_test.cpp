// Two event log objects of one process (the listing's and the columns'): a log index means the
// same log to both, and a SID is looked up once for both while either has the log open.
#include "eventlog/event_log.h"
#include "support/eventlog_fixture.h"
#include "util/text.h"

namespace qb {
namespace {

using support::EventLogTest;

constexpr auto kReadMode = TFSOpenState::osRead;

class SharedLogStateTest : public EventLogTest {
 protected:
  SharedLogStateTest() {
    for (const char16_t* name : {u"Application", u"System"}) {
      auto& l = AddLog(name);
      for (std::uint32_t rid : {1u, 2u}) {
        auto r = Record(u"Src");
        r.sid = sim::SimAccounts::SidFromString(u"S-1-5-21-4-4-4-" + util::ToDecimal(rid));
        l.Append(r);
      }
    }
  }
  // Reads record `number` and answers the lookups made so far.
  std::size_t ReadCounting(TFWEventLog& object, std::uint32_t number) {
    TFWEventLogRecord record;
    EXPECT_TRUE(object.Read(false, number, record));
    return machine().accounts().LookupCount();
  }
};

TEST_F(SharedLogStateTest, ASidIsLookedUpOnceForBothWhileEitherHasTheLogOpen) {
  TFWEventLog& first = log();
  TFWEventLog second(language(), first);
  ASSERT_TRUE(first.Open(1, kReadMode));
  ASSERT_TRUE(second.Open(1, kReadMode));
  EXPECT_EQ(ReadCounting(first, 1), 1u);
  EXPECT_EQ(ReadCounting(second, 1), 1u);
  EXPECT_EQ(ReadCounting(second, 2), 2u);
  EXPECT_EQ(ReadCounting(first, 2), 2u);
  // The first one reads another log for a while: names of its own there, and Application's
  // stay with the second.
  first.Close(kReadMode);
  ASSERT_TRUE(first.Open(2, kReadMode));
  EXPECT_EQ(ReadCounting(first, 1), 3u);
  EXPECT_EQ(ReadCounting(second, 1), 3u);
  first.Close(kReadMode);
  ASSERT_TRUE(first.Open(1, kReadMode));
  EXPECT_EQ(ReadCounting(first, 2), 3u);
  // Listed afresh: asked afresh, the second one's next opening included.
  first.Close(kReadMode);
  first.ForgetAccountNames();
  ASSERT_TRUE(first.Open(1, kReadMode));
  EXPECT_EQ(ReadCounting(first, 1), 4u);
  second.Close(kReadMode);
  ASSERT_TRUE(second.Open(1, kReadMode));
  EXPECT_EQ(ReadCounting(second, 1), 4u);
  // Closed by both, the names go.
  first.Close(kReadMode);
  second.Close(kReadMode);
  ASSERT_TRUE(second.Open(1, kReadMode));
  EXPECT_EQ(ReadCounting(second, 1), 5u);
}

TEST_F(SharedLogStateTest, BothNumberTheLogsAsTheCatalogueDidWhenTheFirstWasMade) {
  TFWEventLog& first = log();
  AddLog(u"Aardvark");  // a key added since: a catalogue read now numbers the logs otherwise
  TFWEventLog second(language(), first);
  TFWEventLog fresh(language(), u"Quillerbankton");
  EXPECT_EQ(second.EventLogCount(), 3);
  EXPECT_EQ(second.GetEventLogName(2), u"System");
  EXPECT_EQ(fresh.GetEventLogName(2), u"Application");
  ASSERT_TRUE(second.Open(2, kReadMode));
  EXPECT_EQ(second.RecordCount(false, false), 2u);
}

TEST_F(SharedLogStateTest, TheEventCodeIsReadWithoutTouchingTheOpenLog) {
  auto& system = *machine().eventlog().FindLog(u"System");
  auto r = Record(u"Src", 0x40000123);
  system.Append(r);
  ASSERT_TRUE(log().Open(1, kReadMode));
  const auto handles = machine().eventlog().OpenHandleCount();
  EXPECT_EQ(log().ReadEventCode(2, 3), 0x123u);
  EXPECT_EQ(log().ReadEventCode(2, 4), std::nullopt);
  EXPECT_EQ(log().ReadEventCode(0, 1), std::nullopt);
  EXPECT_EQ(log().ReadEventCode(9, 1), std::nullopt);
  EXPECT_EQ(machine().eventlog().OpenHandleCount(), handles);
  EXPECT_EQ(log().ReadSourceType(), 1);
  EXPECT_EQ(machine().accounts().LookupCount(), 0u);
}

}  // namespace
}  // namespace qb
