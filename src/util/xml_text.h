// An event's XML as people read it: what the event log renders has no white space between its
// elements and quotes attributes with apostrophes; Windows' own viewer shows it one element a
// line, indented by two spaces a level, attributes in double quotes.
#pragma once

#include <string>

namespace qb::util {

// `xml` indented, lines ending in CR LF, no line break after the last. Text of an element that
// holds no other element stays on the element's line; an element without content is written
// "<Name a="1" />". Text that is no well-formed XML comes out unharmed, if not indented well.
std::u16string IndentXml(std::u16string_view xml);

}  // namespace qb::util
