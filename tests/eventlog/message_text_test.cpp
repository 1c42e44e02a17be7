#include "support/eventlog_fixture.h"
#include "util/text.h"

namespace qb {
namespace {

using support::EventLogTest;

class MessageTextTest : public EventLogTest {
 protected:
  MessageTextTest() {
    AddLog(u"Application");
    AddLog(u"Security");
  }
  std::vector<std::u16string> Ins(std::initializer_list<std::u16string> l) { return l; }
  std::u16string Description(std::u16string source, std::uint32_t id,
                             std::vector<std::u16string> inserts, std::int32_t index = 1) {
    return log().GetDescriptionText(source, index, inserts, id);
  }
  std::u16string Category(std::u16string source, std::uint16_t category, std::int32_t index = 1) {
    return log().GetCategoryText(source, index, category);
  }
};

TEST_F(MessageTextTest, TheOwnSourceUsesTheOwnMessageTable) {
  EXPECT_EQ(Description(u"Quillerbankton", 0, {u"disk full"}), u"disk full");
  EXPECT_EQ(Category(u"Quillerbankton", 1), u"Default");
  // Message 0 needs an insert and a category lookup passes none.
  EXPECT_EQ(Category(u"Quillerbankton", 0), u"Unknown");
  EXPECT_EQ(machine().modules().GetStats().dataLoads, 0u);
}

TEST_F(MessageTextTest, LibrariesAreTriedInListOrder) {
  AddLibrary(u"C:\\lib\\a.dll", {{1, u"from a\r\n"}});
  AddLibrary(u"C:\\lib\\b.dll", {{1, u"from b\r\n"}, {2, u"only b %1\r\n"}});
  AddSource(u"Application", u"Src", u"C:\\lib\\a.dll;;C:\\lib\\b.dll");
  EXPECT_EQ(Description(u"Src", 1, {}), u"from a");
  EXPECT_EQ(machine().modules().LoadsOf(u"C:\\lib\\b.dll"), 0u);
  EXPECT_EQ(Description(u"Src", 2, {u"x"}), u"only b x");
  EXPECT_EQ(machine().modules().LoadsOf(u"C:\\lib\\b.dll"), 1u);
}

TEST_F(MessageTextTest, ALibraryAlreadyInTheProcessIsHeldWhileCached) {
  AddLibrary(u"C:\\lib\\shared.dll", {{1, u"shared text\r\n"}});
  AddSource(u"Application", u"Src", u"C:\\lib\\shared.dll");
  AddLog(u"Application");
  auto& modules = machine().modules();
  platform::ErrorCode error = 0;
  const platform::Handle owner = modules.LoadLibrary(u"C:\\lib\\shared.dll", error);
  ASSERT_NE(owner, 0u);
  ASSERT_TRUE(log().Open(1, TFSOpenState::osRead));
  EXPECT_EQ(Description(u"Src", 1, {}), u"shared text");
  // Its owner lets go: the cached handle must still be a loaded module.
  modules.FreeLibrary(owner);
  EXPECT_EQ(modules.OpenModuleCount(), 1u);
  EXPECT_EQ(Description(u"Src", 1, {}), u"shared text");
  log().Close(TFSOpenState::osRead);
  EXPECT_EQ(modules.OpenModuleCount(), 0u);
  EXPECT_EQ(modules.GetStats().dataLoads, 0u);
}

TEST_F(MessageTextTest, AMessageIsLookedUpOncePerSourceWhileTheLogIsOpen) {
  AddLibrary(u"C:\\lib\\a.dll", {{1, u"one %1\r\n"}});
  AddLibrary(u"C:\\lib\\b.dll", {{1, u"plain\r\n"}});
  AddSource(u"Application", u"Src", u"C:\\lib\\a.dll;C:\\lib\\b.dll");
  auto& modules = machine().modules();
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(Description(u"Src", 1, {u"x" + util::ToDecimal(i)}), u"one x" + util::ToDecimal(i));
  }
  EXPECT_EQ(modules.GetStats().templateCalls, 1u);
  EXPECT_EQ(modules.GetStats().formatCalls, 100u);
  // A record with fewer inserts than that message needs still finds the one that fits.
  EXPECT_EQ(Description(u"Src", 1, {}), u"plain");
  // A message no library has is not searched for again.
  const auto before = modules.GetStats().templateCalls;
  Description(u"Src", 9, {});
  Description(u"Src", 9, {});
  EXPECT_EQ(modules.GetStats().templateCalls, before + 2);  // once in each library
}

TEST_F(MessageTextTest, FallbacksWithoutAnySourceKey) {
  EXPECT_EQ(Description(u"Nobody", 0x40000010, {u"x", u"y"}),
            u"Not found the description for event ID ( 16 ) in Source ( Nobody ). The local "
            u"computer may not have the necessary registry information or message DLL files to "
            u"display messages from a remote computer. The following information is part of the "
            u"event: x\r\ny\r\n");
  EXPECT_EQ(Category(u"Nobody", 3), u"Unknown");
}

TEST_F(MessageTextTest, SecuritySourcesThatCannotBeReadUseTheDefaultLibraries) {
  files().SetEnv(u"SystemRoot", u"C:\\WINDOWS");
  AddLibrary(u"C:\\WINDOWS\\System32\\MsAuditE.dll", {{528, u"Logon %1\r\n"}});
  AddLibrary(u"C:\\WINDOWS\\System32\\xpsp2res.dll", {{529, u"Failure %1\r\n"}});
  AddSource(u"Security", u"Security", u"C:\\nowhere.dll");
  registry().SetAllowedAccess(support::kEventLogKey + u"Security\\Security", 0x20009);
  EXPECT_EQ(Description(u"Security", 528, {u"u1"}, 2), u"Logon u1");
  EXPECT_EQ(Description(u"Security", 529, {u"u2"}, 2), u"Failure u2");
  // The same key shape under another log gives nothing.
  AddSource(u"Application", u"Locked", u"C:\\WINDOWS\\System32\\MsAuditE.dll");
  registry().SetAllowedAccess(support::kEventLogKey + u"Application\\Locked", 0x20009);
  EXPECT_NE(Description(u"Locked", 528, {u"u"}).find(u"Not found"), std::u16string::npos);
}

TEST_F(MessageTextTest, CachedLibrariesSpareTheRegistryUntilTheLogCloses) {
  AddLibrary(u"C:\\lib\\m.dll", {{1, u"desc %1\r\n"}, {5, u"Cat five\r\n"}});
  AddSource(u"Application", u"Src", u"C:\\lib\\m.dll", u"C:\\lib\\m.dll");
  auto& l = machine().eventlog().AddLog(u"Application");
  for (int i = 0; i < 2; ++i) {
    auto r = Record(u"Src", 1);
    r.category = 5;
    r.strings = {u"v"};
    l.Append(r);
  }
  ASSERT_TRUE(log().Open(1, TFSOpenState::osRead));
  TFWEventLogRecord rec;
  ASSERT_TRUE(log().Read(false, 1u, rec));
  EXPECT_EQ(rec.Category, u"Cat five");
  EXPECT_EQ(rec.Description, u"desc v");
  registry().ClearOpenCalls();
  ASSERT_TRUE(log().Read(false, 2u, rec));
  EXPECT_EQ(rec.Description, u"desc v");
  EXPECT_TRUE(registry().OpenCalls().empty());

  log().Close(TFSOpenState::osRead);
  ASSERT_TRUE(log().Open(1, TFSOpenState::osRead));
  ASSERT_TRUE(log().Read(false, 1u, rec));
  EXPECT_FALSE(registry().OpenCalls().empty());
}

TEST_F(MessageTextTest, TheCategoryLibraryStandsFirstInTheCache) {
  // The category library holds a category whose number equals the event identifier.
  AddLibrary(u"C:\\lib\\cat.dll", {{7, u"Category seven\r\n"}});
  AddLibrary(u"C:\\lib\\evt.dll", {{7, u"The real description\r\n"}});
  AddSource(u"Application", u"Src", u"C:\\lib\\evt.dll", u"C:\\lib\\cat.dll");
  auto& l = machine().eventlog().AddLog(u"Application");
  auto r = Record(u"Src", 7);
  r.category = 7;
  l.Append(r);
  ASSERT_TRUE(log().Open(1, TFSOpenState::osRead));
  TFWEventLogRecord rec;
  ASSERT_TRUE(log().Read(false, 1u, rec));
  EXPECT_EQ(rec.Category, u"Category seven");
  EXPECT_EQ(rec.Description, u"Category seven");
}

TEST_F(MessageTextTest, MessagesNamingMoreInsertsThanGivenAreNotFormatted) {
  // Formatting them would read past the inserts; the sim aborts the test if that happens.
  AddLibrary(u"C:\\lib\\a.dll", {{9, u"needs %1 %2 %3\r\n"}});
  AddLibrary(u"C:\\lib\\b.dll", {{9, u"fits %1 %2\r\n"}});
  AddSource(u"Application", u"Src", u"C:\\lib\\a.dll;C:\\lib\\b.dll");
  EXPECT_EQ(Description(u"Src", 9, {u"x", u"y"}), u"fits x y");
  EXPECT_NE(Description(u"Src", 9, {u"x"}).find(u"Not found"), std::u16string::npos);
  AddLibrary(u"C:\\lib\\c.dll", {{3, u"category %1\r\n"}});
  AddSource(u"Application", u"Cat", u"", u"C:\\lib\\c.dll");
  EXPECT_EQ(Category(u"Cat", 3), u"Unknown");
}

TEST_F(MessageTextTest, RecordsWithTooFewInsertsSearchTheLibrariesOnce) {
  AddLibrary(u"C:\\lib\\a.dll", {{9, u"needs %1 %2 %3\r\n"}});
  AddLibrary(u"C:\\lib\\b.dll", {{9, u"fits %1 %2\r\n"}});
  AddSource(u"Application", u"Src", u"C:\\lib\\a.dll;C:\\lib\\b.dll");
  auto& modules = machine().modules();
  registry().ClearOpenCalls();
  for (int i = 0; i < 200; ++i) {
    EXPECT_NE(Description(u"Src", 9, {u"x"}).find(u"Not found"), std::u16string::npos);
  }
  // Both libraries asked once, the source's key read once.
  EXPECT_EQ(modules.GetStats().templateCalls, 2u);
  const auto sourceKeyOpens = registry().OpenCalls().size();
  EXPECT_GT(sourceKeyOpens, 0u);
  // Each record still gets the first message its inserts fit, without another search.
  struct Case {
    std::vector<std::u16string> inserts;
    std::u16string text;
  };
  const Case cases[] = {{{u"x", u"y"}, u"fits x y"},
                        {{u"x", u"y", u"z"}, u"needs x y z"},
                        {{}, u""},
                        {{u"p", u"q", u"r", u"s"}, u"needs p q r"}};
  for (int round = 0; round < 50; ++round) {
    for (const auto& c : cases) {
      const std::u16string text = Description(u"Src", 9, c.inserts);
      if (c.text.empty()) {
        EXPECT_NE(text.find(u"Not found"), std::u16string::npos);
      } else {
        EXPECT_EQ(text, c.text);
      }
    }
  }
  EXPECT_EQ(modules.GetStats().templateCalls, 2u);
  EXPECT_EQ(registry().OpenCalls().size(), sourceKeyOpens);
  EXPECT_EQ(modules.LoadsOf(u"C:\\lib\\a.dll"), 1u);
  EXPECT_EQ(modules.LoadsOf(u"C:\\lib\\b.dll"), 1u);
}

TEST_F(MessageTextTest, AMissingMessageLoadsItsLibraryOnlyOnce) {
  AddLibrary(u"C:\\lib\\m.dll", {{1, u"one\r\n"}});
  AddSource(u"Application", u"Src", u"C:\\lib\\m.dll", u"C:\\lib\\m.dll");
  auto& l = machine().eventlog().AddLog(u"Application");
  for (int i = 0; i < 500; ++i) l.Append(Record(u"Src", 99));
  ASSERT_TRUE(log().Open(1, TFSOpenState::osRead));
  int n = 0;
  ASSERT_TRUE(log().Read(
      false, true, TFWOnReadRecordEvent([&](TFWEventLog&, const TFWEventLogRecord& rec, bool&) {
        ++n;
        EXPECT_EQ(rec.Category, u"Unknown");
      })));
  EXPECT_EQ(n, 500);
  EXPECT_EQ(machine().modules().LoadsOf(u"C:\\lib\\m.dll"), 1u);
  EXPECT_EQ(log().MessageLibraries().Count, 1);
}

TEST_F(MessageTextTest, ValuesOfTheWrongTypeAndUnloadableLibraries) {
  AddSource(u"Application", u"Typed", u"");
  registry().SetDword(support::kEventLogKey + u"Application\\Typed", u"EventMessageFile", 5);
  EXPECT_NE(Description(u"Typed", 1, {}).find(u"( Typed )"), std::u16string::npos);
  AddSource(u"Application", u"Broken", u"C:\\missing.dll;C:\\lib\\ok.dll");
  AddLibrary(u"C:\\lib\\ok.dll", {{1, u"ok\r\n"}});
  EXPECT_EQ(Description(u"Broken", 1, {}), u"ok");
  EXPECT_EQ(log().MessageLibraries().Count, 1);
}

}  // namespace
}  // namespace qb
