#include "platform/sim/formats/binxml.h"

#include <algorithm>

#include "platform/sim/formats/evtx_file.h"
#include "platform/sim/formats/le_bytes.h"
#include "platform/sim/rules/text.h"

namespace qb::sim {
namespace {

using platform::ByteSpan;

// Template definition header: next definition, GUID, data size; the data follows.
constexpr std::uint32_t kTemplateHeaderSize = 24;
// Template instance: token, a byte, the template identifier, the definition's offset.
constexpr std::uint32_t kInstanceHeaderSize = 10;
// Name: next name, hash, character count; the characters and a NUL follow.
constexpr std::uint32_t kNameHeaderSize = 8;

// Compiles the tokens in [pos, end) of a chunk into a tree.
class Compiler {
 public:
  // Only template definitions give their elements a dependency identifier.
  Compiler(BxChunk& chunk, BxTree& tree, std::uint32_t pos, std::uint32_t end, bool inTemplate)
      : chunk_(chunk),
        bytes_(chunk.bytes()),
        tree_(tree),
        pos_(pos),
        end_(end),
        startSize_(inTemplate ? 7 : 5) {}

  std::uint32_t pos() const { return pos_; }

  // Top level of a template definition or of a document up to a template instance or the
  // end: fragment headers, elements, PIs. Stops before a template instance token, at the end
  // of the range and after an end-of-stream token.
  bool TopLevel(std::vector<BxItem>& top, bool* sawEof) {
    *sawEof = false;
    while (pos_ < end_) {
      const std::uint8_t token = Peek();
      switch (token & ~bxtoken::kMore) {
        case bxtoken::kEof:
          ++pos_;
          *sawEof = true;
          return true;
        case bxtoken::kFragmentHeader:
          if (!Skip(4)) return false;
          break;
        case bxtoken::kOpenStart: {
          BxItem item{BxItem::Kind::kElement};
          if (!Element(0, item.ref)) return false;
          top.push_back(item);
          break;
        }
        case bxtoken::kPiTarget: {
          BxItem item;
          if (!Pi(item)) return false;
          top.push_back(item);
          break;
        }
        case bxtoken::kTemplateInstance:
          return true;
        default:
          return false;
      }
    }
    return true;
  }

 private:
  std::uint8_t Peek() const { return std::to_integer<std::uint8_t>(bytes_[pos_]); }
  bool Has(std::uint32_t n) const { return pos_ <= end_ && end_ - pos_ >= n; }
  bool Skip(std::uint32_t n) {
    if (!Has(n)) return false;
    pos_ += n;
    return true;
  }
  const std::byte* At() const { return bytes_.data() + pos_; }

  std::uint32_t AddText(std::uint32_t chars) {
    tree_.texts.push_back(FromLittleEndianBytes(bytes_.subspan(pos_, 2 * std::size_t{chars})));
    pos_ += 2 * chars;
    return static_cast<std::uint32_t>(tree_.texts.size() - 1);
  }

  // A length-prefixed UTF-16 string after the token (value text, CDATA, PI data).
  bool CountedText(std::uint32_t& textIndex) {
    if (!Has(2)) return false;
    const std::uint32_t chars = le::U16(At());
    pos_ += 2;
    if (!Has(2 * chars) || !chunk_.Spend(2 * chars)) return false;
    textIndex = AddText(chars);
    return true;
  }

  bool Name(std::uint32_t& nameIndex) {
    if (!Has(4)) return false;
    const std::uint32_t offset = le::U32(At());
    pos_ += 4;
    const auto index = chunk_.NameAt(offset, &pos_, end_);
    if (!index) return false;
    nameIndex = *index;
    return true;
  }

  bool Substitution(BxItem& item) {
    if (!Has(4)) return false;
    item.kind = BxItem::Kind::kSubstitution;
    item.optional = (Peek() & ~bxtoken::kMore) == bxtoken::kOptionalSubstitution;
    item.index = le::U16(At() + 1);
    item.type = std::to_integer<std::uint8_t>(At()[3]);
    pos_ += 4;
    return true;
  }

  bool Pi(BxItem& item) {
    item.kind = BxItem::Kind::kPi;
    ++pos_;
    if (!Name(item.ref2)) return false;
    if (!Has(1) || (Peek() & ~bxtoken::kMore) != bxtoken::kPiData) return false;
    ++pos_;
    return CountedText(item.ref);
  }

