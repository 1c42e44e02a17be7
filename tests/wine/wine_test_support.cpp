#include "wine_test_support.h"

#include "support/win32_folders.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace qb::winetest {
namespace {

int g_failures = 0;

}  // namespace

bool Check(bool ok, const std::string& what) {
  std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what.c_str());
  std::fflush(stdout);
  if (!ok) ++g_failures;
  return ok;
}

int Failures() {
  return g_failures;
}

void Note(const std::string& text) {
  std::printf("INFO: %s\n", text.c_str());
  std::fflush(stdout);
}

std::string Narrow(std::wstring_view text) {
  std::string result;
  for (wchar_t c : text) {
    if (c == L'\r') continue;
    result += c == L'\n' ? '|' : c >= 32 && c < 128 ? static_cast<char>(c) : '?';
  }
  return result;
}

std::wstring Wide(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

std::wstring FolderOf(const std::wstring& path) {
  return path.substr(0, path.find_last_of(L"\\/"));
}

std::wstring OwnFolder() {
  std::vector<wchar_t> buffer(32768);
  const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
  return FolderOf(std::wstring(buffer.data(), length));
}

TempFolder::TempFolder(std::wstring_view prefix) {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  path_ = std::wstring(temp) + std::wstring(prefix) + std::to_wstring(GetCurrentProcessId()) +
          L"_" + std::to_wstring(GetTickCount());
  created_ = CreateDirectoryW(path_.c_str(), nullptr) != FALSE;
}

TempFolder::~TempFolder() {
  if (created_) support::RemoveTree(path_);
}

std::optional<std::wstring> ReadUtf16File(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
  CloseHandle(file);
  if (bytes.size() < 2 || bytes.size() % 2 != 0 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
      static_cast<unsigned char>(bytes[1]) != 0xFE) {
    return std::nullopt;
  }
  std::wstring text((bytes.size() - 2) / 2, L'\0');
  std::memcpy(text.data(), bytes.data() + 2, bytes.size() - 2);
  return text;
}

bool IsAdministrator() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                0, 0, 0, 0, &administrators)) {
    return false;
  }
  BOOL member = FALSE;
  CheckTokenMembership(nullptr, administrators, &member);
  FreeSid(administrators);
  return member != FALSE;
}

std::wstring CopyInto(const std::wstring& source, const std::wstring& folder) {
  const std::wstring target = folder + L"\\" + source.substr(source.find_last_of(L"\\/") + 1);
  Check(CopyFileW(source.c_str(), target.c_str(), TRUE) != FALSE,
        "copy " + Narrow(source) + " to a fresh folder");
  return target;
}

std::optional<DWORD> RunSelf(const std::wstring& arguments, DWORD timeoutMs) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &process) == FALSE) {
    return std::nullopt;
  }
  const DWORD waited = WaitForSingleObject(process.hProcess, timeoutMs);
  DWORD status = kStillRunning;
  if (waited == WAIT_TIMEOUT) {
    TerminateProcess(process.hProcess, kStillRunning);
  } else {
    GetExitCodeProcess(process.hProcess, &status);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return status;
}

}  // namespace qb::winetest
