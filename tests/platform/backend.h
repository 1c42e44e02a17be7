// The platform under test for the behaviour suites, and the few set-ups its interfaces cannot
// make themselves. backend_sim.cpp gives a fresh simulated machine (the native test program),
// backend_win32.cpp the Windows backend (the Windows test program, under Wine or on Windows).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace qb::suite {

// The person at the screen of a dialog the interface runs: clicks, keys and what the dialog
// shows. On Windows this is a second thread whose actions take effect a moment later, after
// the dialog's thread has handled them: `Until` waits for what an action brings about.
class DialogUser {
 public:
  using Script = std::function<void(DialogUser&)>;

  virtual ~DialogUser() = default;

  // A mouse click on a button or radio button; nothing on a disabled one.
  virtual void Click(int id) = 0;
  // A key pressed and released in the control with the focus.
  virtual void PressKey(std::uint32_t virtualKey) = 0;
  // The close box of the title bar.
  virtual void CloseBox() = 0;
  // Clicks `id`, whose handler opens another dialog, and acts there with `script`; returns once
  // that dialog has closed.
  virtual void ClickOpening(int id, const Script& script) = 0;
  // Clicks `id`, whose handler shows a message box, and presses `button` (mb::kIdYes, ...)
  // there; the box's caption and text.
  struct Box {
    std::u16string caption, text;
  };
  virtual Box ClickAnswering(int id, int button) = 0;

  // What the dialog shows.
  virtual std::u16string Caption() = 0;
  virtual std::u16string Text(int id) = 0;
  virtual bool IsChecked(int id) = 0;
  virtual bool IsEnabled(int id) = 0;
  virtual bool IsVisible(int id) = 0;
  // The control with the keyboard focus, 0 when none.
  virtual int Focused() = 0;

  // Waits until `done` holds; false when it still does not after a few seconds.
  virtual bool Until(const std::function<bool()>& done) = 0;
};

// A user acting on the next window a call opens over an owner, made before the call. Its end
// waits until the user is done; a window the user expected and did not see, or left open, is
// a test failure.
class UserSession {
 public:
  virtual ~UserSession() = default;
};

// One event of a channel a suite describes, as its publisher writes it.
struct ChannelEvent {
  std::u16string provider;
  std::vector<std::byte> providerGuid;  // 16 bytes, or none for a classic source
  std::uint16_t eventId = 0;
  std::optional<std::uint16_t> qualifiers;
  std::uint8_t level = 4;
  std::uint16_t task = 0;
  std::uint64_t keywords = 0x8000000000000000ull;
  std::uint64_t timeCreated = 0;                                // FILETIME
  std::vector<std::pair<std::u16string, std::u16string>> data;  // named strings, in order
};

// A publisher with a manifest: its events (version 0) with their messages, data names, tasks
// and levels; names of tasks and levels it defines; texts kept as Windows 10 keeps system
// modules' (language file and .mun) or all in the module.
struct PublisherDesc {
  std::u16string name;
  std::u16string guid;  // "{...}"
  struct Event {
    std::uint16_t id = 0;
    std::uint8_t level = 4;
    std::uint16_t task = 0;
    std::u16string message;
    std::vector<std::u16string> data;
  };
  std::vector<Event> events;
  std::map<std::uint16_t, std::u16string> tasks;
  std::map<std::uint32_t, std::u16string> levels;
  std::map<std::uint64_t, std::u16string> keywords;
  std::map<std::uint32_t, std::u16string> parameters;  // its ParameterFileName's messages
  bool split = false;
};

class Backend {
 public:
  // Removes what the test left in its scratch folder and scratch key, and restores the
  // process's current folder.
  virtual ~Backend() = default;

  virtual platform::Platform& Services() = 0;

  // An empty folder of the test's own (full path, no trailing backslash).
  virtual std::u16string ScratchFolder() = 0;
  // A key path below HKEY_CURRENT_USER of the test's own; it does not exist yet.
  virtual std::u16string ScratchKey() = 0;

  // SetFileAttributesW: an existing file made read-only, or writable again.
  virtual void SetReadOnly(std::u16string_view file, bool readOnly) = 0;
  // SetEnvironmentVariableW and SetCurrentDirectoryW of the process.
  virtual void SetEnvironmentValue(std::u16string_view name, std::u16string_view value) = 0;
  virtual void SetCurrentFolder(std::u16string_view folder) = 0;
  // GetACP: the code page of ILocale's ANSI conversions.
  virtual unsigned AnsiCodePage() = 0;

  // A live log of the test's own that it may write to and clear, and an event source that
  // writes into it. False when the backend cannot make one: on Windows a new log takes an
  // administrator and the event log service's cooperation, which no test should ask for.
  virtual bool WritableLog(std::u16string& log, std::u16string& source) = 0;

