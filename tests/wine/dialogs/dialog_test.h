// What the groups of dialog checks share: the loaded plugin, the simulated service holding its
// records, and the host window whose thread runs the dialogs.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host_interface.h"
#include "plugin_test_records.h"

namespace qb::sim {
class SimEventLogService;
}

namespace qb::winetest::dialogs {

class HostWindow;
class User;

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
