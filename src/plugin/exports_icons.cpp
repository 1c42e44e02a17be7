// Icons by event type: a record file's extension names its type in the current language.
#include <utility>

#include "platform/platform.h"
#include "plugin/export_call.h"
#include "plugin/exports.h"
#include "plugin/host_text.h"
#include "plugin/plugin_state.h"

namespace {

using namespace qb;

int ExtractIcon(const std::u16string& remoteName, fs::HICON* theIcon) {
  auto& state = plugin::State();
  const auto slash = remoteName.find_last_of(u'\\');
  const std::u16string_view last =
      std::u16string_view(remoteName).substr(slash == std::u16string::npos ? 0 : slash + 1);
  const auto dot = last.find_last_of(u'.');
  if (dot == std::u16string_view::npos) return fs::FS_ICON_USEDEFAULT;
  const std::u16string_view extension = last.substr(dot + 1);
  static constexpr std::pair<std::uint16_t, const char16_t*> kGroups[] = {
      {100, u"INFORMATION"},  {101, u"ERROR"},    {102, u"WARNING"}, {103, u"AUDIT_SUCCESS"},
      {104, u"AUDIT_FAILED"}, {106, u"CRITICAL"}, {107, u"VERBOSE"}};
  for (const auto& [id, group] : kGroups) {
    if (platform::Locale().CompareNoCase(extension, state.language->GetLocaleString(id)) != 0) {
      continue;
    }
    const platform::Handle icon = platform::Ui().LoadOwnIcon(group);
    if (icon == 0) return fs::FS_ICON_USEDEFAULT;
    *theIcon = reinterpret_cast<fs::HICON>(icon);
    return fs::FS_ICON_EXTRACTED;
  }
  return fs::FS_ICON_USEDEFAULT;
}

}  // namespace

extern "C" int QB_STDCALL FsExtractCustomIconW(fs::WCHAR* RemoteName, int, fs::HICON* TheIcon) {
  try {
    const plugin::ExportCall call;
    if (!call || RemoteName == nullptr || TheIcon == nullptr) return fs::FS_ICON_USEDEFAULT;
    const plugin::StateLock lock;
    return ExtractIcon(plugin::RemotePath(plugin::FromHost(RemoteName)), TheIcon);
  } catch (...) {
    return fs::FS_ICON_USEDEFAULT;
  }
}

extern "C" int QB_STDCALL FsExtractCustomIcon(char* RemoteName, int ExtractFlags,
                                              fs::HICON* TheIcon) {
  try {
    if (RemoteName == nullptr) return fs::FS_ICON_USEDEFAULT;
    std::u16string wide = plugin::FromHostAnsi(RemoteName);
    return FsExtractCustomIconW(wide.data(), ExtractFlags, TheIcon);
  } catch (...) {
    return fs::FS_ICON_USEDEFAULT;
  }
}
