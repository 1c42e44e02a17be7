// Which log the event log object has open for reading: one log at a time, chosen by its display
// name, so that a record is always read from the log its name belongs to.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "eventlog/event_log.h"

namespace qb {

// Catalogue index of the log with this display name (exact match), 0 when there is none. The
// catalogue's placeholder is no log: a log that happens to share its name is still found. A
// channel's display name is its folder's path (the folder of all channels, then the channel's
// folders, separated by backslashes); its index is one from kFirstChannelIndex on.
std::int32_t LogIndexOf(const TFWEventLog& log, std::u16string_view displayName);

// A folder at or below the folder of all channels, by its display path: its subfolders and
// the channel it is, if any. nullopt for any other path, or where there are no channels.
std::optional<TChannelList::Folder> ChannelFolderOf(const TFWEventLog& log,
                                                    std::u16string_view displayName);

// Makes log `index` the one open for reading, closing another one; the log that is open already
// stays as it is. False for 0 or when it does not open.
bool OpenLogAt(TFWEventLog& log, std::int32_t index);

// The same by display name.
bool OpenLogNamed(TFWEventLog& log, std::u16string_view displayName);

}  // namespace qb
