// A host that shows no windows of the library (the Linux library's hosts): "open" leaves the
// record to the host, "properties" tells as text what the dialogs would show, and messages go
// to the host's request callback when one is given.
#include "plugin/host_options.h"
#include "support/dialog_fixture.h"

namespace qb {
namespace {

using support::DialogTest;
const std::u16string kKey = support::kEventLogKey + u"Application";
const std::u16string kLogFile = u"C:\\Windows\\system32\\config\\AppEvent.Evt";

class WindowlessHostTest : public DialogTest {
 protected:
  WindowlessHostTest() : app_(AddLog(u"Application")) {
    AddLog(u"System");
    registry().SetString(kKey, u"File", u"%SystemRoot%\\system32\\config\\AppEvent.Evt",
                         platform::regtype::kExpandSz);
    plugin::SetHostOptions({.noPluginWindows = true});
  }
  ~WindowlessHostTest() override { plugin::SetHostOptions({}); }

  void Records(std::uint32_t count, std::uint32_t first) {
    app_.oldestNumber = app_.nextNumber = first;
    for (std::uint32_t i = 0; i < count; ++i) {
      auto r = Record(u"Disk", 11 + i, 1);
      r.timeGenerated = 1'199'145'600 + 3600 * i;  // 2008-01-01, an hour apart
      app_.Append(r);
    }
  }

