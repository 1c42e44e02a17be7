// Loads the built plugin library as the host does, with its event log imports redirected to a
// simulated event log service holding known records, and checks what the host sees through the
// exports. Run under Wine by run-plugin-test.sh, or on Windows directly:
//   qb_wine_plugin_test [plugin library [test message library [real .evtx file]]]
//   qb_wine_plugin_test --bench <plugin library>
#include <algorithm>
#include <cstdio>
#include <string_view>

#include "host/dialog_watchdog.h"
#include "host/windows_exports.h"
#include "iat_patch.h"
#include "platform/sim/services/eventlog_service.h"
#include "platform/sim/services/registry.h"
#include "platform/sim/services/system.h"
#include "plugin_test_channels.h"
#include "plugin_test_checks.h"
#include "plugin_test_eventlog.h"
#include "plugin_test_exits.h"
#include "plugin_test_million.h"
#include "plugin_test_registry.h"
#include "wine_test_support.h"

namespace {

using namespace qb::winetest;

// The registry as the plugin shall find it: the Application log with the test's event source,
// and an extra log whose display name comes from the test message library.
bool PrepareRegistry(AddedKeys& keys, const std::wstring& messages) {
  const std::wstring logs = std::wstring(kEventLogKey) + L"\\";
  if (!keys.Create(logs + kApplicationLog)) return false;
  auto source = keys.Create(logs + kApplicationLog + L"\\" + kTestSource);
  auto named = keys.Create(logs + kDisplayNameLog);
  auto million = keys.Create(logs + kMillionLog);
  return source && named && million &&
         source->SetString(L"EventMessageFile", messages, REG_EXPAND_SZ) &&
         source->SetString(L"CategoryMessageFile", messages, REG_EXPAND_SZ) &&
         source->SetDword(L"CategoryCount", 2) && source->SetDword(L"TypesSupported", 7) &&
         named->SetString(L"DisplayNameFile", messages, REG_EXPAND_SZ) &&
         named->SetDword(L"DisplayNameID", 0x100);
}

// The plugin names accounts as the system does; this tells a wrong name from the system apart
// from one the plugin got wrong.
void CheckSystemAccountName() {
  auto sid = LocalSystemSid();
  wchar_t name[256] = {};
  wchar_t domain[256] = {};
  DWORD nameLength = 256;
  DWORD domainLength = 256;
  SID_NAME_USE use{};
  const bool found = LookupAccountSidW(nullptr, sid.data(), name, &nameLength, domain,
                                       &domainLength, &use) != FALSE;
  const std::wstring both = std::wstring(domain) + L"\\" + name;
  Check(found && both == L"NT AUTHORITY\\SYSTEM",
        "the system names S-1-5-18 \"NT AUTHORITY\\SYSTEM\" (got \"" + Narrow(both) + "\")");
}

// The imports the plugin cannot list a log without; the rest are redirected when imported.
void CheckRedirected(const std::vector<std::string>& patched) {
  std::string names;
  for (const auto& name : patched) names += (names.empty() ? "" : ", ") + name;
  Note("redirected imports: " + names);
  for (const char* name : {"OpenEventLogW", "CloseEventLog", "ReadEventLogW",
                           "GetNumberOfEventLogRecords", "GetOldestEventLogRecord"}) {
    Check(std::find(patched.begin(), patched.end(), name) != patched.end(),
          std::string("the plugin's import of ") + name + " is redirected");
  }
}

// The stand-in of NotifyChangeEventLog passes the service's change signal on to a real event,
// as the plugin's notification thread will wait on it. A log of its own keeps the plugin's
// records as they are.
void CheckChangeForwarding(qb::sim::SimEventLogService& service) {
  using OpenFn = HANDLE(WINAPI*)(LPCWSTR, LPCWSTR);
  using NotifyFn = BOOL(WINAPI*)(HANDLE, HANDLE);
  using CloseFn = BOOL(WINAPI*)(HANDLE);
  const auto find = [](const char* name) {
    for (const auto& entry : RedirectedEventLog::Replacements()) {
      if (std::string_view(entry.name) == name) return entry.function;
    }
    return static_cast<void*>(nullptr);
  };
  const auto open = reinterpret_cast<OpenFn>(find("OpenEventLogW"));
  const auto notify = reinterpret_cast<NotifyFn>(find("NotifyChangeEventLog"));
  const auto close = reinterpret_cast<CloseFn>(find("CloseEventLog"));
  auto& log = service.AddLog(u"ChangeSignal");
  HANDLE handle = open(nullptr, L"ChangeSignal");
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  const bool watching = handle != nullptr && event != nullptr && notify(handle, event);
  const bool quiet = event != nullptr && WaitForSingleObject(event, 200) == WAIT_TIMEOUT;
  qb::sim::RecordFields contents;
  contents.source = u"ChangeSignal";
  log.Append(contents);
  Check(watching && quiet && WaitForSingleObject(event, 5000) == WAIT_OBJECT_0,
        "the redirected NotifyChangeEventLog signals the event when a record arrives");
  if (event != nullptr) CloseHandle(event);
  if (handle != nullptr) close(handle);
}

void RunChecks(LoadedPlugin& plugin, const std::vector<TestRecord>& records,
               const qb::sim::SimEventLogService& service, bool administrator) {
  CheckRedirected(PatchImports(plugin.module, "advapi32.dll", RedirectedEventLog::Replacements()));
  std::string missing;
  for (const auto& name : qb::host::ResolveExports(plugin.module, plugin.fs)) missing += " " + name;
  if (!Check(missing.empty(),
             "the plugin exports the host's functions (missing:" + missing + ")")) {
    return;
  }
  Check(plugin.fs.FsInitW(1, &QuietProgress, &QuietLog, &QuietRequest) == 0, "FsInitW returns 0");
  CheckRegistration(plugin, administrator);
  CheckRootListing(plugin);
  const std::size_t reads = service.ReadCallCount();
  CheckLogListing(plugin, records);
  Check(service.ReadCallCount() > reads,
        "the listing read the records through the redirected ReadEventLogW");
  CheckRecordFiles(plugin, records);
  CheckColumns(plugin, records);
  CheckIcons(plugin, records);
  CheckMillionRecords(plugin);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wstring_view(argv[1]) == L"--exit-case")
    return RunExitCase(argv[2], argv[3]);
  if (argc >= 4 && std::wstring_view(argv[1]) == L"--channel-case")
    return RunChannelCase(argv[2], argv[3], argc > 4 ? argv[4] : L"");
  // The figure: a channel of 100,000 events listed through the exports.
  if (argc == 3 && std::wstring_view(argv[1]) == L"--bench")
    return RunChannelCase(L"bench", argv[2], L"");
  const std::wstring pluginSource = argc > 1 ? argv[1] : OwnFolder() + L"\\" QB_PLUGIN_FILE;
  const std::wstring messagesSource =
      argc > 2 ? argv[2] : OwnFolder() + L"\\" QB_TEST_MESSAGES_FILE;
  // A real .evtx file for a channel's log, where the run has one.
  const std::wstring realEvtx = argc > 3 ? argv[3] : L"";

