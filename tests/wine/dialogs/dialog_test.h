// What the groups of dialog checks share: the loaded plugin, the simulated service holding its
// records, and the host window whose thread runs the dialogs.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/window_user.h"
#include "host_interface.h"
#include "plugin_test_records.h"

namespace qb::sim {
class SimEventLogService;
}

namespace qb::winetest::dialogs {

class HostWindow;
using host::BoxText;

// The user of one session: the person at the screen (tools/host/window_user.h) with what the
// session knows, the host's thread that runs the dialogs, whether the plugin's call has
// returned (a dialog that has not come by then never will) and where pictures go.
class User {
 public:
  User(DWORD hostThread, const std::atomic<bool>& callReturned, std::wstring screenshots)
      : hostThread_(hostThread),
        callReturned_(callReturned),
        screenshots_(std::move(screenshots)) {}

  HWND WaitForDialog(HWND owner, DWORD timeoutMs = host::kAppearTimeoutMs) const {
    return host::WaitForDialog(owner, &callReturned_, timeoutMs);
  }
  // Until `condition` holds; false when it still fails at the end. A message box that appears
  // over `watched` meanwhile is reported as a failure and closed.
  bool WaitUntil(const std::function<bool()>& condition, HWND watched,
                 DWORD timeoutMs = host::kChangeTimeoutMs) const;
  bool WaitGone(HWND window, DWORD timeoutMs = host::kChangeTimeoutMs) const {
    return host::WaitGone(window, timeoutMs);
  }
  bool WaitForFocusIn(HWND dialog) const { return host::WaitForFocusIn(dialog); }
  void Sync(HWND dialog) const { host::Sync(dialog); }

  static HWND Control(HWND dialog, int id) { return host::ControlOf(dialog, id); }
  static std::wstring WindowText(HWND window) { return host::WindowText(window); }
  std::wstring Text(HWND dialog, int id) const { return host::ControlText(dialog, id); }
  bool Checked(HWND dialog, int id) const { return host::IsChecked(Control(dialog, id)); }
  bool Enabled(HWND dialog, int id) const { return host::IsControlEnabled(dialog, id); }
  // The control id of the focused control of the host's thread, 0 when none has the focus.
  int FocusedId() const {
    HWND focus = host::FocusOfThread(hostThread_);
    return focus != nullptr ? GetDlgCtrlID(focus) : 0;
  }
  static std::vector<int> TabOrder(HWND dialog, int from) { return host::TabOrder(dialog, from); }
  static int DefaultId(HWND dialog) { return host::DefaultId(dialog); }

  // A click as the mouse gives it (a radio button checks itself).
  void Click(HWND dialog, int id) const { host::Click(dialog, id); }
  // A key pressed where the host's focus is.
  void Press(WORD virtualKey) const { host::PressKeyOnThread(hostThread_, virtualKey); }
  std::optional<BoxText> Answer(HWND owner, int button) const {
    return host::AnswerBox(owner, button, &callReturned_);
  }
  // The save-file dialog over `owner` given `path`; the overwrite prompt, answered Yes, in
  // `prompted` when one came. False when the dialog did not come or did not close.
  bool SaveAs(HWND owner, const std::wstring& path, std::optional<BoxText>* prompted) const;
  // With screenshots on: a PNG of the window in the screenshot folder.
  void Shoot(HWND window, const wchar_t* fileName) const;

 private:
  DWORD hostThread_;
  const std::atomic<bool>& callReturned_;
  std::wstring screenshots_;
};

inline constexpr wchar_t kLog[] = L"Application";

// ApplicationRecords() and one more, the newest, whose source has hyphens and whose binary
// data ends in a part of a line and a part of a word.
inline constexpr std::size_t kHyphenRecord = 7;
std::vector<TestRecord> DialogRecords();

struct Fixture {
  PluginExports fs;
  std::wstring pluginFolder;  // where the loaded copy lies, with Language\ beside it
  std::wstring pluginPath;    // the loaded copy
  std::wstring workFolder;    // files the test makes: the log file, saved backups
  std::wstring logFile;       // the log's file as the File value of its key names it, expanded
  std::wstring logFileValue;  // that value: logFile, or a path of the system with %SystemRoot%
  std::wstring screenshots;   // empty: no pictures
  sim::SimEventLogService* service = nullptr;
  std::vector<TestRecord> records;  // oldest first, numbered as the service stores them
  bool modern = false;              // the system reports major version 6 or later
  bool highDpi = false;             // the process started at 144 DPI
};

// Control ids as a check's message shows them.
std::string IdList(const std::vector<int>& ids);

// Everything FsFindFirstW / FsFindNextW list for `path`, in order.
std::vector<std::wstring> ListNames(const Fixture& fixture, const std::wstring& path);

// The records listed newest first, as the host shows them: entry i (from 1, after "..") is
// records[size - i].
const TestRecord& RecordAtEntry(const Fixture& fixture, int entry);
int EntryOf(const Fixture& fixture, std::size_t recordIndex);

// The records the simulated log holds now (through the service, under its lock).
std::uint32_t LiveRecordCount(const Fixture& fixture);
// Puts the fixture's records back into the emptied log, numbered from 1 again.
bool RefillLog(Fixture& fixture);

// Calls FsExecuteFileW on this thread, the host's, while `act` plays the user on another
// thread; the call's result. A dialog left open once `act` is done is reported and closed; a
// call that does not return even then ends the run with a FAIL line.
int RunSession(const Fixture& fixture, HWND mainWindow, const std::wstring& remote,
               const wchar_t* verb, const std::function<void(User&)>& act);

// The groups of checks, in the order the test runs them.
void CheckViewer(Fixture& fixture);
void CheckLogProperties(Fixture& fixture);
void CheckSettings(Fixture& fixture);
// In the process started at 144 DPI, instead of the groups above.
void CheckHighDpi(Fixture& fixture);

}  // namespace qb::winetest::dialogs
