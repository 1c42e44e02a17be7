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
using support::PluginTest;

class SlowAccountsTest : public PluginTest {
 protected:
  SlowAccountsTest() : app_(AddLog(u"Application")) {}
  ~SlowAccountsTest() override { machine().accounts().ReleaseLookups(); }
  sim::RecordFields WithSid(std::uint32_t rid) {
    auto r = Record(u"S");
    r.sid = sim::SimAccounts::SidFromString(u"S-1-5-21-7-8-9-" + util::ToDecimal(rid));
    return r;
  }
  static std::u16string Name(std::uint32_t n) {
    return u"\\Application\\[" + util::ToDecimal(n) + u"] S.information";
  }
  // A text column's value asked on another thread, as the host's background thread does.
  static std::future<int> ValueInBackground(std::uint32_t n, int field) {
    return std::async(std::launch::async, [n, field] {
      std::vector<char16_t> buffer(512);
      std::u16string name = Name(n);
      return FsContentGetValueW(name.data(), field, 0, buffer.data(), 1024, 0);
    });
  }
  sim::SimAccounts& accounts() { return machine().accounts(); }
  sim::SimEventLog& app_;
};

TEST_F(SlowAccountsTest, EachSidIsLookedUpOnceWhileTheLogIsOpen) {
  for (std::uint32_t i = 0; i < 1000; ++i) app_.Append(WithSid(1000 + i % 3));
  accounts().AddAccount(sim::SimAccounts::SidFromString(u"S-1-5-21-7-8-9-1000"), u"ann", u"CORP");
  Init();
  // Every record copied out of a fresh listing, and how long that took.
  const auto copyAll = [&] {
    EXPECT_TRUE(List(u"\\Application").ok);
    const auto start = std::chrono::steady_clock::now();
    for (std::uint32_t n = 1; n <= 1000; ++n) {
      EXPECT_EQ(GetFile(Name(n), u"C:\\Temp\\r.txt"), fs::FS_FILE_OK);
    }
    return std::chrono::steady_clock::now() - start;
  };
  const auto quick = copyAll();  // what the copies cost without slow lookups
  accounts().SetLookupDelay(50ms);
  const auto before = accounts().LookupCount();
  const auto slow = copyAll();
  // Three lookups (one found, two not), not a thousand: about 150 ms on top of the copies,
  // not 50 s. The margin is wide: a busy machine (sanitizers, other work) slows the copies.
  EXPECT_EQ(accounts().LookupCount() - before, 3u);
  const auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
  EXPECT_LT(slow - quick, 5s) << ms(slow) << " ms against " << ms(quick) << " ms";
  EXPECT_NE(FileText(u"C:\\Temp\\r.txt").find(u"CORP\\ann"), std::u16string::npos);
  // Listed again, the log is opened afresh and asked afresh.
  ASSERT_TRUE(List(u"\\").ok);
  ASSERT_TRUE(List(u"\\Application").ok);
  ASSERT_EQ(GetFile(Name(1), u"C:\\Temp\\r.txt"), fs::FS_FILE_OK);
  EXPECT_EQ(accounts().LookupCount() - before, 4u);
}

TEST_F(SlowAccountsTest, CopiesAndColumnsOfTheSameLogShareTheNames) {
  for (std::uint32_t i = 0; i < 60; ++i) app_.Append(WithSid(1000 + i % 3));
  accounts().AddAccount(sim::SimAccounts::SidFromString(u"S-1-5-21-7-8-9-1001"), u"bo", u"CORP");
  AddLog(u"System").Append(WithSid(1000));
  Init();
  for (const bool columnsFirst : {false, true}) {
    ASSERT_TRUE(List(u"\\Application").ok);
    const auto before = accounts().LookupCount();
    const auto copies = [&] {
      for (std::uint32_t n = 1; n <= 60; n += 7) {
        ASSERT_EQ(GetFile(Name(n), u"C:\\Temp\\r.txt"), fs::FS_FILE_OK);
      }
    };
    const auto columns = [&] {
      for (std::uint32_t n = 60; n >= 1; --n) {
        std::u16string text;
        ASSERT_EQ(Value(Name(n), 0, text), fs::ft_stringw);
        EXPECT_EQ(text, n % 3 == 2 ? u"CORP\\bo" : u"N\\A") << n;
      }
    };
    if (columnsFirst) {
      columns();
      copies();
    } else {
      copies();
      columns();
    }
    EXPECT_EQ(accounts().LookupCount() - before, 3u) << "columns first " << columnsFirst;
  }
  // A copy from another log in between leaves the names of the log the columns read.
  ASSERT_TRUE(List(u"\\Application").ok);
  std::u16string text;
  ASSERT_EQ(Value(Name(2), 0, text), fs::ft_stringw);
  const auto before = accounts().LookupCount();
  ASSERT_EQ(GetFile(u"\\System\\[1] S.information", u"C:\\Temp\\s.txt"), fs::FS_FILE_OK);
  ASSERT_EQ(GetFile(Name(2), u"C:\\Temp\\r.txt"), fs::FS_FILE_OK);
  EXPECT_EQ(accounts().LookupCount() - before, 1u);  // System's own
}

