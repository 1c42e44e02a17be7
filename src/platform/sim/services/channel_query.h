// The part of the event query language the simulated service understands: "*" for every
// event, or a filter on system values, "*[System[(EventRecordID>=10 and EventRecordID<=20)]]",
// terms on EventRecordID, EventID and Level joined by "and" and "or" with parentheses.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace qb::sim {

struct EvtxSystem;

class ChannelFilter {
 public:
  enum class Field : std::uint8_t { kEventRecordId, kEventId, kLevel };
  enum class Op : std::uint8_t { kEq, kNe, kLt, kLe, kGt, kGe };
  struct Node {
    enum class Kind : std::uint8_t { kTerm, kAnd, kOr };
    Kind kind = Kind::kTerm;
    Field field = Field::kEventRecordId;
    Op op = Op::kEq;
    std::uint64_t value = 0;
    std::uint32_t left = 0, right = 0;  // operands of kAnd and kOr
  };

  // nullopt when the text is outside the subset (ERROR_EVT_INVALID_QUERY). Bounded work and
  // nesting whatever the text.
  static std::optional<ChannelFilter> Parse(std::u16string_view query);

  bool all() const { return nodes_.empty(); }
  bool Matches(const EvtxSystem& system) const;

  static constexpr std::size_t kMaxLength = 4096;
  static constexpr int kMaxDepth = 32;

 private:
  friend class ChannelFilterParser;
  bool Eval(std::uint32_t node, const EvtxSystem& system) const;

  std::vector<Node> nodes_;  // the root last
};

}  // namespace qb::sim
