#include "linux/machine_choice.h"

#include "linux/host_files.h"
#include "localization/ini_file.h"
#include "util/text.h"

namespace qb::linuxlib {

std::filesystem::path SettingsFile(const std::filesystem::path& library) {
  std::filesystem::path file = library;
  return file.replace_extension(".ini");
}

std::filesystem::path ChosenMachineFolder(const std::filesystem::path& library) {
  const std::filesystem::path folder = library.parent_path();
  const std::u16string value =
      ini::IniReadStringFrom(u"Machine", u"Folder", u"", DrivePath(SettingsFile(library)));
  if (value.empty()) return folder / "machine";
  if (const auto host = HostPath(value)) return *host;
  std::u16string relative = value;
  for (auto& c : relative) {
    if (c == u'\\') c = u'/';
  }
  return folder / util::Utf16ToUtf8(relative);
}

}  // namespace qb::linuxlib
