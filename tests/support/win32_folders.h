// Scratch folders of the Windows test programs.
#pragma once

#include <string>

namespace qb::support {

// Deletes a folder with everything in it, read-only files included; the "\\?\" form reaches
// paths beyond MAX_PATH.
void RemoveTree(const std::wstring& folder);

}  // namespace qb::support
