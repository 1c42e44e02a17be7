#include <optional>
#include <thread>

#include "dialogs/clear_confirm.h"
#include "dialogs/log_backup.h"
#include "dialogs/log_properties.h"
#include "support/dialog_fixture.h"
#include "util/text.h"

namespace qb {
namespace {

using namespace props;
using support::DialogTest;
using Shown = sim::SimUi::DialogRecord;
constexpr std::uint32_t kNever = 0xFFFFFFFF;
const std::u16string kKey = support::kEventLogKey + u"Application";
const std::u16string kLogFile = u"C:\\Windows\\system32\\config\\AppEvent.Evt";

class LogPropertiesTest : public DialogTest {
 protected:
  LogPropertiesTest() : app_(AddLog(u"Application")) {
    ResetKey();
    files().AddDirectory(u"C:\\Backups");
  }

  // The log's key with its file only, as a fresh machine has it.
  void ResetKey() {
    registry().DeleteTree(platform::RegRoot::kLocalMachine, kKey);
    registry().CreateKey(kKey);
    registry().SetString(kKey, u"File", u"%SystemRoot%\\system32\\config\\AppEvent.Evt",
                         platform::regtype::kExpandSz);
  }

  void Records(std::uint32_t count, std::uint32_t first = 1) {
    app_.oldestNumber = app_.nextNumber = first;
    for (std::uint32_t i = 0; i < count; ++i) {
      auto r = Record(u"Disk", 11 + i, 1);
      r.timeGenerated = 1'199'145'600 + 3600 * i;  // 2008-01-01, an hour apart
      app_.Append(r);
    }
  }

  // The dialog of the Application folder, shown with `script`.
  Shown Show(std::function<void(sim::SimDialog&)> script = {}) {
    if (script) Then(std::move(script));
    Init();
    EXPECT_EQ(Execute(u"\\Application", u"properties"), fs::FS_EXEC_OK);
    return LastDialog();
  }

  std::optional<std::uint32_t> Dword(std::u16string_view name) {
    return registry().GetDword(kKey, name);
  }

