// The suites' backend in the Windows test program: the Windows backend against the real API,
// with a scratch folder under TEMP and a scratch key under HKEY_CURRENT_USER per test.
#include <string>
#include <vector>

#include "backend.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/windows_api.h"

namespace qb::suite {
namespace {

using win32::FromWide;
using win32::Terminated;

// Deletes a folder with everything in it; the "\\?\" form reaches paths beyond MAX_PATH.
void RemoveTree(const std::wstring& folder) {
  const std::wstring base = folder.rfind(L"\\\\?\\", 0) == 0 ? folder : L"\\\\?\\" + folder;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((base + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = base + L"\\" + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveTree(path);
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryW(base.c_str());
}

class Win32Backend final : public Backend {
 public:
  Win32Backend() {
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    savedFolder_ = current;
    static int serial = 0;
    const std::wstring unique =
        std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(++serial);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    // The long form: GetTempPathW may give a short one.
    wchar_t longTemp[MAX_PATH] = {};
    GetLongPathNameW(temp, longTemp, MAX_PATH);
    folder_ = std::wstring(longTemp) + L"Quillerbankton Suite " + unique;
    CreateDirectoryW(folder_.c_str(), nullptr);
    key_ = u"Software\\Quillerbankton.Suite." + FromWide(unique);
  }

  ~Win32Backend() override {
    SetCurrentDirectoryW(savedFolder_.c_str());
    for (const std::wstring& name : variables_) SetEnvironmentVariableW(name.c_str(), nullptr);
    RemoveTree(folder_);
    platform_.Get().registry->DeleteTree(platform::RegRoot::kCurrentUser, key_);
  }

  platform::Platform& Services() override { return platform_.Get(); }
  std::u16string ScratchFolder() override { return FromWide(folder_); }
  std::u16string ScratchKey() override { return key_; }
  void SetReadOnly(std::u16string_view file, bool readOnly) override {
    SetFileAttributesW(Terminated(file).c_str(),
                       readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
  }
  void SetEnvironmentValue(std::u16string_view name, std::u16string_view value) override {
    variables_.push_back(Terminated(name));
    SetEnvironmentVariableW(variables_.back().c_str(), Terminated(value).c_str());
  }
  void SetCurrentFolder(std::u16string_view folder) override {
    SetCurrentDirectoryW(Terminated(folder).c_str());
  }
  unsigned AnsiCodePage() override { return GetACP(); }
  bool WritableLog(std::u16string&, std::u16string&) override { return false; }

 private:
  win32::Win32Platform platform_;
  std::wstring savedFolder_;
  std::wstring folder_;
  std::u16string key_;
  std::vector<std::wstring> variables_;
};

}  // namespace

std::unique_ptr<Backend> MakeBackend() {
  return std::make_unique<Win32Backend>();
}

bool RunsOnWine() {
  static const bool wine =
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

}  // namespace qb::suite
