// The plugin's dialogs driven as a user drives them: the built library is loaded as the host
// loads it, its event log imports redirected to a simulated service holding known records, and
// a host window with a real file list box calls FsExecuteFileW while a second thread reads the
// dialogs, clicks, presses keys and answers questions. Run under Wine by run-dialog-test.sh,
// or on Windows directly:
//   qb_wine_dialog_test [plugin library [test message library]] [--screenshots <folder>]
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <type_traits>

#include "dialog_test.h"
#include "evt_backups.h"
#include "host/windows_exports.h"
#include "iat_patch.h"
#include "platform/sim/services/eventlog_service.h"
#include "platform/sim/services/registry.h"
#include "platform/sim/services/system.h"
#include "plugin_test_eventlog.h"
#include "plugin_test_registry.h"
#include "real_files.h"
#include "wine_test_support.h"

namespace qb::winetest::dialogs {
namespace {

constexpr int kRunLimitSeconds = 150;
constexpr DWORD kLogFileSize = 10 * 1024;
constexpr DWORD kMaxSize = 20 * 1024 * 1024;

// Ends a run that takes far longer than it should, with a FAIL line, wherever it hangs.
class RunDeadline {
 public:
  explicit RunDeadline(int seconds)
      : thread_([this, seconds](std::stop_token stop) {
          std::unique_lock lock(mutex_);
          if (!wake_.wait_for(lock, stop, std::chrono::seconds(seconds), [] { return false; })) {
            if (stop.stop_requested()) return;
            Check(false, "the run ends within " + std::to_string(seconds) + " s");
            std::printf("FAIL: %d check(s) failed; the run was stopped\n", Failures());
            std::fflush(stdout);
            TerminateProcess(GetCurrentProcess(), 1);
          }
        }) {}

 private:
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::jthread thread_;  // last: it uses the members above
};

struct KeyCloser {
  void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

UniqueKey OpenLocalMachine(const std::wstring& path, REGSAM access) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &key) != ERROR_SUCCESS) {
    return nullptr;
  }
  return UniqueKey(key);
}

// Values of a registry key that the test changes, put back as they were when it ends, so that
// a run on a real system leaves the log's settings alone.
class RestoredValues {
 public:
  RestoredValues(std::wstring path, std::initializer_list<const wchar_t*> names)
      : path_(std::move(path)) {
    const UniqueKey key = OpenLocalMachine(path_, KEY_QUERY_VALUE);
    for (const wchar_t* name : names) {
      Saved saved{name, false, 0, {}};
      DWORD size = 0;
      if (key && RegQueryValueExW(key.get(), name, nullptr, &saved.type, nullptr, &size) ==
                     ERROR_SUCCESS) {
        saved.data.resize(size);
        saved.present = RegQueryValueExW(key.get(), name, nullptr, &saved.type, saved.data.data(),
                                         &size) == ERROR_SUCCESS;
        saved.data.resize(size);
      }
      saved_.push_back(std::move(saved));
    }
  }
  ~RestoredValues() {
    const UniqueKey key = OpenLocalMachine(path_, KEY_SET_VALUE);
    if (!key) return;
    for (const Saved& saved : saved_) {
      if (saved.present) {
        RegSetValueExW(key.get(), saved.name.c_str(), 0, saved.type, saved.data.data(),
                       DWORD(saved.data.size()));
      } else {
        RegDeleteValueW(key.get(), saved.name.c_str());
      }
    }
  }
  RestoredValues(const RestoredValues&) = delete;
  RestoredValues& operator=(const RestoredValues&) = delete;

 private:
  struct Saved {
    std::wstring name;
    bool present;
    DWORD type;
    std::vector<BYTE> data;
  };
  std::wstring path_;
  std::vector<Saved> saved_;
};

std::vector<std::uint8_t> Utf16File(std::wstring_view text) {
  std::vector<std::uint8_t> bytes = {0xFF, 0xFE};
  for (wchar_t c : text) {
    bytes.push_back(std::uint8_t(c & 0xFF));
    bytes.push_back(std::uint8_t(c >> 8));
  }
  return bytes;
}

