// The plugin's own resources as the tests expect them: the string resources and the message
// table, typed out independently of the resource script.
#pragma once

#include "platform/sim/formats/module_image.h"

namespace qb::support {

sim::ModuleImage OwnResources();

}  // namespace qb::support
