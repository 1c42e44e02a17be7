#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "plugin/lifecycle.h"
#include "plugin/plugin_state.h"
#include "support/plugin_fixture.h"
#include "util/text.h"

namespace qb {
namespace {

using support::PluginTest;

const std::u16string kOwnKey = support::kEventLogKey + u"Application\\Quillerbankton";

TEST(RootName, IsCutToTheBufferAndNothingIsWrittenPastIt) {
  char buffer[120];
  std::memset(buffer, 'x', sizeof(buffer));
  FsGetDefRootName(buffer, 100);
  EXPECT_STREQ(buffer, "Quillerbankton");
  std::memset(buffer, 'x', sizeof(buffer));
  FsGetDefRootName(buffer, 5);
  EXPECT_STREQ(buffer, "Quil");
  EXPECT_EQ(buffer[5], 'x');
  std::memset(buffer, 'x', sizeof(buffer));
  FsGetDefRootName(buffer, 1);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], 'x');
  FsGetDefRootName(buffer + 10, 0);
  EXPECT_EQ(buffer[10], 'x');
  FsGetDefRootName(nullptr, 10);
}

class LifecycleTest : public PluginTest {};

TEST_F(LifecycleTest, LoadRegistersTheSourceAndWritesTheLanguageUnloadRemovesIt) {
  AddLog(u"Application");
  EXPECT_FALSE(registry().KeyExists(kOwnKey));  // nothing heavy before the first FsInit
  Init();
  EXPECT_TRUE(files().FileExists(
      u"C:\\Program Files\\totalcmd\\plugins\\wfx\\Quillerbankton\\Language\\Eng.lng"));
  EXPECT_EQ(registry().GetString(kOwnKey, u"EventMessageFile"), files().ModuleFileName());
  EXPECT_TRUE(machine().ui().MessageBoxes().empty());
  ASSERT_TRUE(List(u"\\Application").lastError == platform::err::kNoMoreFiles);
  EXPECT_EQ(machine().eventlog().OpenHandleCount(), 1u);  // an empty log stays open
  plugin::OnProcessDetach(false);
  EXPECT_FALSE(registry().KeyExists(kOwnKey));
  EXPECT_EQ(machine().eventlog().OpenHandleCount(), 0u);
  // The exports answer safely once the library's objects are gone.
  std::u16string path = u"\\";
  fs::WIN32_FIND_DATAW data;
  EXPECT_EQ(FsFindFirstW(path.data(), &data), fs::kInvalidHandleValue);
}

TEST_F(LifecycleTest, UsersWithoutRightsSeeTheMessageAtLoadOnly) {
  machine().accounts().SetTokenGroups({sim::SimAccounts::SidFromString(u"S-1-5-32-545")});
  Init();
  EXPECT_EQ(machine().ui().MessageBoxes().size(), 1u);
  EXPECT_FALSE(registry().KeyExists(kOwnKey));
  EXPECT_TRUE(List(u"\\").lastError != 0);  // still working: an empty catalogue
  // The unload runs under the loader lock: no window may appear there.
  plugin::OnProcessDetach(false);
  EXPECT_EQ(machine().ui().MessageBoxes().size(), 1u);
}

