// What the tests of the Windows backend's own behaviour share: the program's argument.
#pragma once

#include <string>

namespace qb::suite {

// The built plugin library named on the command line; empty when none was given.
std::wstring& PluginPath();

}  // namespace qb::suite
