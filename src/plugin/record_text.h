// The text rendition of a record that copying a record file out writes.
#pragma once

#include <string>
#include <vector>

#include "eventlog/event_log.h"

namespace qb::plugin {

// The lines of the rendition (a line may hold CR LF inside it), labels from the language;
// `logName` is what "Root Key:" names: a classic log's display name, a channel's own name.
std::vector<std::u16string> RecordTextLines(const TFWEventLog& log, const TLngResource& language,
                                            std::u16string_view logName,
                                            const TFWEventLogRecord& record);

}  // namespace qb::plugin