  sim::SimEventLog& app_;
};

TEST_F(LogPropertiesTest, ShowsTheLogsValues) {
  Records(5, 101);
  std::string bytes(2'000'000, 'x');
  files().AddFile(kLogFile, bytes);
  registry().SetDword(kKey, u"MaxSize", 20971520);
  const auto d = Show();
  EXPECT_EQ(d.name, u"LogProperties");
  EXPECT_EQ(d.caption, u"Application log properties");
  const std::pair<int, std::u16string> expected[] = {
      {LogFileLabel, kLogFile},
      {SizeLabel, u"1,953"},
      {RecordLabel, u"5"},
      {OldestRecordLabel, u"1/1/2008 12:00:00 AM"},
      {NewestRecordLabel, u"1/1/2008 4:00:00 AM"},  // record 105
      {GuestAccessLabel, u"Disabled"},
      {MaxSizeLabel, u"20,480"},
      {DayEdt, u"7"},
      {cRecordLabel, u"Records:"},
      {Button1, u"Clear Event Log\u2026"},
  };
  for (const auto& [id, text] : expected) EXPECT_EQ(TextOf(d, id), text) << id;
  EXPECT_TRUE(ControlOf(d, Button1).enabled);
  EXPECT_TRUE(ControlOf(d, Button2).enabled);
  // The maximum size follows its label at 20 pixels.
  const auto label = ControlOf(d, cMaxSizeLabel).bounds;
  EXPECT_EQ(ControlOf(d, MaxSizeLabel).bounds.x, label.x + label.width + 20);
}

TEST_F(LogPropertiesTest, ValuesThatAreNotThere) {
  struct Case {
    const char* what;
    std::optional<std::uint32_t> maxSize, guests;
    std::u16string maxText, guestText;
  };
  const Case cases[] = {
      {"nothing in the registry", {}, {}, u"N\\A", u"Disabled"},
      {"under a kilobyte", 1000, 0, u"N\\A", u"Enabled"},
      {"an unknown guest setting", 2048, 2, u"2", u"Disabled"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.maxSize) registry().SetDword(kKey, u"MaxSize", *c.maxSize);
    if (c.guests) registry().SetDword(kKey, u"RestrictGuestAccess", *c.guests);
    const auto d = Show();
    EXPECT_EQ(TextOf(d, MaxSizeLabel), c.maxText);
    EXPECT_EQ(TextOf(d, GuestAccessLabel), c.guestText);
    // No file and no records.
    EXPECT_EQ(TextOf(d, SizeLabel), u"N\\A");
    EXPECT_EQ(TextOf(d, RecordLabel), u"0");
    EXPECT_EQ(TextOf(d, OldestRecordLabel), u"N\\A");
    EXPECT_EQ(TextOf(d, NewestRecordLabel), u"N\\A");
    EXPECT_FALSE(ControlOf(d, Button1).enabled);
    EXPECT_FALSE(ControlOf(d, Button2).enabled);
  }
}

TEST_F(LogPropertiesTest, RetentionShownAndWrittenBackByVersion) {
  struct Case {
    std::uint32_t os;
    std::optional<std::uint32_t> archive, retention;
    int option;
    std::u16string days;
    std::uint32_t writtenArchive, writtenRetention;
  };
  const Case cases[] = {
      {6, 1, 0, RadioButton2, u"7", 1, kNever},
      {6, {}, {}, RadioButton1, u"7", 0, 0},
      {6, 0, kNever, RadioButton3, u"7", 0, kNever},
      {6, 0, 604800, RadioButton3, u"7", 0, kNever},
      {5, {}, kNever, RadioButton3, u"7", 0, kNever},
      {5, 1, 0, RadioButton1, u"7", 0, 0},
      {5, {}, 604800, RadioButton2, u"7", 0, 604800},
      {5, {}, 3600, RadioButton2, u"0", 0, 0},
      {5, {}, 200 * 86400, RadioButton2, u"100", 0, 100 * 86400},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(support::U8(u"os " + util::ToDecimal(c.os) + u" option " +
                             util::ToDecimal(c.option - RadioButton1 + 1)));
    machine().system().SetOsMajorVersion(c.os);
    ResetKey();
    if (c.archive) registry().SetDword(kKey, u"AutoBackupLogFiles", *c.archive);
    if (c.retention) registry().SetDword(kKey, u"Retention", *c.retention);
    const auto d = Show([](sim::SimDialog& dialog) { dialog.Click(OKBtn); });
    EXPECT_EQ(d.result, platform::dlgresult::kOk);
    for (const int option : {RadioButton1, RadioButton2, RadioButton3}) {
      EXPECT_EQ(ControlOf(d, option).checked, option == c.option) << option;
    }
    EXPECT_EQ(TextOf(d, DayEdt), c.days);
    EXPECT_EQ(ControlOf(d, DayEdt).enabled, c.option == RadioButton2);
    const bool modern = c.os >= 6;
    for (const int id : {DayEdt, UpDown1, DayLabel}) {
      EXPECT_EQ(ControlOf(d, id).visible, !modern) << id;
    }
    EXPECT_EQ(TextOf(d, RadioButton2), modern
                                           ? u"Archive the log when full, do not overwrite events"
                                           : u"Overwrite events older than");
    const auto day = ControlOf(d, DayEdt).bounds;
    const auto option2 = ControlOf(d, RadioButton2).bounds;
    EXPECT_EQ(option2.width,
              modern ? ControlOf(d, RadioButton1).bounds.width : day.x - option2.x - 20);
    EXPECT_EQ(Dword(u"AutoBackupLogFiles"), c.writtenArchive);
    EXPECT_EQ(Dword(u"Retention"), c.writtenRetention);
    if (!c.archive && !c.retention) {  // new values: they come in the order written
      EXPECT_EQ(registry().ValueNames(kKey),
                (std::vector<std::u16string>{u"File", u"AutoBackupLogFiles", u"Retention"}));
    }
  }
}

TEST_F(LogPropertiesTest, TheUsersChoiceBelowVersion6) {
  struct Case {
    int option;
    std::u16string typed;
    std::uint32_t retention;
  };
  const Case cases[] = {
      {RadioButton2, u"12", 12 * 86400},
      {RadioButton2, u"", 0},
      {RadioButton2, u"999", 100 * 86400},
      {RadioButton3, u"12", kNever},
      {RadioButton1, u"12", 0},
  };
  machine().system().SetOsMajorVersion(5);
  for (const auto& c : cases) {
    Show([&](sim::SimDialog& d) {
      d.Click(c.option);
      EXPECT_EQ(d.IsEnabled(DayEdt), c.option == RadioButton2);
      d.Type(DayEdt, c.typed);
      d.PressKey(platform::vk::kReturn);  // OK is the default button
    });
    EXPECT_EQ(Dword(u"AutoBackupLogFiles"), 0u);
    EXPECT_EQ(Dword(u"Retention"), c.retention) << support::U8(c.typed);
  }
}

TEST_F(LogPropertiesTest, CancelWritesNothing) {
  for (const auto close : {+[](sim::SimDialog& d) { d.Click(CancelBtn); },
                           +[](sim::SimDialog& d) { d.PressKey(platform::vk::kEscape); },
                           +[](sim::SimDialog& d) { d.CloseBox(); }}) {
    const auto d = Show([&](sim::SimDialog& dialog) {
      dialog.Click(RadioButton3);
      close(dialog);
    });
    EXPECT_EQ(d.result, platform::dlgresult::kCancel);
    EXPECT_TRUE(registry().ValueNames(kKey).size() == 1u);  // File only
  }
}

TEST_F(LogPropertiesTest, ARetentionChoiceThatCannotBeStoredIsTold) {
  const struct {
    const char* what;
    void (*meanwhile)(sim::SimRegistry&, const std::u16string& key);
    const char16_t* reason;
  } cases[] = {
      {"no administrator",
       [](sim::SimRegistry& r, const std::u16string& key) {
         r.SetAllowedAccess(key, platform::access::kKeyRead);
       },
       u"Access is denied."},
      // The log was removed while the dialog was up: its key is not made again.
      {"the log removed",
       [](sim::SimRegistry& r, const std::u16string& key) {
         r.DeleteTree(platform::RegRoot::kLocalMachine, key);
       },
       u"The system cannot find the file specified."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    registry().CreateKey(kKey);
    registry().SetAllowedAccess(kKey, platform::access::kKeyAllAccess);
    const auto d = Show([&](sim::SimDialog& dialog) {
      c.meanwhile(registry(), kKey);
      dialog.Click(OKBtn);
    });
    EXPECT_EQ(d.result, platform::dlgresult::kOk);
    EXPECT_EQ(TakeMessages(), std::vector<std::u16string>{
                                  u"The settings of the event log could not be saved.\r\n\r\n" +
                                  std::u16string(c.reason)});
    EXPECT_FALSE(Dword(u"Retention").has_value());
  }
  EXPECT_FALSE(registry().KeyExists(kKey));
}

TEST_F(LogPropertiesTest, ClearingAsTheConfirmationAnswers) {
  struct Case {
    const char* what;
    int confirmButton;  // 0: Esc
    std::optional<std::u16string> saveAs;
    bool cleared;
    bool saved;
  };
  const std::u16string target = u"C:\\Backups\\app.evt";
  const Case cases[] = {
      {"save and clear", confirm::Button1, target, true, true},
      {"save and clear, save cancelled", confirm::Button1, std::nullopt, false, false},
      {"clear", confirm::Button2, std::nullopt, true, false},
      {"cancel", confirm::Button3, std::nullopt, false, false},
      {"Esc", 0, std::nullopt, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    files().RemoveFile(target);
    app_.Clear();
    const std::size_t requests = ui().SaveRequests().size();
    const std::size_t cursors = ui().CursorHistory().size();
    Records(3);
    ui().QueueSaveAnswer(c.saveAs);
    Then([](sim::SimDialog& d) { d.Click(Button1); });
    Then([&](sim::SimDialog& confirm) {
      EXPECT_EQ(confirm.Caption(), u"Application log properties");
      if (c.confirmButton == 0) {
        confirm.PressKey(platform::vk::kEscape);
      } else {
        confirm.Click(c.confirmButton);
      }
    });
    const auto d = Show();
    EXPECT_EQ(app_.records.empty(), c.cleared);
    EXPECT_EQ(files().FileExists(target), c.saved);
    // Reloaded after a clear was tried; nothing reloaded after a cancel.
    EXPECT_EQ(TextOf(d, RecordLabel), c.cleared ? u"0" : u"3");
    EXPECT_EQ(ControlOf(d, Button1).enabled, !c.cleared);  // an empty log: nothing to clear
    const bool asked = c.confirmButton == confirm::Button1;
    EXPECT_EQ(ui().SaveRequests().size() - requests, asked ? 1u : 0u);
    if (asked) {
      const auto request = ui().SaveRequests().back();
      EXPECT_EQ(request.fileName, u"AppEvent.Evt");
      EXPECT_EQ(request.filterDescription, u"Event files");
      EXPECT_EQ(request.filterPattern, u"*.evtx");
    }
    // The hourglass and back for the clear when it runs, and again for the reload.
    const std::size_t busy = (c.cleared ? 2u : 0u) + (asked || c.cleared ? 2u : 0u);
    EXPECT_EQ(ui().CursorHistory().size() - cursors, busy);
    EXPECT_EQ(ui().Cursor(), platform::CursorShape::kArrow);
    EXPECT_TRUE(TakeMessages().empty());
  }
}

TEST_F(LogPropertiesTest, TheHourglassShowsWhileTheLogIsSavedOrCleared) {
  struct Case {
    const char* what;
    int button;
    int confirmButton;  // 0: no confirmation
    bool existing;      // the chosen file is there already
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"backup", Button2, 0, false, {"BackupEventLogW", "ReplaceFileW"}},
      {"backup onto a file", Button2, 0, true, {"BackupEventLogW", "ReplaceFileW"}},
      {"save and clear", Button1, confirm::Button1, false, {"ClearEventLogW", "ReplaceFileW"}},
      {"clear", Button1, confirm::Button2, false, {"ClearEventLogW"}},
  };
  const std::u16string target = u"C:\\Backups\\app.evt";
  std::vector<std::pair<std::string, platform::CursorShape>> seen;
  const auto record = [&](std::string_view api) { seen.emplace_back(api, ui().Cursor()); };
  machine().eventlog().SetCallHook([&](std::string_view api, std::u16string_view) { record(api); });
  files().SetCallHook(record);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    seen.clear();
    files().RemoveFile(target);
    if (c.existing) files().AddFile(target, std::string_view("old"));
    app_.Clear();
    Records(2);
    if (c.confirmButton != confirm::Button2) ui().QueueSaveAnswer(target);
    Then([&](sim::SimDialog& d) { d.Click(c.button); });
    if (c.confirmButton != 0) Then([&](sim::SimDialog& d) { d.Click(c.confirmButton); });
    Show();
    std::vector<std::string> calls;
    for (const auto& [api, cursor] : seen) {
      calls.push_back(api);
      EXPECT_EQ(cursor, platform::CursorShape::kWait) << api;
    }
    EXPECT_EQ(calls, c.calls);
    EXPECT_EQ(ui().Cursor(), platform::CursorShape::kArrow);
    EXPECT_TRUE(TakeMessages().empty());
  }
  machine().eventlog().SetCallHook({});
  files().SetCallHook({});
}

TEST_F(LogPropertiesTest, TheSaveDialogOffersTheFileTypeOfTheVersion) {
  Records(1);
  for (const auto& [os, pattern] : {std::pair{6u, u"*.evtx"}, std::pair{5u, u"*.evt"}}) {
    machine().system().SetOsMajorVersion(os);
    ui().QueueSaveAnswer(std::nullopt);
    Show([](sim::SimDialog& d) { d.Click(Button2); });
    ASSERT_FALSE(ui().SaveRequests().empty());
    const auto request = ui().SaveRequests().back();
    EXPECT_EQ(request.fileName, u"AppEvent.Evt");
    EXPECT_EQ(request.filterDescription, u"Event files");
    EXPECT_EQ(request.filterPattern, pattern) << os;
  }
}

TEST_F(LogPropertiesTest, AClearThatFailsIsTold) {
  Records(3);
  machine().eventlog().SetClearFails(u"Application", platform::err::kAccessDenied);
  Then([](sim::SimDialog& d) { d.Click(Button1); });
  Then([](sim::SimDialog& confirm) { confirm.Click(confirm::Button2); });
  const auto d = Show();
  EXPECT_EQ(app_.records.size(), 3u);
  EXPECT_EQ(TakeMessages(), std::vector<std::u16string>{
                                u"The event log could not be cleared.\r\n\r\nAccess is denied."});
  EXPECT_EQ(TextOf(d, RecordLabel), u"3");
  EXPECT_EQ(ui().Cursor(), platform::CursorShape::kArrow);
}

TEST_F(LogPropertiesTest, ABackupReplacesAnExistingFileOrLeavesItAlone) {
  Records(3);
  const std::u16string target = u"C:\\Backups\\app.evt";
  files().AddFile(target, std::string_view("old contents"));
  ui().QueueSaveAnswer(target);
  Show([](sim::SimDialog& d) { d.Click(Button2); });
  const auto saved = files().FileContents(target);
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(*saved, machine().eventlog().SaveEvt(u"Application"));
  std::vector<platform::FindEntry> entries;
  files().FindFiles(u"C:\\Backups\\*", entries);
  EXPECT_EQ(entries.size(), 1u) << "no temporary file stays behind";
  EXPECT_TRUE(TakeMessages().empty());

  // A folder that cannot be written: the old file stays and the user is told why.
  files().AddFile(target, std::string_view("old contents"));
  files().SetReadOnlyFolder(u"C:\\Backups");
  ui().QueueSaveAnswer(target);
  Show([](sim::SimDialog& d) { d.Click(Button2); });
  EXPECT_EQ(FileText(target), u"old contents");
  const auto messages = TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0],
            u"The backup of the event log could not be saved.\r\n\r\nAccess is denied.");

