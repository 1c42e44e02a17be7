// Creating folders.
#pragma once

#include <string_view>

namespace qb::sysutil {

// Creates a folder and its missing parents; false when it does not exist afterwards.
bool ForceDirectories(std::u16string_view path);

}  // namespace qb::sysutil