  // --- the Windows Event Log's channels ---

  // A channel of the test's own, its name in `channel`, holding `events` in order with
  // EventRecordIDs 1, 2, ... False when the backend cannot make one: on Windows a channel
  // takes an installed manifest and an administrator.
  virtual bool ChannelWithEvents(std::span<const ChannelEvent> events, std::u16string& channel) = 0;
  // A publisher of the test's own registered with a manifest (see PublisherDesc). False when
  // the backend cannot register one.
  virtual bool ManifestPublisher(const PublisherDesc& publisher) = 0;
  // An event source of a classic log whose message file holds `messages` (full 32-bit ids).
  virtual bool ClassicSource(std::u16string_view log, std::u16string_view source,
                             const std::map<std::uint32_t, std::u16string>& messages) = 0;
  // From now on the process runs as a standard user (no enabled Administrators group). False
  // when the backend cannot drop its rights.
  virtual bool AsStandardUser() = 0;

  // --- the user interface ---

  // A visible top-level window of the test's own at `place` (screen pixels).
  virtual platform::Handle Window(platform::Rect place) = 0;
  // A list box of the test's own holding `items` unsorted, in which several items can be
  // selected (LBS_EXTENDEDSEL) or one.
  virtual platform::Handle ListBox(const std::vector<std::u16string>& items,
                                   bool multipleSelection) = 0;
  // The clipboard's CF_UNICODETEXT; nullopt when it holds none.
  virtual std::optional<std::u16string> ClipboardText() = 0;
  // The cursor shown; nullopt when it is neither the arrow nor the hourglass.
  virtual std::optional<platform::CursorShape> CursorShown() = 0;
  // Handles the calling thread's messages as its message loop would until `done` holds;
  // false when it still does not after `milliseconds`.
  virtual bool PumpUntil(const std::function<bool()>& done, unsigned milliseconds = 5000) = 0;

  // The next dialog opened over `owner` is acted on by `script`.
  virtual std::unique_ptr<UserSession> ActOnDialog(platform::Handle owner,
                                                   DialogUser::Script script) = 0;
  // The next message box over `owner` is answered with `button`; what it showed goes to `seen`
  // by the session's end.
  virtual std::unique_ptr<UserSession> AnswerMessageBox(platform::Handle owner, int button,
                                                        DialogUser::Box& seen) = 0;
  // In the next save-file dialog over `owner` the user types `path` and clicks Save, answering
  // Yes should the dialog ask whether to replace a file; nullopt: Cancel. By the session's
  // end: the file name the dialog proposed, and whether it asked.
  struct SaveDialogSeen {
    std::u16string proposed;
    bool askedToReplace = false;
  };
  virtual std::unique_ptr<UserSession> AnswerSaveDialog(platform::Handle owner,
                                                        std::optional<std::u16string> path,
                                                        SaveDialogSeen& seen) = 0;
};

// A backend for one test.
std::unique_ptr<Backend> MakeBackend();

// The Windows API behind the backend is Wine's (see differences.h).
bool RunsOnWine();

// Every suite's fixture: a fresh backend per test.
class PlatformTest : public ::testing::Test {
 protected:
  PlatformTest() : backend_(MakeBackend()), services_(backend_->Services()) {}

  Backend& backend() { return *backend_; }
  platform::IRegistry& registry() { return *services_.registry; }
  platform::ISystem& system() { return *services_.system; }
  platform::ILocale& locale() { return *services_.locale; }
  platform::IMessageModules& modules() { return *services_.modules; }
  platform::IAccounts& accounts() { return *services_.accounts; }
  platform::IEventLogService& eventlog() { return *services_.eventlog; }
  platform::IChannelService& channels() { return *services_.channels; }
  platform::IUserInterface& ui() { return *services_.ui; }

 private:
  std::unique_ptr<Backend> backend_;
  platform::Platform& services_;
};

// Files the suites place with ISystem::WriteFile, made the same way for every backend.

// A resource-only DLL of the process's bitness whose message table (language en-US) holds
// these texts.
platform::Bytes MessageLibrary(const std::map<std::uint32_t, std::u16string>& messages);

// One record of a log a suite describes.
struct LogRecord {
  std::uint32_t eventId = 0;
  std::uint16_t type = platform::evtype::kInformation;
  std::uint16_t category = 0;
  std::u16string source;
  std::vector<std::u16string> strings;
};

// A classic .evt file, as BackupEventLogW writes one, of these records numbered from 1.
platform::Bytes EventLogBackup(std::span<const LogRecord> records);

// u"..." in failure messages prints unreadably; this gives UTF-8.
std::string U8(std::u16string_view text);

}  // namespace qb::suite
