// Account lookups that take long (a domain controller out of reach) neither repeat per record
// nor keep the host's main thread waiting.
#include <chrono>
#include <future>
#include <thread>

#include "plugin/plugin_state.h"
#include "support/plugin_fixture.h"
#include "util/text.h"

namespace qb {
namespace {

using namespace std::chrono_literals;
using testing::PluginTest;

class SlowAccountsTest : public PluginTest {
 protected:
  SlowAccountsTest() : app_(AddLog(u"Application")) {}
  sim::RecordFields WithSid(std::uint32_t rid) {
    auto r = Record(u"S");
    r.sid = sim::SimAccounts::SidFromString(u"S-1-5-21-7-8-9-" + util::ToDecimal(rid));
    return r;
  }
  sim::SimEventLog& app_;
};

TEST_F(SlowAccountsTest, EachSidIsLookedUpOnceWhileTheLogIsOpen) {
  for (std::uint32_t i = 0; i < 1000; ++i) app_.Append(WithSid(1000 + i % 3));
  machine().accounts().AddAccount(sim::SimAccounts::SidFromString(u"S-1-5-21-7-8-9-1000"), u"ann",
                                  u"CORP");
  Init();
  ASSERT_TRUE(List(u"\\Application").ok);
  machine().accounts().SetLookupDelay(50ms);
  const auto start = std::chrono::steady_clock::now();
  for (std::uint32_t n = 1; n <= 1000; ++n) {
    ASSERT_EQ(
        GetFile(u"\\Application\\[" + util::ToDecimal(n) + u"] S.information", u"C:\\Temp\\r.txt"),
        fs::FS_FILE_OK);
  }
  // Three lookups (one found, two not), not a thousand.
  EXPECT_EQ(machine().accounts().LookupCount(), 3u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  EXPECT_NE(FileText(u"C:\\Temp\\r.txt").find(u"CORP\\ann"), std::u16string::npos);
  // Listed again, the log is opened afresh and asked afresh.
  ASSERT_TRUE(List(u"\\").ok);
  ASSERT_TRUE(List(u"\\Application").ok);
  ASSERT_EQ(GetFile(u"\\Application\\[1] S.information", u"C:\\Temp\\r.txt"), fs::FS_FILE_OK);
  EXPECT_EQ(machine().accounts().LookupCount(), 4u);
}

TEST_F(SlowAccountsTest, TheMainThreadDoesNotWaitForABackgroundLookup) {
  for (std::uint32_t i = 0; i < 20; ++i) app_.Append(WithSid(2000 + i));
  Init();
  ASSERT_TRUE(List(u"\\Application").ok);
  machine().accounts().SetLookupDelay(300ms);
  std::promise<void> done;
  std::thread background([&] {
    std::vector<char16_t> buffer(512);
    std::u16string name = u"\\Application\\[7] S.information";
    FsContentGetValueW(name.data(), 0, 0, buffer.data(), 1024, 0);
    done.set_value();
  });
  // The background thread is inside its lookup now.
  while (machine().accounts().LookupCount() == 0) std::this_thread::sleep_for(1ms);
  const auto start = std::chrono::steady_clock::now();
  const auto listing = List(u"\\Application");
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(listing.ok);
  EXPECT_LT(took, 150ms);
  background.join();
}

}  // namespace
}  // namespace qb
