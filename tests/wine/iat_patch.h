// Redirecting a loaded module's imports: the entries of its import address table that one
// library supplies are overwritten with other functions, so that the module's calls reach
// those instead.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/windows_api.h"

namespace qb::winetest {

struct ImportReplacement {
  const char* name;  // the function's exported name
  void* function;    // what the module shall call instead
};

// Overwrites, in every import descriptor of `module` for `library` (compared without regard
// to case), the entries of the functions named in `replacements`. Returns the names of the
// entries written, once each; entries the module does not import are left out.
std::vector<std::string> PatchImports(HMODULE module, std::string_view library,
                                      const std::vector<ImportReplacement>& replacements);

}  // namespace qb::winetest
