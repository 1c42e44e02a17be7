// Which offline machine the Linux library shows: key Folder of section [Machine] in the
// settings file beside the library (Quillerbankton.ini, read as the Windows build reads it),
// relative to the library's folder unless absolute; else the folder "machine" beside the
// library.
#pragma once

#include <filesystem>
#include <string>

namespace qb::linuxlib {

// With the library's platform installed (the settings file is read through it).
std::filesystem::path ChosenMachineFolder(const std::filesystem::path& library);

// The settings file of the library.
std::filesystem::path SettingsFile(const std::filesystem::path& library);

}  // namespace qb::linuxlib
