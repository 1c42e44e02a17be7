// What the Windows test programs need around their checks: PASS/FAIL lines, text conversion, a
// throwaway folder and UTF-16 files. (The watchdog for message boxes is the hosts' own, in
// tools/host.)
#pragma once

#include <optional>
#include <string>
#include <string_view>

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

// Copies a file into `folder` under its own name (a failure is a failed check); its new path.
std::wstring CopyInto(const std::wstring& source, const std::wstring& folder);

// Whether this process runs with the built-in Administrators group in its token.
bool IsAdministrator();

// Runs this program again with `arguments` and waits at most `timeoutMs` for it: its exit
// status, kStillRunning when it was stopped after the time, nullopt when it could not start.
inline constexpr DWORD kStillRunning = 0x103;
std::optional<DWORD> RunSelf(const std::wstring& arguments, DWORD timeoutMs);

// A child's exit status when one of its own checks failed (not a crash or a hang).
inline constexpr DWORD kChildCheckFailed = 3;

// A case a child process runs: its name on the command line, what it checks.
struct ChildCase {
  const wchar_t* name;
  const char* what;
};

}  // namespace qb::winetest
