// Binary XML as .evtx chunks hold it: tokens, names in the chunk's string table (inline the
// first time, by offset after), template definitions (inline the first time, by offset
// after), template instances with their substitution values.
//
// A tree (a template definition or a record's own elements) is compiled once per chunk into
// flat arrays; rendering walks them with a record's values. Compiling and parsing never read
// outside the chunk, never recurse deeper than a fixed bound and spend a bounded amount of
// work on any chunk.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/sim/formats/evtx_template.h"
#include "platform/types.h"

namespace qb::sim {

// Binary XML tokens (the 0x40 bit marks "more data follows" on some of them).
namespace bxtoken {
inline constexpr std::uint8_t kEof = 0x00;
inline constexpr std::uint8_t kOpenStart = 0x01;
inline constexpr std::uint8_t kCloseStart = 0x02;
inline constexpr std::uint8_t kCloseEmpty = 0x03;
inline constexpr std::uint8_t kEndElement = 0x04;
inline constexpr std::uint8_t kValue = 0x05;
inline constexpr std::uint8_t kAttribute = 0x06;
inline constexpr std::uint8_t kCData = 0x07;
inline constexpr std::uint8_t kCharRef = 0x08;
inline constexpr std::uint8_t kEntityRef = 0x09;
inline constexpr std::uint8_t kPiTarget = 0x0A;
inline constexpr std::uint8_t kPiData = 0x0B;
inline constexpr std::uint8_t kTemplateInstance = 0x0C;
inline constexpr std::uint8_t kNormalSubstitution = 0x0D;
inline constexpr std::uint8_t kOptionalSubstitution = 0x0E;
inline constexpr std::uint8_t kFragmentHeader = 0x0F;
inline constexpr std::uint8_t kMore = 0x40;
}  // namespace bxtoken

// Nesting bounds: elements within one tree, Binary XML values within values.
inline constexpr int kBxMaxElementDepth = 96;
inline constexpr int kBxMaxValueDepth = 8;

struct BxItem {
  enum class Kind : std::uint8_t {
    kElement,
    kText,
    kSubstitution,
    kCharRef,
    kEntityRef,
    kCData,
    kPi
  };
  Kind kind = Kind::kText;
  bool optional = false;    // substitution
  std::uint8_t type = 0;    // substitution: the declared type
  std::uint16_t index = 0;  // substitution: the value's number; character reference: the character
  std::uint32_t ref = 0;    // element: its index; text, CDATA, PI data: text index; entity: name
  std::uint32_t ref2 = 0;   // PI: the target's name
};

struct BxAttribute {
  std::uint32_t name = 0;
  std::uint32_t first = 0, count = 0;  // items of the value
};

struct BxElement {
  std::uint32_t name = 0;
  std::uint32_t firstAttribute = 0, attributeCount = 0;
  std::uint32_t first = 0, count = 0;  // items of the content
  bool empty = false;                  // closed as <a/>
};

// Names are indices into the chunk's name list (BxChunk::name), texts into `texts`.
struct BxTree {
  std::vector<BxElement> elements;
  std::vector<BxAttribute> attributes;
  std::vector<BxItem> items;
  std::vector<std::u16string> texts;
  std::uint32_t first = 0, count = 0;  // top-level items: elements and PIs
};

struct BxTemplate {
  std::uint32_t offset = 0;  // of the definition in the chunk
  std::array<std::byte, 16> guid{};
  BxTree tree;
};

// A substitution value: its type and where its bytes lie in the chunk.
struct BxValue {
  std::uint8_t type = 0;
  std::uint16_t size = 0;
  std::uint32_t offset = 0;
};

// One part of a document: a template instance (tree of `templ`, values) or a tree of its own.
struct BxPart {
  const BxTree* tree = nullptr;
  const BxTemplate* templ = nullptr;
  std::uint32_t firstValue = 0, valueCount = 0;
};

// A parsed Binary XML document (a record's event, or a nested BinXml value). Reused from
// record to record, so parsing allocates nothing once warmed up.
struct BxDocument {
  std::vector<BxPart> parts;
  std::vector<BxValue> values;
  std::vector<std::unique_ptr<BxTree>> owned;
  std::size_t ownedUsed = 0;

  void Clear() {
    parts.clear();
    values.clear();
    ownedUsed = 0;
  }
};

// The caches of one loaded chunk: names and compiled templates by offset.
class BxChunk {
 public:
  // Drops what was cached for the previous chunk.
  void Reset(platform::ByteSpan chunk);
  platform::ByteSpan bytes() const { return chunk_; }
  const std::u16string& name(std::uint32_t index) const { return names_[index]; }

  // Parses the document in [begin, end) of the chunk. `depth` counts the BinXml values it is
  // nested in. False when the bytes are no well-formed document.
  bool ParseDocument(std::uint32_t begin, std::uint32_t end, BxDocument& out, int depth = 0);

  // A value's bytes (within the chunk: checked when the document was parsed).
  platform::ByteSpan ValueBytes(const BxValue& v) const { return chunk_.subspan(v.offset, v.size); }

  // Work spent on this chunk (bytes parsed, names decoded) and its bound.
  std::size_t work() const { return work_; }
  static constexpr std::size_t kWorkLimit = std::size_t{48} << 20;

  // Internal to the compiler.
  bool Spend(std::size_t units);
  // The name at `offset`: inline when `offset` is `*pos` (then *pos moves past it), else one
  // defined earlier. nullopt when it is neither or does not fit.
  std::optional<std::uint32_t> NameAt(std::uint32_t offset, std::uint32_t* pos, std::uint32_t end);
  const BxTemplate* TemplateAt(std::uint32_t offset, std::uint32_t* pos, std::uint32_t end);

 private:
  platform::ByteSpan chunk_;
  std::deque<std::u16string> names_;  // stable: renderers hold names while compiling more
  std::unordered_map<std::uint32_t, std::uint32_t> nameIndex_;
  std::unordered_map<std::uint32_t, std::unique_ptr<BxTemplate>> templates_;  // null: failed
  std::size_t work_ = 0;
};

// The tree back as nodes (for rewriting): names resolved, texts copied.
EvtxNode BxToNode(const BxChunk& chunk, const BxTree& tree, std::uint32_t itemIndex);

// A parsed document as a fragment to write again: its first template instance (or its own
// tree) with the values; nested BinXml values become fragments in turn. False when the
// document holds neither.
bool BxToFragment(BxChunk& chunk, const BxDocument& doc, EvtxFragment& out, int depth = 0);

}  // namespace qb::sim
