#include "plugin/column_text.h"

#include <algorithm>

#include "util/text.h"

namespace qb::plugin {

std::u16string TruncateWithEllipsis(std::u16string_view text, std::size_t limit) {
  if (limit == 0) return {};
  if (text.size() < limit) return std::u16string(text);
  return std::u16string(text.substr(0, limit - 1)) + u"\u2026";
}

std::u16string CollapseRepeats(char16_t ch, std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (c == ch && !out.empty() && out.back() == ch) continue;
    out.push_back(c);
  }
  return out;
}

std::u16string FlattenDescription(std::u16string_view text) {
  std::u16string flat(text);
  std::replace(flat.begin(), flat.end(), u'\t', u' ');
  flat = util::ReplaceAll(flat, u"\r\n", u" ");
  return CollapseRepeats(u' ', flat);
}

}  // namespace qb::plugin
