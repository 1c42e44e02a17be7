// What the Windows test programs need around their checks: PASS/FAIL lines, text conversion, a
// throwaway folder, UTF-16 files and a watchdog for message boxes.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/win32/windows_api.h"

namespace qb::winetest {

// Prints "PASS: what" or "FAIL: what" and counts the failures.
bool Check(bool ok, const std::string& what);
int Failures();
void Note(const std::string& text);  // an "INFO:" line

// ASCII as it is, anything else as '?': enough for readable lines in the log.
std::string Narrow(std::wstring_view text);
std::wstring Wide(std::u16string_view text);

std::wstring FolderOf(const std::wstring& path);
std::wstring OwnFolder();

// A new, empty folder under the temporary folder; removed with its contents at the end.
class TempFolder {
 public:
  explicit TempFolder(std::wstring_view prefix);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  bool created() const { return created_; }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
  bool created_ = false;
};

// The text of a file that begins with the UTF-16 LE byte-order mark, without the mark;
// nullopt when the file cannot be read or has no mark.
std::optional<std::wstring> ReadUtf16File(const std::wstring& path);

// Host callbacks that do nothing: the tests do not watch progress or logging.
int WINAPI QuietProgress(int pluginNr, wchar_t* source, wchar_t* target, int percent);
void WINAPI QuietLog(int pluginNr, int type, wchar_t* text);
BOOL WINAPI QuietRequest(int pluginNr, int type, wchar_t* title, wchar_t* text, wchar_t* answer,
                         int maxlen);

// Whether this process runs with the built-in Administrators group in its token.
bool IsAdministrator();

// A message box would stop an unattended run for good: the watchdog closes every dialog box of
// this process and keeps its text, so that the run ends and says why.
class DialogWatchdog {
 public:
  DialogWatchdog();
  ~DialogWatchdog();
  DialogWatchdog(const DialogWatchdog&) = delete;
  DialogWatchdog& operator=(const DialogWatchdog&) = delete;
  // Stops watching and gives the texts of the boxes closed.
  std::vector<std::wstring> Stop();

 private:
  static BOOL CALLBACK Visit(HWND window, LPARAM self);
  void Run();

  std::atomic<bool> stop_{false};
  std::vector<std::wstring> texts_;
  std::thread thread_;
};

}  // namespace qb::winetest
