// An event's XML as EvtRenderEventXml gives it: compact (no whitespace between elements),
// attributes in single quotes, text and attribute values escaped, values as Windows writes
// them, nested Binary XML rendered in place.
//
// Substitutions follow Windows' rules: an optional substitution whose value is null or empty
// leaves out the element or attribute around it; an array substituted into an element's
// content repeats the element once per item (an empty array gives it once, empty), which is
// how the event schema lets a Data element carry several values. An array substituted into an
// attribute gives its items comma-separated, as the value list Windows shows elsewhere.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "platform/sim/formats/binxml.h"

namespace qb::sim {

class EvtxXmlRenderer {
 public:
  // Appends the XML of the Binary XML document in [begin, end) of the chunk (a record's
  // event: the record's offset + 24 up to its trailing size). False, with `out` as it was,
  // when the document cannot be read or its rendering would exceed the work bound.
  bool Render(BxChunk& chunk, std::uint32_t begin, std::uint32_t end, std::u16string& out);

  // Bound on the characters one event may render to (nested values can repeat a lot).
  static constexpr std::size_t kMaxOutput = std::size_t{8} << 20;
  // Bound on elements and nested values one event may visit (left-out elements render
  // nothing, so the output alone does not bound the work).
  static constexpr std::size_t kMaxWork = std::size_t{1} << 22;

 private:
  struct Scope {
    const BxTree* tree;
    std::span<const BxValue> values;
    int depth;
  };

  bool RenderDocument(std::uint32_t begin, std::uint32_t end, int depth);
  bool RenderItems(const Scope& scope, std::uint32_t first, std::uint32_t count,
                   std::size_t arrayItem);
  bool RenderElement(const Scope& scope, std::uint32_t index);
  bool RenderSubstitution(const Scope& scope, const BxItem& item, std::size_t arrayItem,
                          bool inAttribute);
  const BxValue* ValueOf(const Scope& scope, const BxItem& item) const;

  BxChunk* chunk_ = nullptr;
  std::u16string* out_ = nullptr;
  std::size_t limit_ = 0;
  std::size_t work_ = 0;
  std::u16string scratch_;
  std::array<BxDocument, kBxMaxValueDepth + 1> docs_;
};

// Whether a substitution value counts as absent for an optional substitution.
bool EvtxValueIsEmpty(const BxValue& value);

// Appends `text` with the characters XML reserves escaped (all five, as EvtRender does, in
// text and attribute values alike).
void AppendXmlEscaped(std::u16string& out, std::u16string_view text);

}  // namespace qb::sim
