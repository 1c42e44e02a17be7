// The channels through the exports: the folder tree Windows' own viewer shows, a channel's
// listing, its records' text with the event's XML.
#include <algorithm>
#include <future>

#include "support/channel_fixture.h"
#include "support/plugin_fixture.h"

namespace qb {
namespace {

using support::U8;
namespace err = platform::err;
namespace evtchannel = platform::evtchannel;

const std::u16string kAll = u"\\Applications and Services Logs";

class ChannelsTest : public support::PluginTest {
 protected:
  // A channel with `events` in its file at the default place (none: no file yet).
  void AddChannel(std::u16string name, const std::vector<sim::WindowsEventFields>& events = {},
                  std::uint32_t type = evtchannel::kOperational, bool enabled = true) {
    support::ChannelFields form;
    form.name = name;
    form.type = type;
    form.enabled = enabled;
    support::AddChannel(machine(), form);
    if (!events.empty()) support::WriteChannelFile(machine(), name, events);
  }
  // `count` events numbered from `first`: ids 100 + n % 7, levels 1 + n % 5 (critical first).
  static std::vector<sim::WindowsEventFields> Events(std::uint64_t first, std::size_t count) {
    return support::GeneratedEvents(u"", u"Qb-Provider", count, first);
  }
  void AddTree() {
    AddLog(u"Application");
    AddChannel(u"Microsoft-Windows-PowerShell/Operational", Events(1, 3));
    AddChannel(u"Microsoft-Windows-PowerShell/Admin");
    AddChannel(u"Microsoft-Windows-TaskScheduler/Operational", Events(10, 1));
    AddChannel(u"Microsoft-Windows-Kernel-Power/Thermal-Analytic", {}, evtchannel::kAnalytic);
    AddChannel(u"Qb-Tool/Debug", {}, evtchannel::kDebug);
    AddChannel(u"Setup", Events(1, 2), evtchannel::kOperational);
    AddChannel(u"OpenSSH/Admin", {}, evtchannel::kAdmin, false);
  }
};

// Every folder of the tree, as the host walks it: a name beginning "Microsoft-Windows-" under
// Microsoft\Windows, the rest split at "/", analytic and debug channels left out, a channel's
// records after the subfolders of any channel below it.
TEST_F(ChannelsTest, TheTreeIsTheOneWindowsViewerShows) {
  AddTree();
  Init();
  const struct {
    std::u16string folder;
    std::vector<std::u16string> names;
  } cases[] = {
      {u"\\", {u"Application", u"Applications and Services Logs"}},
      {kAll, {u"Microsoft", u"OpenSSH", u"Setup"}},
      {kAll + u"\\Microsoft", {u"Windows"}},
      {kAll + u"\\Microsoft\\Windows", {u"PowerShell", u"TaskScheduler"}},
      {kAll + u"\\Microsoft\\Windows\\PowerShell", {u"Admin", u"Operational"}},
      {kAll + u"\\Microsoft\\Windows\\PowerShell\\Operational",
       {u"[3] Qb-Provider.warning", u"[2] Qb-Provider.error", u"[1] Qb-Provider.critical"}},
      {kAll + u"\\Setup", {u"[2] Qb-Provider.error", u"[1] Qb-Provider.critical"}},
  };
  for (const auto& c : cases) {
    const auto list = List(c.folder);
    EXPECT_TRUE(list.ok) << U8(c.folder);
    EXPECT_EQ(list.names, c.names) << U8(c.folder);
  }
}

// Folders that are not there, and channels with nothing in them yet.
TEST_F(ChannelsTest, LeftOutAndEmptyChannels) {
  AddTree();
  Init();
  const struct {
    std::u16string folder;
    std::uint32_t error;
  } cases[] = {
      {kAll + u"\\Microsoft\\Windows\\Kernel-Power", err::kPathNotFound},
      {kAll + u"\\Microsoft\\Windows\\Kernel-Power\\Thermal-Analytic", err::kPathNotFound},
      {kAll + u"\\Qb-Tool", err::kPathNotFound},
      {kAll + u"\\Microsoft\\Windows\\PowerShell\\Admin", err::kNoMoreFiles},
      {kAll + u"\\OpenSSH\\Admin", err::kNoMoreFiles},
  };
  for (const auto& c : cases) {
    const auto list = List(c.folder);
    EXPECT_FALSE(list.ok) << U8(c.folder);
    EXPECT_EQ(list.lastError, c.error) << U8(c.folder);
  }
}

TEST_F(ChannelsTest, WindowsWithoutChannelsShowsTheClassicLogsAlone) {
  AddTree();
  files().SetOsMajorVersion(5);
  Init();
  EXPECT_EQ(List(u"\\").names, std::vector<std::u16string>{u"Application"});
  EXPECT_EQ(List(kAll).lastError, err::kPathNotFound);
}

TEST_F(ChannelsTest, ARecordsEntryHasItsEventIdAsSizeAndItsTimeAsDate) {
  auto event = Events(41, 1);
  event[0].eventId = 4624;
  event[0].level = 4;
  AddChannel(u"Setup", event);
  Init();
  const auto list = List(kAll + u"\\Setup");
  ASSERT_EQ(list.entries.size(), 1u);
  const auto& e = list.entries[0];
  EXPECT_EQ(U8(Name(e)), "[41] Qb-Provider.information");
  EXPECT_EQ(e.dwFileAttributes, 0x01u);
  EXPECT_EQ(e.nFileSizeLow, 4624u);
  const std::uint64_t when = event[0].timeCreated;
  EXPECT_EQ(e.ftLastWriteTime.dwLowDateTime, static_cast<std::uint32_t>(when));
  EXPECT_EQ(e.ftLastWriteTime.dwHighDateTime, static_cast<std::uint32_t>(when >> 32));
}

// With no publisher to describe it, the description is the fallback text with the event's data;
// the event's XML follows, indented.
TEST_F(ChannelsTest, ARecordsTextEndsWithItsXml) {
  AddChannel(u"Setup", Events(6, 2));  // [7] is the second: event id 101, level 2
  Init();
  const std::u16string out = u"C:\\Temp\\event.txt";
  ASSERT_EQ(GetFile(kAll + u"\\Setup\\[7] Qb-Provider.error", out), fs::FS_FILE_OK);
  const std::u16string text = FileText(out);
  for (const std::u16string& part : std::vector<std::u16string>{
           u"Event ID:                   101\r\n",
           u"Record Number:              7\r\n",
           u"Computer Name:              QBSIM\r\n",
           u"The description for Event ID 101 from source Qb-Provider cannot be found.",
           u"\r\nIndex: 1\r\nText: event 7\r\n",
           u"Event XML:" + std::u16string(18, u' ') +
               u"\r\n<Event xmlns=\"http://schemas.microsoft.com/win/2004/08/events/event\">"
               u"\r\n  <System>\r\n    <Provider Name=\"Qb-Provider\"",
           u"    <EventRecordID>7</EventRecordID>\r\n",
           u"    <Data Name=\"Text\">event 7</Data>\r\n",
       }) {
    EXPECT_NE(text.find(part), std::u16string::npos) << U8(part) << "\nin\n" << U8(text);
  }
}

// The host's background thread asks every column of every record, down the list and up it: one
// query (and its EvtNext) serves a run of events, and each value is the event's own. Opening the
// channel and the first run (whose direction is a guess) cost a few calls whatever its length.
TEST_F(ChannelsTest, ColumnsReadARunOfEventsPerQueryInEitherDirection) {
  constexpr std::size_t kCount = 2000;
  AddChannel(u"Setup", Events(1, kCount));
  Init();
  const std::u16string folder = kAll + u"\\Setup\\";
  auto& service = machine().channels();
  const auto events = Events(1, kCount);
  for (const bool reverse : {false, true}) {
    auto names = List(folder.substr(0, folder.size() - 1)).names;
    ASSERT_EQ(names.size(), kCount);
    if (reverse) std::reverse(names.begin(), names.end());
    const auto calls = [&] { return service.QueryCallCount() + service.NextCallCount(); };
    const auto before = calls();
    std::async(std::launch::async, [&] {
      for (const auto& name : names) {
        std::u16string path = folder + name;
        const auto id = std::stoull(U8(name.substr(1)));  // "[id] ..."
        const auto& expected = events.at(id - 1);
        std::uint32_t code = 0;
        EXPECT_EQ(FsContentGetValueW(path.data(), 2, 0, &code, 4, 0), fs::ft_numeric_32);
        EXPECT_EQ(code, expected.eventId) << U8(name);
        std::u16string text;
        EXPECT_EQ(Value(path, 0, text), fs::ft_stringw);
        EXPECT_EQ(U8(text), "N\\A");
        EXPECT_EQ(Value(path, 3, text), fs::ft_stringw);
        EXPECT_NE(text.find(u"Text: " + expected.data[1].second.text()), std::u16string::npos)
            << U8(name) << ": " << U8(text);
      }
    }).get();
    EXPECT_LE((calls() - before) * 100, kCount) << "reverse " << reverse;
  }
}

}  // namespace
}  // namespace qb
