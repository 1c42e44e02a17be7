#include "platform/sim/formats/evtx_xml.h"

#include "platform/sim/formats/le_bytes.h"

namespace qb::sim {
namespace {

using platform::ByteSpan;

void AppendUnsigned(std::u16string& out, unsigned v) {
  char16_t digits[10];
  int n = 0;
  do {
    digits[n++] = static_cast<char16_t>(u'0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (n > 0) out += digits[--n];
}

void AppendEscapedChar(std::u16string& out, char16_t c) {
  switch (c) {
    case u'&':
      out += u"&amp;";
      break;
    case u'<':
      out += u"&lt;";
      break;
    case u'>':
      out += u"&gt;";
      break;
    case u'"':
      out += u"&quot;";
      break;
    case u'\'':
      out += u"&apos;";
      break;
    default:
      out += c;
  }
}

bool NeedsEscape(char16_t c) {
  return c == u'&' || c == u'<' || c == u'>' || c == u'"' || c == u'\'';
}

// A UTF-16LE string value straight from the chunk, up to its first NUL, escaped.
void AppendEscapedUtf16(std::u16string& out, ByteSpan bytes) {
  const std::size_t chars = bytes.size() / 2;
  const std::size_t at = out.size();
  out.resize(at + chars);
  char16_t* p = out.data() + at;
  std::size_t n = 0;
  bool escape = false;
  for (; n < chars; ++n) {
    const auto c = static_cast<char16_t>(le::U16(bytes.data() + 2 * n));
    if (c == u'\0') break;
    escape |= NeedsEscape(c);
    p[n] = c;
  }
  out.resize(at + n);
  if (!escape) return;
  const std::u16string raw = out.substr(at);
  out.resize(at);
  AppendXmlEscaped(out, raw);
}

}  // namespace

bool EvtxValueIsEmpty(const BxValue& value) {
  return (value.type & ~evtxtype::kArray) == evtxtype::kNull || value.size == 0;
}

void AppendXmlEscaped(std::u16string& out, std::u16string_view text) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!NeedsEscape(text[i])) continue;
    out.append(text.substr(start, i - start));
    AppendEscapedChar(out, text[i]);
    start = i + 1;
  }
  out.append(text.substr(start));
}

bool EvtxXmlRenderer::Render(BxChunk& chunk, std::uint32_t begin, std::uint32_t end,
                             std::u16string& out) {
  const std::size_t size = out.size();
  chunk_ = &chunk;
  out_ = &out;
  limit_ = size + kMaxOutput;
  work_ = 0;
  const bool ok = RenderDocument(begin, end, 0);
  if (!ok) out.resize(size);
  return ok;
}

bool EvtxXmlRenderer::RenderDocument(std::uint32_t begin, std::uint32_t end, int depth) {
  if (depth > kBxMaxValueDepth) return false;
  BxDocument& doc = docs_[static_cast<std::size_t>(depth)];
  if (!chunk_->ParseDocument(begin, end, doc, depth)) return false;
  work_ += 1 + doc.values.size();
  if (work_ > kMaxWork) return false;
  for (const BxPart& part : doc.parts) {
    const Scope scope{part.tree, std::span(doc.values).subspan(part.firstValue, part.valueCount),
                      depth};
    if (!RenderItems(scope, part.tree->first, part.tree->count, 0)) return false;
  }
  return true;
}

const BxValue* EvtxXmlRenderer::ValueOf(const Scope& scope, const BxItem& item) const {
  return item.index < scope.values.size() ? &scope.values[item.index] : nullptr;
}

bool EvtxXmlRenderer::RenderItems(const Scope& scope, std::uint32_t first, std::uint32_t count,
                                  std::size_t arrayItem) {
  std::u16string& out = *out_;
  const BxTree& tree = *scope.tree;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (out.size() > limit_) return false;
    const BxItem& item = tree.items[first + i];
    switch (item.kind) {
      case BxItem::Kind::kElement:
        if (!RenderElement(scope, item.ref)) return false;
        break;
      case BxItem::Kind::kText:
        AppendXmlEscaped(out, tree.texts[item.ref]);
        break;
      case BxItem::Kind::kSubstitution:
        if (!RenderSubstitution(scope, item, arrayItem, false)) return false;
        break;
      case BxItem::Kind::kCharRef:
        out += u"&#";
        AppendUnsigned(out, item.index);
        out += u';';
        break;
      case BxItem::Kind::kEntityRef:
        out += u'&';
        out += chunk_->name(item.ref);
        out += u';';
        break;
      case BxItem::Kind::kCData:
        out += u"<![CDATA[";
        out += tree.texts[item.ref];
        out += u"]]>";
        break;
      case BxItem::Kind::kPi:
        out += u"<?";
        out += chunk_->name(item.ref2);
        if (!tree.texts[item.ref].empty()) {
          out += u' ';
          out += tree.texts[item.ref];
        }
        out += u"?>";
        break;
    }
  }
  return true;
}

