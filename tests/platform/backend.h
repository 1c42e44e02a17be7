// The platform under test for the behaviour suites, and the few set-ups its interfaces cannot
// make themselves. backend_sim.cpp gives a fresh simulated machine (the native test program),
// backend_win32.cpp the Windows backend (the Windows test program, under Wine or on Windows).
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace qb::suite {

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
