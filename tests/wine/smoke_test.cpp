// Loads the built plugin library the way the host does and checks its first exports and the
// files it writes beside itself. Run under Wine by run-smoke.sh, or on Windows directly:
//   qb_wine_smoke [path of the plugin library]
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// The host's prototypes, declared from its published interface.
using ProgressProcW = int(WINAPI*)(int, wchar_t*, wchar_t*, int);
using LogProcW = void(WINAPI*)(int, int, wchar_t*);
using RequestProcW = BOOL(WINAPI*)(int, int, wchar_t*, wchar_t*, wchar_t*, int);
using FsInitWFn = int(WINAPI*)(int, ProgressProcW, LogProcW, RequestProcW);
using FsGetDefRootNameFn = void(WINAPI*)(char*, int);

int WINAPI Progress(int, wchar_t*, wchar_t*, int) {
  return 0;
}
void WINAPI Log(int, int, wchar_t*) {}
BOOL WINAPI Request(int, int, wchar_t*, wchar_t*, wchar_t*, int) {
  return FALSE;
}

int g_failures = 0;

void Check(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what);
  if (!ok) ++g_failures;
}

std::string Narrow(const std::wstring& text) {
  std::string result;
  for (wchar_t c : text) result += c < 128 ? static_cast<char>(c) : '?';
  return result;
}

template <class Function>
Function Export(HMODULE module, const char* name) {
  FARPROC proc = GetProcAddress(module, name);
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc));
}

