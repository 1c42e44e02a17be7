// Binary XML as a tree: what the writer encodes and what the reader recovers for rewriting.
// A template is an element tree with substitution slots; a fragment is a template instance
// (the template and its values) or a plain tree.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/formats/evtx_value.h"
#include "platform/types.h"

namespace qb::sim {

struct EvtxNode {
  enum class Kind : std::uint8_t {
    kElement,       // name, attributes, children
    kAttribute,     // name, children: its value (text, substitutions, references)
    kText,          // text
    kSubstitution,  // index, type, optional
    kCharRef,       // index: the character
    kEntityRef,     // name
    kCData,         // text
    kPi,            // name: the target, text: the data
  };

  Kind kind = Kind::kText;
  std::u16string name;
  std::u16string text;
  std::uint16_t index = 0;
  std::uint8_t type = 0;  // a substitution's value type as the template declares it
  bool optional = false;  // an optional substitution: a null value drops its element/attribute
  bool open = false;      // an element without children written <a></a> rather than <a/>
  std::vector<EvtxNode> attributes;
  std::vector<EvtxNode> children;

  static EvtxNode Element(std::u16string name, std::vector<EvtxNode> attributes = {},
                          std::vector<EvtxNode> children = {});
  static EvtxNode Attribute(std::u16string name, std::vector<EvtxNode> value);
  static EvtxNode Text(std::u16string text);
  static EvtxNode Substitution(std::uint16_t index, std::uint8_t type, bool optional = false);
  static EvtxNode CharRef(char16_t character);
  static EvtxNode EntityRef(std::u16string name);
  static EvtxNode CData(std::u16string text);
  static EvtxNode Pi(std::u16string target, std::u16string data);

  friend bool operator==(const EvtxNode&, const EvtxNode&) = default;
};

struct EvtxTemplate {
  EvtxNode root;
  // Elements and PIs after the root: a nested fragment may carry more than one element (event
  // data followed by RenderingInfo).
  std::vector<EvtxNode> more;
  // 16 bytes naming the template; empty: the writer derives one from the contents, so equal
  // templates share a definition.
  platform::Bytes guid;

  friend bool operator==(const EvtxTemplate&, const EvtxTemplate&) = default;
};

struct EvtxFragment {
  std::shared_ptr<const EvtxTemplate> templ;  // a template instance with `values`
  std::vector<EvtxValue> values;
  // Or a plain tree, written as it is (no substitutions; its GUID unused).
  std::shared_ptr<const EvtxTemplate> tree;
  // Parts that follow in the same document (a nested value may hold two template instances).
  std::vector<EvtxFragment> more;

  friend bool operator==(const EvtxFragment& a, const EvtxFragment& b);
};

}  // namespace qb::sim
