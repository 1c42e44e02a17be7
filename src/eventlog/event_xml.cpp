#include "eventlog/event_xml.h"

#include <optional>

namespace qb {
namespace {

// The text of `raw` with its character and entity references resolved.
std::u16string Unescaped(std::u16string_view raw) {
  std::u16string text;
  text.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != u'&') {
      text += raw[i];
      continue;
    }
    const auto end = raw.find(u';', i);
    if (end == std::u16string_view::npos || end - i > 10) {
      text += raw[i];
      continue;
    }
    const std::u16string_view name = raw.substr(i + 1, end - i - 1);
    char32_t c = 0;
    if (name == u"amp") {
      c = u'&';
    } else if (name == u"lt") {
      c = u'<';
    } else if (name == u"gt") {
      c = u'>';
    } else if (name == u"quot") {
      c = u'"';
    } else if (name == u"apos") {
      c = u'\'';
    } else if (name.size() > 1 && name[0] == u'#') {
      const bool hex = name[1] == u'x' || name[1] == u'X';
      for (char16_t d : name.substr(hex ? 2 : 1)) {
        const int v = d >= u'0' && d <= u'9'          ? d - u'0'
                      : hex && d >= u'a' && d <= u'f' ? d - u'a' + 10
                      : hex && d >= u'A' && d <= u'F' ? d - u'A' + 10
                                                      : -1;
        if (v < 0 || c > 0x10FFFF) {
          c = 0xFFFD;
          break;
        }
        c = c * (hex ? 16 : 10) + static_cast<char32_t>(v);
      }
      if (c > 0x10FFFF || c == 0) c = 0xFFFD;
    } else {
      text += raw[i];
      continue;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      text += static_cast<char16_t>(0xD800 + (c >> 10));
      text += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      text += static_cast<char16_t>(c);
    }
    i = end;
  }
  return text;
}

// A tag at `at` ("<Name ...>" or "<Name .../>"): its name, its end, whether it closes itself.
struct Tag {
  std::u16string_view name;
  std::u16string_view attributes;
  std::size_t end = 0;  // just past ">"
  bool empty = false;
};

std::optional<Tag> TagAt(std::u16string_view xml, std::size_t at) {
  if (at >= xml.size() || xml[at] != u'<') return std::nullopt;
  const auto close = xml.find(u'>', at);
  if (close == std::u16string_view::npos) return std::nullopt;
  Tag tag;
  tag.end = close + 1;
  tag.empty = close > at && xml[close - 1] == u'/';
  const std::u16string_view inside = xml.substr(at + 1, close - at - 1 - (tag.empty ? 1 : 0));
  const auto space = inside.find_first_of(u" \t\r\n");
  tag.name = inside.substr(0, space);
  if (space != std::u16string_view::npos) tag.attributes = inside.substr(space);
  return tag;
}

// The value of attribute `name` in a tag's attributes, quoted either way.
std::u16string Attribute(std::u16string_view attributes, std::u16string_view name) {
  std::size_t at = 0;
  while ((at = attributes.find(name, at)) != std::u16string_view::npos) {
    const std::size_t eq = at + name.size();
    const bool starts = at == 0 || attributes[at - 1] == u' ' || attributes[at - 1] == u'\t';
    if (starts && eq + 1 < attributes.size() && attributes[eq] == u'=') {
      const char16_t quote = attributes[eq + 1];
      const auto end = attributes.find(quote, eq + 2);
      if (end != std::u16string_view::npos) {
        return Unescaped(attributes.substr(eq + 2, end - eq - 2));
      }
    }
    at = eq;
  }
  return {};
}

// The content of the element whose start tag ends at `from`: up to its end tag (the first
// "</" at this level; event data elements hold text only).
std::u16string_view ContentFrom(std::u16string_view xml, std::size_t from, std::size_t& after) {
  const auto end = xml.find(u"</", from);
  if (end == std::u16string_view::npos) {
    after = xml.size();
    return {};
  }
  const auto close = xml.find(u'>', end);
  after = close == std::u16string_view::npos ? xml.size() : close + 1;
  return xml.substr(from, end - from);
}

}  // namespace

std::vector<std::pair<std::u16string, std::u16string>> EventDataOf(std::u16string_view xml) {
  std::vector<std::pair<std::u16string, std::u16string>> data;
  if (const auto start = xml.find(u"<EventData"); start != std::u16string_view::npos) {
    std::size_t at = xml.find(u'<', start + 1);
    while (at != std::u16string_view::npos) {
      const auto tag = TagAt(xml, at);
      if (!tag || tag->name != u"Data") break;
      std::u16string value;
      std::size_t after = tag->end;
      if (!tag->empty) value = Unescaped(ContentFrom(xml, tag->end, after));
      data.emplace_back(Attribute(tag->attributes, u"Name"), std::move(value));
      at = xml.find(u'<', after);
      if (at != std::u16string_view::npos && xml.substr(at).starts_with(u"</EventData")) break;
    }
    return data;
  }
  const auto user = xml.find(u"<UserData");
  if (user == std::u16string_view::npos) return data;
  const auto userTag = TagAt(xml, user);
  if (!userTag || userTag->empty) return data;
  const auto childTag = TagAt(xml, xml.find(u'<', userTag->end));
  if (!childTag || childTag->empty) return data;
  // The child's leaves: elements with text only, whatever their depth of one.
  std::size_t at = xml.find(u'<', childTag->end);
  while (at != std::u16string_view::npos && at < xml.size()) {
    if (xml.substr(at).starts_with(u"</")) break;
    const auto leaf = TagAt(xml, at);
    if (!leaf) break;
    std::u16string value;
    std::size_t after = leaf->end;
    if (!leaf->empty) value = Unescaped(ContentFrom(xml, leaf->end, after));
    data.emplace_back(std::u16string(leaf->name), std::move(value));
    at = xml.find(u'<', after);
  }
  return data;
}

platform::Bytes BinaryDataOf(std::u16string_view xml) {
  platform::Bytes bytes;
  const auto start = xml.find(u"<Binary>");
  if (start == std::u16string_view::npos) return bytes;
  std::size_t after = 0;
  const std::u16string_view hex = ContentFrom(xml, start + 8, after);
  const auto digit = [](char16_t c) {
    return c >= u'0' && c <= u'9'   ? c - u'0'
           : c >= u'a' && c <= u'f' ? c - u'a' + 10
           : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                    : -1;
  };
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    const int high = digit(hex[i]);
    const int low = digit(hex[i + 1]);
    if (high < 0 || low < 0) return {};
    bytes.push_back(static_cast<std::byte>(high * 16 + low));
  }
  return bytes;
}

}  // namespace qb
