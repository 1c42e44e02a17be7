#include "eventlog/log_selection.h"

namespace qb {

std::int32_t LogIndexOf(const TFWEventLog& log, std::u16string_view displayName) {
  const auto& catalogue = log.Catalogue();
  for (std::int32_t i = 1; i < catalogue.EventLogCount(); ++i) {
    if (catalogue.GetEventLogDisplayName(i) == displayName) return i;
  }
  return 0;
}

bool OpenLogAt(TFWEventLog& log, std::int32_t index) {
  if (index <= 0) return false;
  if (log.OpenState().Has(TFSOpenState::osRead)) {
    if (log.ReadSourceType() == index) return true;
    log.Close(TFSOpenState::osRead);
  }
  return log.Open(index, TFSOpenState::osRead);
}

bool OpenLogNamed(TFWEventLog& log, std::u16string_view displayName) {
  return OpenLogAt(log, LogIndexOf(log, displayName));
}

}  // namespace qb
