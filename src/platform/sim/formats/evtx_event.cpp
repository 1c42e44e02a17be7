#include "platform/sim/formats/evtx_event.h"

#include <algorithm>

#include "platform/sim/formats/le_bytes.h"
#include "platform/sim/rules/text.h"

namespace qb::sim {
namespace {

using platform::ByteSpan;
using Source = EvtxSystemPlan::Source;

struct Spot {
  EvtxField field;
  std::u16string_view element;
  std::u16string_view attribute;  // empty: the element's content
};

constexpr Spot kSpots[] = {
    {EvtxField::kProviderName, u"Provider", u"Name"},
    {EvtxField::kProviderGuid, u"Provider", u"Guid"},
    {EvtxField::kEventSourceName, u"Provider", u"EventSourceName"},
    {EvtxField::kEventId, u"EventID", u""},
    {EvtxField::kQualifiers, u"EventID", u"Qualifiers"},
    {EvtxField::kVersion, u"Version", u""},
    {EvtxField::kLevel, u"Level", u""},
    {EvtxField::kTask, u"Task", u""},
    {EvtxField::kOpcode, u"Opcode", u""},
    {EvtxField::kKeywords, u"Keywords", u""},
    {EvtxField::kTimeCreated, u"TimeCreated", u"SystemTime"},
    {EvtxField::kEventRecordId, u"EventRecordID", u""},
    {EvtxField::kActivityId, u"Correlation", u"ActivityID"},
    {EvtxField::kRelatedActivityId, u"Correlation", u"RelatedActivityID"},
    {EvtxField::kProcessId, u"Execution", u"ProcessID"},
    {EvtxField::kThreadId, u"Execution", u"ThreadID"},
    {EvtxField::kChannel, u"Channel", u""},
    {EvtxField::kComputer, u"Computer", u""},
    {EvtxField::kUserId, u"Security", u"UserID"},
};

bool IsInteger(std::uint8_t type) {
  switch (type) {
    case evtxtype::kInt8:
    case evtxtype::kUInt8:
    case evtxtype::kInt16:
    case evtxtype::kUInt16:
    case evtxtype::kInt32:
    case evtxtype::kUInt32:
    case evtxtype::kInt64:
    case evtxtype::kUInt64:
    case evtxtype::kBool:
    case evtxtype::kSizeT:
    case evtxtype::kHexInt32:
    case evtxtype::kHexInt64:
    case evtxtype::kFileTime:
      return true;
    default:
      return false;
  }
}

std::uint64_t LoadLe(ByteSpan bytes) {
  std::uint64_t v = 0;
  for (std::size_t i = std::min<std::size_t>(bytes.size(), 8); i-- > 0;) {
    v = (v << 8) | std::to_integer<std::uint64_t>(bytes[i]);
  }
  return v;
}

void SetNumber(EvtxSystem& s, EvtxField f, std::uint64_t v) {
  switch (f) {
    case EvtxField::kEventId:
      s.eventId = static_cast<std::uint16_t>(v);
      break;
    case EvtxField::kQualifiers:
      s.qualifiers = static_cast<std::uint16_t>(v);
      break;
    case EvtxField::kVersion:
      s.version = static_cast<std::uint8_t>(v);
      break;
    case EvtxField::kLevel:
      s.level = static_cast<std::uint8_t>(v);
      break;
    case EvtxField::kTask:
      s.task = static_cast<std::uint16_t>(v);
      break;
    case EvtxField::kOpcode:
      s.opcode = static_cast<std::uint8_t>(v);
      break;
    case EvtxField::kKeywords:
      s.keywords = v;
      break;
    case EvtxField::kTimeCreated:
      s.timeCreated = v;
      break;
    case EvtxField::kEventRecordId:
      s.eventRecordId = v;
      break;
    case EvtxField::kProcessId:
      s.processId = static_cast<std::uint32_t>(v);
      break;
    case EvtxField::kThreadId:
      s.threadId = static_cast<std::uint32_t>(v);
      break;
    default:
      return;
  }
  s.set(f);
}

template <typename System>
auto* StringField(System& s, EvtxField f) {
  using Result = decltype(&s.providerName);
  switch (f) {
    case EvtxField::kProviderName:
      return &s.providerName;
    case EvtxField::kEventSourceName:
      return &s.eventSourceName;
    case EvtxField::kChannel:
      return &s.channel;
    case EvtxField::kComputer:
      return &s.computer;
    default:
      return static_cast<Result>(nullptr);
  }
}

template <typename System>
auto* GuidField(System& s, EvtxField f) {
  using Result = decltype(&s.providerGuid);
  switch (f) {
    case EvtxField::kProviderGuid:
      return &s.providerGuid;
    case EvtxField::kActivityId:
      return &s.activityId;
    case EvtxField::kRelatedActivityId:
      return &s.relatedActivityId;
    default:
      return static_cast<Result>(nullptr);
  }
}

void SetGuid(EvtxSystem& s, EvtxField f, ByteSpan bytes) {
  std::copy_n(bytes.begin(), 16, GuidField(s, f)->begin());
  s.set(f);
}

void CopyField(EvtxSystem& to, const EvtxSystem& from, EvtxField f) {
  if (std::u16string* str = StringField(to, f)) {
    *str = *StringField(from, f);
  } else if (auto* guid = GuidField(to, f)) {
    *guid = *GuidField(from, f);
  } else {
    switch (f) {
      case EvtxField::kUserId:
        to.userId = from.userId;
        break;
      case EvtxField::kEventId:
        to.eventId = from.eventId;
        break;
      case EvtxField::kQualifiers:
        to.qualifiers = from.qualifiers;
        break;
      case EvtxField::kVersion:
        to.version = from.version;
        break;
      case EvtxField::kLevel:
        to.level = from.level;
        break;
      case EvtxField::kTask:
        to.task = from.task;
        break;
      case EvtxField::kOpcode:
        to.opcode = from.opcode;
        break;
      case EvtxField::kKeywords:
        to.keywords = from.keywords;
        break;
      case EvtxField::kTimeCreated:
        to.timeCreated = from.timeCreated;
        break;
      case EvtxField::kEventRecordId:
        to.eventRecordId = from.eventRecordId;
        break;
      case EvtxField::kProcessId:
        to.processId = from.processId;
        break;
      case EvtxField::kThreadId:
        to.threadId = from.threadId;
        break;
      default:
        return;
    }
  }
  to.set(f);
}

// A value given as text: a constant of the template, or a value made of several pieces.
void AssignText(EvtxSystem& s, EvtxField f, std::u16string_view text) {
  if (std::u16string* str = StringField(s, f)) {
    str->assign(text);
    s.set(f);
  } else if (GuidField(s, f) != nullptr) {
    if (const auto guid = ParseEvtxGuid(text)) SetGuid(s, f, *guid);
  } else if (f == EvtxField::kUserId) {
    if (const auto sid = ParseEvtxSid(text)) {
      s.userId = *sid;
      s.set(f);
    }
  } else if (f == EvtxField::kTimeCreated) {
    if (const auto time = ParseEvtxTime(text)) SetNumber(s, f, *time);
  } else if (const auto number = ParseEvtxNumber(text)) {
    SetNumber(s, f, *number);
  }
}

void AssignValue(EvtxSystem& s, EvtxField f, std::uint8_t type, ByteSpan bytes,
                 std::u16string& scratch) {
  if (std::u16string* str = StringField(s, f)) {
    str->clear();
    if (type == evtxtype::kString) {
      // Straight from the chunk up to the first NUL: the hot path of every listing.
      const std::size_t chars = bytes.size() / 2;
      str->resize(chars);
      std::size_t n = 0;
      for (; n < chars; ++n) {
        const auto c = static_cast<char16_t>(le::U16(bytes.data() + 2 * n));
        if (c == u'\0') break;
        (*str)[n] = c;
      }
      str->resize(n);
    } else {
      AppendEvtxValueText(type, bytes, *str);
    }
    s.set(f);
    return;
  }
  if (type == evtxtype::kString) {
    scratch.clear();
    AppendEvtxValueText(type, bytes, scratch);
    return AssignText(s, f, scratch);
  }
  if (GuidField(s, f) != nullptr) {
    if (type == evtxtype::kGuid && bytes.size() == 16) SetGuid(s, f, bytes);
  } else if (f == EvtxField::kUserId) {
    if (type == evtxtype::kSid && EvtxSidSize(bytes) == bytes.size()) {
      s.userId.assign(bytes.begin(), bytes.end());
      s.set(f);
    }
  } else if (f == EvtxField::kTimeCreated && type == evtxtype::kSysTime) {
    if (const auto time = EvtxFileTimeFromSysTime(bytes)) SetNumber(s, f, *time);
  } else if (IsInteger(type) && !bytes.empty() && bytes.size() <= 8) {
    SetNumber(s, f, LoadLe(bytes));
  }
}

const BxElement* FindChild(const BxChunk& chunk, const BxTree& tree, std::uint32_t first,
                           std::uint32_t count, std::u16string_view name,
                           std::uint32_t* index = nullptr) {
  for (std::uint32_t i = 0; i < count; ++i) {
    const BxItem& item = tree.items[first + i];
    if (item.kind != BxItem::Kind::kElement) continue;
    const BxElement& e = tree.elements[item.ref];
    if (chunk.name(e.name) == name) {
      if (index != nullptr) *index = item.ref;
      return &e;
    }
  }
  return nullptr;
}

// An optional substitution directly in the element's content: when its value is empty the
// element is left out.
const BxItem* OptionalInContent(const BxTree& tree, const BxElement& e) {
  for (std::uint32_t i = 0; i < e.count; ++i) {
    const BxItem& item = tree.items[e.first + i];
    if (item.kind == BxItem::Kind::kSubstitution && item.optional) return &item;
  }
  return nullptr;
}

bool IsAbsent(std::span<const BxValue> values, std::uint16_t index) {
  return index >= values.size() || EvtxValueIsEmpty(values[index]);
}

bool ElementLeftOut(const BxTree& tree, const BxElement& e, std::span<const BxValue> values) {
  for (std::uint32_t i = 0; i < e.count; ++i) {
    const BxItem& item = tree.items[e.first + i];
    if (item.kind == BxItem::Kind::kSubstitution && item.optional && IsAbsent(values, item.index)) {
      return true;
    }
  }
  return false;
}

// The text of a value made of pieces (attribute values, mixed content).
void ItemsText(const BxChunk& chunk, const BxTree& tree, std::span<const BxValue> values,
               std::uint32_t first, std::uint32_t count, std::u16string& out) {
  for (std::uint32_t i = 0; i < count; ++i) {
    const BxItem& item = tree.items[first + i];
    switch (item.kind) {
      case BxItem::Kind::kText:
      case BxItem::Kind::kCData:
        out += tree.texts[item.ref];
        break;
      case BxItem::Kind::kSubstitution:
        if (item.index < values.size()) {
          const BxValue& v = values[item.index];
          EvtxValue value{static_cast<std::uint8_t>(v.type & ~evtxtype::kArray),
                          (v.type & evtxtype::kArray) != 0,
                          {},
                          nullptr};
          const ByteSpan bytes = chunk.ValueBytes(v);
          value.data.assign(bytes.begin(), bytes.end());
          out += value.text();
        }
        break;
      case BxItem::Kind::kCharRef:
        out += static_cast<char16_t>(item.index);
        break;
      case BxItem::Kind::kEntityRef: {
        const std::u16string& name = chunk.name(item.ref);
        if (name == u"amp")
          out += u'&';
        else if (name == u"lt")
          out += u'<';
        else if (name == u"gt")
          out += u'>';
        else if (name == u"quot")
          out += u'"';
        else if (name == u"apos")
          out += u'\'';
        break;
      }
      default:
        break;
    }
  }
}

Source SourceOf(const BxTree& tree, std::uint32_t first, std::uint32_t count) {
  Source source;
  if (count == 0) return source;
  source.first = first;
  source.count = count;
  const BxItem& item = tree.items[first];
  if (count == 1 && item.kind == BxItem::Kind::kSubstitution) {
    source.kind = Source::Kind::kSubstitution;
    source.index = item.index;
    source.optional = item.optional;
  } else if (count == 1 && item.kind == BxItem::Kind::kText) {
    source.kind = Source::Kind::kConstant;
  } else {
    source.kind = Source::Kind::kComplex;
  }
  return source;
}

}  // namespace

EvtxSystemPlan MakeEvtxSystemPlan(const BxChunk& chunk, const BxTree& tree) {
  EvtxSystemPlan plan;
  const BxElement* event = FindChild(chunk, tree, tree.first, tree.count, u"Event");
  const BxElement* system =
      event != nullptr ? FindChild(chunk, tree, event->first, event->count, u"System") : nullptr;
  if (system == nullptr) return plan;
  for (const Spot& spot : kSpots) {
    const BxElement* e = FindChild(chunk, tree, system->first, system->count, spot.element);
    if (e == nullptr) continue;
    Source source;
    if (spot.attribute.empty()) {
      source = SourceOf(tree, e->first, e->count);
    } else {
      for (std::uint32_t a = 0; a < e->attributeCount; ++a) {
        const BxAttribute& attribute = tree.attributes[e->firstAttribute + a];
        if (chunk.name(attribute.name) == spot.attribute) {
          source = SourceOf(tree, attribute.first, attribute.count);
          break;
        }
      }
      if (const BxItem* guard = OptionalInContent(tree, *e)) source.guard = guard->index;
    }
    if (source.kind == Source::Kind::kConstant) {
      AssignText(plan.constants, spot.field, tree.texts[tree.items[source.first].ref]);
    }
    plan.sources[static_cast<std::size_t>(spot.field)] = source;
  }
  return plan;
}

bool EvtxEventReader::Load(std::uint32_t slot) {
  plans_.clear();
  loaded_ = file_.LoadChunk(slot, chunk_);
  bx_.Reset(loaded_ ? chunk_.bytes() : platform::ByteSpan{});
  return loaded_;
}

bool EvtxEventReader::Parse(const EvtxRecordRef& record, BxDocument& doc) {
  if (!loaded_ || record.size < kEvtxRecordMinSize ||
      record.offset + std::uint64_t{record.size} > kEvtxChunkSize) {
    return false;
  }
  return bx_.ParseDocument(record.offset + kEvtxRecordHeaderSize, record.offset + record.size - 4,
                           doc);
}

const EvtxSystemPlan& EvtxEventReader::PlanFor(const BxPart& part) {
  if (part.templ == nullptr) {
    ownPlan_ = MakeEvtxSystemPlan(bx_, *part.tree);
    return ownPlan_;
  }
  const auto found = plans_.find(part.templ);
  if (found != plans_.end()) return found->second;
  return plans_.emplace(part.templ, MakeEvtxSystemPlan(bx_, *part.tree)).first->second;
}

bool EvtxEventReader::ReadSystem(const EvtxRecordRef& record, EvtxSystem& out) {
  out.present = 0;
  if (!Parse(record, doc_)) return false;
  const BxPart& part = doc_.parts.front();
  const EvtxSystemPlan& plan = PlanFor(part);
  const std::span<const BxValue> values =
      std::span(doc_.values).subspan(part.firstValue, part.valueCount);
  const BxTree& tree = *part.tree;
  for (std::size_t i = 0; i < plan.sources.size(); ++i) {
    const Source& source = plan.sources[i];
    const auto field = static_cast<EvtxField>(i);
    if (source.guard >= 0 && IsAbsent(values, static_cast<std::uint16_t>(source.guard))) continue;
    switch (source.kind) {
      case Source::Kind::kNone:
        break;
      case Source::Kind::kConstant:
        if (plan.constants.has(field)) CopyField(out, plan.constants, field);
        break;
      case Source::Kind::kSubstitution:
        if (!IsAbsent(values, source.index)) {
          const BxValue& v = values[source.index];
          if ((v.type & evtxtype::kArray) == 0) {
            AssignValue(out, field, v.type, bx_.ValueBytes(v), text_);
          }
        }
        break;
      case Source::Kind::kComplex: {
        // Rare: a value of several pieces.
        bool leftOut = false;
        for (std::uint32_t k = 0; k < source.count && !leftOut; ++k) {
          const BxItem& item = tree.items[source.first + k];
          leftOut = item.kind == BxItem::Kind::kSubstitution && item.optional &&
                    IsAbsent(values, item.index);
        }
        if (leftOut) break;
        text_.clear();
        ItemsText(bx_, tree, values, source.first, source.count, text_);
        AssignText(out, field, text_);
        break;
      }
    }
  }
  return true;
}

bool EvtxEventReader::RenderXml(const EvtxRecordRef& record, std::u16string& out) {
  if (!loaded_ || record.size < kEvtxRecordMinSize ||
      record.offset + std::uint64_t{record.size} > kEvtxChunkSize) {
    return false;
  }
  return xml_.Render(bx_, record.offset + kEvtxRecordHeaderSize, record.offset + record.size - 4,
                     out);
}

bool EvtxEventReader::ReadFragment(const EvtxRecordRef& record, EvtxFragment& out) {
  return Parse(record, doc_) && BxToFragment(bx_, doc_, out);
}

bool EvtxEventReader::ReadEventData(const EvtxRecordRef& record, std::vector<EvtxDataItem>& out) {
  return ReadEventData(record, out, nullptr);
}

bool EvtxEventReader::ReadEventData(const EvtxRecordRef& record, std::vector<EvtxDataItem>& out,
                                    platform::Bytes& binary) {
  return ReadEventData(record, out, &binary);
}

bool EvtxEventReader::ReadEventData(const EvtxRecordRef& record, std::vector<EvtxDataItem>& out,
                                    platform::Bytes* binary) {
  out.clear();
  if (binary != nullptr) binary->clear();
  if (!Parse(record, doc_)) return false;
  for (const BxPart& part : doc_.parts) {
    const auto values = std::span(doc_.values).subspan(part.firstValue, part.valueCount);
    std::uint32_t index = 0;
    if (FindChild(bx_, *part.tree, part.tree->first, part.tree->count, u"Event", &index)) {
      DataOf(*part.tree, values, index, out, binary);
      return true;
    }
  }
  return true;
}

// Walks the element's children (those a BinXml value substitutes in included) looking for
// EventData and UserData below Event, then collects their values.
void EvtxEventReader::DataOf(const BxTree& tree, std::span<const BxValue> values,
                             std::uint32_t eventIndex, std::vector<EvtxDataItem>& out,
                             platform::Bytes* binary) {
  enum class Mode { kEvent, kEventData, kUserData, kLeaves };
  struct Walker {
    EvtxEventReader& r;
    std::vector<EvtxDataItem>& out;
    platform::Bytes* binary;

    void Children(const BxTree& t, std::span<const BxValue> v, const BxElement& e, Mode mode,
                  int depth) {
      for (std::uint32_t i = 0; i < e.count; ++i) {
        const BxItem& item = t.items[e.first + i];
        if (item.kind == BxItem::Kind::kElement) {
          Visit(t, v, item.ref, mode, depth);
        } else if (item.kind == BxItem::Kind::kSubstitution && item.type == evtxtype::kBinXml &&
                   item.index < v.size() && v[item.index].type == evtxtype::kBinXml) {
          Nested(v[item.index], mode, depth);
        }
      }
    }

    void Nested(const BxValue& value, Mode mode, int depth) {
      if (depth + 1 > kBxMaxValueDepth) return;
      BxDocument& doc = r.nested_[static_cast<std::size_t>(depth + 1)];
      if (!r.bx_.ParseDocument(value.offset, value.offset + value.size, doc, depth + 1)) return;
      for (std::size_t p = 0; p < doc.parts.size(); ++p) {
        const BxPart part = doc.parts[p];
        const auto v = std::span(doc.values).subspan(part.firstValue, part.valueCount);
        for (std::uint32_t i = 0; i < part.tree->count; ++i) {
          const BxItem& item = part.tree->items[part.tree->first + i];
          if (item.kind == BxItem::Kind::kElement) Visit(*part.tree, v, item.ref, mode, depth + 1);
        }
      }
    }

    bool HasChildElements(const BxTree& t, std::span<const BxValue> v, const BxElement& e) {
      for (std::uint32_t i = 0; i < e.count; ++i) {
        const BxItem& item = t.items[e.first + i];
        if (item.kind == BxItem::Kind::kElement) return true;
        if (item.kind == BxItem::Kind::kSubstitution && item.index < v.size() &&
            v[item.index].type == evtxtype::kBinXml) {
          return true;
        }
      }
      return false;
    }

    void Visit(const BxTree& t, std::span<const BxValue> v, std::uint32_t index, Mode mode,
               int depth) {
      const BxElement& e = t.elements[index];
      if (ElementLeftOut(t, e, v)) return;
      const std::u16string& name = r.bx_.name(e.name);
      switch (mode) {
        case Mode::kEvent:
          if (name == u"EventData") Children(t, v, e, Mode::kEventData, depth);
          if (name == u"UserData") Children(t, v, e, Mode::kUserData, depth);
          return;
        case Mode::kEventData:
          if (name == u"Data") Add(t, v, e, AttributeText(t, v, e, u"Name"));
          if (name == u"Binary" && binary != nullptr) Binary(t, v, e);
          return;
        case Mode::kUserData:  // its child holds the values
        case Mode::kLeaves:
          if (mode == Mode::kLeaves && !HasChildElements(t, v, e)) {
            Add(t, v, e, name);
          } else {
            Children(t, v, e, Mode::kLeaves, depth);
          }
          return;
      }
    }

    std::u16string AttributeText(const BxTree& t, std::span<const BxValue> v, const BxElement& e,
                                 std::u16string_view attributeName) {
      std::u16string text;
      for (std::uint32_t a = 0; a < e.attributeCount; ++a) {
        const BxAttribute& attribute = t.attributes[e.firstAttribute + a];
        if (r.bx_.name(attribute.name) == attributeName) {
          ItemsText(r.bx_, t, v, attribute.first, attribute.count, text);
          break;
        }
      }
      return text;
    }

    // Binary bytes as they are; a value in any other form is the hexadecimal text XML shows.
    void Binary(const BxTree& t, std::span<const BxValue> v, const BxElement& e) {
      Add(t, v, e, {});
      EvtxValue value = std::move(out.back().value);
      out.pop_back();
      if (value.type == evtxtype::kBinary && !value.array) {
        *binary = std::move(value.data);
        return;
      }
      binary->clear();
      const std::u16string text = value.text();
      int high = -1;
      for (const char16_t c : text) {
        int digit = -1;
        if (c >= u'0' && c <= u'9') digit = c - u'0';
        if (c >= u'a' && c <= u'f') digit = c - u'a' + 10;
        if (c >= u'A' && c <= u'F') digit = c - u'A' + 10;
        if (digit < 0) break;
        if (high < 0) {
          high = digit;
        } else {
          binary->push_back(static_cast<std::byte>(high * 16 + digit));
          high = -1;
        }
      }
    }

    void Add(const BxTree& t, std::span<const BxValue> v, const BxElement& e, std::u16string name) {
      EvtxDataItem item;
      item.name = std::move(name);
      const BxItem* only = e.count == 1 ? &t.items[e.first] : nullptr;
      if (only != nullptr && only->kind == BxItem::Kind::kSubstitution) {
        if (only->index < v.size()) {
          const BxValue& bv = v[only->index];
          if (bv.type == evtxtype::kBinXml) {
            std::u16string xml;
            if (r.xml_.Render(r.bx_, bv.offset, bv.offset + bv.size, xml)) {
              item.value = EvtxValue{evtxtype::kEvtXml, false, LittleEndianBytes(xml), nullptr};
            }
          } else {
            item.value.type = static_cast<std::uint8_t>(bv.type & ~evtxtype::kArray);
            item.value.array = (bv.type & evtxtype::kArray) != 0;
            const ByteSpan bytes = r.bx_.ValueBytes(bv);
            item.value.data.assign(bytes.begin(), bytes.end());
          }
        }
      } else if (e.count != 0) {
        std::u16string text;
        ItemsText(r.bx_, t, v, e.first, e.count, text);
        item.value = EvtxValue::String(text);
      }
      out.push_back(std::move(item));
    }
  };

  Walker walker{*this, out, binary};
  walker.Children(tree, values, tree.elements[eventIndex], Mode::kEvent, 0);
}

}  // namespace qb::sim
