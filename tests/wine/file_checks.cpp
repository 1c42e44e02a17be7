// Replacing, deleting and resolving files with Win32System, in a scratch folder under TEMP.
#include <cstdio>
#include <string>
#include <vector>

#include "check.h"
#include "platform/win32/system.h"
#include "platform/win32/wide.h"
#include "platform/win32/windows_api.h"
#include "platform_checks.h"

namespace qb::wine_test {
namespace {

using platform::Bytes;

Bytes AsBytes(std::string_view text) {
  const auto* begin = reinterpret_cast<const std::byte*>(text.data());
  return Bytes(begin, begin + text.size());
}

std::u16string U16(const std::wstring& text) {
  return win32::FromWide(text);
}

void Replacing(win32::Win32System& system, const std::wstring& folder) {
  const std::u16string from = U16(folder + L"\\new.evtx");
  const std::u16string to = U16(folder + L"\\Backup.evtx");
  const std::wstring sub = folder + L"\\sub";
  const struct {
    const char* what;
    bool fromExists, toExists, toReadOnly, toFolder;
    platform::ErrorCode error;
  } cases[] = {
      {"onto nothing", true, false, false, false, 0},
      {"over a file", true, true, false, false, 0},
      {"from nothing", false, true, false, false, ERROR_FILE_NOT_FOUND},
      {"over a read-only file", true, true, true, false, ERROR_ACCESS_DENIED},
      {"over a folder", true, false, false, true, ERROR_ACCESS_DENIED},
  };
  for (const auto& c : cases) {
    const std::u16string target = c.toFolder ? U16(sub) : to;
    if (c.fromExists) system.WriteFile(from, AsBytes("new"));
    if (c.toExists) system.WriteFile(target, AsBytes("old"));
    if (c.toFolder) CreateDirectoryW(sub.c_str(), nullptr);
    const std::wstring targetName = win32::Terminated(target);
    if (c.toReadOnly) SetFileAttributesW(targetName.c_str(), FILE_ATTRIBUTE_READONLY);

    const platform::ErrorCode error = system.ReplaceFile(from, target);
    Bytes data;
    bool ok = QB_CHECK(error == c.error);
    if (c.error == 0) {
      // In one step: the target has the new contents and the source is gone.
      ok = QB_CHECK(system.ReadFile(target, data) == 0 && data == AsBytes("new")) &&
           QB_CHECK(!system.FileExists(from)) && ok;
    } else if (c.fromExists && !c.toFolder) {
      ok = QB_CHECK(system.ReadFile(target, data) == 0 && data == AsBytes("old")) &&
           QB_CHECK(system.FileExists(from)) && ok;
    }
    if (!ok) std::printf("  replacing %s\n", c.what);
    SetFileAttributesW(targetName.c_str(), FILE_ATTRIBUTE_NORMAL);
    system.DeleteFile(from);
    system.DeleteFile(to);
    RemoveDirectoryW(sub.c_str());
  }
}

void Deleting(win32::Win32System& system, const std::wstring& folder) {
  const std::u16string file = U16(folder + L"\\gone.evt");
  QB_CHECK(system.WriteFile(file, AsBytes("x")) == 0);
  QB_CHECK(system.DeleteFile(file) == 0 && !system.FileExists(file));
  QB_CHECK(system.DeleteFile(file) == ERROR_FILE_NOT_FOUND);
  QB_CHECK(system.DeleteFile(U16(folder + L"\\no\\gone.evt")) == ERROR_PATH_NOT_FOUND);
}

void FullPaths(win32::Win32System& system, const std::wstring& folder) {
  wchar_t saved[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, saved);
  SetCurrentDirectoryW(folder.c_str());
  // Longer than MAX_PATH: the buffer grows to what the call asks for.
  const std::wstring deep(300, L'd');
  const struct {
    std::wstring path, full;
  } cases[] = {
      {L"Backup.evtx", folder + L"\\Backup.evtx"},
      {L"a\\..\\.\\b.evt", folder + L"\\b.evt"},
      {L"C:\\Logs\\.\\old\\..\\new.evt", L"C:\\Logs\\new.evt"},
      {deep + L"\\x.evt", folder + L"\\" + deep + L"\\x.evt"},
  };
  for (const auto& c : cases) {
    if (!QB_CHECK(system.FullPathName(U16(c.path)) == U16(c.full))) {
      std::printf("  full path of %ls\n", c.path.substr(0, 40).c_str());
    }
  }
  SetCurrentDirectoryW(saved);
}

// Writing never loses the old file, and long names are written as short ones are.
void Writing(win32::Win32System& system, const std::wstring& folder) {
  const std::wstring file = folder + L"\\kept.txt";
  QB_CHECK(system.WriteFile(U16(file), AsBytes("old")) == 0);
  // Where the sibling would go something is in the way: the write fails, the old file stays.
  const std::wstring sibling = file + L".~qb" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(GetCurrentThreadId());
  QB_CHECK(CreateDirectoryW(sibling.c_str(), nullptr));
  QB_CHECK(system.WriteFile(U16(file), AsBytes("new")) != 0);
  Bytes data;
  QB_CHECK(system.ReadFile(U16(file), data) == 0 && data == AsBytes("old"));
  RemoveDirectoryW(sibling.c_str());
  QB_CHECK(system.DeleteFile(U16(file)) == 0);

  // A folder whose path is longer than MAX_PATH.
  std::wstring deep = L"\\\\?\\" + folder;
  std::vector<std::wstring> made;
  while (deep.size() < 330) {
    deep += L"\\" + std::wstring(40, L'd');
    if (!QB_CHECK(CreateDirectoryW(deep.c_str(), nullptr))) return;
    made.push_back(deep);
  }
  const std::wstring longFile = deep.substr(4) + L"\\record.txt";
  QB_CHECK(longFile.size() > MAX_PATH);
  QB_CHECK(system.WriteFile(U16(longFile), AsBytes("long")) == 0);
  const std::wstring prefixed = L"\\\\?\\" + longFile;
  QB_CHECK(GetFileAttributesW(prefixed.c_str()) != INVALID_FILE_ATTRIBUTES);
  QB_CHECK(system.FileExists(U16(longFile)));
  DeleteFileW(prefixed.c_str());
  for (auto it = made.rbegin(); it != made.rend(); ++it) RemoveDirectoryW(it->c_str());
}

}  // namespace

void FileChecks() {
  win32::Win32System system;
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  // The long name of the folder: GetTempPathW may give a short one.
  wchar_t longTemp[MAX_PATH] = {};
  GetLongPathNameW(temp, longTemp, MAX_PATH);
  const std::wstring folder =
      std::wstring(longTemp) + L"qb_files_" + std::to_wstring(GetCurrentProcessId());
  if (!QB_CHECK(CreateDirectoryW(folder.c_str(), nullptr))) return;
  Replacing(system, folder);
  Deleting(system, folder);
  FullPaths(system, folder);
  Writing(system, folder);
  RemoveDirectoryW(folder.c_str());
}

}  // namespace qb::wine_test