  // Value text, substitutions and references: what attribute values and content share.
  // nullopt: the token is none of these.
  std::optional<bool> ValueItem(BxItem& item) {
    switch (Peek() & ~bxtoken::kMore) {
      case bxtoken::kValue:
        if (!Has(2) || std::to_integer<std::uint8_t>(At()[1]) != evtxtype::kString) return false;
        pos_ += 2;
        item.kind = BxItem::Kind::kText;
        return CountedText(item.ref);
      case bxtoken::kNormalSubstitution:
      case bxtoken::kOptionalSubstitution:
        return Substitution(item);
      case bxtoken::kCharRef:
        if (!Has(3)) return false;
        item.kind = BxItem::Kind::kCharRef;
        item.index = le::U16(At() + 1);
        pos_ += 3;
        return true;
      case bxtoken::kEntityRef:
        item.kind = BxItem::Kind::kEntityRef;
        ++pos_;
        return Name(item.ref);
      default:
        return std::nullopt;
    }
  }

  bool Element(int depth, std::uint32_t& elementIndex) {
    if (depth >= kBxMaxElementDepth || !chunk_.Spend(16)) return false;
    const bool hasAttributes = (Peek() & bxtoken::kMore) != 0;
    // Token, dependency identifier, data size; the name follows.
    if (!Skip(startSize_)) return false;
    BxElement element;
    if (!Name(element.name)) return false;
    if (hasAttributes) {
      if (!Skip(4)) return false;  // the attribute list's size: the tokens say as much
      element.firstAttribute = static_cast<std::uint32_t>(tree_.attributes.size());
      while (Has(1) && (Peek() & ~bxtoken::kMore) == bxtoken::kAttribute) {
        ++pos_;
        BxAttribute attribute;
        if (!Name(attribute.name)) return false;
        attribute.first = static_cast<std::uint32_t>(tree_.items.size());
        while (Has(1)) {
          BxItem item;
          const auto parsed = ValueItem(item);
          if (!parsed) break;
          if (!*parsed || !chunk_.Spend(4)) return false;
          tree_.items.push_back(item);
        }
        attribute.count = static_cast<std::uint32_t>(tree_.items.size()) - attribute.first;
        tree_.attributes.push_back(attribute);
        ++element.attributeCount;
      }
    }
    if (!Has(1)) return false;
    const std::uint8_t close = Peek();
    ++pos_;
    std::vector<BxItem> content;
    if (close == bxtoken::kCloseEmpty) {
      element.empty = true;
    } else if (close != bxtoken::kCloseStart || !Content(depth, content)) {
      return false;
    }
    element.first = static_cast<std::uint32_t>(tree_.items.size());
    element.count = static_cast<std::uint32_t>(content.size());
    tree_.items.insert(tree_.items.end(), content.begin(), content.end());
    tree_.elements.push_back(element);
    elementIndex = static_cast<std::uint32_t>(tree_.elements.size() - 1);
    return true;
  }

  // Content up to and including the end element token.
  bool Content(int depth, std::vector<BxItem>& content) {
    while (Has(1)) {
      if (!chunk_.Spend(4)) return false;
      BxItem item;
      switch (Peek() & ~bxtoken::kMore) {
        case bxtoken::kEndElement:
          ++pos_;
          return true;
        case bxtoken::kOpenStart:
          item.kind = BxItem::Kind::kElement;
          if (!Element(depth + 1, item.ref)) return false;
          break;
        case bxtoken::kCData:
          item.kind = BxItem::Kind::kCData;
          ++pos_;
          if (!CountedText(item.ref)) return false;
          break;
        case bxtoken::kPiTarget:
          if (!Pi(item)) return false;
          break;
        default: {
          const auto parsed = ValueItem(item);
          if (!parsed || !*parsed) return false;
        }
      }
      content.push_back(item);
    }
    return false;
  }