TEST_F(LifecycleTest, TheUnloadFreesNoLibraryAndWaitsForNoThread) {
  AddLibrary(u"C:\\lib\\m.dll", {{1, u"text\r\n"}});
  AddSource(u"Application", u"Src", u"C:\\lib\\m.dll");
  AddLog(u"Application").Append(Record(u"Src"));
  Init();
  std::u16string text;
  ASSERT_EQ(Value(u"\\Application\\[1] Src.information", 3, text), fs::ft_stringw);
  const auto frees = machine().modules().GetStats().frees;
  plugin::OnProcessDetach(false);
  EXPECT_EQ(machine().modules().GetStats().frees, frees);
  EXPECT_FALSE(registry().KeyExists(kOwnKey));

  // Another thread inside an export: the unload does not wait for it.
  plugin::OnProcessAttach();
  Init();
  std::promise<void> holding, release;
  std::thread other([&] {
    std::lock_guard lock(plugin::Lock());
    holding.set_value();
    release.get_future().wait();
  });
  holding.get_future().wait();
  const auto start = std::chrono::steady_clock::now();
  plugin::OnProcessDetach(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_FALSE(plugin::IsLoaded());
  release.set_value();
  other.join();
}

TEST_F(LifecycleTest, AnUnloadLeavesAFetchInALookupAlone) {
  auto& log = AddLog(u"Application");
  for (int i = 0; i < 10; ++i) {
    auto r = Record(u"S");
    r.sid = sim::SimAccounts::SidFromString(u"S-1-5-21-7-8-9-" + util::ToDecimal(100 + i));
    log.Append(r);
  }
  Init();
  ASSERT_TRUE(List(u"\\Application").ok);
  auto& accounts = machine().accounts();
  accounts.HoldLookups();
  auto fetch = std::async(std::launch::async, [] {
    std::vector<char16_t> buffer(512);
    std::u16string name = u"\\Application\\[4] S.information";
    return FsContentGetValueW(name.data(), 0, 0, buffer.data(), 1024, 0);
  });
  ASSERT_TRUE(accounts.WaitForHeldLookups(1, std::chrono::seconds(10)));
  const auto start = std::chrono::steady_clock::now();
  plugin::OnProcessDetach(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_FALSE(plugin::IsLoaded());
  // Loaded again meanwhile: the old fetch must not touch the new state either.
  plugin::OnProcessAttach();
  Init();
  ASSERT_TRUE(List(u"\\Application").ok);
  accounts.ReleaseLookups();
  EXPECT_EQ(fetch.get(), fs::ft_fieldempty);
  std::u16string text;
  ASSERT_EQ(Value(u"\\Application\\[4] S.information", 0, text), fs::ft_stringw);
  EXPECT_EQ(text, u"N\\A");
}

// The host's background thread may still be inside when the host unloads the library: its
// first call pins the library. The thread that loaded it never does.
TEST_F(LifecycleTest, TheFirstCallerOfAnotherThreadPinsTheLibrary) {
  AddLog(u"Application").Append(Record(u"S"));
  Init();
  ASSERT_TRUE(List(u"\\Application").ok);
  std::u16string text;
  EXPECT_EQ(Value(u"\\Application\\[1] S.information", 3, text), fs::ft_stringw);
  EXPECT_EQ(files().Pins(), 0);
  for (int i = 0; i < 2; ++i) {
    std::thread([&] { Value(u"\\Application\\[1] S.information", 3, text); }).join();
  }
  EXPECT_EQ(files().Pins(), 1);
}

TEST_F(LifecycleTest, AnEndingProcessOnlyRemovesTheKey) {
  AddLog(u"Application").Append(Record(u"S"));
  Init();
  ASSERT_TRUE(List(u"\\Application").ok);
  machine().accounts().SetTokenGroups({});  // would make an unload show a message box
  plugin::OnProcessDetach(true);
  EXPECT_FALSE(registry().KeyExists(kOwnKey));
  EXPECT_TRUE(machine().ui().MessageBoxes().empty());
}

TEST_F(LifecycleTest, InitKeepsOneProgressSlotAndThePluginNumber) {
  AddLog(u"Application").Append(Record(u"S"));
  static int ansiCalls = 0;
  static int lastNr = 0;
  const auto ansi = [](int nr, char*, char*, int) QB_STDCALL {
    ++ansiCalls;
    lastNr = nr;
    return 0;
  };
  EXPECT_EQ(FsInit(3, ansi, nullptr, nullptr), 0);
  EXPECT_EQ(GetFile(u"\\Application\\[1] S.information", u"C:\\Temp\\a.txt"), fs::FS_FILE_OK);
  EXPECT_EQ(ansiCalls, 2);
  EXPECT_EQ(lastNr, 3);
  EXPECT_EQ(FsInitW(9, &ProgressW, nullptr, nullptr), 0);
  EXPECT_EQ(GetFile(u"\\Application\\[1] S.information", u"C:\\Temp\\a.txt"), fs::FS_FILE_OK);
  EXPECT_EQ(ansiCalls, 2);
  ASSERT_EQ(ProgressCalls().size(), 2u);
  EXPECT_EQ(ProgressCalls()[0].pluginNr, 9);
  EXPECT_EQ(ProgressCalls()[0].percent, 0);
  EXPECT_EQ(ProgressCalls()[1].percent, 100);
  EXPECT_EQ(ProgressCalls()[1].source, u"\\Application\\[1] S.information");
  EXPECT_EQ(ProgressCalls()[1].target, u"C:\\Temp\\a.txt");
  EXPECT_EQ(FsInit(4, ansi, nullptr, nullptr), 0);
  EXPECT_EQ(GetFile(u"\\Application\\[1] S.information", u"C:\\Temp\\a.txt"), fs::FS_FILE_OK);
  EXPECT_EQ(ProgressCalls().size(), 2u);
  EXPECT_EQ(lastNr, 4);
}

TEST_F(LifecycleTest, TheEightBitValueExportIsAlwaysEmpty) {
  AddLog(u"Application").Append(Record(u"S"));
  Init();
  ASSERT_TRUE(List(u"\\Application").ok);
  char name[] = "\\Application\\[1] S.information";
  char buffer[64];
  for (int field = -1; field < 6; ++field) {
    EXPECT_EQ(FsContentGetValue(name, field, 0, buffer, sizeof(buffer), 0), fs::ft_fieldempty);
  }
  std::u16string text;
  EXPECT_EQ(Value(u"\\Application\\[1] S.information", 1, text), fs::ft_stringw);
}

}  // namespace
}  // namespace qb