// A second language beside the English one the plugin writes itself.
bool WriteGermanLanguage(const std::wstring& pluginFolder) {
  const std::wstring folder = pluginFolder + L"\\Language";
  CreateDirectoryW(folder.c_str(), nullptr);
  return WriteBytes(folder + L"\\Deu.lng",
                    Utf16File(L"; German texts of the dialog test\r\n"
                              L"[Locale Language]\r\nLocaleID=1031\r\nLocaleName=Deutsch\r\n\r\n"
                              L"[String Resources]\r\n10=Einstellungen\r\n100=Informationen\r\n"));
}

// The Application log with the test's event source, a log file of a known size, a maximum
// size, guest access and no retention.
bool PrepareRegistry(AddedKeys& keys, const Fixture& fixture, const std::wstring& messages) {
  const std::wstring log = std::wstring(kEventLogKey) + L"\\" + kLog;
  auto key = keys.Create(log);
  auto source = keys.Create(log + L"\\" + kTestSource);
  if (!key || !source) return false;
  if (const UniqueKey raw = OpenLocalMachine(log, KEY_SET_VALUE)) {
    RegDeleteValueW(raw.get(), L"AutoBackupLogFiles");
  }
  const DWORD fileType =
      fixture.logFileValue.find(L'%') != std::wstring::npos ? REG_EXPAND_SZ : REG_SZ;
  return key->SetString(L"File", fixture.logFileValue, fileType) &&
         key->SetDword(L"MaxSize", kMaxSize) && key->SetDword(L"RestrictGuestAccess", 0) &&
         key->SetDword(L"Retention", 0) &&
         source->SetString(L"EventMessageFile", messages, REG_EXPAND_SZ) &&
         source->SetString(L"CategoryMessageFile", messages, REG_EXPAND_SZ) &&
         source->SetDword(L"CategoryCount", 2) && source->SetDword(L"TypesSupported", 7);
}

// A 32-bit program in a 64-bit prefix, as run-dialog-test.sh runs it: a WOW64 process.
bool RunsUnderWow64() {
  wchar_t kind[16] = {};
  if (sizeof(void*) != 4 || GetEnvironmentVariableW(L"QB_WINE_PREFIX", kind, 16) == 0 ||
      std::wstring(kind) != L"win64") {
    return false;
  }
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// A log file where the classic logs lie, in the 64-bit system's system32\config, which a
// 32-bit process sees only with the file-system redirection off (here, on this thread only).
// The properties show its size only when their lookup switches redirection off too.
class SystemLogFile {
 public:
  static constexpr wchar_t kValue[] = L"%SystemRoot%\\system32\\config\\QbDialogTest.evt";

  explicit SystemLogFile(DWORD size) {
    wchar_t expanded[MAX_PATH] = {};
    if (ExpandEnvironmentStringsW(kValue, expanded, MAX_PATH) == 0) return;
    path_ = expanded;
    const std::wstring folder = path_.substr(0, path_.find_last_of(L'\\'));
    const Unredirected native;
    if (!native.off()) return;
    madeFolder_ = CreateDirectoryW(folder.c_str(), nullptr) != FALSE;
    made_ = WriteBytes(path_, std::vector<std::uint8_t>(size));
  }
  ~SystemLogFile() {
    const Unredirected native;
    if (made_) DeleteFileW(path_.c_str());
    if (madeFolder_) RemoveDirectoryW(path_.substr(0, path_.find_last_of(L'\\')).c_str());
  }
  SystemLogFile(const SystemLogFile&) = delete;
  SystemLogFile& operator=(const SystemLogFile&) = delete;

  bool made() const { return made_; }
  const std::wstring& path() const { return path_; }

 private:
  class Unredirected {
   public:
    Unredirected() : off_(Wow64DisableWow64FsRedirection(&old_) != FALSE) {}
    ~Unredirected() {
      if (off_) Wow64RevertWow64FsRedirection(old_);
    }
    Unredirected(const Unredirected&) = delete;
    Unredirected& operator=(const Unredirected&) = delete;
    bool off() const { return off_; }

   private:
    PVOID old_ = nullptr;
    bool off_;
  };

  std::wstring path_;
  bool made_ = false;
  bool madeFolder_ = false;
};

bool ReportsModernSystem() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  return GetVersionExW(&version) && version.dwMajorVersion >= 6;
}