  BxChunk& chunk_;
  ByteSpan bytes_;
  BxTree& tree_;
  std::uint32_t pos_;
  std::uint32_t end_;
  std::uint32_t startSize_;
};

bool CompileTree(BxChunk& chunk, BxTree& tree, std::uint32_t& pos, std::uint32_t end,
                 bool inTemplate, bool* sawEof) {
  Compiler compiler(chunk, tree, pos, end, inTemplate);
  std::vector<BxItem> top;
  const bool ok = compiler.TopLevel(top, sawEof);
  pos = compiler.pos();
  tree.first = static_cast<std::uint32_t>(tree.items.size());
  tree.count = static_cast<std::uint32_t>(top.size());
  tree.items.insert(tree.items.end(), top.begin(), top.end());
  return ok;
}

void ClearTree(BxTree& tree) {
  tree.elements.clear();
  tree.attributes.clear();
  tree.items.clear();
  tree.texts.clear();
  tree.first = tree.count = 0;
}

}  // namespace

void BxChunk::Reset(ByteSpan chunk) {
  chunk_ = chunk;
  names_.clear();
  nameIndex_.clear();
  templates_.clear();
  work_ = 0;
}

bool BxChunk::Spend(std::size_t units) {
  work_ += units;
  return work_ <= kWorkLimit;
}

std::optional<std::uint32_t> BxChunk::NameAt(std::uint32_t offset, std::uint32_t* pos,
                                             std::uint32_t end) {
  const bool isInline = offset == *pos;
  // A name lies in the chunk's data and before whatever refers to it.
  if (offset < kEvtxChunkHeaderSize || offset > *pos) return std::nullopt;
  const std::uint32_t limit = isInline ? end : static_cast<std::uint32_t>(chunk_.size());
  if (limit < offset || limit - offset < kNameHeaderSize) return std::nullopt;
  const std::uint32_t chars = le::U16(chunk_.data() + offset + 6);
  const std::uint32_t size = kNameHeaderSize + 2 * chars + 2;
  if (limit - offset < size) return std::nullopt;
  if (isInline) *pos += size;
  if (const auto found = nameIndex_.find(offset); found != nameIndex_.end()) return found->second;
  if (!Spend(size)) return std::nullopt;
  names_.push_back(
      FromLittleEndianBytes(chunk_.subspan(offset + kNameHeaderSize, 2 * std::size_t{chars})));
  const auto index = static_cast<std::uint32_t>(names_.size() - 1);
  nameIndex_.emplace(offset, index);
  return index;
}

const BxTemplate* BxChunk::TemplateAt(std::uint32_t offset, std::uint32_t* pos, std::uint32_t end) {
  const bool isInline = offset == *pos;
  if (offset < kEvtxChunkHeaderSize || offset > *pos) return nullptr;
  const std::uint32_t limit = isInline ? end : static_cast<std::uint32_t>(chunk_.size());
  if (limit < offset || limit - offset < kTemplateHeaderSize) return nullptr;
  const std::uint32_t dataSize = le::U32(chunk_.data() + offset + 20);
  if (limit - offset - kTemplateHeaderSize < dataSize) return nullptr;
  if (isInline) *pos += kTemplateHeaderSize + dataSize;
  if (const auto found = templates_.find(offset); found != templates_.end()) {
    return found->second.get();
  }
  auto& slot = templates_[offset];
  if (!Spend(dataSize + 64)) return nullptr;
  auto templ = std::make_unique<BxTemplate>();
  templ->offset = offset;
  std::copy_n(chunk_.begin() + offset + 4, 16, templ->guid.begin());
  std::uint32_t at = offset + kTemplateHeaderSize;
  bool sawEof = false;
  if (!CompileTree(*this, templ->tree, at, at + dataSize, true, &sawEof) ||
      templ->tree.count == 0) {
    return nullptr;
  }
  slot = std::move(templ);
  return slot.get();
}

bool BxChunk::ParseDocument(std::uint32_t begin, std::uint32_t end, BxDocument& out, int depth) {
  out.Clear();
  if (depth > kBxMaxValueDepth || end > chunk_.size() || begin > end) return false;
  std::uint32_t pos = begin;
  while (pos < end) {
    const std::uint8_t token = std::to_integer<std::uint8_t>(chunk_[pos]);
    if ((token & ~bxtoken::kMore) == bxtoken::kTemplateInstance) {
      if (end - pos < kInstanceHeaderSize) return false;
      const std::uint32_t defOffset = le::U32(chunk_.data() + pos + 6);
      pos += kInstanceHeaderSize;
      const BxTemplate* templ = TemplateAt(defOffset, &pos, end);
      if (templ == nullptr || end - pos < 4) return false;
      const std::uint32_t count = le::U32(chunk_.data() + pos);
      pos += 4;
      if (count > (end - pos) / 4 || !Spend(count)) return false;
      BxPart part{&templ->tree, templ, static_cast<std::uint32_t>(out.values.size()), count};
      std::uint32_t data = pos + 4 * count;
      for (std::uint32_t i = 0; i < count; ++i, pos += 4) {
        BxValue v;
        v.size = le::U16(chunk_.data() + pos);
        v.type = std::to_integer<std::uint8_t>(chunk_[pos + 2]);
        v.offset = data;
        if (end - data < v.size) return false;
        data += v.size;
        out.values.push_back(v);
      }
      pos = data;
      out.parts.push_back(part);
      continue;
    }
    // Elements and PIs outside a template: a tree of the document's own.
    if (out.ownedUsed == out.owned.size()) out.owned.push_back(std::make_unique<BxTree>());
    BxTree& tree = *out.owned[out.ownedUsed++];
    ClearTree(tree);
    bool sawEof = false;
    if (!CompileTree(*this, tree, pos, end, false, &sawEof)) return false;
    if (tree.count != 0) out.parts.push_back({&tree, nullptr, 0, 0});
    if (sawEof) break;
  }
  return !out.parts.empty();
}

EvtxNode BxToNode(const BxChunk& chunk, const BxTree& tree, std::uint32_t itemIndex) {
  const BxItem& item = tree.items[itemIndex];
  switch (item.kind) {
    case BxItem::Kind::kElement: {
      const BxElement& e = tree.elements[item.ref];
      EvtxNode node = EvtxNode::Element(chunk.name(e.name));
      node.open = !e.empty && e.count == 0;
      for (std::uint32_t a = 0; a < e.attributeCount; ++a) {
        const BxAttribute& attribute = tree.attributes[e.firstAttribute + a];
        std::vector<EvtxNode> value;
        for (std::uint32_t i = 0; i < attribute.count; ++i) {
          value.push_back(BxToNode(chunk, tree, attribute.first + i));
        }
        node.attributes.push_back(
            EvtxNode::Attribute(chunk.name(attribute.name), std::move(value)));
      }
      for (std::uint32_t i = 0; i < e.count; ++i)
        node.children.push_back(BxToNode(chunk, tree, e.first + i));
      return node;
    }
    case BxItem::Kind::kText:
      return EvtxNode::Text(tree.texts[item.ref]);
    case BxItem::Kind::kSubstitution:
      return EvtxNode::Substitution(item.index, item.type, item.optional);
    case BxItem::Kind::kCharRef:
      return EvtxNode::CharRef(static_cast<char16_t>(item.index));
    case BxItem::Kind::kEntityRef:
      return EvtxNode::EntityRef(chunk.name(item.ref));
    case BxItem::Kind::kCData:
      return EvtxNode::CData(tree.texts[item.ref]);
    case BxItem::Kind::kPi:
      return EvtxNode::Pi(chunk.name(item.ref2), tree.texts[item.ref]);
  }
  return {};
}

namespace {

bool PartToFragment(BxChunk& chunk, const BxDocument& doc, const BxPart& part, EvtxFragment& out,
                    int depth) {
  const BxTree& tree = *part.tree;
  // The tree's first element and what follows it: what the writer writes again.
  auto templ = std::make_shared<EvtxTemplate>();
  bool found = false;
  for (std::uint32_t i = 0; i < tree.count; ++i) {
    const BxItem& item = tree.items[tree.first + i];
    if (!found && item.kind != BxItem::Kind::kElement) continue;
    if (!found) {
      templ->root = BxToNode(chunk, tree, tree.first + i);
      found = true;
    } else {
      templ->more.push_back(BxToNode(chunk, tree, tree.first + i));
    }
  }
  if (!found) return false;
  if (part.templ == nullptr) {
    out.tree = std::move(templ);
    return true;
  }
  templ->guid.assign(part.templ->guid.begin(), part.templ->guid.end());
  out.templ = std::move(templ);
  BxDocument nested;
  for (std::uint32_t i = 0; i < part.valueCount; ++i) {
    const BxValue& v = doc.values[part.firstValue + i];
    EvtxValue value;
    value.type = v.type & ~evtxtype::kArray;
    value.array = (v.type & evtxtype::kArray) != 0;
    const ByteSpan bytes = chunk.ValueBytes(v);
    if (value.type == evtxtype::kBinXml && !value.array) {
      auto fragment = std::make_shared<EvtxFragment>();
      if (chunk.ParseDocument(v.offset, v.offset + v.size, nested, depth + 1) &&
          BxToFragment(chunk, nested, *fragment, depth + 1)) {
        value.fragment = std::move(fragment);
      } else {
        value.type = evtxtype::kBinary;  // kept as bytes when it cannot be read
        value.data.assign(bytes.begin(), bytes.end());
      }
    } else {
      value.data.assign(bytes.begin(), bytes.end());
    }
    out.values.push_back(std::move(value));
  }
  return true;
}

}  // namespace

bool BxToFragment(BxChunk& chunk, const BxDocument& doc, EvtxFragment& out, int depth) {
  out = {};
  bool first = true;
  for (const BxPart& part : doc.parts) {
    EvtxFragment fragment;
    if (!PartToFragment(chunk, doc, part, fragment, depth)) continue;
    if (first) {
      out = std::move(fragment);
      first = false;
    } else {
      out.more.push_back(std::move(fragment));
    }
  }
  return !first;
}

}  // namespace qb::sim
