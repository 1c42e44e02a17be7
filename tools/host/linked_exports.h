// The exports of the plugin code linked into the host program itself (the native wfxhost):
// what loading the library and looking its exports up amounts to without Windows.
#pragma once

#include "host/plugin_exports.h"

namespace qb::host {

inline PluginExports LinkedExports() {
  PluginExports exports;
#define QB_HOST_LINKED_EXPORT(name) exports.name = &::name;
  QB_PLUGIN_EXPORTS(QB_HOST_LINKED_EXPORT)
#undef QB_HOST_LINKED_EXPORT
  return exports;
}

}  // namespace qb::host
