#include "platform/sim/formats/evtx_windows_event.h"

namespace qb::sim {
namespace {

using N = EvtxNode;
namespace t = evtxtype;

// Substitution numbers of the System values, in the order Windows' templates give them.
enum Slot : std::uint16_t {
  kProviderName,
  kProviderGuid,
  kEventSourceName,
  kEventId,
  kQualifiers,
  kVersion,
  kLevel,
  kTask,
  kOpcode,
  kKeywords,
  kTimeCreated,
  kRecordId,
  kProcessId,
  kThreadId,
  kChannel,
  kComputer,
  kUserId,
  kBinary,
  kFirstData,
};

N Sub(std::uint16_t index, std::uint8_t type, bool optional = false) {
  return N::Substitution(index, type, optional);
}

N Attr(std::u16string name, N value) {
  return N::Attribute(std::move(name), {std::move(value)});
}

std::shared_ptr<const EvtxTemplate> MakeTemplate(const WindowsEventSpec& spec) {
  std::vector<N> provider = {Attr(u"Name", Sub(kProviderName, t::kString))};
  if (!spec.providerGuid.empty()) provider.push_back(Attr(u"Guid", Sub(kProviderGuid, t::kGuid)));
  if (!spec.eventSourceName.empty()) {
    provider.push_back(Attr(u"EventSourceName", Sub(kEventSourceName, t::kString)));
  }
  std::vector<N> eventIdAttributes;
  if (spec.qualifiers)
    eventIdAttributes.push_back(Attr(u"Qualifiers", Sub(kQualifiers, t::kUInt16)));
  std::vector<N> security;
  if (!spec.userSid.empty()) security.push_back(Attr(u"UserID", Sub(kUserId, t::kSid)));
  N system = N::Element(
      u"System", {},
      {N::Element(u"Provider", std::move(provider)),
       N::Element(u"EventID", std::move(eventIdAttributes), {Sub(kEventId, t::kUInt16)}),
       N::Element(u"Version", {}, {Sub(kVersion, t::kUInt8)}),
       N::Element(u"Level", {}, {Sub(kLevel, t::kUInt8)}),
       N::Element(u"Task", {}, {Sub(kTask, t::kUInt16)}),
       N::Element(u"Opcode", {}, {Sub(kOpcode, t::kUInt8)}),
       N::Element(u"Keywords", {}, {Sub(kKeywords, t::kHexInt64)}),
       N::Element(u"TimeCreated", {Attr(u"SystemTime", Sub(kTimeCreated, t::kFileTime))}),
       N::Element(u"EventRecordID", {}, {Sub(kRecordId, t::kUInt64)}), N::Element(u"Correlation"),
       N::Element(u"Execution", {Attr(u"ProcessID", Sub(kProcessId, t::kUInt32)),
                                 Attr(u"ThreadID", Sub(kThreadId, t::kUInt32))}),
       N::Element(u"Channel", {}, {Sub(kChannel, t::kString)}),
       N::Element(u"Computer", {}, {Sub(kComputer, t::kString)}),
       N::Element(u"Security", std::move(security))});
  std::vector<N> data;
  for (std::size_t i = 0; i < spec.data.size(); ++i) {
    const auto& [name, value] = spec.data[i];
    std::vector<N> attributes;
    if (!name.empty()) attributes.push_back(Attr(u"Name", N::Text(name)));
    data.push_back(N::Element(u"Data", std::move(attributes),
                              {Sub(static_cast<std::uint16_t>(kFirstData + i), value.wireType())}));
  }
  if (!spec.binary.empty()) data.push_back(N::Element(u"Binary", {}, {Sub(kBinary, t::kBinary)}));
  auto templ = std::make_shared<EvtxTemplate>();
  templ->root = N::Element(
      u"Event", {Attr(u"xmlns", N::Text(u"http://schemas.microsoft.com/win/2004/08/events/event"))},
      {std::move(system), N::Element(u"EventData", {}, std::move(data))});
  return templ;
}

// What makes two specs share a template.
std::u16string ShapeOf(const WindowsEventSpec& spec) {
  std::u16string shape;
  shape += spec.providerGuid.empty() ? u'-' : u'G';
  shape += spec.eventSourceName.empty() ? u'-' : u'S';
  shape += spec.qualifiers ? u'Q' : u'-';
  shape += spec.userSid.empty() ? u'-' : u'U';
  shape += spec.binary.empty() ? u'-' : u'B';
  for (const auto& [name, value] : spec.data) {
    shape += u'|';
    shape += static_cast<char16_t>(value.wireType());
    shape += name;
  }
  return shape;
}

}  // namespace

EvtxEvent WindowsEventMaker::Make(const WindowsEventSpec& spec) {
  auto& templ = templates_[ShapeOf(spec)];
  if (!templ) templ = MakeTemplate(spec);
  std::vector<EvtxValue> values(kFirstData + spec.data.size());
  values[kProviderName] = EvtxValue::String(spec.provider);
  if (!spec.providerGuid.empty()) values[kProviderGuid] = EvtxValue::Guid(spec.providerGuid);
  if (!spec.eventSourceName.empty()) {
    values[kEventSourceName] = EvtxValue::String(spec.eventSourceName);
  }
  values[kEventId] = EvtxValue::UInt(t::kUInt16, spec.eventId);
  if (spec.qualifiers) values[kQualifiers] = EvtxValue::UInt(t::kUInt16, *spec.qualifiers);
  values[kVersion] = EvtxValue::UInt(t::kUInt8, spec.version);
  values[kLevel] = EvtxValue::UInt(t::kUInt8, spec.level);
  values[kTask] = EvtxValue::UInt(t::kUInt16, spec.task);
  values[kOpcode] = EvtxValue::UInt(t::kUInt8, spec.opcode);
  values[kKeywords] = EvtxValue::UInt(t::kHexInt64, spec.keywords);
  values[kTimeCreated] = EvtxValue::FileTime(spec.timeCreated);
  values[kRecordId] = EvtxValue::UInt(t::kUInt64, spec.recordId);
  values[kProcessId] = EvtxValue::UInt(t::kUInt32, spec.processId);
  values[kThreadId] = EvtxValue::UInt(t::kUInt32, spec.threadId);
  values[kChannel] = EvtxValue::String(spec.channel);
  values[kComputer] = EvtxValue::String(spec.computer);
  if (!spec.userSid.empty()) values[kUserId] = EvtxValue::Sid(spec.userSid);
  if (!spec.binary.empty()) values[kBinary] = EvtxValue::Binary(spec.binary);
  for (std::size_t i = 0; i < spec.data.size(); ++i) values[kFirstData + i] = spec.data[i].second;
  EvtxEvent event;
  event.body.templ = templ;
  event.body.values = std::move(values);
  event.recordId = spec.recordId;
  event.written = spec.timeCreated;
  return event;
}

}  // namespace qb::sim