void RunGroups(Fixture& fixture, HMODULE module) {
  const auto patched = PatchImports(module, "advapi32.dll", RealFileBackups::Replacements());
  for (const char* name :
       {"OpenEventLogW", "CloseEventLog", "ReadEventLogW", "BackupEventLogW", "ClearEventLogW"}) {
    Check(std::find(patched.begin(), patched.end(), name) != patched.end(),
          std::string("the plugin's import of ") + name + " is redirected");
  }
  std::string missing;
  for (const auto& name : host::ResolveExports(module, fixture.fs)) missing += " " + name;
  if (!Check(missing.empty(),
             "the plugin exports the host's functions (missing:" + missing + ")")) {
    return;
  }
  Check(fixture.fs.FsInitW(1, &QuietProgress, &QuietLog, &QuietRequest) == 0, "FsInitW returns 0");
  const auto names = ListNames(fixture, std::wstring(L"\\") + kLog);
  bool same = names.size() == fixture.records.size();
  for (std::size_t i = 0; same && i < names.size(); ++i) {
    same = names[i] == ListedName(RecordAtEntry(fixture, int(i) + 1));
  }
  if (!Check(same, "the Application folder lists the records newest first")) return;
  if (fixture.highDpi) {
    CheckHighDpi(fixture);
    return;
  }
  CheckViewer(fixture);
  CheckLogProperties(fixture);
  CheckSettings(fixture);
}

constexpr wchar_t kHighDpiOption[] = L"--high-dpi";
constexpr DWORD kChildLimitMs = 60000;

// Wine takes the screen's DPI from the user's settings once, as a process starts: the checks
// at 144 DPI run in a process of their own, started with the setting changed, which is put
// back afterwards. On Windows the setting is the user's, and left alone.
void RunAtHighDpi(const std::wstring& pluginSource, const std::wstring& messagesSource) {
  if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr) {
    Note("not under Wine: the dialogs at 144 DPI are not checked");
    return;
  }
  HKEY desktop = nullptr;
  if (!Check(RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                             KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &desktop,
                             nullptr) == ERROR_SUCCESS,
             "the user's desktop settings open")) {
    return;
  }
  const UniqueKey key(desktop);
  DWORD saved = 0;
  DWORD size = sizeof(saved);
  const bool had = RegQueryValueExW(key.get(), L"LogPixels", nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(&saved), &size) == ERROR_SUCCESS;
  DWORD dpi = 144;
  RegSetValueExW(key.get(), L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                 sizeof(dpi));
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" \"" + pluginSource + L"\" \"" +
                         messagesSource + L"\" " + kHighDpiOption;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION child{};
  Note("the dialogs at 144 DPI, in a process of their own:");
  DWORD status = 1;
  if (CreateProcessW(self, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &child)) {
    if (WaitForSingleObject(child.hProcess, kChildLimitMs) != WAIT_OBJECT_0) {
      TerminateProcess(child.hProcess, 1);
      WaitForSingleObject(child.hProcess, 5000);
    }
    GetExitCodeProcess(child.hProcess, &status);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
  }
  if (had) {
    RegSetValueExW(key.get(), L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&saved),
                   sizeof(saved));
  } else {
    RegDeleteValueW(key.get(), L"LogPixels");
  }
  Check(status == 0, "the dialogs at 144 DPI pass their checks (the process ended with " +
                         std::to_string(status) + ")");
}

