// The plugin's exports as a host holds them: one pointer per name of the one list of exports,
// typed by the library's own declarations. A null pointer is an export the plugin lacks.
#pragma once

#include <cstddef>
#include <iterator>

#include "plugin/export_list.h"
#include "plugin/exports.h"

namespace qb::host {

struct PluginExports {
#define QB_HOST_EXPORT_POINTER(name) decltype(&::name) name = nullptr;
  QB_PLUGIN_EXPORTS(QB_HOST_EXPORT_POINTER)
#undef QB_HOST_EXPORT_POINTER
};

// The undecorated names, in the list's order.
inline constexpr const char* kPluginExportNames[] = {
#define QB_HOST_EXPORT_NAME(name) #name,
    QB_PLUGIN_EXPORTS(QB_HOST_EXPORT_NAME)
#undef QB_HOST_EXPORT_NAME
};
inline constexpr std::size_t kPluginExportCount = std::size(kPluginExportNames);

}  // namespace qb::host