std::wstring Folder(const std::wstring& path) {
  return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring OwnFolder() {
  std::vector<wchar_t> buffer(32768);
  const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
  return Folder(std::wstring(buffer.data(), length));
}

void DeleteTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(path);
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

// A message box would stop an unattended run for good: a watchdog closes every dialog box of
// this process and reports its text, so that the run ends and says why.
class DialogWatchdog {
 public:
  DialogWatchdog() : thread_([this] { Run(); }) {}
  ~DialogWatchdog() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  std::vector<std::wstring> Texts() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return texts_;
  }

 private:
  static BOOL CALLBACK Visit(HWND window, LPARAM self) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (process == GetCurrentProcessId() && std::wcscmp(className, L"#32770") == 0 &&
        IsWindowVisible(window)) {
      wchar_t text[1024] = {};
      // The message text of a message box is the static control 0xFFFF.
      GetDlgItemTextW(window, 0xFFFF, text, 1024);
      reinterpret_cast<DialogWatchdog*>(self)->texts_.push_back(text);
      PostMessageW(window, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
  }
  void Run() {
    while (!stop_) {
      EnumWindows(&Visit, reinterpret_cast<LPARAM>(this));
      Sleep(100);
    }
  }
  std::atomic<bool> stop_{false};
  std::vector<std::wstring> texts_;
  std::thread thread_;
};

void CheckRootName(FsGetDefRootNameFn getRootName) {
  char buffer[128];
  std::memset(buffer, 'Z', sizeof buffer);
  getRootName(buffer, 100);
  bool untouched = true;
  for (int i = 100; i < 128; ++i) untouched = untouched && buffer[i] == 'Z';
  Check(std::memchr(buffer, 0, 100) != nullptr && std::strcmp(buffer, "Quillerbankton") == 0,
        "FsGetDefRootName(maxlen 100) gives \"Quillerbankton\"");
  Check(untouched, "FsGetDefRootName(maxlen 100) writes nothing past maxlen");

  std::memset(buffer, 'Z', sizeof buffer);
  getRootName(buffer, 5);
  untouched = true;
  for (int i = 5; i < 128; ++i) untouched = untouched && buffer[i] == 'Z';
  Check(std::memcmp(buffer, "Quil", 5) == 0, "FsGetDefRootName(maxlen 5) gives \"Quil\"");
  Check(untouched, "FsGetDefRootName(maxlen 5) writes nothing past maxlen");
}

void CheckOwnResources(HMODULE plugin) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
      plugin, 1, 0x400, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  Check(length != 0 && std::wstring(text, length) == L"Default\r\n",
        "the message table of the plugin's event source holds message 1 \"Default\" CR LF");
  LocalFree(text);
  const wchar_t* name = nullptr;
  const int nameLength = LoadStringW(plugin, 65168, reinterpret_cast<wchar_t*>(&name), 0);
  Check(nameLength > 0 && std::wstring(name, nameLength) == L"EventMessageFile",
        "string resource 65168 is \"EventMessageFile\"");
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring source = argc > 1 ? argv[1] : OwnFolder() + L"\\" QB_PLUGIN_FILE;
  const std::wstring fileName = source.substr(source.find_last_of(L"\\/") + 1);

  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring folder = std::wstring(temp) + L"qb_smoke_" +
                              std::to_wstring(GetCurrentProcessId()) + L"_" +
                              std::to_wstring(GetTickCount());
  if (!CreateDirectoryW(folder.c_str(), nullptr)) {
    std::printf("FAIL: cannot create %s\n", Narrow(folder).c_str());
    return 1;
  }
  const std::wstring plugin = folder + L"\\" + fileName;
  Check(CopyFileW(source.c_str(), plugin.c_str(), TRUE) != FALSE,
        ("copy " + Narrow(source) + " to a fresh folder").c_str());

  DialogWatchdog watchdog;
  HMODULE module = LoadLibraryW(plugin.c_str());
  Check(module != nullptr, "LoadLibraryW loads the plugin");
  if (module != nullptr) {
    const auto getRootName = Export<FsGetDefRootNameFn>(module, "FsGetDefRootName");
    const auto initW = Export<FsInitWFn>(module, "FsInitW");
    Check(getRootName != nullptr, "FsGetDefRootName is exported");
    Check(initW != nullptr, "FsInitW is exported");
    if (getRootName != nullptr) CheckRootName(getRootName);
    CheckOwnResources(module);

    if (initW != nullptr) Check(initW(1, &Progress, &Log, &Request) == 0, "FsInitW returns 0");

    const std::wstring language = folder + L"\\Language\\Eng.lng";
    HANDLE file = CreateFileW(language.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    unsigned char bom[2] = {};
    DWORD read = 0;
    const bool opened = file != INVALID_HANDLE_VALUE;
    if (opened) {
      ReadFile(file, bom, 2, &read, nullptr);
      CloseHandle(file);
    }
    Check(opened, "FsInitW wrote Language\\Eng.lng beside the plugin");
    Check(read == 2 && bom[0] == 0xFF && bom[1] == 0xFE, "Eng.lng begins with FF FE");

    Check(FreeLibrary(module) != FALSE, "FreeLibrary unloads the plugin");
    Check(GetModuleHandleW(plugin.c_str()) == nullptr, "nothing keeps the plugin loaded");

    // A second load in the same process must find nothing left over from the first.
    module = LoadLibraryW(plugin.c_str());
    Check(module != nullptr, "the plugin loads again after being unloaded");
    if (module != nullptr) {
      const auto again = Export<FsGetDefRootNameFn>(module, "FsGetDefRootName");
      if (again != nullptr) CheckRootName(again);
      Check(FreeLibrary(module) != FALSE, "the second FreeLibrary succeeds");
    }
  }

  // An administrator's load registers the event source without a word; anyone else is
  // told that registration failed.
  const bool admin = IsAdministrator();
  std::printf("INFO: the user %s an administrator\n", admin ? "is" : "is not");
  for (const std::wstring& text : watchdog.Texts()) {
    std::printf("%s: a message box was shown and closed: %s\n", admin ? "FAIL" : "NOTE",
                Narrow(text).c_str());
    if (admin) ++g_failures;
  }
  DeleteTree(folder);
  std::printf("%s: %d check(s) failed\n", g_failures == 0 ? "PASS" : "FAIL", g_failures);
  return g_failures == 0 ? 0 : 1;
}
