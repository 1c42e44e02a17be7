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

std::shared_ptr<const EvtxTemplate> MakeTemplate(const WindowsEventFields& form) {
  std::vector<N> provider = {Attr(u"Name", Sub(kProviderName, t::kString))};
  if (!form.providerGuid.empty()) provider.push_back(Attr(u"Guid", Sub(kProviderGuid, t::kGuid)));
  if (!form.eventSourceName.empty()) {
    provider.push_back(Attr(u"EventSourceName", Sub(kEventSourceName, t::kString)));
  }
  std::vector<N> eventIdAttributes;
  if (form.qualifiers)
    eventIdAttributes.push_back(Attr(u"Qualifiers", Sub(kQualifiers, t::kUInt16)));
  std::vector<N> security;
  if (!form.userSid.empty()) security.push_back(Attr(u"UserID", Sub(kUserId, t::kSid)));
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
  for (std::size_t i = 0; i < form.data.size(); ++i) {
    const auto& [name, value] = form.data[i];
    std::vector<N> attributes;
    if (!name.empty()) attributes.push_back(Attr(u"Name", N::Text(name)));
    data.push_back(N::Element(u"Data", std::move(attributes),
                              {Sub(static_cast<std::uint16_t>(kFirstData + i), value.wireType())}));
  }
  if (!form.binary.empty()) data.push_back(N::Element(u"Binary", {}, {Sub(kBinary, t::kBinary)}));
  auto templ = std::make_shared<EvtxTemplate>();
  templ->root = N::Element(
      u"Event", {Attr(u"xmlns", N::Text(u"http://schemas.microsoft.com/win/2004/08/events/event"))},
      {std::move(system), N::Element(u"EventData", {}, std::move(data))});
  return templ;
}

// What makes two forms share a template.
std::u16string ShapeOf(const WindowsEventFields& form) {
  std::u16string shape;
  shape += form.providerGuid.empty() ? u'-' : u'G';
  shape += form.eventSourceName.empty() ? u'-' : u'S';
  shape += form.qualifiers ? u'Q' : u'-';
  shape += form.userSid.empty() ? u'-' : u'U';
  shape += form.binary.empty() ? u'-' : u'B';
  for (const auto& [name, value] : form.data) {
    shape += u'|';
    shape += static_cast<char16_t>(value.wireType());
    shape += name;
  }
  return shape;
}

}  // namespace

EvtxEvent WindowsEventMaker::Make(const WindowsEventFields& form) {
  auto& templ = templates_[ShapeOf(form)];
  if (!templ) templ = MakeTemplate(form);
  std::vector<EvtxValue> values(kFirstData + form.data.size());
  values[kProviderName] = EvtxValue::String(form.provider);
  if (!form.providerGuid.empty()) values[kProviderGuid] = EvtxValue::Guid(form.providerGuid);
  if (!form.eventSourceName.empty()) {
    values[kEventSourceName] = EvtxValue::String(form.eventSourceName);
  }
  values[kEventId] = EvtxValue::UInt(t::kUInt16, form.eventId);
  if (form.qualifiers) values[kQualifiers] = EvtxValue::UInt(t::kUInt16, *form.qualifiers);
  values[kVersion] = EvtxValue::UInt(t::kUInt8, form.version);
  values[kLevel] = EvtxValue::UInt(t::kUInt8, form.level);
  values[kTask] = EvtxValue::UInt(t::kUInt16, form.task);
  values[kOpcode] = EvtxValue::UInt(t::kUInt8, form.opcode);
  values[kKeywords] = EvtxValue::UInt(t::kHexInt64, form.keywords);
  values[kTimeCreated] = EvtxValue::FileTime(form.timeCreated);
  values[kRecordId] = EvtxValue::UInt(t::kUInt64, form.recordId);
  values[kProcessId] = EvtxValue::UInt(t::kUInt32, form.processId);
  values[kThreadId] = EvtxValue::UInt(t::kUInt32, form.threadId);
  values[kChannel] = EvtxValue::String(form.channel);
  values[kComputer] = EvtxValue::String(form.computer);
  if (!form.userSid.empty()) values[kUserId] = EvtxValue::Sid(form.userSid);
  if (!form.binary.empty()) values[kBinary] = EvtxValue::Binary(form.binary);
  for (std::size_t i = 0; i < form.data.size(); ++i) values[kFirstData + i] = form.data[i].second;
  EvtxEvent event;
  event.body.templ = templ;
  event.body.values = std::move(values);
  event.recordId = form.recordId;
  event.written = form.timeCreated;
  return event;
}

}  // namespace qb::sim
