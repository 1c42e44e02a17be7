// Loads the built plugin library the way the host does and checks its first exports and the
// files it writes beside itself. Run under Wine by run-smoke.sh, or on Windows directly:
//   qb_wine_smoke [path of the plugin library]
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/dialog_watchdog.h"
#include "host/windows_exports.h"
#include "host_interface.h"
#include "wine_test_support.h"

namespace {

using namespace qb::winetest;

void CheckRootName(decltype(PluginExports::FsGetDefRootName) getRootName) {
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

}  // namespace

// The process runs as the prefix makes it: a 32-bit program in a 64-bit prefix is a WOW64
// process with the file-system redirection in force, as the 32-bit host on 64-bit Windows.
void CheckProcessKind() {
  wchar_t kind[16] = {};
  if (GetEnvironmentVariableW(L"QB_WINE_PREFIX", kind, 16) == 0) return;  // not run by with-wine
  const bool wow64Expected = sizeof(void*) == 4 && std::wstring(kind) == L"win64";
  BOOL wow64 = FALSE;
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto isWow64 = reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
  if (isWow64 != nullptr) isWow64(GetCurrentProcess(), &wow64);
  Check((wow64 != FALSE) == wow64Expected,
        std::string(sizeof(void*) == 4 ? "32" : "64") + "-bit process in a " + Narrow(kind) +
            " prefix: IsWow64Process is " + (wow64 ? "true" : "false"));
  if (wow64Expected) {
    // The folder the 32-bit process sees as its system folder, and redirection puts it there.
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring folder(system, length < MAX_PATH ? length : 0);
    Check(!folder.empty(), "the 32-bit system folder is " + Narrow(folder));
  }
}

int wmain(int argc, wchar_t** argv) {
  CheckProcessKind();
  const std::wstring source = argc > 1 ? argv[1] : OwnFolder() + L"\\" QB_PLUGIN_FILE;
  const std::wstring fileName = source.substr(source.find_last_of(L"\\/") + 1);

  TempFolder temp(L"qb_smoke_");
  if (!temp.created()) {
    std::printf("FAIL: cannot create a temporary folder\n");
    return 1;
  }
  const std::wstring& folder = temp.path();
  const std::wstring plugin = folder + L"\\" + fileName;
  Check(CopyFileW(source.c_str(), plugin.c_str(), TRUE) != FALSE,
        "copy " + Narrow(source) + " to a fresh folder");

  qb::host::DialogWatchdog watchdog;
  HMODULE module = LoadLibraryW(plugin.c_str());
  Check(module != nullptr, "LoadLibraryW loads the plugin");
  if (module != nullptr) {
    PluginExports exports;
    std::string missing;
    for (const auto& name : qb::host::ResolveExports(module, exports)) missing += " " + name;
    Check(missing.empty(), "the plugin exports the host's functions (missing:" + missing + ")");
    if (exports.FsGetDefRootName != nullptr) CheckRootName(exports.FsGetDefRootName);
    CheckOwnResources(module);

    if (exports.FsInitW != nullptr) {
      Check(exports.FsInitW(1, &QuietProgress, &QuietLog, &QuietRequest) == 0, "FsInitW returns 0");
    }

    const std::wstring language = folder + L"\\Language\\Eng.lng";
    const std::optional<std::wstring> text = ReadUtf16File(language);
    Check(GetFileAttributesW(language.c_str()) != INVALID_FILE_ATTRIBUTES,
          "FsInitW wrote Language\\Eng.lng beside the plugin");
    Check(text.has_value(), "Eng.lng begins with FF FE");

    Check(FreeLibrary(module) != FALSE, "FreeLibrary unloads the plugin");
    Check(GetModuleHandleW(plugin.c_str()) == nullptr, "nothing keeps the plugin loaded");

    // A second load in the same process must find nothing left over from the first.
    module = LoadLibraryW(plugin.c_str());
    Check(module != nullptr, "the plugin loads again after being unloaded");
    if (module != nullptr) {
      PluginExports again;
      qb::host::ResolveExports(module, again);
      if (again.FsGetDefRootName != nullptr) CheckRootName(again.FsGetDefRootName);
      Check(FreeLibrary(module) != FALSE, "the second FreeLibrary succeeds");
    }
  }

  // An administrator's load registers the event source without a word; anyone else is
  // told that registration failed.
  const bool admin = IsAdministrator();
  std::printf("INFO: the user %s an administrator\n", admin ? "is" : "is not");
  for (const std::string& text : watchdog.Take()) {
    if (admin) {
      Check(false, "no message box: " + text);
    } else {
      Note("a message box was shown and closed: " + text);
    }
  }
  std::printf("%s: %d check(s) failed\n", Failures() == 0 ? "PASS" : "FAIL", Failures());
  return Failures() == 0 ? 0 : 1;
}
