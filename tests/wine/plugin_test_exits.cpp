// The host quits or unloads the library while its background thread loops over column values
// of a large log served slowly: each way runs as a child process of this program, which must
// end at once with status 0. Without a background thread, FreeLibrary still unloads the
// library and it leaves nothing behind.
#include "plugin_test_exits.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "host/windows_exports.h"
#include "iat_patch.h"
#include "platform/sim/services/registry.h"
#include "platform/sim/services/system.h"
#include "plugin_test_checks.h"
#include "plugin_test_eventlog.h"
#include "plugin_test_registry.h"
#include "wine_test_support.h"

namespace qb::winetest {
namespace {

constexpr std::uint32_t kRecords = 3000;

constexpr ChildCase kExitCases[] = {
    {L"exit", "ExitProcess while the background thread fetches"},
    {L"list-and-exit", "listing again, then the end of the program while it fetches"},
    {L"free-after-thread", "FreeLibrary after the background thread has ended"},
    {L"no-thread", "FreeLibrary without a background thread unloads and leaves nothing"},
};

bool ListsFolder(const LoadedPlugin& plugin, const wchar_t* path) {
  std::wstring name = path;
  WIN32_FIND_DATAW data{};
  const HANDLE find = plugin.fs.FsFindFirstW(Host(name), Host(&data));
  if (find == INVALID_HANDLE_VALUE) return false;
  while (plugin.fs.FsFindNextW(find, Host(&data))) {
  }
  plugin.fs.FsFindClose(find);
  return true;
}

DWORD RunCase(std::wstring_view which, const std::wstring& pluginPath) {
  sim::SimSystem files;
  sim::SimRegistry registry;
  sim::SimEventLogService service(files, registry);
  auto& log = service.AddLog(u"Application");
  sim::RecordFields contents;
  contents.source = u"TestSource";
  contents.eventId = 0x40000001;
  contents.strings = {u"one", u"two"};
  const platform::Bytes record = sim::BuildEventRecord(contents);
  for (std::uint32_t i = 0; i < kRecords; ++i) log.Append(record);
  service.SetReadDelay(std::chrono::milliseconds(2));

  RedirectedEventLog redirect(service);
  LoadedPlugin plugin;
  plugin.path = pluginPath;
  plugin.module = LoadLibraryW(pluginPath.c_str());
  if (plugin.module == nullptr) return kChildCheckFailed;
  PatchImports(plugin.module, "advapi32.dll", RedirectedEventLog::Replacements());
  if (!host::ResolveExports(plugin.module, plugin.fs).empty()) return kChildCheckFailed;
  plugin.fs.FsInitW(1, &QuietProgress, &QuietLog, &QuietRequest);
  if (!ListsFolder(plugin, L"\\Application")) return kChildCheckFailed;

  if (which == L"no-thread") {
    std::wstring name = L"\\Application\\[7] TestSource.information";
    wchar_t text[512];
    plugin.fs.FsContentGetValueW(Host(name), 3, 0, text, sizeof(text), 0);
    const bool freed = FreeLibrary(plugin.module) != FALSE &&
                       GetModuleHandleW(pluginPath.c_str()) == nullptr &&
                       service.OpenHandleCount() == 0 && service.SourceHandleCount() == 0 &&
                       !KeyExists(kOwnSourceKey);
    return freed ? 0 : kChildCheckFailed;
  }

  std::atomic<bool> stop{false};
  std::atomic<int> fetched{0};
  std::thread columns([&] {
    wchar_t text[512];
    for (std::uint32_t n = 1; !stop; n = n % kRecords + 1) {
      std::wstring name = L"\\Application\\[" + std::to_wstring(n) + L"] TestSource.information";
      plugin.fs.FsContentGetValueW(Host(name), 3, 0, text, sizeof(text), 0);
      ++fetched;
    }
  });
  while (fetched < 20) Sleep(1);
  if (which == L"exit") ExitProcess(0);
  if (which == L"list-and-exit") {
    ListsFolder(plugin, L"\\Application");
    columns.detach();
    std::exit(0);
  }
  stop = true;
  columns.join();
  FreeLibrary(plugin.module);
  // The background thread pinned the library: it stays mapped to the process's end.
  return GetModuleHandleW(pluginPath.c_str()) != nullptr ? 0 : kChildCheckFailed;
}

}  // namespace

int RunExitCase(const std::wstring& which, const std::wstring& pluginPath) {
  try {
    return static_cast<int>(RunCase(which, pluginPath));
  } catch (...) {
    return static_cast<int>(kChildCheckFailed);
  }
}

void CheckExitsWhileColumnsLoad(const std::wstring& pluginPath) {
  for (const auto& c : kExitCases) {
    const auto start = std::chrono::steady_clock::now();
    const auto status =
        RunSelf(L"--exit-case " + std::wstring(c.name) + L" \"" + pluginPath + L"\"", 60'000);
    if (!Check(status.has_value(), std::string("start the child process: ") + c.what)) continue;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    Check(*status == 0, std::string(c.what) + ": the process ends with status 0 (" +
                            (*status == kStillRunning ? std::string("still running after 60 s")
                                                      : "status " + std::to_string(*status)) +
                            ", " + std::to_string(static_cast<int>(seconds * 1000)) + " ms)");
  }
}

}  // namespace qb::winetest
