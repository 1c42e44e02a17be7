#include "platform/sim/formats/evtx_template.h"

namespace qb::sim {
namespace {

template <typename T>
bool SamePointee(const std::shared_ptr<const T>& a, const std::shared_ptr<const T>& b) {
  return a == b || (a && b && *a == *b);
}

}  // namespace

EvtxNode EvtxNode::Element(std::u16string name, std::vector<EvtxNode> attributes,
                           std::vector<EvtxNode> children) {
  EvtxNode n;
  n.kind = Kind::kElement;
  n.name = std::move(name);
  n.attributes = std::move(attributes);
  n.children = std::move(children);
  return n;
}

EvtxNode EvtxNode::Attribute(std::u16string name, std::vector<EvtxNode> value) {
  EvtxNode n;
  n.kind = Kind::kAttribute;
  n.name = std::move(name);
  n.children = std::move(value);
  return n;
}

EvtxNode EvtxNode::Text(std::u16string text) {
  EvtxNode n;
  n.kind = Kind::kText;
  n.text = std::move(text);
  return n;
}

EvtxNode EvtxNode::Substitution(std::uint16_t index, std::uint8_t type, bool optional) {
  EvtxNode n;
  n.kind = Kind::kSubstitution;
  n.index = index;
  n.type = type;
  n.optional = optional;
  return n;
}

EvtxNode EvtxNode::CharRef(char16_t character) {
  EvtxNode n;
  n.kind = Kind::kCharRef;
  n.index = character;
  return n;
}

EvtxNode EvtxNode::EntityRef(std::u16string name) {
  EvtxNode n;
  n.kind = Kind::kEntityRef;
  n.name = std::move(name);
  return n;
}

EvtxNode EvtxNode::CData(std::u16string text) {
  EvtxNode n;
  n.kind = Kind::kCData;
  n.text = std::move(text);
  return n;
}

EvtxNode EvtxNode::Pi(std::u16string target, std::u16string data) {
  EvtxNode n;
  n.kind = Kind::kPi;
  n.name = std::move(target);
  n.text = std::move(data);
  return n;
}

bool operator==(const EvtxFragment& a, const EvtxFragment& b) {
  return SamePointee(a.templ, b.templ) && SamePointee(a.tree, b.tree) && a.values == b.values &&
         a.more == b.more;
}

}  // namespace qb::sim
