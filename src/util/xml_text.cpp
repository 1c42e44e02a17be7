#include "util/xml_text.h"

#include <vector>

namespace qb::util {
namespace {

// One piece of the XML: a tag ("<...>", its kind told by its first characters) or the text
// between two tags.
struct Piece {
  enum class Kind { kOpen, kClose, kEmpty, kOther, kText };
  Kind kind;
  std::u16string_view text;
};

std::vector<Piece> Pieces(std::u16string_view xml) {
  std::vector<Piece> pieces;
  std::size_t at = 0;
  while (at < xml.size()) {
    if (xml[at] != u'<') {
      const auto end = xml.find(u'<', at);
      pieces.push_back({Piece::Kind::kText, xml.substr(at, end - at)});
      at = end == std::u16string_view::npos ? xml.size() : end;
      continue;
    }
    // A comment or CDATA section may hold ">" before its end.
    std::u16string_view closing = u">";
    if (xml.substr(at).starts_with(u"<!--")) closing = u"-->";
    if (xml.substr(at).starts_with(u"<![CDATA[")) closing = u"]]>";
    const auto end = xml.find(closing, at + 1);
    const std::size_t stop = end == std::u16string_view::npos ? xml.size() : end + closing.size();
    const std::u16string_view tag = xml.substr(at, stop - at);
    Piece::Kind kind = Piece::Kind::kOpen;
    if (tag.starts_with(u"</")) {
      kind = Piece::Kind::kClose;
    } else if (tag.starts_with(u"<?") || tag.starts_with(u"<!")) {
      kind = Piece::Kind::kOther;
    } else if (tag.ends_with(u"/>")) {
      kind = Piece::Kind::kEmpty;
    }
    pieces.push_back({kind, tag});
    at = stop;
  }
  return pieces;
}

// A start or empty tag with its attributes in double quotes: an apostrophe inside needs no
// entity any more, a double quote needs one.
std::u16string Requoted(std::u16string_view tag, bool empty) {
  std::u16string out;
  out.reserve(tag.size() + 8);
  char16_t quote = 0;
  // Without its ">" or "/>" (a damaged tag may have neither).
  std::size_t end = tag.size();
  if (tag.ends_with(u"/>")) {
    end -= 2;
  } else if (tag.ends_with(u">")) {
    end -= 1;
  }
  for (std::size_t i = 0; i < end; ++i) {
    const char16_t c = tag[i];
    if (quote == 0 && (c == u'\'' || c == u'"')) {
      quote = c;
      out += u'"';
    } else if (quote != 0 && c == quote) {
      quote = 0;
      out += u'"';
    } else if (quote == u'\'' && c == u'"') {
      out += u"&quot;";
    } else if (quote != 0 && c == u'&' && tag.substr(i).starts_with(u"&apos;")) {
      out += u'\'';
      i += 5;
    } else {
      out += c;
    }
  }
  if (quote != 0) out += u'"';  // an attribute left open by a damaged tag
  while (!out.empty() && out.back() == u' ') out.pop_back();
  out += empty ? u" />" : u">";
  return out;
}

bool IsBlank(std::u16string_view text) {
  for (char16_t c : text) {
    if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n') return false;
  }
  return true;
}

}  // namespace

std::u16string IndentXml(std::u16string_view xml) {
  const std::vector<Piece> pieces = Pieces(xml);
  std::u16string out;
  out.reserve(xml.size() + xml.size() / 4);
  std::size_t depth = 0;
  const auto line = [&](std::size_t level) {
    if (!out.empty()) out += u"\r\n";
    out.append(level * 2, u' ');
  };
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const Piece& piece = pieces[i];
    switch (piece.kind) {
      case Piece::Kind::kOpen: {
        line(depth);
        // Text alone inside: on the element's line.
        if (i + 2 < pieces.size() && pieces[i + 1].kind == Piece::Kind::kText &&
            pieces[i + 2].kind == Piece::Kind::kClose) {
          out += Requoted(piece.text, false);
          out += pieces[i + 1].text;
          out += pieces[i + 2].text;
          i += 2;
        } else if (i + 1 < pieces.size() && pieces[i + 1].kind == Piece::Kind::kClose) {
          out += Requoted(piece.text, true);
          i += 1;
        } else {
          out += Requoted(piece.text, false);
          ++depth;
        }
        break;
      }
      case Piece::Kind::kClose:
        if (depth > 0) --depth;
        line(depth);
        out += piece.text;
        break;
      case Piece::Kind::kEmpty:
        line(depth);
        out += Requoted(piece.text, true);
        break;
      case Piece::Kind::kOther:
        line(depth);
        out += piece.text;
        break;
      case Piece::Kind::kText:
        if (IsBlank(piece.text)) break;
        line(depth);
        out += piece.text;
        break;
    }
  }
  return out;
}

}  // namespace qb::util