int Run(int argc, wchar_t** argv) {
  const ULONGLONG started = GetTickCount64();
  std::vector<std::wstring> positional;
  Fixture fixture;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--screenshots" && i + 1 < argc) {
      fixture.screenshots = argv[++i];
    } else if (arg == kHighDpiOption) {
      fixture.highDpi = true;
    } else {
      positional.push_back(arg);
    }
  }
  const std::wstring pluginSource =
      positional.size() > 0 ? positional[0] : OwnFolder() + L"\\" QB_PLUGIN_FILE;
  const std::wstring messagesSource =
      positional.size() > 1 ? positional[1] : OwnFolder() + L"\\" QB_TEST_MESSAGES_FILE;
  // Before any window is made: the windows take the screen's DPI, not 96.
  if (fixture.highDpi) SetProcessDPIAware();
  RunDeadline deadline(kRunLimitSeconds);
  if (!fixture.screenshots.empty()) {
    CreateDirectoryW(fixture.screenshots.c_str(), nullptr);
    Note("pictures go to " + Narrow(fixture.screenshots));
  }

  TempFolder folder(L"qb_dialog_test_");
  if (!Check(folder.created(), "create a fresh temporary folder")) return 1;
  fixture.pluginFolder = folder.path();
  fixture.pluginPath = CopyInto(pluginSource, folder.path());
  const std::wstring messages = CopyInto(messagesSource, folder.path());
  fixture.workFolder = folder.path() + L"\\work";
  CreateDirectoryW(fixture.workFolder.c_str(), nullptr);
  std::optional<SystemLogFile> systemLog;
  if (RunsUnderWow64()) {
    systemLog.emplace(kLogFileSize);
    fixture.logFile = systemLog->path();
    fixture.logFileValue = SystemLogFile::kValue;
    Check(systemLog->made(),
          "a log file of 10 kB is made in the 64-bit system's " + Narrow(fixture.logFile));
    Check(GetFileAttributesW(fixture.logFile.c_str()) == INVALID_FILE_ATTRIBUTES,
          "a 32-bit process does not see it there with the file-system redirection on");
  } else {
    fixture.logFile = fixture.workFolder + L"\\" + kLog + L".evt";
    fixture.logFileValue = fixture.logFile;
    Check(WriteBytes(fixture.logFile, std::vector<std::uint8_t>(kLogFileSize)),
          "a log file of 10 kB is made");
  }
  Check(WriteGermanLanguage(fixture.pluginFolder), "a German language file lies beside the plugin");
  fixture.modern = ReportsModernSystem();
  Note(std::string("the system reports ") + (fixture.modern ? "Vista or later" : "XP or older"));

  const std::wstring logKey = std::wstring(kEventLogKey) + L"\\" + kLog;
  RestoredValues restored(
      logKey, {L"File", L"MaxSize", L"RestrictGuestAccess", L"Retention", L"AutoBackupLogFiles"});
  AddedKeys keys;
  Check(PrepareRegistry(keys, fixture, messages),
        "register the test event source and the log's settings in the registry");

  sim::SimSystem files;
  sim::SimRegistry registry;
  sim::SimEventLogService service(files, registry);
  fixture.service = &service;
  fixture.records = DialogRecords();
  Check(StoreRecords(service.AddLog(u"Application"), fixture.records),
        "the simulated Application log numbers the records 1 to " +
            std::to_string(fixture.records.size()));
  {
    // The stand-ins must outlive the library, which still closes its handles as it unloads.
    RedirectedEventLog redirect(service);
    RealFileBackups backups(service);
    HMODULE module = LoadLibraryW(fixture.pluginPath.c_str());
    if (Check(module != nullptr, "LoadLibraryW loads the plugin")) {
      RunGroups(fixture, module);
      Check(FreeLibrary(module) != FALSE, "FreeLibrary unloads the plugin");
    }
  }
  if (!fixture.highDpi) RunAtHighDpi(pluginSource, messagesSource);
  const double seconds = double(GetTickCount64() - started) / 1000.0;
  std::printf("%s: %d check(s) failed in %.1f s\n", Failures() == 0 ? "PASS" : "FAIL", Failures(),
              seconds);
  std::fflush(stdout);
  return Failures() == 0 ? 0 : 1;
}

}  // namespace
}  // namespace qb::winetest::dialogs

int wmain(int argc, wchar_t** argv) {
  return qb::winetest::dialogs::Run(argc, argv);
}
