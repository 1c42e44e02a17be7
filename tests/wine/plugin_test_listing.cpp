// The own event source key, the root folder and the Application folder.
#include <cstdint>

#include "plugin_test_checks.h"
#include "plugin_test_registry.h"
#include "wine_test_support.h"

namespace qb::winetest {
namespace {

// Seconds since 1970 as a FILETIME in UTC.
FILETIME UtcFileTime(std::uint32_t seconds) {
  constexpr std::uint64_t kEpochSeconds = 11'644'473'600;
  const std::uint64_t ticks = (kEpochSeconds + seconds) * 10'000'000;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// Everything FsFindFirstW / FsFindNextW give for `path`, in order; `failed` when the first
// call gave no handle.
std::vector<WIN32_FIND_DATAW> List(const LoadedPlugin& plugin, std::wstring path, bool& failed) {
  std::vector<WIN32_FIND_DATAW> entries;
  WIN32_FIND_DATAW data{};
  HANDLE find = plugin.fs.FsFindFirstW(Host(path), Host(&data));
  failed = find == INVALID_HANDLE_VALUE;
  if (failed) return entries;
  // A runaway listing must end the loop, not the run.
  for (int guard = 0; guard < 10000; ++guard) {
    entries.push_back(data);
    data = WIN32_FIND_DATAW{};
    if (!plugin.fs.FsFindNextW(find, Host(&data))) break;
  }
  plugin.fs.FsFindClose(find);
  return entries;
}

std::string Names(const std::vector<std::wstring>& names) {
  std::string text;
  for (const auto& name : names) text += (text.empty() ? "" : ", ") + Narrow(name);
  return "[" + text + "]";
}

}  // namespace

std::wstring RecordPath(const TestRecord& record) {
  return L"\\" + std::wstring(kApplicationLog) + L"\\" + ListedName(record);
}

void CheckRegistration(const LoadedPlugin& plugin, bool administrator) {
  auto key = RegistryKey::Open(kOwnSourceKey);
  if (!administrator) {
    Check(!key, "without administrator rights no event source key is written");
    return;
  }
  if (!Check(key.has_value(),
             "loading registered the event source key ...\\Application\\"
             "Quillerbankton")) {
    return;
  }
  const auto events = key->String(L"EventMessageFile");
  const auto categories = key->String(L"CategoryMessageFile");
  Check(events == plugin.path,
        "EventMessageFile is the loaded copy's path (" + Narrow(events.value_or(L"<none>")) + ")");
  Check(categories == plugin.path, "CategoryMessageFile is the loaded copy's path (" +
                                       Narrow(categories.value_or(L"<none>")) + ")");
  Check(key->Dword(L"CategoryCount") == 1u, "CategoryCount is the DWORD 1");
  Check(key->Dword(L"TypesSupported") == 31u, "TypesSupported is the DWORD 31");
}

void CheckRootListing(const LoadedPlugin& plugin) {
  std::vector<std::wstring> expected;
  if (auto root = RegistryKey::Open(kEventLogKey)) {
    for (const std::wstring& name : root->SubKeys()) {
      auto log = RegistryKey::Open(std::wstring(kEventLogKey) + L"\\" + name);
      // The service's own settings key (it names a service library) is no log.
      if (log && log->HasValue(L"ServiceDll")) continue;
      if (name == kDisplayNameLog) {
        expected.push_back(kDisplayNameLogTitle);
      } else if (log && log->HasValue(L"DisplayNameFile")) {
        // A display name from a library the test does not know: any name will do.
        Note("log " + Narrow(name) + " has a display name of its own");
        expected.push_back(L"*");
      } else {
        expected.push_back(name);
      }
    }
  }
  bool failed = false;
  std::vector<std::wstring> listed;
  bool allFolders = true;
  for (const auto& entry : List(plugin, L"\\", failed)) {
    listed.push_back(entry.cFileName);
    allFolders = allFolders && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  Check(!failed, "FsFindFirstW(\"\\\") lists the root");
  bool same = listed.size() == expected.size();
  for (std::size_t i = 0; same && i < listed.size(); ++i) {
    same = expected[i] == L"*" ? !listed[i].empty() : listed[i] == expected[i];
  }
  Check(same, "the root lists the event log keys in registry order, by display name: " +
                  Names(listed) + ", expected " + Names(expected));
  Check(allFolders && !listed.empty(), "every root entry is a folder");
}

void CheckLogListing(const LoadedPlugin& plugin, const std::vector<TestRecord>& records) {
  bool failed = false;
  const auto entries = List(plugin, L"\\" + std::wstring(kApplicationLog), failed);
  Check(!failed, "FsFindFirstW(\"\\Application\") lists the log");
  Check(entries.size() == records.size(), "the Application folder lists " +
                                              std::to_string(records.size()) + " records (got " +
                                              std::to_string(entries.size()) + ")");
  for (std::size_t i = 0; i < entries.size() && i < records.size(); ++i) {
    // Newest first: the last record stored is listed first.
    const TestRecord& record = records[records.size() - 1 - i];
    const WIN32_FIND_DATAW& entry = entries[i];
    const std::wstring expected = ListedName(record);
    const std::string what = "entry " + std::to_string(i) + " ";
    Check(entry.cFileName == expected,
          what + "is \"" + Narrow(expected) + "\" (got \"" + Narrow(entry.cFileName) + "\")");
    Check(entry.nFileSizeLow == EventCode(record) && entry.nFileSizeHigh == 0,
          what + "has the event code " + std::to_string(EventCode(record)) + " as its size (got " +
              std::to_string(entry.nFileSizeLow) + ")");
    const FILETIME time = UtcFileTime(record.contents.timeGenerated);
    Check(entry.ftLastWriteTime.dwLowDateTime == time.dwLowDateTime &&
              entry.ftLastWriteTime.dwHighDateTime == time.dwHighDateTime,
          what + "has the time generated as its date");
    Check(entry.dwFileAttributes == FILE_ATTRIBUTE_READONLY, what + "is a read-only file");
  }
}

}  // namespace qb::winetest
