// Win32System against the real file system and process, in a scratch folder under TEMP.
#include <algorithm>
#include <string>

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

std::u16string Wide(const std::wstring& text) {
  return win32::FromWide(text);
}

std::u16string ScratchFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  return Wide(std::wstring(temp) + L"qb_platform_" + std::to_wstring(GetCurrentProcessId()));
}

std::vector<std::u16string> Names(const std::vector<platform::FindEntry>& entries) {
  std::vector<std::u16string> names;
  for (const auto& entry : entries) names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  return names;
}

void FoldersAndFiles(win32::Win32System& system, const std::u16string& folder) {
  QB_CHECK(system.CreateDirectory(folder) == 0);
  QB_CHECK(system.CreateDirectory(folder) == ERROR_ALREADY_EXISTS);
  QB_CHECK(system.CreateDirectory(folder + u"\\no\\such") == ERROR_PATH_NOT_FOUND);
  QB_CHECK(system.DirectoryExists(folder) && !system.FileExists(folder));

  const std::u16string file = folder + u"\\settings.ini";
  QB_CHECK(system.WriteFile(file, AsBytes("[General]\r\nLanguage=Eng.lng\r\n")) == 0);
  QB_CHECK(system.FileExists(file) && !system.DirectoryExists(file));
  // Replacing with shorter contents leaves nothing of the old ones.
  QB_CHECK(system.WriteFile(file, AsBytes("short")) == 0);
  Bytes data;
  QB_CHECK(system.ReadFile(file, data) == 0);
  QB_CHECK(data == AsBytes("short"));
  QB_CHECK(system.WriteFile(file, {}) == 0);
  QB_CHECK(system.ReadFile(file, data) == 0 && data.empty());

  // A write that fails keeps the old contents.
  QB_CHECK(system.WriteFile(file, AsBytes("kept")) == 0);
  const std::wstring name(reinterpret_cast<const wchar_t*>(file.c_str()));
  SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_READONLY);
  QB_CHECK(system.WriteFile(file, AsBytes("lost")) != 0);
  SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
  QB_CHECK(system.ReadFile(file, data) == 0 && data == AsBytes("kept"));

  QB_CHECK(system.ReadFile(folder + u"\\missing.ini", data) == ERROR_FILE_NOT_FOUND);
  QB_CHECK(data.empty());
  QB_CHECK(system.ReadFile(folder + u"\\no\\missing.ini", data) == ERROR_PATH_NOT_FOUND);
  QB_CHECK(system.WriteFile(folder + u"\\no\\new.ini", AsBytes("x")) == ERROR_PATH_NOT_FOUND);
}

void FilesAreFound(win32::Win32System& system, const std::u16string& folder) {
  QB_CHECK(system.WriteFile(folder + u"\\Eng.lng", AsBytes("12345")) == 0);
  QB_CHECK(system.CreateDirectory(folder + u"\\Language") == 0);
  std::vector<platform::FindEntry> entries;
  QB_CHECK(system.FindFiles(folder + u"\\*", entries) == 0);
  // No "." and "..", and no temporary file left behind by the writes.
  QB_CHECK(
      (Names(entries) == std::vector<std::u16string>{u"Eng.lng", u"Language", u"settings.ini"}));
  for (const auto& entry : entries) {
    if (entry.name == u"Eng.lng") {
      QB_CHECK(entry.size == 5 && (entry.attributes & platform::kFileAttributeDirectory) == 0);
      QB_CHECK(entry.lastWrite.value() != 0);
    }
    if (entry.name == u"Language") {
      QB_CHECK((entry.attributes & platform::kFileAttributeDirectory) != 0);
    }
  }
  QB_CHECK(system.FindFiles(folder + u"\\*.lng", entries) == 0);
  QB_CHECK(Names(entries) == std::vector<std::u16string>{u"Eng.lng"});
  QB_CHECK(system.FindFiles(folder + u"\\*.none", entries) == ERROR_FILE_NOT_FOUND);
  QB_CHECK(entries.empty());
  QB_CHECK(system.FindFiles(folder + u"\\no\\*", entries) == ERROR_PATH_NOT_FOUND);
}

void EnvironmentExpands(win32::Win32System& system) {
  SetEnvironmentVariableW(L"QB_TEST_ROOT", L"C:\\Windows");
  char16_t buffer[260];
  const std::u16string_view source = u"%QB_TEST_ROOT%\\System32\\%QB_NOT_SET%";
  const std::u16string expected = u"C:\\Windows\\System32\\%QB_NOT_SET%";
  QB_CHECK(system.ExpandEnvironmentStrings(source, buffer) == expected.size() + 1);
  QB_CHECK(std::u16string(buffer) == expected);
  // Too small a buffer: the size needed comes back and nothing past the buffer is written.
  char16_t small[8];
  std::fill(std::begin(small), std::end(small), u'#');
  QB_CHECK(system.ExpandEnvironmentStrings(source, std::span(small, 4)) >= expected.size() + 1);
  QB_CHECK(small[4] == u'#' && small[7] == u'#');
  QB_CHECK(system.ExpandEnvironmentStrings(source, {}) >= expected.size() + 1);
}

void ProcessFacts(win32::Win32System& system) {
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  // Linked into a program, the backend's own module is the program.
  QB_CHECK(system.ModuleFileName() == Wide(program));
  std::uint32_t major = 0;
  QB_CHECK(system.GetVersionEx(major) && major >= 5);
  bool wow64 = true;
  QB_CHECK(system.IsWow64Process(system.CurrentProcess(), wow64) == 0);
  QB_CHECK(wow64 == (sizeof(void*) == 4 && [] {
             SYSTEM_INFO info;
             GetNativeSystemInfo(&info);
             return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
           }()));
  std::uintptr_t saved = 0;
  if (system.DisableWow64FsRedirection(saved) == 0) {
    QB_CHECK(system.RevertWow64FsRedirection(saved) == 0);
  }
}

void RemoveFolder(const std::u16string& folder) {
  const std::wstring base(reinterpret_cast<const wchar_t*>(folder.c_str()));
  DeleteFileW((base + L"\\Eng.lng").c_str());
  DeleteFileW((base + L"\\settings.ini").c_str());
  RemoveDirectoryW((base + L"\\Language").c_str());
  RemoveDirectoryW(base.c_str());
}

}  // namespace

void SystemChecks() {
  win32::Win32System system;
  const std::u16string folder = ScratchFolder();
  FoldersAndFiles(system, folder);
  FilesAreFound(system, folder);
  EnvironmentExpands(system);
  ProcessFacts(system);
  RemoveFolder(folder);
}

}  // namespace qb::wine_test
