// The log properties: what they show, OK and Cancel in the registry, backing up (onto a new
// and onto an existing file), Save and Clear and plain Clear with the confirmation dialog.
#include "dialog_test.h"
#include "dialogs/clear_confirm.h"
#include "dialogs/log_properties.h"
#include "evt_backups.h"
#include "host_window.h"
#include "platform/sim/services/eventlog_service.h"
#include "plugin_test_registry.h"
#include "real_files.h"
#include "system_texts.h"
#include "wine_test_support.h"

namespace qb::winetest::dialogs {
namespace {

namespace p = qb::props;
namespace c = qb::confirm;

constexpr DWORD kNeverOverwrite = 0xFFFFFFFF;
constexpr DWORD kDefaultDays = 7;  // the day count the dialog starts with

std::wstring Caption() {
  return std::wstring(kLog) + L" log properties";
}

std::wstring LogKey() {
  return std::wstring(kEventLogKey) + L"\\" + kLog;
}

// "AutoBackupLogFiles" and "Retention" as the registry holds them; "-" for a missing value.
std::string RegistryState() {
  auto key = RegistryKey::Open(LogKey());
  if (!key) return "no key";
  const auto show = [](std::optional<DWORD> value) {
    return value ? std::to_string(*value) : std::string("-");
  };
  return "AutoBackupLogFiles=" + show(key->Dword(L"AutoBackupLogFiles")) +
         " Retention=" + show(key->Dword(L"Retention"));
}

std::vector<std::uint8_t> CurrentEvt(const Fixture& fixture) {
  const auto bytes = fixture.service->SaveEvt(u"Application");
  std::vector<std::uint8_t> out(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) out[i] = std::to_integer<std::uint8_t>(bytes[i]);
  return out;
}

std::string Names(const std::vector<std::wstring>& names) {
  std::string text;
  for (const auto& name : names) text += " " + Narrow(name);
  return text;
}

// The values of the top panel and the group box for the log as the fixture made it.
void CheckShownValues(const Fixture& fixture, User& user, HWND dialog) {
  const auto& records = fixture.records;
  const auto when = [](const TestRecord& r) {
    return LocalDate(r.contents.timeGenerated) + L" " + LocalTime(r.contents.timeGenerated);
  };
  const struct {
    int id;
    const char* name;
    std::wstring text;
  } expected[] = {
      {p::LogFileLabel, "log file", fixture.logFile},
      {p::SizeLabel, "file size in kB", L"10"},
      {p::RecordLabel, "records", Thousands(records.size())},
      {p::OldestRecordLabel, "oldest record", when(records.front())},
      {p::NewestRecordLabel, "newest record", when(records.back())},
      {p::GuestAccessLabel, "guest access", L"Enabled"},
      {p::MaxSizeLabel, "maximum size in kB", Thousands(20480)},
      {p::RadioButton2, "second option",
       fixture.modern ? L"Archive the log when full, do not overwrite events"
                      : L"Overwrite events older than"},
  };
  Check(user.WindowText(dialog) == Caption(), "the log properties are captioned \"" +
                                                  Narrow(Caption()) + "\" (got \"" +
                                                  Narrow(user.WindowText(dialog)) + "\")");
  for (const auto& [id, name, text] : expected) {
    const std::wstring shown = user.Text(dialog, id);
    Check(shown == text, std::string("the log properties show the ") + name + " \"" + Narrow(text) +
                             "\" (got \"" + Narrow(shown) + "\")");
  }
  Check(user.Checked(dialog, p::RadioButton1) && !user.Checked(dialog, p::RadioButton2) &&
            !user.Checked(dialog, p::RadioButton3),
        "with no retention the first option, overwrite as needed, is checked");
  Check(user.Enabled(dialog, p::Button1) && user.Enabled(dialog, p::Button2),
        "a log with records can be cleared and backed up");
}

// OK has the focus and is the default button; Tab goes from the log file through the option
// checked (the day count is hidden or disabled, the up-down is no tab stop) to OK, Cancel,
// Clear and Backup.
void CheckKeyboard(User& user, HWND dialog) {
  Check(user.WaitForFocusIn(dialog) && user.FocusedId() == p::OKBtn,
        "OK has the focus when the log properties open (the focus is on " +
            std::to_string(user.FocusedId()) + ")");
  Check(User::DefaultId(dialog) == p::OKBtn, "OK is the log properties' default button");
  const std::vector<int> expected = {p::RadioButton1, p::OKBtn,   p::CancelBtn,
                                     p::Button1,      p::Button2, p::LogFileLabel};
  const auto order = User::TabOrder(dialog, p::LogFileLabel);
  Check(order == expected,
        "Tab goes from the log file to the checked option, OK, Cancel, Clear "
        "and Backup (got" +
            IdList(order) + ", expected" + IdList(expected) + ")");
}

// Waits until the dialog shows `count` records and the log holds as many.
bool ShowsRecordCount(const Fixture& fixture, User& user, HWND dialog, std::uint32_t count,
                      HWND watched) {
  return user.WaitUntil(
      [&] {
        return LiveRecordCount(fixture) == count &&
               user.Text(dialog, p::RecordLabel) == Thousands(count);
      },
      watched);
}

// Clear Event Log..., the confirmation answered with `button`.
HWND ConfirmClear(User& user, HWND dialog, int button, bool picture) {
  user.Click(dialog, p::Button1);
  HWND confirm = user.WaitForDialog(dialog);
  if (!Check(confirm != nullptr, "Clear Event Log... asks in a dialog over the properties")) {
    return nullptr;
  }
  const struct {
    int id;
    const wchar_t* text;
  } expected[] = {
      {c::Label1, L"You can save the contents of this event log before cleaning it."},
      {c::Button1, L"Save and Clear"},
      {c::Button2, L"Clear"},
      {c::Button3, L"Cancel"},
  };
  std::string problem;
  if (user.WindowText(confirm) != Caption()) {
    problem += " caption \"" + Narrow(user.WindowText(confirm)) + "\"";
  }
  for (const auto& [id, text] : expected) {
    if (user.Text(confirm, id) != text) problem += " \"" + Narrow(user.Text(confirm, id)) + "\"";
  }
  Check(
      problem.empty(),
      "the confirmation has the properties' caption, the question and its three buttons" + problem);
  if (picture) user.Shoot(confirm, L"clear-confirmation.png");
  user.Click(confirm, button);
  Check(user.WaitGone(confirm), "a button of the confirmation closes it");
  return confirm;
}

// The properties shown, checked and pictured; the third option chosen and Cancel.
void CancelWritesNothing(const Fixture& fixture, HWND host) {
  const std::string before = RegistryState();
  RunSession(fixture, host, std::wstring(L"\\") + kLog, L"properties", [&](User& user) {
    HWND dialog = user.WaitForDialog(host);
    if (!Check(dialog != nullptr, "properties on the log folder shows the log properties")) return;
    CheckShownValues(fixture, user, dialog);
    CheckKeyboard(user, dialog);
    user.Shoot(dialog, L"log-properties.png");
    user.Click(dialog, p::RadioButton3);
    Check(user.WaitUntil([&] { return user.Checked(dialog, p::RadioButton3); }, dialog),
          "clicking the third option checks it");
    user.Click(dialog, p::CancelBtn);
    Check(user.WaitGone(dialog), "Cancel closes the log properties");
  });
  Check(RegistryState() == before,
        "Cancel writes nothing (" + RegistryState() + ", before " + before + ")");
}

void OkWritesRetention(const Fixture& fixture, HWND host) {
  RunSession(fixture, host, std::wstring(L"\\") + kLog, L"properties", [&](User& user) {
    HWND dialog = user.WaitForDialog(host);
    if (!Check(dialog != nullptr, "the log properties open again")) return;
    user.Click(dialog, p::RadioButton2);
    Check(user.WaitUntil([&] { return user.Checked(dialog, p::RadioButton2); }, dialog),
          "clicking the second option checks it");
    user.Click(dialog, p::OKBtn);
    Check(user.WaitGone(dialog), "OK closes the log properties");
  });
  // Vista and later archive a full log; before, the option keeps the days in the box.
  const std::string expected =
      fixture.modern ? "AutoBackupLogFiles=1 Retention=" + std::to_string(kNeverOverwrite)
                     : "AutoBackupLogFiles=0 Retention=" + std::to_string(kDefaultDays * 86400);
  Check(RegistryState() == expected,
        "OK writes the second option (" + RegistryState() + ", expected " + expected + ")");
}

void BackupAndSaveAndClear(const Fixture& fixture, HWND host) {
  const std::wstring folder = fixture.workFolder + L"\\saved";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring fresh = folder + L"\\backup.evt";
  const std::wstring existing = folder + L"\\existing.evt";
  const std::wstring cleared = folder + L"\\cleared.evt";
  Check(WriteBytes(existing, {'o', 'l', 'd'}), "a file to back up onto is made");

  RunSession(fixture, host, std::wstring(L"\\") + kLog, L"properties", [&](User& user) {
    HWND dialog = user.WaitForDialog(host);
    if (!Check(dialog != nullptr, "the log properties open for backing up")) return;
    Check(user.Checked(dialog, p::RadioButton2), "the option OK wrote is checked when they open");

    const struct {
      const wchar_t* path;
      bool exists;
      const char* what;
    } backups[] = {{fresh.c_str(), false, "a new file"},
                   {existing.c_str(), true, "an existing file"}};
    for (const auto& [path, exists, what] : backups) {
      const auto expected = CurrentEvt(fixture);
      user.Click(dialog, p::Button2);
      std::optional<BoxText> prompt;
      Check(user.SaveAs(dialog, path, &prompt),
            std::string("Backup Event Log... takes ") + what + " in the save dialog");
      Check(prompt.has_value() == exists,
            std::string("the save dialog asks before replacing only ") +
                (exists ? "an existing file" : "(no question for a new file)") +
                (prompt ? " (asked \"" + Narrow(prompt->text) + "\")" : ""));
      Check(user.WaitUntil([&] { return ReadBytes(path) == expected; }, dialog),
            std::string("the backup onto ") + what + " holds the log's records");
    }
    Check(LiveRecordCount(fixture) == fixture.records.size(), "backing up keeps the records");

    const auto expected = CurrentEvt(fixture);
    if (ConfirmClear(user, dialog, c::Button1, true) == nullptr) return;
    Check(user.SaveAs(dialog, cleared, nullptr), "Save and Clear asks for a file to save to");
    Check(ShowsRecordCount(fixture, user, dialog, 0, dialog),
          "Save and Clear empties the log and the properties show 0 records");
    Check(ReadBytes(cleared) == expected, "the file saved before clearing holds the records");
    Check(
        user.WaitUntil(
            [&] { return !user.Enabled(dialog, p::Button1) && !user.Enabled(dialog, p::Button2); },
            dialog),
        "after Save and Clear the dialog offers neither Clear nor Backup for 0 records");
    user.Click(dialog, p::CancelBtn);
    Check(user.WaitGone(dialog), "Cancel closes the log properties");
  });
  const std::vector<std::wstring> expected = {L"backup.evt", L"cleared.evt", L"existing.evt"};
  Check(FilesIn(folder) == expected,
        "the save folder holds the three chosen files and no temporary one:" +
            Names(FilesIn(folder)));
}

void PlainClear(const Fixture& fixture, HWND host) {
  const int attempts = RealFileBackups::Attempts();
  const auto files = FilesIn(fixture.workFolder + L"\\saved");
  RunSession(fixture, host, std::wstring(L"\\") + kLog, L"properties", [&](User& user) {
    HWND dialog = user.WaitForDialog(host);
    if (!Check(dialog != nullptr, "the log properties open for clearing")) return;
    const auto count = std::uint32_t(fixture.records.size());
    Check(ShowsRecordCount(fixture, user, dialog, count, dialog),
          "the refilled log shows its records");
    // First the confirmation's keys: Save and Clear has the focus and is the default button,
    // Tab goes round the three buttons, Esc answers Cancel.
    user.Click(dialog, p::Button1);
    HWND confirm = user.WaitForDialog(dialog);
    if (!Check(confirm != nullptr, "Clear Event Log... asks again")) return;
    Check(user.WaitForFocusIn(confirm) && user.FocusedId() == c::Button1,
          "Save and Clear has the focus when the confirmation opens");
    Check(User::DefaultId(confirm) == c::Button1, "Save and Clear is the default button");
    const std::vector<int> expected = {c::Button2, c::Button3, c::Button1};
    const auto order = User::TabOrder(confirm, c::Button1);
    Check(order == expected,
          "Tab goes from Save and Clear to Clear, Cancel and back (got" + IdList(order) + ")");
    user.Press(VK_ESCAPE);
    Check(user.WaitGone(confirm), "Esc closes the confirmation");
    user.Sync(dialog);
    Check(host::OwnDialogs(dialog).empty() && LiveRecordCount(fixture) == count &&
              user.Text(dialog, p::RecordLabel) == Thousands(count),
          "Esc in the confirmation asks for no file and clears nothing");
    if (ConfirmClear(user, dialog, c::Button2, false) == nullptr) return;
    // A save dialog here would be reported as unexpected.
    Check(ShowsRecordCount(fixture, user, dialog, 0, dialog),
          "Clear empties the log without asking for a file");
    user.Click(dialog, p::CancelBtn);
    Check(user.WaitGone(dialog), "Cancel closes the log properties");
  });
  Check(
      RealFileBackups::Attempts() == attempts && FilesIn(fixture.workFolder + L"\\saved") == files,
      "Clear saves nothing");
}

// The properties of the emptied log, opened afresh.
void EmptyLog(const Fixture& fixture, HWND host) {
  const std::string before = RegistryState();
  RunSession(fixture, host, std::wstring(L"\\") + kLog, L"properties", [&](User& user) {
    HWND dialog = user.WaitForDialog(host);
    if (!Check(dialog != nullptr, "the log properties open on the empty log")) return;
    Check(user.Text(dialog, p::RecordLabel) == L"0" &&
              user.Text(dialog, p::OldestRecordLabel) == L"N\\A" &&
              user.Text(dialog, p::NewestRecordLabel) == L"N\\A",
          "an empty log shows 0 records and no oldest or newest one");
    Check(!user.Enabled(dialog, p::Button1) && !user.Enabled(dialog, p::Button2),
          "an empty log can be neither cleared nor backed up");
    Check(user.WaitForFocusIn(dialog), "the log properties take the keyboard focus");
    user.Click(dialog, p::RadioButton3);
    Check(user.WaitUntil([&] { return user.Checked(dialog, p::RadioButton3); }, dialog),
          "clicking the third option checks it");
    user.Press(VK_ESCAPE);
    Check(user.WaitGone(dialog), "Esc closes the log properties");
  });
  Check(RegistryState() == before,
        "Esc, the cancel button, writes nothing (" + RegistryState() + ", before " + before + ")");
}

}  // namespace

void CheckLogProperties(Fixture& fixture) {
  HostWindow host(true);
  if (!Check(host.created(), "the host window is made for the log properties")) return;
  host.Focus();
  CancelWritesNothing(fixture, host.main());
  OkWritesRetention(fixture, host.main());
  BackupAndSaveAndClear(fixture, host.main());
  Check(RefillLog(fixture), "the emptied log is filled again");
  PlainClear(fixture, host.main());
  EmptyLog(fixture, host.main());
  Check(RefillLog(fixture), "the emptied log is filled again");
}

}  // namespace qb::winetest::dialogs
