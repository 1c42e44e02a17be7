#include "platform/sim/formats/wevt_writer.h"

#include <map>
#include <string_view>
#include <utility>

namespace qb::sim {
namespace {

using platform::Bytes;

// Binary XML tokens (names inline, as in manifests rather than in .evtx chunks).
constexpr std::uint8_t kTokenEndOfStream = 0x00;
constexpr std::uint8_t kTokenOpenStart = 0x01;
constexpr std::uint8_t kTokenCloseStart = 0x02;
constexpr std::uint8_t kTokenEndElement = 0x04;
constexpr std::uint8_t kTokenValue = 0x05;
constexpr std::uint8_t kTokenAttribute = 0x06;
constexpr std::uint8_t kTokenOptionalSubstitution = 0x0E;
constexpr std::uint8_t kTokenFragmentHeader = 0x0F;
constexpr std::uint8_t kFlagHasMore = 0x40;  // on open-start: has attributes
constexpr std::uint8_t kValueString = 0x01;

class Writer {
 public:
  std::size_t Size() const { return out_.size(); }
  Bytes Take() { return std::move(out_); }

  void U8(std::uint64_t v) { out_.push_back(static_cast<std::byte>(v)); }
  void U16(std::uint64_t v) { Le(v, 2); }
  void U32(std::uint64_t v) { Le(v, 4); }
  void U64(std::uint64_t v) { Le(v, 8); }
  void Tag(std::string_view tag) {
    for (char c : tag) U8(static_cast<unsigned char>(c));
  }
  void Raw(platform::ByteSpan bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }
  void Guid(const WevtGuid& guid) {
    U32(guid.data1);
    U16(guid.data2);
    U16(guid.data3);
    for (std::uint8_t b : guid.data4) U8(b);
  }
  void Patch32(std::size_t at, std::uint64_t v) {
    for (int i = 0; i < 4; ++i) out_[at + i] = static_cast<std::byte>(v >> (8 * i));
  }

  // A size-prefixed, NUL-terminated UTF-16 name padded to 4 bytes; returns its offset.
  std::uint32_t Name(const std::u16string& name) {
    std::size_t at = Size();
    std::size_t size = (4 + 2 * (name.size() + 1) + 3) / 4 * 4;
    U32(size);
    for (char16_t c : name) U16(c);
    while (Size() < at + size) U8(0);
    return static_cast<std::uint32_t>(at);
  }

  // Element header: signature and a size patched by End().
  std::size_t Begin(std::string_view tag) {
    std::size_t at = Size();
    Tag(tag);
    U32(0);
    return at;
  }
  void End(std::size_t at) { Patch32(at + 4, Size() - at); }

 private:
  void Le(std::uint64_t v, int size) {
    for (int i = 0; i < size; ++i) out_.push_back(static_cast<std::byte>(v >> (8 * i)));
  }

  Bytes out_;
};

// Name fields point at names written after the definitions: remembered, then patched.
struct PendingNames {
  std::vector<std::pair<std::size_t, const std::u16string*>> fields;