  // The backup is written, but the chosen file cannot be replaced: it stays as it was and the
  // backup goes.
  files().SetReadOnlyFolder(u"C:\\Backups", false);
  files().SetReadOnlyFolder(target);
  ui().QueueSaveAnswer(target);
  std::vector<std::string> calls;
  files().SetCallHook([&](std::string_view api) { calls.emplace_back(api); });
  Show([](sim::SimDialog& d) { d.Click(Button2); });
  files().SetCallHook({});
  EXPECT_EQ(calls, std::vector<std::string>{"ReplaceFileW"});
  EXPECT_EQ(FileText(target), u"old contents");
  files().FindFiles(u"C:\\Backups\\*", entries);
  EXPECT_EQ(entries.size(), 1u) << "the backup written is deleted";
  EXPECT_EQ(TakeMessages(),
            std::vector<std::u16string>{
                u"The backup of the event log could not be saved.\r\n\r\nAccess is denied."});
}

TEST_F(LogPropertiesTest, SaveAndClearNeverLosesRecords) {
  Records(3);
  // The chosen name is a folder: the records are saved beside it and the log cleared once, but
  // they cannot take the folder's place. The user learns where they are.
  files().AddDirectory(u"C:\\Backups\\app.evt");
  ui().QueueSaveAnswer(u"C:\\Backups\\app.evt");
  Then([](sim::SimDialog& d) { d.Click(Button1); });
  Then([](sim::SimDialog& confirm) { confirm.Click(confirm::Button1); });
  const auto d = Show();
  EXPECT_TRUE(app_.records.empty());
  std::vector<platform::FindEntry> entries;
  files().FindFiles(u"C:\\Backups\\~qb*", entries);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(TakeMessages(),
            std::vector<std::u16string>{u"The event log was cleared and its records were saved to "
                                        u"C:\\Backups\\" +
                                        entries[0].name +
                                        u", but that file could not replace C:\\Backups\\app.evt."
                                        u"\r\n\r\nAccess is denied."});

  // A folder that cannot be written: nothing is cleared.
  Records(2);
  files().SetReadOnlyFolder(u"C:\\Backups");
  ui().QueueSaveAnswer(u"C:\\Backups\\other.evt");
  Then([](sim::SimDialog& dialog) { dialog.Click(Button1); });
  Then([](sim::SimDialog& confirm) { confirm.Click(confirm::Button1); });
  Show();
  EXPECT_EQ(app_.records.size(), 2u);
  EXPECT_EQ(TakeMessages(), std::vector<std::u16string>{
                                u"The event log could not be cleared.\r\n\r\nAccess is denied."});
}

