// Which log the event log object has open for reading: one log at a time, chosen by its display
// name, so that a record is always read from the log its name belongs to.
#pragma once

#include <cstdint>
#include <string_view>

#include "eventlog/event_log.h"

namespace qb {

// Catalogue index of the log with this display name (exact match), 0 when there is none. The
// catalogue's placeholder is no log: a log that happens to share its name is still found.
std::int32_t LogIndexOf(const TFWEventLog& log, std::u16string_view displayName);

// Makes log `index` the one open for reading, closing another one; the log that is open already
// stays as it is. False for 0 or when it does not open.
bool OpenLogAt(TFWEventLog& log, std::int32_t index);

// The same by display name.
bool OpenLogNamed(TFWEventLog& log, std::u16string_view displayName);

}  // namespace qb
