// The plugin's own resources (string table, message table, icons), compiled in from the same
// sources as the Windows resource script by tools/generate/make_own_image.py.
#pragma once

#include "platform/sim/formats/module_image.h"

namespace qb::linuxlib {

sim::ModuleImage OwnImage();

}  // namespace qb::linuxlib