// Two hosts side by side (32- and 64-bit) never pick one name for their backups, and a save
// that finds its file taken never deletes it: it may be the other's only copy of a cleared log.
TEST_F(LogPropertiesTest, SaveAndClearNeverDeletesAFileItDidNotWrite) {
  files().AddDirectory(u"C:\\Backups");
  files().SetProcessId(100);
  const std::u16string mine = BackupSibling(u"C:\\Backups\\app.evt");
  files().SetProcessId(200);
  const std::u16string theirs = BackupSibling(u"C:\\Backups\\app.evt");
  EXPECT_NE(mine.substr(0, mine.find(u'-')), theirs.substr(0, theirs.find(u'-')));
  EXPECT_EQ(mine.rfind(u".evt"), mine.size() - 4);

  Records(3);
  machine().eventlog().SetCallHook([&](std::string_view api, std::u16string_view path) {
    // Another process writes its backup under that very name first.
    if (api == "ClearEventLogW") files().AddFile(path, std::string_view("their backup"));
  });
  ui().QueueSaveAnswer(u"C:\\Backups\\app.evt");
  Then([](sim::SimDialog& d) { d.Click(Button1); });
  Then([](sim::SimDialog& confirm) { confirm.Click(confirm::Button1); });
  Show();
  machine().eventlog().SetCallHook({});
  EXPECT_EQ(app_.records.size(), 3u);
  std::vector<platform::FindEntry> entries;
  files().FindFiles(u"C:\\Backups\\~qb*", entries);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(FileText(u"C:\\Backups\\" + entries[0].name), u"their backup");
  EXPECT_EQ(TakeMessages().size(), 1u);
}

