#include "platform/sim/services/channel_query.h"

#include "platform/sim/formats/evtx_event.h"

namespace qb::sim {

class ChannelFilterParser {
 public:
  explicit ChannelFilterParser(std::u16string_view text) : text_(text) {}

  std::optional<ChannelFilter> Run() {
    Blanks();
    if (!Take(u"*")) return std::nullopt;
    Blanks();
    if (AtEnd()) return ChannelFilter{};
    // *[System[ ... ]]
    if (!Take(u"[") || !Word(u"System") || !Take(u"[")) return std::nullopt;
    const auto root = Or(0);
    if (!root || !Take(u"]") || !Take(u"]")) return std::nullopt;
    Blanks();
    if (!AtEnd()) return std::nullopt;
    return std::move(filter_);
  }

 private:
  using Field = ChannelFilter::Field;
  using Op = ChannelFilter::Op;
  using Node = ChannelFilter::Node;

  bool AtEnd() const { return at_ >= text_.size(); }
  void Blanks() {
    while (!AtEnd() && (text_[at_] == u' ' || text_[at_] == u'\t' || text_[at_] == u'\r' ||
                        text_[at_] == u'\n')) {
      ++at_;
    }
  }
  bool Take(std::u16string_view token) {
    Blanks();
    if (text_.substr(at_).starts_with(token)) {
      at_ += token.size();
      return true;
    }
    return false;
  }
  static bool NameChar(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'_';
  }
  // A whole word: "or" is no prefix of "order".
  bool Word(std::u16string_view word) {
    Blanks();
    if (!text_.substr(at_).starts_with(word)) return false;
    const std::size_t end = at_ + word.size();
    if (end < text_.size() && NameChar(text_[end])) return false;
    at_ = end;
    return true;
  }

  std::optional<std::uint32_t> Add(Node node) {
    filter_.nodes_.push_back(node);
    return static_cast<std::uint32_t>(filter_.nodes_.size() - 1);
  }

  std::optional<std::uint32_t> Or(int depth) {
    auto left = And(depth);
    while (left && Word(u"or")) {
      const auto right = And(depth);
      if (!right) return std::nullopt;
      Node node;
      node.kind = Node::Kind::kOr;
      node.left = *left;
      node.right = *right;
      left = Add(node);
    }
    return left;
  }

  std::optional<std::uint32_t> And(int depth) {
    auto left = Primary(depth);
    while (left && Word(u"and")) {
      const auto right = Primary(depth);
      if (!right) return std::nullopt;
      Node node;
      node.kind = Node::Kind::kAnd;
      node.left = *left;
      node.right = *right;
      left = Add(node);
    }
    return left;
  }

  std::optional<std::uint32_t> Primary(int depth) {
    if (depth >= ChannelFilter::kMaxDepth) return std::nullopt;
    if (Take(u"(")) {
      const auto inner = Or(depth + 1);
      if (!inner || !Take(u")")) return std::nullopt;
      return inner;
    }
    Node node;
    if (Word(u"EventRecordID")) {
      node.field = Field::kEventRecordId;
    } else if (Word(u"EventID")) {
      node.field = Field::kEventId;
    } else if (Word(u"Level")) {
      node.field = Field::kLevel;
    } else {
      return std::nullopt;
    }
    if (Take(u"!=")) {
      node.op = Op::kNe;
    } else if (Take(u">=")) {
      node.op = Op::kGe;
    } else if (Take(u"<=")) {
      node.op = Op::kLe;
    } else if (Take(u"=")) {
      node.op = Op::kEq;
    } else if (Take(u">")) {
      node.op = Op::kGt;
    } else if (Take(u"<")) {
      node.op = Op::kLt;
    } else {
      return std::nullopt;
    }
    Blanks();
    const std::size_t start = at_;
    std::uint64_t value = 0;
    while (!AtEnd() && text_[at_] >= u'0' && text_[at_] <= u'9') {
      const std::uint64_t digit = text_[at_] - u'0';
      if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
      value = value * 10 + digit;
      ++at_;
    }
    if (at_ == start) return std::nullopt;
    node.value = value;
    return Add(node);
  }

  std::u16string_view text_;
  std::size_t at_ = 0;
  ChannelFilter filter_;
};

std::optional<ChannelFilter> ChannelFilter::Parse(std::u16string_view query) {
  if (query.size() > kMaxLength) return std::nullopt;
  return ChannelFilterParser(query).Run();
}

bool ChannelFilter::Matches(const EvtxSystem& system) const {
  return nodes_.empty() || Eval(static_cast<std::uint32_t>(nodes_.size() - 1), system);
}

bool ChannelFilter::Eval(std::uint32_t index, const EvtxSystem& system) const {
  const Node& node = nodes_[index];
  switch (node.kind) {
    case Node::Kind::kAnd:
      return Eval(node.left, system) && Eval(node.right, system);
    case Node::Kind::kOr:
      return Eval(node.left, system) || Eval(node.right, system);
    case Node::Kind::kTerm:
      break;
  }
  std::uint64_t actual = 0;
  EvtxField field = EvtxField::kEventRecordId;
  switch (node.field) {
    case Field::kEventRecordId:
      actual = system.eventRecordId;
      break;
    case Field::kEventId:
      actual = system.eventId;
      field = EvtxField::kEventId;
      break;
    case Field::kLevel:
      actual = system.level;
      field = EvtxField::kLevel;
      break;
  }
  // An event without the value matches no comparison with it.
  if (!system.has(field)) return false;
  switch (node.op) {
    case Op::kEq:
      return actual == node.value;
    case Op::kNe:
      return actual != node.value;
    case Op::kLt:
      return actual < node.value;
    case Op::kLe:
      return actual <= node.value;
    case Op::kGt:
      return actual > node.value;
    case Op::kGe:
      return actual >= node.value;
  }
  return false;
}

}  // namespace qb::sim
