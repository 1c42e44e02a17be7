// Shaping texts for the host's columns.
#pragma once

#include <string>

namespace qb::plugin {

// At most `limit` characters: a text of `limit` or more characters becomes its first
// `limit` - 1 characters and "…".
std::u16string TruncateWithEllipsis(std::u16string_view text, std::size_t limit);

// Every run of `ch` becomes a single `ch`.
std::u16string CollapseRepeats(char16_t ch, std::u16string_view text);

// A description on one line: tabs and line breaks become blanks, runs of blanks one blank.
std::u16string FlattenDescription(std::u16string_view text);

}  // namespace qb::plugin
