// Path helpers for Windows paths (backslash separators, drive letters).
#pragma once

#include <string>
#include <string_view>

namespace qb::util {

// The folder part including its trailing backslash ("C:\a\b.txt" -> "C:\a\").
std::u16string ExtractFilePath(std::u16string_view path);
// The file name part ("C:\a\b.txt" -> "b.txt").
std::u16string ExtractFileName(std::u16string_view path);
// Replaces the extension (from the last "." of the file name on) or appends `ext`.
std::u16string ChangeFileExt(std::u16string_view path, std::u16string_view ext);

}  // namespace qb::util
