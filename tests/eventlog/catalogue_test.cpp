#include "eventlog/event_log_list.h"

#include "localization/language.h"
#include "platform/sim/formats/module_image.h"
#include "support/sim_fixture.h"

namespace qb {
namespace {

using qb::support::SimTest;

const std::u16string kLogsKey = u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\";

class CatalogueTest : public SimTest {
 protected:
  CatalogueTest() { lng_ = std::make_unique<TLngResource>(); }
  void AddLog(std::u16string_view name) { registry().CreateKey(kLogsKey + std::u16string(name)); }
  TEventLogList Build() { return TEventLogList(*lng_); }
  std::unique_ptr<TLngResource> lng_;
};

TEST_F(CatalogueTest, PlaceholderThenLogsInRegistryOrder) {
  AddLog(u"System");
  AddLog(u"Application");
  AddLog(u"Security");
  registry().SetString(kLogsKey + u"Application", u"File", u"%SystemRoot%\\x\\AppEvent.Evt",
                       platform::regtype::kExpandSz);
  const TEventLogList list = Build();
  ASSERT_EQ(list.EventLogCount(), 4);
  EXPECT_EQ(list.Item(0).eiRegistryName, u"Unknown");
  EXPECT_EQ(list.Item(0).eiDisplayName, u"Unknown");
  EXPECT_EQ(list.Item(0).eiFile, u"Unknown");
  EXPECT_EQ(list.GetEventLogName(1), u"Application");
  EXPECT_EQ(list.GetEventLogName(2), u"Security");
  EXPECT_EQ(list.GetEventLogDisplayName(3), u"System");
  EXPECT_EQ(list.GetEventLogFile(1), u"C:\\Windows\\x\\AppEvent.Evt");
  EXPECT_THROW(list.GetEventLogDisplayName(4), EListError);
  EXPECT_THROW(list.GetEventLogFile(-1), EListError);
  EXPECT_EQ(registry().OpenHandleCount(), 0u);
}

TEST_F(CatalogueTest, TheServicesOwnSettingsAreNoLog) {
  AddLog(u"Application");
  AddLog(u"Parameters");
  registry().SetString(kLogsKey + u"Parameters", u"ServiceDll",
                       u"%SystemRoot%\\System32\\wevtsvc.dll", platform::regtype::kExpandSz);
  AddLog(u"System");
  registry().SetDword(kLogsKey + u"System", u"ServiceDll", 0);  // whatever its type
  AddLog(u"Setup");
  const TEventLogList list = Build();
  ASSERT_EQ(list.EventLogCount(), 3);
  EXPECT_EQ(list.GetEventLogName(1), u"Application");
  EXPECT_EQ(list.GetEventLogName(2), u"Setup");
}

TEST_F(CatalogueTest, LookupsAreExactAndFindTheFirst) {
  AddLog(u"Application");
  AddLog(u"Dup1");
  AddLog(u"Dup2");
  platform::Bytes none;
  // Two logs with one display name through a display-name library.
  sim::ModuleImage image;
  image.messages[7] = u"Same Name\r\n";
  machine().modules().AddImage(u"C:\\Windows\\names.dll", image);
  for (auto log : {u"Dup1", u"Dup2"}) {
    registry().SetString(kLogsKey + log, u"DisplayNameFile", u"%SystemRoot%\\names.dll",
                         platform::regtype::kExpandSz);
    registry().SetDword(kLogsKey + log, u"DisplayNameID", 7);
  }
  const TEventLogList list = Build();
  EXPECT_EQ(list.GetEventLogIndex(u"Application"), 1);
  EXPECT_EQ(list.GetEventLogIndex(u"application"), 0);
  EXPECT_FALSE(list.EventLogExists(u"application"));
  EXPECT_FALSE(list.EventLogExists(u"Application "));
  EXPECT_TRUE(list.EventLogExists(u"Unknown"));
  EXPECT_EQ(list.GetEventLogIndex(u"Unknown"), 0);
  EXPECT_EQ(list.GetEventLogIndex(u"Same Name"), 2);
  EXPECT_EQ(list.GetEventLogDisplayName(3), u"Same Name");
}

TEST_F(CatalogueTest, DisplayNamesFromLibraries) {
  sim::ModuleImage image;
  image.messages[0x100] = u"  Localized Log\r\n";
  image.messages[0x101] = u" \r\n";
  image.messages[0x102] = std::u16string(300, u'x');
  machine().modules().AddImage(u"C:\\Windows\\System32\\els.dll", image);
  const auto withName = [&](std::u16string_view log, std::uint32_t id) {
    AddLog(log);
    registry().SetString(kLogsKey + std::u16string(log), u"DisplayNameFile",
                         u"%SystemRoot%\\System32\\els.dll", platform::regtype::kExpandSz);
    registry().SetDword(kLogsKey + std::u16string(log), u"DisplayNameID", id);
  };
  withName(u"A", 0x100);
  withName(u"B", 0x101);  // blank text: the registry name stays
  withName(u"C", 0x102);  // longer than the 256-character buffer
  withName(u"D", 0x999);  // no such message
  AddLog(u"E");
  registry().SetString(kLogsKey + u"E", u"DisplayNameFile", u"C:\\missing.dll");
  registry().SetDword(kLogsKey + u"E", u"DisplayNameID", 0x100);
  AddLog(u"F");  // a file but no identifier
  registry().SetString(kLogsKey + u"F", u"DisplayNameFile", u"%SystemRoot%\\System32\\els.dll");
  const TEventLogList list = Build();
  EXPECT_EQ(list.GetEventLogDisplayName(1), u"Localized Log");
  EXPECT_EQ(list.GetEventLogDisplayName(2), u"B");
  EXPECT_EQ(list.GetEventLogDisplayName(3), u"C");
  EXPECT_EQ(list.GetEventLogDisplayName(4), u"D");
  EXPECT_EQ(list.GetEventLogDisplayName(5), u"E");
  EXPECT_EQ(list.GetEventLogDisplayName(6), u"F");
  EXPECT_EQ(list.GetEventLogName(1), u"A");
  // Display-name libraries are mapped for their messages only (no code of theirs runs in the
  // host), one at a time, and none stays loaded.
  EXPECT_EQ(machine().modules().GetStats().fullLoads, 0u);
  EXPECT_EQ(machine().modules().GetStats().dataLoads, 4u);
  EXPECT_EQ(machine().modules().OpenModuleCount(), 0u);
}

TEST_F(CatalogueTest, DefaultFilesDependOnTheWindowsVersion) {
  files().SetEnv(u"SystemRoot", u"C:\\WINDOWS");
  AddLog(u"Sample");
  files().SetOsMajorVersion(5);
  EXPECT_EQ(Build().GetEventLogFile(1), u"C:\\WINDOWS\\system32\\config\\Sample.evt");
  files().SetOsMajorVersion(6);
  EXPECT_EQ(Build().GetEventLogFile(1), u"C:\\WINDOWS\\system32\\winevt\\logs\\Sample.evtx");
  files().SetOsMajorVersion(10);
  EXPECT_EQ(Build().GetEventLogFile(1), u"N\\A");
}

TEST_F(CatalogueTest, WrongTypesUnreadableKeysAndAMissingRoot) {
  EXPECT_EQ(Build().EventLogCount(), 1);  // no event log key at all
  AddLog(u"Good");
  AddLog(u"Locked");
  AddLog(u"Typed");
  registry().SetAllowedAccess(kLogsKey + u"Locked", 0);
  registry().SetDword(kLogsKey + u"Typed", u"File", 5);
  registry().SetDword(kLogsKey + u"Typed", u"DisplayNameFile", 1);
  registry().SetString(kLogsKey + u"Typed", u"DisplayNameID", u"7");
  files().SetOsMajorVersion(5);
  const TEventLogList list = Build();
  ASSERT_EQ(list.EventLogCount(), 3);  // the locked log is left out, the others move up
  EXPECT_EQ(list.GetEventLogName(1), u"Good");
  EXPECT_EQ(list.GetEventLogName(2), u"Typed");
  EXPECT_EQ(list.GetEventLogDisplayName(2), u"Typed");
  EXPECT_EQ(list.GetEventLogFile(2), u"C:\\Windows\\system32\\config\\Typed.evt");

  registry().SetAllowedAccess(kLogsKey, platform::access::kKeyQueryValue);
  EXPECT_EQ(Build().EventLogCount(), 1);
}

TEST_F(CatalogueTest, IndexesBeyond255StayThemselves) {
  for (int i = 0; i < 300; ++i) {
    char16_t name[8] = u"L000";
    name[1] = static_cast<char16_t>(u'0' + i / 100);
    name[2] = static_cast<char16_t>(u'0' + i / 10 % 10);
    name[3] = static_cast<char16_t>(u'0' + i % 10);
    AddLog(name);
  }
  const TEventLogList list = Build();
  ASSERT_EQ(list.EventLogCount(), 301);
  EXPECT_EQ(list.GetEventLogIndex(u"L000"), 1);
  EXPECT_EQ(list.GetEventLogIndex(u"L255"), 256);
  EXPECT_EQ(list.GetEventLogIndex(u"L299"), 300);
  EXPECT_EQ(list.GetEventLogDisplayName(257), u"L256");
}

}  // namespace
}  // namespace qb
