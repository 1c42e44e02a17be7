#include "support/dialog_fixture.h"

namespace qb {
namespace {

using support::DialogTest;

class ExecuteTest : public DialogTest {
 protected:
  ExecuteTest() {
    AddLog(u"Application").Append(Record(u"Disk", 11, 1));
    AddLog(u"Log 2.0");
    AddLog(u"System").Append(Record(u"EventLog", 6005, 4));
    Init();
    HostList({u"[1] Disk.error"}, 1);
  }
};

TEST_F(ExecuteTest, VerbsAndNamesPickTheDialog) {
  struct Case {
    std::u16string remote, verb;
    int result;
    std::u16string dialog;  // empty: none
  };
  const Case cases[] = {
      {u"\\", u"properties", fs::FS_EXEC_OK, u"Settings"},
      {u"\\", u"PROPERTIES", fs::FS_EXEC_OK, u"Settings"},
      {u"\\Application", u"properties", fs::FS_EXEC_OK, u"LogProperties"},
      {u"\\Application\\[1] Disk.error", u"properties", fs::FS_EXEC_OK, u""},
      {u"\\Log 2.0", u"properties", fs::FS_EXEC_OK, u""},  // taken for a record file
      {u"\\Application.", u"properties", fs::FS_EXEC_OK, u""},
      {u"\\", u"propertiesx", fs::FS_EXEC_OK, u""},
      {u"", u"properties", fs::FS_EXEC_OK, u""},
      {u"\\Missing", u"properties", fs::FS_EXEC_ERROR, u""},
      {u"\\Application\\[1] Disk.error", u"open", fs::FS_EXEC_OK, u"RecordViewer"},
      {u"\\Application\\[1] Disk.error", u"OPEN", fs::FS_EXEC_OK, u"RecordViewer"},
      {u"\\Application\\[1] Disk.error", u"opened", fs::FS_EXEC_OK, u""},
      {u"\\Application\\[1] Disk.error", u"quote notepad", fs::FS_EXEC_OK, u""},
      {u"\\Application\\[1] Disk.error", u"chmod 644", fs::FS_EXEC_OK, u""},
      {u"\\Missing\\[1] Disk.error", u"open", fs::FS_EXEC_ERROR, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(support::U8(c.remote + u" " + c.verb));
    ASSERT_TRUE(List(u"\\").ok);  // no log open
    ui().ClearDialogs();
    EXPECT_EQ(Execute(c.remote, c.verb), c.result);
    const auto dialogs = ui().Dialogs();
    ASSERT_EQ(dialogs.size(), c.dialog.empty() ? 0u : 1u);
    if (!c.dialog.empty()) {
      EXPECT_EQ(dialogs[0].name, c.dialog);
      EXPECT_EQ(dialogs[0].owner, kHostWindow);
    }
  }
}

TEST_F(ExecuteTest, TheEightBitExportConvertsAndForwards) {
  char remote[] = "\\Application\\[1] Disk.error";
  char verb[] = "Open";
  EXPECT_EQ(FsExecuteFile(reinterpret_cast<fs::HWND>(kHostWindow), remote, verb), fs::FS_EXEC_OK);
  ASSERT_EQ(ui().Dialogs().size(), 1u);
  EXPECT_EQ(ui().Dialogs()[0].name, u"RecordViewer");
  EXPECT_STREQ(remote, "\\Application\\[1] Disk.error");
  EXPECT_EQ(FsExecuteFile(nullptr, nullptr, verb), fs::FS_EXEC_OK);
}

TEST_F(ExecuteTest, PropertiesOpenTheLogOnlyWhenNoneIsOpen) {
  struct Case {
    const char* what;
    std::u16string listed;  // the folder listed before: the log open then
    bool opens;             // the Application log can be opened
    int result;
    std::size_t openCalls;  // the export's and the dialog's load step's
  };
  const Case cases[] = {
      {"none open", u"\\", true, fs::FS_EXEC_OK, 2},
      {"none open, and it does not open", u"\\", false, fs::FS_EXEC_ERROR, 1},
      {"the same log open", u"\\Application", true, fs::FS_EXEC_OK, 1},
      {"another log open", u"\\System", true, fs::FS_EXEC_OK, 1},
      {"another log open, and it does not open", u"\\System", false, fs::FS_EXEC_OK, 1},
  };
  auto& service = machine().eventlog();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    service.SetOpenFails(u"Application", platform::err::kSuccess);
    ASSERT_TRUE(List(c.listed).ok);
    service.SetOpenFails(u"Application",
                         c.opens ? platform::err::kSuccess : platform::err::kAccessDenied);
    ui().ClearDialogs();
    const std::size_t before = service.OpenCallCount();
    EXPECT_EQ(Execute(u"\\Application", u"properties"), c.result);
    EXPECT_EQ(service.OpenCallCount() - before, c.openCalls);
    EXPECT_EQ(ui().Dialogs().size(), c.result == fs::FS_EXEC_OK ? 1u : 0u);
  }
}

// With a log open, a folder the catalogue does not know has no properties: no dialog on the
// catalogue's placeholder, and no log key made by its OK.
TEST_F(ExecuteTest, PropertiesOfAFolderTheCatalogueDoesNotKnowAreAnError) {
  ASSERT_TRUE(List(u"\\Application").ok);
  ui().ClearDialogs();
  EXPECT_EQ(Execute(u"\\NoSuchLog", u"properties"), fs::FS_EXEC_ERROR);
  EXPECT_TRUE(ui().Dialogs().empty());
  EXPECT_FALSE(registry().KeyExists(support::kEventLogKey + u"NoSuchLog"));
  EXPECT_FALSE(registry().KeyExists(support::kEventLogKey + u"Unknown"));
}

TEST_F(ExecuteTest, ALogThatHasGoneFromTheServiceIsAnError) {
  machine().eventlog().SetOpenFails(u"Application", platform::err::kAccessDenied);
  EXPECT_EQ(Execute(u"\\Application", u"properties"), fs::FS_EXEC_ERROR);
  EXPECT_TRUE(ui().Dialogs().empty());
}

}  // namespace
}  // namespace qb
