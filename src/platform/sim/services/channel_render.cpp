#include "platform/sim/services/channel_render.h"

#include "platform/sim/rules/text.h"

namespace qb::sim {
namespace {

using platform::EvtValue;
namespace evttype = platform::evttype;

EvtValue BinaryValue(std::uint32_t type, platform::ByteSpan bytes) {
  EvtValue v;
  v.type = type;
  v.bytes.assign(bytes.begin(), bytes.end());
  return v;
}

EvtValue Item(const EvtxValue& value) {
  EvtValue v;
  v.type = value.type;
  switch (value.type) {
    case evtxtype::kNull:
      break;
    case evtxtype::kString:
    case evtxtype::kAnsiString:
      // EvtRender hands ANSI strings over as they are stored; text() widens them.
      v.text = value.type == evtxtype::kString ? FromLittleEndianBytes(value.data) : value.text();
      break;
    case evtxtype::kEvtXml:
      v.text = FromLittleEndianBytes(value.data);
      break;
    case evtxtype::kReal32:
    case evtxtype::kReal64:
      v.real = value.real().value_or(0);
      break;
    case evtxtype::kBinary:
    case evtxtype::kGuid:
    case evtxtype::kSid:
    case evtxtype::kSysTime:
      v.bytes = value.data;
      break;
    case evtxtype::kBinXml:
      // Only a value read for rewriting is a fragment; event data gives XML instead.
      v.type = evttype::kNull;
      break;
    default:
      v.number = value.number().value_or(0);
      break;
  }
  return v;
}

}  // namespace

EvtValue NumberValue(std::uint32_t type, std::uint64_t number) {
  EvtValue v;
  v.type = type;
  v.number = number;
  return v;
}

EvtValue TextValue(std::u16string_view text) {
  EvtValue v;
  v.type = evttype::kString;
  v.text = text;
  return v;
}

void RenderSystemValues(const EvtxSystem& s, std::vector<EvtValue>& values) {
  values.assign(static_cast<std::size_t>(platform::EvtSystem::kCount), EvtValue{});
  const auto set = [&](EvtxField field, platform::EvtSystem id, EvtValue value) {
    if (s.has(field)) values[static_cast<std::size_t>(id)] = std::move(value);
  };
  using F = EvtxField;
  using S = platform::EvtSystem;
  set(F::kProviderName, S::kProviderName, TextValue(s.providerName));
  set(F::kProviderGuid, S::kProviderGuid, BinaryValue(evttype::kGuid, s.providerGuid));
  set(F::kEventId, S::kEventId, NumberValue(evttype::kUInt16, s.eventId));
  set(F::kQualifiers, S::kQualifiers, NumberValue(evttype::kUInt16, s.qualifiers));
  set(F::kLevel, S::kLevel, NumberValue(evttype::kByte, s.level));
  set(F::kTask, S::kTask, NumberValue(evttype::kUInt16, s.task));
  set(F::kOpcode, S::kOpcode, NumberValue(evttype::kByte, s.opcode));
  set(F::kKeywords, S::kKeywords, NumberValue(evttype::kHexInt64, s.keywords));
  set(F::kTimeCreated, S::kTimeCreated, NumberValue(evttype::kFileTime, s.timeCreated));
  set(F::kEventRecordId, S::kEventRecordId, NumberValue(evttype::kUInt64, s.eventRecordId));
  set(F::kActivityId, S::kActivityId, BinaryValue(evttype::kGuid, s.activityId));
  set(F::kRelatedActivityId, S::kRelatedActivityId,
      BinaryValue(evttype::kGuid, s.relatedActivityId));
  set(F::kProcessId, S::kProcessId, NumberValue(evttype::kUInt32, s.processId));
  set(F::kThreadId, S::kThreadId, NumberValue(evttype::kUInt32, s.threadId));
  set(F::kChannel, S::kChannel, TextValue(s.channel));
  set(F::kComputer, S::kComputer, TextValue(s.computer));
  set(F::kUserId, S::kUserId, BinaryValue(evttype::kSid, s.userId));
  set(F::kVersion, S::kVersion, NumberValue(evttype::kByte, s.version));
}

EvtValue ToEvtValue(const EvtxValue& value) {
  if (!value.array) return Item(value);
  EvtValue v;
  v.type = value.type | evttype::kArray;
  const std::size_t count = value.count();
  v.items.reserve(count);
  for (std::size_t i = 0; i < count; ++i) v.items.push_back(Item(value.item(i)));
  return v;
}

}  // namespace qb::sim