bool EvtxXmlRenderer::RenderElement(const Scope& scope, std::uint32_t index) {
  const BxTree& tree = *scope.tree;
  const BxElement& e = tree.elements[index];
  work_ += 1 + e.count;
  if (work_ > kMaxWork) return false;
  // Substitutions directly in the content decide whether the element is there at all, and
  // how often.
  std::size_t repeat = 1;
  bool hasArray = false;
  for (std::uint32_t i = 0; i < e.count; ++i) {
    const BxItem& item = tree.items[e.first + i];
    if (item.kind != BxItem::Kind::kSubstitution) continue;
    const BxValue* v = ValueOf(scope, item);
    if (item.optional && (v == nullptr || EvtxValueIsEmpty(*v))) return true;
    if (v != nullptr && (v->type & evtxtype::kArray) != 0 && !hasArray) {
      hasArray = true;
      repeat = std::max<std::size_t>(
          1, EvtxArrayItems(v->type & ~evtxtype::kArray, chunk_->ValueBytes(*v)).size());
    }
  }
  std::u16string& out = *out_;
  const std::u16string& name = chunk_->name(e.name);
  for (std::size_t k = 0; k < repeat; ++k) {
    if (out.size() > limit_) return false;
    out += u'<';
    out += name;
    for (std::uint32_t a = 0; a < e.attributeCount; ++a) {
      const BxAttribute& attribute = tree.attributes[e.firstAttribute + a];
      bool present = true;
      for (std::uint32_t i = 0; i < attribute.count && present; ++i) {
        const BxItem& item = tree.items[attribute.first + i];
        if (item.kind == BxItem::Kind::kSubstitution && item.optional) {
          const BxValue* v = ValueOf(scope, item);
          present = v != nullptr && !EvtxValueIsEmpty(*v);
        }
      }
      if (!present) continue;
      out += u' ';
      out += chunk_->name(attribute.name);
      out += u"='";
      for (std::uint32_t i = 0; i < attribute.count; ++i) {
        const BxItem& item = tree.items[attribute.first + i];
        if (item.kind == BxItem::Kind::kSubstitution) {
          if (!RenderSubstitution(scope, item, 0, true)) return false;
        } else if (!RenderItems(scope, attribute.first + i, 1, 0)) {
          return false;
        }
      }
      out += u'\'';
    }
    if (e.empty) {
      out += u"/>";
      continue;
    }
    out += u'>';
    if (!RenderItems(scope, e.first, e.count, k)) return false;
    out += u"</";
    out += name;
    out += u'>';
  }
  return true;
}

bool EvtxXmlRenderer::RenderSubstitution(const Scope& scope, const BxItem& item,
                                         std::size_t arrayItem, bool inAttribute) {
  const BxValue* v = ValueOf(scope, item);
  if (v == nullptr) return true;
  std::u16string& out = *out_;
  const ByteSpan bytes = chunk_->ValueBytes(*v);
  const std::uint8_t type = v->type & ~evtxtype::kArray;
  if ((v->type & evtxtype::kArray) != 0) {
    const auto items = EvtxArrayItems(type, bytes);
    for (std::size_t k = 0; k < items.size(); ++k) {
      // In content the element repeats, one item each; in an attribute the items join.
      if (!inAttribute && k != arrayItem) continue;
      if (inAttribute && k != 0) out += u", ";
      scratch_.clear();
      AppendEvtxValueText(type, items[k], scratch_);
      AppendXmlEscaped(out, scratch_);
    }
    return true;
  }
  switch (type) {
    case evtxtype::kString:
      AppendEscapedUtf16(out, bytes);
      return true;
    case evtxtype::kBinXml:
      if (inAttribute) break;
      return RenderDocument(v->offset, v->offset + v->size, scope.depth + 1);
    default:
      break;
  }
  scratch_.clear();
  AppendEvtxValueText(type, bytes, scratch_);
  AppendXmlEscaped(out, scratch_);
  return true;
}

}  // namespace qb::sim
