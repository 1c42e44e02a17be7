// The icons: one icon group of the library per event type, the host's default for the rest.
#include <algorithm>

#include "plugin_test_checks.h"
#include "wine_test_support.h"

namespace qb::winetest {
namespace {

// The library's icon group for a type word; none for types without an icon of their own.
const wchar_t* GroupOf(const std::wstring& typeWord) {
  static const struct {
    const wchar_t* word;
    const wchar_t* group;
  } kGroups[] = {{L"information", L"INFORMATION"},
                 {L"error", L"ERROR"},
                 {L"warning", L"WARNING"},
                 {L"successaudit", L"AUDIT_SUCCESS"},
                 {L"failureaudit", L"AUDIT_FAILED"}};
  for (const auto& entry : kGroups) {
    if (typeWord == entry.word) return entry.group;
  }
  return nullptr;
}

}  // namespace

void CheckIcons(const LoadedPlugin& plugin, const std::vector<TestRecord>& records) {
  for (const wchar_t* group : {L"INFORMATION", L"ERROR", L"WARNING", L"AUDIT_SUCCESS",
                               L"AUDIT_FAILED", L"CRITICAL", L"VERBOSE"}) {
    Check(LoadIconW(plugin.module, group) != nullptr,
          "the library holds the icon group " + Narrow(group));
  }
  std::vector<std::wstring> seen;
  for (const TestRecord& record : records) {
    if (std::find(seen.begin(), seen.end(), record.typeWord) != seen.end()) continue;
    seen.push_back(record.typeWord);
    std::wstring path = RecordPath(record);
    fs::HICON extracted = nullptr;
    const int result = plugin.fs.FsExtractCustomIconW(Host(path), kIconFlagSmall, &extracted);
    const HICON icon = static_cast<HICON>(extracted);
    const wchar_t* group = GroupOf(record.typeWord);
    const std::string what = "FsExtractCustomIconW(\"" + Narrow(path) + "\") ";
    if (group == nullptr) {
      Check(result == kIconUseDefault,
            what + "gives FS_ICON_USEDEFAULT (got " + std::to_string(result) + ")");
      continue;
    }
    const HICON expected = LoadIconW(plugin.module, group);
    Check(result == kIconExtracted && icon != nullptr && icon == expected,
          what + "gives FS_ICON_EXTRACTED with the icon group " + Narrow(group) + " (got " +
              std::to_string(result) + ")");
  }
  std::wstring folder = L"\\" + std::wstring(kApplicationLog);
  fs::HICON icon = nullptr;
  Check(plugin.fs.FsExtractCustomIconW(Host(folder), kIconFlagSmall, &icon) == kIconUseDefault,
        "FsExtractCustomIconW of a log folder gives FS_ICON_USEDEFAULT");
}

}  // namespace qb::winetest