  TempFolder folder(L"qb_plugin_test_");
  if (!Check(folder.created(), "create a fresh temporary folder")) return 1;
  LoadedPlugin plugin;
  plugin.folder = folder.path();
  plugin.path = CopyInto(pluginSource, folder.path());
  const std::wstring messages = CopyInto(messagesSource, folder.path());

  AddedKeys keys;
  Check(PrepareRegistry(keys, messages),
        "register the test event source and a log with a display name in the registry");
  CheckSystemAccountName();
  const bool administrator = IsAdministrator();
  Note(std::string("the user ") + (administrator ? "is" : "is not") + " an administrator");

  qb::sim::SimSystem files;
  qb::sim::SimRegistry registry;
  qb::sim::SimEventLogService service(files, registry);
  std::vector<TestRecord> records = ApplicationRecords();
  Check(StoreRecords(service.AddLog(u"Application"), records),
        "the simulated Application log numbers the records 1 to " + std::to_string(records.size()));
  FillMillionLog(service.AddLog(u"QbMillion"));
  {
    // The stand-ins must outlive the library, which still closes its handles as it unloads.
    RedirectedEventLog redirect(service);
    qb::host::DialogWatchdog watchdog;
    plugin.module = LoadLibraryW(plugin.path.c_str());
    if (Check(plugin.module != nullptr, "LoadLibraryW loads the plugin")) {
      RunChecks(plugin, records, service, administrator);
      // The columns were asked from a thread of the host's: from then on the library stays
      // mapped, so that thread never returns into unmapped code. (A process whose library saw
      // no such thread unloads it and leaves nothing behind: the "no-thread" case below.)
      Check(FreeLibrary(plugin.module) != FALSE, "FreeLibrary returns TRUE");
      Check(GetModuleHandleW(plugin.path.c_str()) != nullptr,
            "the library stays loaded once a background thread has called it");
      CheckExitsWhileColumnsLoad(plugin.path);
      CheckChannels(plugin.path, realEvtx);
    }
    CheckChangeForwarding(service);
    // An administrator's session shows no message box; anyone else is told that the
    // registration failed.
    for (const std::string& text : watchdog.Take()) {
      if (administrator) {
        Check(false, "no message box appears (closed one: " + text + ")");
      } else {
        Note("a message box was shown and closed: " + text);
      }
    }
  }
  std::printf("%s: %d check(s) failed\n", Failures() == 0 ? "PASS" : "FAIL", Failures());
  return Failures() == 0 ? 0 : 1;
}