TEST_F(LogPropertiesTest, ALogThatDoesNotReopenShowsNoCountAndCannotBeCleared) {
  Records(3);
  machine().eventlog().SetOpenFails(u"Application", platform::err::kAccessDenied);
  std::recursive_mutex lock;
  const DialogContext context{log(), language(), lock};
  ShowLogProperties(context, kHostWindow, u"Application");
  const auto d = LastDialog();
  for (const int id : {RecordLabel, OldestRecordLabel, NewestRecordLabel}) {
    EXPECT_EQ(TextOf(d, id), u"N\\A") << id;
  }
  EXPECT_FALSE(ControlOf(d, Button1).enabled);
  EXPECT_FALSE(ControlOf(d, Button2).enabled);
}

TEST_F(LogPropertiesTest, TheSizeLookupUnderWow64SwitchesRedirectionOffAndOnAgain) {
  files().AddFile(kLogFile, std::string(4096, 'x'));
  machine().system().SetWow64(sim::SimSystem::Wow64::kWow64);
  EXPECT_EQ(LogFileSize(kLogFile), 4096u);
  EXPECT_EQ(machine().system().RedirectionDepth(), 0);
  EXPECT_EQ(LogFileSize(u"C:\\nothing.evt"), 0u);
}

TEST_F(LogPropertiesTest, OnlyUnderWow64TheSizeLookupRunsOnAThreadOfItsOwn) {
  using Wow64 = sim::SimSystem::Wow64;
  files().AddFile(kLogFile, std::string(2048, 'x'));
  for (const auto mode : {Wow64::kNative, Wow64::kWow64, Wow64::kFunctionMissing}) {
    machine().system().SetWow64(mode);
    const bool wow64 = mode == Wow64::kWow64;
    Show();
    EXPECT_EQ(TextOf(LastDialog(), SizeLabel), u"2");
    const auto lookup = machine().system().LastLookup();
    ASSERT_TRUE(lookup.has_value());
    EXPECT_EQ(lookup->pattern, kLogFile);
    // The dialog runs on this thread; redirection is off only where the lookup runs.
    EXPECT_EQ(lookup->thread == std::this_thread::get_id(), !wow64) << static_cast<int>(mode);
    EXPECT_EQ(lookup->redirectionOff, wow64) << static_cast<int>(mode);
    EXPECT_EQ(machine().system().RedirectionDepth(), 0);
  }
}

}  // namespace
}  // namespace qb
