// The plugin's one event log object chooses its log by catalogue index or display name.
#include "eventlog/log_selection.h"

#include "plugin/plugin_state.h"

namespace qb::plugin {

std::int32_t LogIndexOf(std::u16string_view displayName) {
  return qb::LogIndexOf(*State().eventLog, displayName);
}

bool OpenLogAt(std::int32_t index) {
  return qb::OpenLogAt(*State().eventLog, index);
}

bool OpenLogNamed(std::u16string_view displayName) {
  return qb::OpenLogNamed(*State().eventLog, displayName);
}

}  // namespace qb::plugin
