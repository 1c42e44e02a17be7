// The groups of checks the plugin test runs against the loaded library, in the order it runs
// them.
#pragma once

#include <string>
#include <vector>

#include "host_interface.h"
#include "plugin_test_records.h"

namespace qb::winetest {

// The registry name and display name of the extra log the test registers, whose display name
// comes from the test message library.
inline constexpr wchar_t kDisplayNameLog[] = L"QbDisplayNameLog";
inline constexpr wchar_t kDisplayNameLogTitle[] = L"Test Events";
inline constexpr wchar_t kApplicationLog[] = L"Application";
inline constexpr wchar_t kOwnSourceKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Quillerbankton";

struct LoadedPlugin {
  HMODULE module = nullptr;
  PluginExports fs;
  std::wstring path;    // of the copy that was loaded
  std::wstring folder;  // the temporary folder the copy lies in
};

// The own event source key while the library is loaded, for an administrator; no key for
// anyone else.
void CheckRegistration(const LoadedPlugin& plugin, bool administrator);
// The root lists one folder per subkey of the event log key, by display name.
void CheckRootListing(const LoadedPlugin& plugin);
// The Application folder lists the records newest first.
void CheckLogListing(const LoadedPlugin& plugin, const std::vector<TestRecord>& records);
// Copying records out gives their text rendition.
void CheckRecordFiles(const LoadedPlugin& plugin, const std::vector<TestRecord>& records);
// The custom columns and their delayed retrieval.
void CheckColumns(const LoadedPlugin& plugin, const std::vector<TestRecord>& records);
// The icons by event type.
void CheckIcons(const LoadedPlugin& plugin, const std::vector<TestRecord>& records);

// The path the host asks for a record of the Application log by.
std::wstring RecordPath(const TestRecord& record);

}  // namespace qb::winetest