  void Add(Writer& w, const std::u16string& name) {
    fields.emplace_back(w.Size(), &name);
    w.U32(0);
  }
  void Write(Writer& w) {
    for (auto& [at, name] : fields) {
      if (!name->empty()) w.Patch32(at, w.Name(*name));
    }
  }
};

std::uint16_t NameHash(std::u16string_view name) {
  std::uint32_t hash = 0;
  for (char16_t c : name) hash = hash * 65599u + c;
  return static_cast<std::uint16_t>(hash);
}

void InlineName(Writer& w, std::u16string_view name) {
  w.U16(NameHash(name));
  w.U16(name.size());
  for (char16_t c : name) w.U16(c);
  w.U16(0);
}

// An element's byte length counts from after the length field to its end token.
std::size_t OpenElement(Writer& w, std::u16string_view name, bool hasAttributes) {
  w.U8(kTokenOpenStart | (hasAttributes ? kFlagHasMore : 0));
  w.U16(0xFFFF);  // depends on no substitution
  std::size_t length = w.Size();
  w.U32(0);
  InlineName(w, name);
  return length;
}

void CloseElement(Writer& w, std::size_t length) {
  w.U8(kTokenEndElement);
  w.Patch32(length, w.Size() - length - 4);
}

struct ProviderLayout {
  std::map<std::uint32_t, std::uint32_t> levels;   // value -> definition offset
  std::map<std::uint32_t, std::uint32_t> opcodes;  // task << 16 | value -> definition offset
  std::map<std::uint16_t, std::uint32_t> tasks;
  std::vector<std::uint32_t> templates;
};

void WriteChannels(Writer& w, const WevtProviderDesc& desc) {
  std::size_t at = w.Begin("CHAN");
  w.U32(desc.channels.size());
  PendingNames names;
  for (const WevtChannel& c : desc.channels) {
    w.U32(c.value);
    names.Add(w, c.name);
    w.U32(c.flags);
    w.U32(c.messageId);
  }
  names.Write(w);
  w.End(at);
}

void WriteKeywords(Writer& w, const WevtProviderDesc& desc) {
  std::size_t at = w.Begin("KEYW");
  w.U32(desc.keywords.size());
  PendingNames names;
  for (const WevtKeyword& k : desc.keywords) {
    w.U64(k.mask);
    w.U32(k.messageId);
    names.Add(w, k.name);
  }
  names.Write(w);
  w.End(at);
}

void WriteLevels(Writer& w, const WevtProviderDesc& desc, ProviderLayout& layout) {
  std::size_t at = w.Begin("LEVL");
  w.U32(desc.levels.size());
  PendingNames names;
  for (const WevtLevel& l : desc.levels) {
    layout.levels.emplace(l.value, static_cast<std::uint32_t>(w.Size()));
    w.U32(l.value);
    w.U32(l.messageId);
    names.Add(w, l.name);
  }
  names.Write(w);
  w.End(at);
}

void WriteOpcodes(Writer& w, const WevtProviderDesc& desc, ProviderLayout& layout) {
  std::size_t at = w.Begin("OPCO");
  w.U32(desc.opcodes.size());
  PendingNames names;
  for (const WevtOpcode& o : desc.opcodes) {
    std::uint32_t key = std::uint32_t{o.task} << 16 | o.value;
    layout.opcodes.emplace(key, static_cast<std::uint32_t>(w.Size()));
    w.U32(key);
    w.U32(o.messageId);
    names.Add(w, o.name);
  }
  names.Write(w);
  w.End(at);
}

void WriteTasks(Writer& w, const WevtProviderDesc& desc, ProviderLayout& layout) {
  std::size_t at = w.Begin("TASK");
  w.U32(desc.tasks.size());
  PendingNames names;
  for (const WevtTask& t : desc.tasks) {
    layout.tasks.emplace(t.value, static_cast<std::uint32_t>(w.Size()));
    w.U32(t.value);
    w.U32(t.messageId);
    w.Guid(t.eventGuid);
    names.Add(w, t.name);
  }
  names.Write(w);
  w.End(at);
}

// The first map follows the offsets of the others.
void WriteMaps(Writer& w, const WevtProviderDesc& desc) {
  std::size_t at = w.Begin("MAPS");
  w.U32(desc.maps.size());
  std::size_t offsets = w.Size();
  for (std::size_t i = 1; i < desc.maps.size(); ++i) w.U32(0);
  for (std::size_t i = 0; i < desc.maps.size(); ++i) {
    const WevtValueMap& map = desc.maps[i];
    if (i > 0) w.Patch32(offsets + (i - 1) * 4, w.Size());
    std::size_t mapAt = w.Begin(map.bitMap ? "BMAP" : "VMAP");
    PendingNames names;
    names.Add(w, map.name);
    w.U32(map.entries.size());
    for (const WevtMapEntry& e : map.entries) {
      w.U32(e.value);
      w.U32(e.messageId);
    }
    w.End(mapAt);
    names.Write(w);
  }
  w.End(at);
}

void WriteTemplates(Writer& w, const WevtProviderDesc& desc, ProviderLayout& layout) {
  std::size_t at = w.Begin("TTBL");
  w.U32(desc.templates.size());
  for (const WevtTemplateDesc& t : desc.templates) {
    std::size_t temp = w.Begin("TEMP");
    layout.templates.push_back(static_cast<std::uint32_t>(temp));
    w.U32(t.items.size());
    w.U32(t.items.size());
    std::size_t itemsOffset = w.Size();
    w.U32(0);
    w.U32(1);  // what the message compiler writes for an EventData template
    w.Guid(t.guid);
    w.Raw(WevtTemplateBinXml(t.items));
    w.Patch32(itemsOffset, t.items.empty() ? 0 : w.Size());
    PendingNames names;
    for (const WevtTemplateItem& item : t.items) {
      w.U32(0);
      w.U8(item.inType);
      w.U8(item.outType);
      w.U16(0);
      w.U32(0);
      w.U16(item.count);
      w.U16(item.length);
      names.Add(w, item.name);
    }
    names.Write(w);
    w.End(temp);
  }
  w.End(at);
}

template <typename Map, typename Key>
std::uint32_t OffsetOf(const Map& map, Key key) {
  auto it = map.find(key);
  return it == map.end() ? 0 : it->second;
}

void WriteEvents(Writer& w, const WevtProviderDesc& desc, const ProviderLayout& layout) {
  std::size_t at = w.Begin("EVNT");
  w.U32(desc.events.size());
  w.U32(0);
  for (const WevtEventDesc& e : desc.events) {
    const WevtEvent& d = e.definition;
    w.U16(d.id);
    w.U8(d.version);
    w.U8(d.channel);
    w.U8(d.level);
    w.U8(d.opcode);
    w.U16(d.task);
    w.U64(d.keywords);
    w.U32(d.messageId);
    bool hasTemplate = e.templateIndex && *e.templateIndex < layout.templates.size();
    w.U32(hasTemplate ? layout.templates[*e.templateIndex] : 0);
    std::uint32_t opcode = OffsetOf(layout.opcodes, std::uint32_t{d.task} << 16 | d.opcode);
    if (opcode == 0) opcode = OffsetOf(layout.opcodes, std::uint32_t{d.opcode});
    w.U32(opcode);
    w.U32(OffsetOf(layout.levels, std::uint32_t{d.level}));
    w.U32(OffsetOf(layout.tasks, d.task));
    w.U32(0);
    w.U32(0);
    w.U32(0);
  }
  w.End(at);
}

void WriteProvider(Writer& w, const WevtProviderDesc& desc) {
  std::size_t at = w.Begin("WEVT");
  w.U32(desc.messageId);
  std::size_t countAt = w.Size();
  w.U32(0);
  w.U32(0);  // no 32-bit values follow the element list
  const bool present[] = {
      !desc.channels.empty(),  !desc.keywords.empty(), !desc.levels.empty(),
      !desc.opcodes.empty(),   !desc.tasks.empty(),    !desc.maps.empty(),
      !desc.templates.empty(), !desc.events.empty(),   !desc.attributes.empty()};
  std::size_t count = 0;
  for (bool p : present) count += p ? 1 : 0;
  w.Patch32(countAt, count);
  std::size_t list = w.Size();
  for (std::size_t i = 0; i < count * 2; ++i) w.U32(0);
  w.End(at);

  ProviderLayout layout;
  std::size_t next = list;
  auto element = [&](auto write) {
    w.Patch32(next, w.Size());
    next += 8;
    write();
  };
  if (present[0]) element([&] { WriteChannels(w, desc); });
  if (present[1]) element([&] { WriteKeywords(w, desc); });
  if (present[2]) element([&] { WriteLevels(w, desc, layout); });
  if (present[3]) element([&] { WriteOpcodes(w, desc, layout); });
  if (present[4]) element([&] { WriteTasks(w, desc, layout); });
  if (present[5]) element([&] { WriteMaps(w, desc); });
  if (present[6]) element([&] { WriteTemplates(w, desc, layout); });
  if (present[7]) element([&] { WriteEvents(w, desc, layout); });
  if (present[8]) {
    element([&] {
      std::size_t prva = w.Begin("PRVA");
      w.Raw(desc.attributes);
      w.End(prva);
    });
  }
}

}  // namespace

Bytes WevtTemplateBinXml(std::span<const WevtTemplateItem> items) {
  Writer w;
  w.U8(kTokenFragmentHeader);
  w.U8(1);  // major version
  w.U8(1);  // minor version
  w.U8(0);  // flags
  std::size_t eventData = OpenElement(w, u"EventData", false);
  w.U8(kTokenCloseStart);
  for (std::size_t i = 0; i < items.size(); ++i) {
    std::size_t data = OpenElement(w, u"Data", true);
    std::size_t attributes = w.Size();
    w.U32(0);
    w.U8(kTokenAttribute);
    InlineName(w, u"Name");
    w.U8(kTokenValue);
    w.U8(kValueString);
    w.U16(items[i].name.size());
    for (char16_t c : items[i].name) w.U16(c);
    w.Patch32(attributes, w.Size() - attributes - 4);
    w.U8(kTokenCloseStart);
    w.U8(kTokenOptionalSubstitution);
    w.U16(i);
    w.U8(items[i].inType);  // input types and value types share their numbers
    CloseElement(w, data);
  }
  CloseElement(w, eventData);
  w.U8(kTokenEndOfStream);
  return w.Take();
}

Bytes WriteWevtManifest(std::span<const WevtProviderDesc> providers) {
  Writer w;
  std::size_t crim = w.Begin("CRIM");
  w.U16(3);
  w.U16(1);
  w.U32(providers.size());
  std::size_t list = w.Size();
  for (const WevtProviderDesc& p : providers) {
    w.Guid(p.guid);
    w.U32(0);
  }
  for (std::size_t i = 0; i < providers.size(); ++i) {
    w.Patch32(list + i * 20 + 16, w.Size());
    WriteProvider(w, providers[i]);
  }
  w.End(crim);
  return w.Take();
}

}  // namespace qb::sim