  sim::SimEventLog& app_;
};

TEST_F(WindowlessHostTest, VerbsAnswerWithoutAWindow) {
  Records(1, 1);
  Init();
  struct Case {
    std::u16string remote, verb;
    int result;
    std::size_t messages;
  };
  const Case cases[] = {
      {u"\\Application\\[1] Disk.error", u"open", fs::FS_EXEC_YOURSELF, 0},
      {u"/Application/[1] Disk.error", u"OPEN", fs::FS_EXEC_YOURSELF, 0},
      {u"\\Application\\[1] Disk.error", u"properties", fs::FS_EXEC_OK, 0},
      {u"\\Application", u"properties", fs::FS_EXEC_OK, 1},
      {u"/Application/", u"properties", fs::FS_EXEC_OK, 1},
      {u"\\", u"properties", fs::FS_EXEC_OK, 1},
      {u"/", u"properties", fs::FS_EXEC_OK, 1},
      {u"\\Missing", u"properties", fs::FS_EXEC_ERROR, 0},
      {u"\\Application", u"quote x", fs::FS_EXEC_OK, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(support::U8(c.remote + u" " + c.verb));
    ASSERT_TRUE(List(u"\\").ok);
    TakeMessages();
    EXPECT_EQ(Execute(c.remote, c.verb), c.result);
    EXPECT_TRUE(ui().Dialogs().empty());
    EXPECT_EQ(TakeMessages().size(), c.messages);
  }
}

TEST_F(WindowlessHostTest, LogPropertiesAsTextByVersion) {
  Records(5, 101);
  files().AddFile(kLogFile, std::string(2'000'000, 'x'));
  registry().SetDword(kKey, u"MaxSize", 20971520);
  const std::u16string head =
      u"Application log properties\r\n\r\n"
      u"Log File: C:\\Windows\\system32\\config\\AppEvent.Evt\r\n"
      u"File Size (kB): 1,953\r\n"
      u"Records: 5\r\n"
      u"Oldest Record: 1/1/2008 12:00:00 AM\r\n"
      u"Newest Record: 1/1/2008 4:00:00 AM\r\n"
      u"Guest Access: Disabled\r\n"
      u"Size of event log\r\n"
      u"Maximum file size (kB): 20,480\r\n"
      u"When the maximum size:\r\n";
  struct Case {
    const char* what;
    std::uint32_t osMajor, retention, archive;
    std::u16string policy;
  };
  const Case cases[] = {
      {"XP, days", 5, 3 * 86400, 0, u"Overwrite events older than 3 days"},
      {"XP, as needed", 5, 0, 0, u"Overwrite events as needed (oldest first event)"},
      {"XP, never", 5, 0xFFFFFFFF, 0, u"Do not overwrite events (clear log manually)"},
      {"Vista, archive", 6, 0xFFFFFFFF, 1, u"Archive the log when full, do not overwrite events"},
      {"Vista, as needed", 6, 0, 0, u"Overwrite events as needed (oldest first event)"},
  };
  Init();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    files().SetOsMajorVersion(c.osMajor);
    registry().SetDword(kKey, u"Retention", c.retention);
    registry().SetDword(kKey, u"AutoBackupLogFiles", c.archive);
    TakeMessages();
    ASSERT_EQ(Execute(u"/Application/", u"properties"), fs::FS_EXEC_OK);
    const auto boxes = ui().MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, u"Quillerbankton");
    EXPECT_EQ(support::U8(boxes[0].text), support::U8(head + c.policy + u"\r\n"));
  }
}

TEST_F(WindowlessHostTest, RootPropertiesTellTheSettings) {
  Init();
  TakeMessages();
  ASSERT_EQ(Execute(u"\\", u"properties"), fs::FS_EXEC_OK);
  const auto texts = TakeMessages();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(
      texts[0].rfind(
          u"Settings\r\n\r\nInterface language: English (United States)\r\nQuillerbankton ", 0),
      0u)
      << support::U8(texts[0]);
}

// The request callbacks a host gives at FsInit / FsInitW, as AskHost uses them.
struct Request {
  int pluginNr, type;
  std::u16string title, text;
  bool wide;
};
std::vector<Request> g_requests;
fs::BOOL g_answer = fs::kTrue;

fs::BOOL QB_STDCALL RequestW(int nr, int type, fs::WCHAR* title, fs::WCHAR* text, fs::WCHAR*, int) {
  g_requests.push_back({nr, type, title, text, true});
  return g_answer;
}
fs::BOOL QB_STDCALL RequestA(int nr, int type, char* title, char* text, char*, int) {
  std::u16string t(title, title + std::char_traits<char>::length(title));
  std::u16string x(text, text + std::char_traits<char>::length(text));
  g_requests.push_back({nr, type, t, x, false});
  return g_answer;
}

TEST_F(WindowlessHostTest, MessagesGoToTheRequestCallbackTheHostGave) {
  struct Case {
    const char* what;
    bool ansi, wide;
    fs::BOOL answer;
    std::optional<bool> result;
  };
  const Case cases[] = {
      {"none", false, false, fs::kTrue, std::nullopt},
      {"eight-bit only", true, false, fs::kTrue, true},
      {"wide only", false, true, fs::kFalse, false},
      {"both: the wide one", true, true, fs::kTrue, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    plugin::ForgetRequestProcs();
    if (c.ansi) FsInit(3, nullptr, nullptr, &RequestA);
    if (c.wide) FsInitW(4, nullptr, nullptr, &RequestW);
    g_requests.clear();
    g_answer = c.answer;
    EXPECT_EQ(plugin::AskHost(fs::RT_MsgYesNo, u"Title", u"Text"), c.result);
    if (!c.result) {
      EXPECT_TRUE(g_requests.empty());
      continue;
    }
    ASSERT_EQ(g_requests.size(), 1u);
    EXPECT_EQ(g_requests[0].wide, c.wide);
    EXPECT_EQ(g_requests[0].pluginNr, c.wide ? 4 : 3);
    EXPECT_EQ(g_requests[0].type, fs::RT_MsgYesNo);
    EXPECT_EQ(g_requests[0].title, u"Title");
    EXPECT_EQ(g_requests[0].text, u"Text");
  }
  plugin::ForgetRequestProcs();
}

TEST_F(WindowlessHostTest, DefaultParamsOfAnySizeAreAccepted) {
  Init();
  FsSetDefaultParams(nullptr);
  fs::FsDefaultParamStruct params{};
  params.size = sizeof(params);
  params.PluginInterfaceVersionHi = 2;
  params.PluginInterfaceVersionLow = 10;
  FsSetDefaultParams(&params);
  // A shorter record than this library knows of: only its first field exists.
  std::int32_t shortRecord = 4;
  FsSetDefaultParams(reinterpret_cast<fs::FsDefaultParamStruct*>(&shortRecord));
  EXPECT_TRUE(List(u"/").ok);
}

}  // namespace
}  // namespace qb
