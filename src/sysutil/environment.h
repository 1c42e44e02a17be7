// Environment variables in texts such as registry paths.
#pragma once

#include <string>
#include <string_view>

namespace qb::sysutil {

// Expands %NAME% references. Expansions longer than the 259 characters of the classic buffer
// are expanded again into a buffer of the size the platform reports, so long paths survive.
std::u16string ExpandEnvVars(std::u16string_view text);

}  // namespace qb::sysutil