TEST_F(SlowAccountsTest, TheMainThreadDoesNotWaitForABackgroundLookup) {
  for (std::uint32_t i = 0; i < 20; ++i) app_.Append(WithSid(2000 + i));
  Init();
  ASSERT_TRUE(List(u"\\Application").ok);
  accounts().HoldLookups();
  auto background = ValueInBackground(7, 0);
  // The background thread is inside its lookup, and stays there until released.
  ASSERT_TRUE(accounts().WaitForHeldLookups(1, 10s));
  const auto listing = List(u"\\Application");
  EXPECT_TRUE(listing.ok);
  EXPECT_EQ(listing.names.size(), 20u);
  EXPECT_EQ(background.wait_for(0ms), std::future_status::timeout);
  accounts().ReleaseLookups();
  EXPECT_EQ(background.get(), fs::ft_stringw);
}

TEST_F(SlowAccountsTest, TheEventCodeOfAnotherLogNeedsNoAccountOrMessage) {
  AddLibrary(u"C:\\m.dll", {{5, u"text %1\r\n"}});
  AddSource(u"System", u"S", u"C:\\m.dll", u"C:\\m.dll");
  auto& system = AddLog(u"System");
  for (std::uint32_t i = 0; i < 30; ++i) {
    auto r = WithSid(3000 + i);
    r.eventId = 100 + i;
    system.Append(r);
  }
  app_.Append(WithSid(2999));
  Init();
  ASSERT_TRUE(List(u"\\Application").ok);
  auto& log = *plugin::State().eventLog;
  const auto listed = log.ReadSourceType();
  accounts().SetLookupDelay(50ms);
  const auto code = [](std::uint32_t n) -> std::optional<std::int32_t> {
    std::u16string name = u"\\System\\[" + util::ToDecimal(n) + u"] S.information";
    std::int32_t value = 0;
    if (FsContentGetValueW(name.data(), 2, 0, &value, 4, 0) != fs::ft_numeric_32) {
      return std::nullopt;
    }
    return value;
  };
  for (std::uint32_t n = 1; n <= 30; ++n) EXPECT_EQ(code(n), static_cast<std::int32_t>(99 + n));
  EXPECT_EQ(code(31), std::nullopt);
  EXPECT_EQ(accounts().LookupCount(), 0u);
  EXPECT_EQ(machine().modules().GetStats().templateCalls, 0u);
  // The listed log stayed open as it was.
  EXPECT_TRUE(log.OpenState().Has(TFSOpenState::osRead));
  EXPECT_EQ(log.ReadSourceType(), listed);

  // While the background thread waits in a lookup, the main thread still gets its code.
  accounts().SetLookupDelay(0ms);
  accounts().HoldLookups();
  auto background = ValueInBackground(1, 0);
  ASSERT_TRUE(accounts().WaitForHeldLookups(1, 10s));
  EXPECT_EQ(code(12), 111);
  EXPECT_EQ(code(40), std::nullopt);
  EXPECT_EQ(log.ReadSourceType(), listed);
  accounts().ReleaseLookups();
  EXPECT_EQ(background.get(), fs::ft_stringw);
}

}  // namespace
}  // namespace qb
