// Events of an .evtx file as the Windows Event Log API hands them out: the system values
// (what EvtRender gives with EvtRenderContextSystem), the event data (EvtRenderContextUser:
// the EventData/Data values with their names, or the leaf elements of UserData's child), the
// XML (EvtRenderEventXml), and the template and values behind an event for writing it again.
//
// The system values are fast: for each template definition of a chunk the reader notes once
// where each value comes from (a constant of the template or substitution n), so a record
// costs the reading of its substitution descriptors. Nothing builds a tree of heap nodes per
// record.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/sim/formats/binxml.h"
#include "platform/sim/formats/evtx_file.h"
#include "platform/sim/formats/evtx_value.h"
#include "platform/sim/formats/evtx_xml.h"

namespace qb::sim {

// The system values in EVT_SYSTEM_PROPERTY_ID's order, and the provider's event source.
enum class EvtxField : std::uint8_t {
  kProviderName,
  kProviderGuid,
  kEventId,
  kQualifiers,
  kLevel,
  kTask,
  kOpcode,
  kKeywords,
  kTimeCreated,
  kEventRecordId,
  kActivityId,
  kRelatedActivityId,
  kProcessId,
  kThreadId,
  kChannel,
  kComputer,
  kUserId,
  kVersion,
  kEventSourceName,
  kCount,
};

struct EvtxSystem {
  std::uint32_t present = 0;  // a bit per EvtxField
  std::u16string providerName;
  std::u16string eventSourceName;
  std::array<std::byte, 16> providerGuid{};
  std::uint16_t eventId = 0;
  std::uint16_t qualifiers = 0;
  std::uint8_t version = 0;
  std::uint8_t level = 0;
  std::uint16_t task = 0;
  std::uint8_t opcode = 0;
  std::uint64_t keywords = 0;
  std::uint64_t timeCreated = 0;  // FILETIME
  std::uint64_t eventRecordId = 0;
  std::array<std::byte, 16> activityId{};
  std::array<std::byte, 16> relatedActivityId{};
  std::uint32_t processId = 0;
  std::uint32_t threadId = 0;
  std::u16string channel;
  std::u16string computer;
  platform::Bytes userId;  // the SID

  bool has(EvtxField f) const { return (present >> static_cast<unsigned>(f) & 1) != 0; }
  void set(EvtxField f) { present |= 1u << static_cast<unsigned>(f); }
};

// One value of the event data: the Data element's Name attribute (empty without one) or the
// leaf element's name, and its typed value. A value made of several pieces is the string of
// their text; nested Binary XML is its XML (kEvtXml).
struct EvtxDataItem {
  std::u16string name;
  EvtxValue value;

  friend bool operator==(const EvtxDataItem&, const EvtxDataItem&) = default;
};

// Where each system value of a tree comes from.
struct EvtxSystemPlan {
  struct Source {
    enum class Kind : std::uint8_t { kNone, kConstant, kSubstitution, kComplex };
    Kind kind = Kind::kNone;
    bool optional = false;
    std::uint16_t index = 0;  // substitution number
    // An attribute goes with its element, which an optional substitution in its content
    // leaves out when empty: that substitution's number, or -1.
    std::int32_t guard = -1;
    // kComplex: the items of the value in the tree
    std::uint32_t first = 0, count = 0;
  };
  std::array<Source, static_cast<std::size_t>(EvtxField::kCount)> sources{};
  EvtxSystem constants;  // the values of the kConstant sources
};

// Finds Event/System in a tree and notes where its values come from.
EvtxSystemPlan MakeEvtxSystemPlan(const BxChunk& chunk, const BxTree& tree);

// Reads the events of one file, a chunk at a time. Not safe for concurrent use.
class EvtxEventReader {
 public:
  explicit EvtxEventReader(EvtxFile& file) : file_(file) {}

  EvtxFile& file() { return file_; }
  // Makes the chunk in `slot` the current one; false when it cannot be loaded (damaged or
  // empty, then counted by the file).
  bool Load(std::uint32_t slot);
  const EvtxChunk& chunk() const { return chunk_; }
  std::span<const EvtxRecordRef> records() const { return chunk_.records(); }

  // Of a record of the current chunk. False when its Binary XML cannot be read.
  bool ReadSystem(const EvtxRecordRef& record, EvtxSystem& out);
  bool ReadEventData(const EvtxRecordRef& record, std::vector<EvtxDataItem>& out);
  // The same, and the bytes of EventData's Binary element (empty without one): what a classic
  // event source logged as its data.
  bool ReadEventData(const EvtxRecordRef& record, std::vector<EvtxDataItem>& out,
                     platform::Bytes& binary);
  // Appends the XML.
  bool RenderXml(const EvtxRecordRef& record, std::u16string& out);
  // The event's template (or tree) and values, to write it into another file.
  bool ReadFragment(const EvtxRecordRef& record, EvtxFragment& out);

  // Every record of the file, oldest first or newest first, a chunk at a time; `visit` gets
  // the reader (its current chunk holds the record) and the record, and stops the walk by
  // returning false.
  template <typename Visit>
  void ForEachRecord(bool newestFirst, Visit&& visit) {
    const auto order = file_.order();
    for (std::size_t i = 0; i < order.size(); ++i) {
      if (!Load(order[newestFirst ? order.size() - 1 - i : i])) continue;
      const auto recs = records();
      for (std::size_t k = 0; k < recs.size(); ++k) {
        if (!visit(*this, recs[newestFirst ? recs.size() - 1 - k : k])) return;
      }
    }
  }

 private:
  bool Parse(const EvtxRecordRef& record, BxDocument& doc);
  bool ReadEventData(const EvtxRecordRef& record, std::vector<EvtxDataItem>& out,
                     platform::Bytes* binary);
  const EvtxSystemPlan& PlanFor(const BxPart& part);
  void DataOf(const BxTree& tree, std::span<const BxValue> values, std::uint32_t eventIndex,
              std::vector<EvtxDataItem>& out, platform::Bytes* binary);

  EvtxFile& file_;
  EvtxChunk chunk_;
  BxChunk bx_;
  bool loaded_ = false;
  BxDocument doc_;
  std::array<BxDocument, kBxMaxValueDepth + 1> nested_;
  std::unordered_map<const BxTemplate*, EvtxSystemPlan> plans_;
  EvtxSystemPlan ownPlan_;
  EvtxXmlRenderer xml_;
  std::u16string text_;
};

}  // namespace qb::sim
