// How the host prints what the plugin hands over: times, attributes, sizes and the names of
// result codes.
#pragma once

#include <cstdint>
#include <string>

#include "plugin/fsplugin.h"

namespace qb::wfxhost {

// "2023-11-14T22:13:20Z" (with .fffffff when there are fractions of a second); "-" for the
// zero time and for the host's "no time" marker (0xFFFFFFFF:0xFFFFFFFE).
std::string FileTimeText(fs::FILETIME time);

// Two flags: 'd' for a folder, 'r' for read-only, '-' where the flag is not set.
std::string AttributeText(fs::DWORD attributes);

std::uint64_t FileSize(const fs::WIN32_FIND_DATAW& data);

// "FS_FILE_OK", ...; "result <n>" for values outside the list.
std::string FileResultName(int result);
// "FS_EXEC_OK", ...
std::string ExecResultName(int result);
// "FS_ICON_EXTRACTED", ...
std::string IconResultName(int result);
// "ft_stringw", ...
std::string FieldTypeName(int type);
// "error 2 (ERROR_FILE_NOT_FOUND)"; the name only for the codes the plugin is known to use.
std::string LastErrorText(std::uint32_t code);

}  // namespace qb::wfxhost
