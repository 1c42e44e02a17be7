#include "platform/sim/formats/wevt_manifest.h"

#include <algorithm>
#include <new>
#include <utility>

namespace qb::sim {
namespace {

using platform::ByteSpan;

// Raised inside the parser only; the entry point turns it into nullopt.
struct ParseError {
  const char* reason;
};

[[noreturn]] void Fail(const char* reason) {
  throw ParseError{reason};
}

constexpr std::uint32_t Signature(const char (&text)[5]) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(text[3])) << 24;
}

constexpr std::uint32_t kCrim = Signature("CRIM");
constexpr std::uint32_t kWevt = Signature("WEVT");
constexpr std::uint32_t kChan = Signature("CHAN");
constexpr std::uint32_t kEvnt = Signature("EVNT");
constexpr std::uint32_t kKeyw = Signature("KEYW");
constexpr std::uint32_t kLevl = Signature("LEVL");
constexpr std::uint32_t kMaps = Signature("MAPS");
constexpr std::uint32_t kOpco = Signature("OPCO");
constexpr std::uint32_t kTask = Signature("TASK");
constexpr std::uint32_t kTtbl = Signature("TTBL");
constexpr std::uint32_t kTemp = Signature("TEMP");
constexpr std::uint32_t kPrva = Signature("PRVA");
constexpr std::uint32_t kVmap = Signature("VMAP");
constexpr std::uint32_t kBmap = Signature("BMAP");

constexpr std::uint64_t kTemplateHeader = 40;
constexpr std::uint64_t kItemSize = 20;

// Little-endian reads that never leave their span.
class Reader {
 public:
  explicit Reader(ByteSpan data) : data_(data) {}

  ByteSpan Sub(std::uint64_t offset, std::uint64_t length, const char* what) const {
    if (offset > data_.size() || length > data_.size() - offset) Fail(what);
    return data_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
  }
  std::uint8_t U8(std::uint64_t offset, const char* what) const {
    return std::to_integer<std::uint8_t>(Sub(offset, 1, what)[0]);
  }
  std::uint16_t U16(std::uint64_t offset, const char* what) const {
    return static_cast<std::uint16_t>(Le(offset, 2, what));
  }
  std::uint32_t U32(std::uint64_t offset, const char* what) const {
    return static_cast<std::uint32_t>(Le(offset, 4, what));
  }
  std::uint64_t U64(std::uint64_t offset, const char* what) const { return Le(offset, 8, what); }

  WevtGuid Guid(std::uint64_t offset, const char* what) const {
    Sub(offset, 16, what);
    WevtGuid guid;
    guid.data1 = U32(offset, what);
    guid.data2 = U16(offset + 4, what);
    guid.data3 = U16(offset + 6, what);
    for (std::size_t i = 0; i < 8; ++i) guid.data4[i] = U8(offset + 8 + i, what);
    return guid;
  }

 private:
  std::uint64_t Le(std::uint64_t offset, int size, const char* what) const {
    ByteSpan b = Sub(offset, static_cast<std::uint64_t>(size), what);
    std::uint64_t v = 0;
    for (int i = size - 1; i >= 0; --i) v = (v << 8) | std::to_integer<std::uint64_t>(b[i]);
    return v;
  }

  ByteSpan data_;
};

class ManifestParser {
 public:
  explicit ManifestParser(ByteSpan data)
      : data_(data), r_(data), budget_(std::uint64_t{data.size()} * 8 + 65536) {}

  WevtManifest Parse() {
    if (r_.U32(0, kHeaderError) != kCrim) Fail("no CRIM signature");
    std::uint32_t size = r_.U32(4, kHeaderError);
    if (size < 16 || size > data_.size()) Fail("manifest size does not match its data");
    // What follows the manifest (resource padding) is not part of it.
    r_ = Reader(data_.first(size));

    WevtManifest manifest;
    manifest.majorVersion = r_.U16(8, kHeaderError);
    manifest.minorVersion = r_.U16(10, kHeaderError);
    std::uint32_t count = r_.U32(12, kHeaderError);
    r_.Sub(16, std::uint64_t{count} * 20, "provider list runs past the manifest");
    Spend(std::uint64_t{count} * 20);
    manifest.providers.reserve(count);
    for (std::uint64_t i = 0; i < count; ++i) {
      std::uint64_t at = 16 + i * 20;
      WevtProvider provider;
      provider.guid = r_.Guid(at, kHeaderError);
      ReadProvider(r_.U32(at + 16, kHeaderError), provider);
      manifest.providers.push_back(std::move(provider));
    }
    return manifest;
  }

 private:
  // Elements may share bytes (several providers or descriptors naming the same element);
  // charging every read against a budget proportional to the data keeps any input linear.
  void Spend(std::uint64_t units) {
    if (units > budget_) Fail("manifest elements reference the same bytes too often");
    budget_ -= units;
  }

  // A size-prefixed UTF-16 name; offset 0 means none.
  std::u16string ReadName(std::uint32_t offset) {
    if (offset == 0) return {};
    std::uint32_t size = r_.U32(offset, kNameError);
    if (size < 4) Fail(kNameError);
    ByteSpan bytes = r_.Sub(offset + std::uint64_t{4}, size - 4u, kNameError);
    Spend(size);
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
      auto c = static_cast<char16_t>(std::to_integer<unsigned>(bytes[i]) |
                                     (std::to_integer<unsigned>(bytes[i + 1]) << 8));
      if (c == 0) break;
      text.push_back(c);
    }
    return text;
  }

  // The definitions array of a CHAN/KEYW/LEVL/OPCO/TASK element: count at +8, entries at +12.
  std::pair<std::uint64_t, std::uint32_t> Definitions(std::uint32_t element,
                                                      std::uint64_t entrySize,
                                                      std::uint64_t firstEntry = 12) {
    std::uint32_t count = r_.U32(element + std::uint64_t{8}, kElementError);
    r_.Sub(element + firstEntry, std::uint64_t{count} * entrySize, kElementError);
    Spend(firstEntry + std::uint64_t{count} * entrySize);
    return {element + firstEntry, count};
  }

  void ReadProvider(std::uint32_t offset, WevtProvider& provider) {
    Spend(20);
    if (r_.U32(offset, kProviderError) != kWevt) Fail("provider has no WEVT signature");
    provider.messageId = r_.U32(offset + std::uint64_t{8}, kProviderError);
    std::uint32_t count = r_.U32(offset + std::uint64_t{12}, kProviderError);
    r_.U32(offset + std::uint64_t{16}, kProviderError);
    r_.Sub(offset + std::uint64_t{20}, std::uint64_t{count} * 8, kProviderError);
    Spend(std::uint64_t{count} * 8);
    for (std::uint64_t i = 0; i < count; ++i) {
      std::uint32_t element = r_.U32(offset + 20 + i * 8, kProviderError);
      ReadElement(element, provider);
    }
    // Sorted offsets keep this check linear-logarithmic on hostile counts.
    std::vector<std::uint32_t> templates;
    templates.reserve(provider.templates.size());
    for (const WevtTemplate& t : provider.templates) templates.push_back(t.offset);
    std::sort(templates.begin(), templates.end());
    for (const WevtEvent& event : provider.events) {
      if (event.templateOffset != 0 &&
          !std::binary_search(templates.begin(), templates.end(), event.templateOffset)) {
        Fail("event names a template that is not in the provider's template table");
      }
    }
  }

  void ReadElement(std::uint32_t element, WevtProvider& provider) {
    Spend(8);
    switch (r_.U32(element, kElementError)) {
      case kChan:
        ReadChannels(element, provider);
        break;
      case kEvnt:
        ReadEvents(element, provider);
        break;
      case kKeyw:
        ReadKeywords(element, provider);
        break;
      case kLevl:
        ReadLevels(element, provider);
        break;
      case kMaps:
        ReadMaps(element, provider);
        break;
      case kOpco:
        ReadOpcodes(element, provider);
        break;
      case kTask:
        ReadTasks(element, provider);
        break;
      case kTtbl:
        ReadTemplates(element, provider);
        break;
      case kPrva:
        ReadAttributes(element, provider);
        break;
      default:  // an element kind newer than this reader: what it holds is not needed
        break;
    }
  }

  void ReadChannels(std::uint32_t element, WevtProvider& provider) {
    auto [first, count] = Definitions(element, 16);
    for (std::uint64_t i = 0; i < count; ++i) {
      std::uint64_t at = first + i * 16;
      WevtChannel channel;
      channel.value = r_.U32(at, kElementError);
      std::uint32_t name = r_.U32(at + 4, kElementError);
      channel.flags = r_.U32(at + 8, kElementError);
      channel.messageId = r_.U32(at + 12, kElementError);
      channel.name = ReadName(name);
      provider.channels.push_back(std::move(channel));
    }
  }

  void ReadEvents(std::uint32_t element, WevtProvider& provider) {
    // One more 32-bit value than the other lists before the definitions.
    auto [first, count] = Definitions(element, 48, 16);
    for (std::uint64_t i = 0; i < count; ++i) {
      std::uint64_t at = first + i * 48;
      WevtEvent event;
      event.id = r_.U16(at, kElementError);
      event.version = r_.U8(at + 2, kElementError);
      event.channel = r_.U8(at + 3, kElementError);
      event.level = r_.U8(at + 4, kElementError);
      event.opcode = r_.U8(at + 5, kElementError);
      event.task = r_.U16(at + 6, kElementError);
      event.keywords = r_.U64(at + 8, kElementError);
      event.messageId = r_.U32(at + 16, kElementError);
      event.templateOffset = r_.U32(at + 20, kElementError);
      provider.events.push_back(event);
    }
  }

  void ReadKeywords(std::uint32_t element, WevtProvider& provider) {
    auto [first, count] = Definitions(element, 16);
    for (std::uint64_t i = 0; i < count; ++i) {
      std::uint64_t at = first + i * 16;
      WevtKeyword keyword;
      keyword.mask = r_.U64(at, kElementError);
      keyword.messageId = r_.U32(at + 8, kElementError);
      keyword.name = ReadName(r_.U32(at + 12, kElementError));
      provider.keywords.push_back(std::move(keyword));
    }
  }

  void ReadLevels(std::uint32_t element, WevtProvider& provider) {
    auto [first, count] = Definitions(element, 12);
    for (std::uint64_t i = 0; i < count; ++i) {
      std::uint64_t at = first + i * 12;
      WevtLevel level;
      level.value = r_.U32(at, kElementError);
      level.messageId = r_.U32(at + 4, kElementError);
      level.name = ReadName(r_.U32(at + 8, kElementError));
      provider.levels.push_back(std::move(level));
    }
  }

  void ReadOpcodes(std::uint32_t element, WevtProvider& provider) {
    auto [first, count] = Definitions(element, 12);
    for (std::uint64_t i = 0; i < count; ++i) {
      std::uint64_t at = first + i * 12;
      WevtOpcode opcode;
      std::uint32_t value = r_.U32(at, kElementError);
      opcode.task = static_cast<std::uint16_t>(value >> 16);
      opcode.value = static_cast<std::uint16_t>(value);
      opcode.messageId = r_.U32(at + 4, kElementError);
      opcode.name = ReadName(r_.U32(at + 8, kElementError));
      provider.opcodes.push_back(std::move(opcode));
    }
  }

  void ReadTasks(std::uint32_t element, WevtProvider& provider) {
    auto [first, count] = Definitions(element, 28);
    for (std::uint64_t i = 0; i < count; ++i) {
      std::uint64_t at = first + i * 28;
      WevtTask task;
      std::uint32_t value = r_.U32(at, kElementError);
      if (value > 0xFFFF) Fail("task value does not fit the event descriptor");
      task.value = static_cast<std::uint16_t>(value);
      task.messageId = r_.U32(at + 4, kElementError);
      task.eventGuid = r_.Guid(at + 8, kElementError);
      task.name = ReadName(r_.U32(at + 24, kElementError));
      provider.tasks.push_back(std::move(task));
    }
  }

  // The first map follows the list of the others' offsets, which is one entry short.
  void ReadMaps(std::uint32_t element, WevtProvider& provider) {
    std::uint32_t count = r_.U32(element + std::uint64_t{8}, kElementError);
    if (count == 0) return;
    std::uint64_t offsets = element + std::uint64_t{12};
    r_.Sub(offsets, (std::uint64_t{count} - 1) * 4, kElementError);
    Spend(std::uint64_t{count} * 4);
    ReadMap(offsets + (std::uint64_t{count} - 1) * 4, provider);
    for (std::uint64_t i = 0; i + 1 < count; ++i) {
      ReadMap(r_.U32(offsets + i * 4, kElementError), provider);
    }
  }

  void ReadMap(std::uint64_t at, WevtProvider& provider) {
    Spend(16);
    WevtValueMap map;
    std::uint32_t signature = r_.U32(at, kMapError);
    if (signature != kVmap && signature != kBmap) Fail("value map has no VMAP or BMAP signature");
    map.bitMap = signature == kBmap;
    std::uint32_t name = r_.U32(at + 8, kMapError);
    std::uint32_t count = r_.U32(at + 12, kMapError);
    r_.Sub(at + 16, std::uint64_t{count} * 8, kMapError);
    Spend(std::uint64_t{count} * 8);
    map.entries.reserve(count);
    for (std::uint64_t i = 0; i < count; ++i) {
      map.entries.push_back(
          WevtMapEntry{r_.U32(at + 16 + i * 8, kMapError), r_.U32(at + 20 + i * 8, kMapError)});
    }
    map.name = ReadName(name);
    provider.maps.push_back(std::move(map));
  }

  // TEMP blocks follow each other inside the table, each as long as its size says.
  void ReadTemplates(std::uint32_t element, WevtProvider& provider) {
    std::uint32_t count = r_.U32(element + std::uint64_t{8}, kElementError);
    std::uint64_t at = element + std::uint64_t{12};
    for (std::uint64_t i = 0; i < count; ++i) {
      Spend(kTemplateHeader);
      if (r_.U32(at, kTemplateError) != kTemp) Fail("template has no TEMP signature");
      std::uint32_t size = r_.U32(at + 4, kTemplateError);
      if (size < kTemplateHeader) Fail(kTemplateError);
      r_.Sub(at, size, kTemplateError);
      std::uint64_t end = at + size;
      WevtTemplate tmpl;
      tmpl.offset = static_cast<std::uint32_t>(at);
      std::uint32_t itemCount = r_.U32(at + 8, kTemplateError);
      std::uint32_t itemsOffset = r_.U32(at + 16, kTemplateError);
      tmpl.flags = r_.U32(at + 20, kTemplateError);
      tmpl.guid = r_.Guid(at + 24, kTemplateError);
      std::uint64_t xmlEnd = end;
      if (itemCount != 0) {
        if (itemsOffset < at + kTemplateHeader || itemsOffset > end) Fail(kTemplateError);
        xmlEnd = itemsOffset;
      }
      tmpl.binXml = r_.Sub(at + kTemplateHeader, xmlEnd - at - kTemplateHeader, kTemplateError);
      r_.Sub(itemsOffset, std::uint64_t{itemCount} * kItemSize, kTemplateError);
      Spend(size + std::uint64_t{itemCount} * kItemSize);
      tmpl.items.reserve(itemCount);
      for (std::uint64_t k = 0; k < itemCount; ++k) {
        std::uint64_t item = itemsOffset + k * kItemSize;
        WevtTemplateItem entry;
        entry.inType = r_.U8(item + 4, kTemplateError);
        entry.outType = r_.U8(item + 5, kTemplateError);
        entry.count = r_.U16(item + 12, kTemplateError);
        entry.length = r_.U16(item + 14, kTemplateError);
        entry.name = ReadName(r_.U32(item + 16, kTemplateError));
        tmpl.items.push_back(std::move(entry));
      }
      provider.templates.push_back(std::move(tmpl));
      at = end;
    }
  }

  void ReadAttributes(std::uint32_t element, WevtProvider& provider) {
    std::uint32_t size = r_.U32(element + std::uint64_t{4}, kElementError);
    if (size < 8) Fail(kElementError);
    ByteSpan bytes = r_.Sub(element + std::uint64_t{8}, size - 8u, kElementError);
    Spend(size);
    provider.attributes.insert(provider.attributes.end(), bytes.begin(), bytes.end());
  }

  static constexpr const char* kHeaderError = "manifest header is truncated";
  static constexpr const char* kProviderError = "provider block lies outside the manifest";
  static constexpr const char* kElementError = "provider element lies outside the manifest";
  static constexpr const char* kNameError = "name lies outside the manifest";
  static constexpr const char* kMapError = "value map lies outside the manifest";
  static constexpr const char* kTemplateError = "template is malformed";

  ByteSpan data_;
  Reader r_;
  std::uint64_t budget_;
};

char16_t HexDigit(unsigned value) {
  return static_cast<char16_t>(value < 10 ? u'0' + value : u'A' + value - 10);
}

void AppendHex(std::u16string& out, std::uint64_t value, int digits) {
  for (int i = digits - 1; i >= 0; --i) out.push_back(HexDigit((value >> (4 * i)) & 0xF));
}

std::optional<std::uint64_t> ReadHex(std::u16string_view text) {
  std::uint64_t value = 0;
  for (char16_t c : text) {
    unsigned digit = 0;
    if (c >= u'0' && c <= u'9') {
      digit = c - u'0';
    } else if (c >= u'a' && c <= u'f') {
      digit = c - u'a' + 10;
    } else if (c >= u'A' && c <= u'F') {
      digit = c - u'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value << 4 | digit;
  }
  return value;
}

template <typename T, typename Pred>
const T* FindIf(const std::vector<T>& items, Pred pred) {
  auto it = std::find_if(items.begin(), items.end(), pred);
  return it == items.end() ? nullptr : &*it;
}

}  // namespace

std::u16string WevtGuid::ToString() const {
  std::u16string text = u"{";
  AppendHex(text, data1, 8);
  text.push_back(u'-');
  AppendHex(text, data2, 4);
  text.push_back(u'-');
  AppendHex(text, data3, 4);
  text.push_back(u'-');
  for (std::size_t i = 0; i < 8; ++i) {
    if (i == 2) text.push_back(u'-');
    AppendHex(text, data4[i], 2);
  }
  text.push_back(u'}');
  return text;
}

std::optional<WevtGuid> WevtGuid::Parse(std::u16string_view text) {
  if (text.size() != 38 || text.front() != u'{' || text.back() != u'}' || text[9] != u'-' ||
      text[14] != u'-' || text[19] != u'-' || text[24] != u'-') {
    return std::nullopt;
  }
  auto d1 = ReadHex(text.substr(1, 8));
  auto d2 = ReadHex(text.substr(10, 4));
  auto d3 = ReadHex(text.substr(15, 4));
  auto d4a = ReadHex(text.substr(20, 4));
  auto d4b = ReadHex(text.substr(25, 12));
  if (!d1 || !d2 || !d3 || !d4a || !d4b) return std::nullopt;
  WevtGuid guid;
  guid.data1 = static_cast<std::uint32_t>(*d1);
  guid.data2 = static_cast<std::uint16_t>(*d2);
  guid.data3 = static_cast<std::uint16_t>(*d3);
  guid.data4[0] = static_cast<std::uint8_t>(*d4a >> 8);
  guid.data4[1] = static_cast<std::uint8_t>(*d4a);
  for (int i = 0; i < 6; ++i) guid.data4[2 + i] = static_cast<std::uint8_t>(*d4b >> (40 - 8 * i));
  return guid;
}

const WevtEvent* WevtProvider::FindEvent(std::uint16_t id, std::uint8_t version) const {
  return FindIf(events, [&](const WevtEvent& e) { return e.id == id && e.version == version; });
}

const WevtTask* WevtProvider::FindTask(std::uint16_t value) const {
  return FindIf(tasks, [&](const WevtTask& t) { return t.value == value; });
}

const WevtOpcode* WevtProvider::FindOpcode(std::uint16_t task, std::uint16_t value) const {
  const WevtOpcode* own =
      FindIf(opcodes, [&](const WevtOpcode& o) { return o.task == task && o.value == value; });
  if (own != nullptr || task == 0) return own;
  return FindIf(opcodes, [&](const WevtOpcode& o) { return o.task == 0 && o.value == value; });
}

const WevtLevel* WevtProvider::FindLevel(std::uint32_t value) const {
  return FindIf(levels, [&](const WevtLevel& l) { return l.value == value; });
}

const WevtKeyword* WevtProvider::FindKeyword(unsigned bit) const {
  if (bit > 63) return nullptr;
  return FindIf(keywords, [&](const WevtKeyword& k) { return k.mask == std::uint64_t{1} << bit; });
}

const WevtChannel* WevtProvider::FindChannel(std::uint32_t value) const {
  return FindIf(channels, [&](const WevtChannel& c) { return c.value == value; });
}

const WevtTemplate* WevtProvider::FindTemplate(const WevtEvent& event) const {
  if (event.templateOffset == 0) return nullptr;
  return FindIf(templates, [&](const WevtTemplate& t) { return t.offset == event.templateOffset; });
}

const WevtProvider* WevtManifest::FindProvider(const WevtGuid& guid) const {
  return FindIf(providers, [&](const WevtProvider& p) { return p.guid == guid; });
}

std::optional<WevtManifest> ParseWevtManifest(platform::ByteSpan data, std::string* error) {
  const char* reason = nullptr;
  try {
    WevtManifest manifest = ManifestParser(data).Parse();
    if (error != nullptr) error->clear();
    return manifest;
  } catch (const ParseError& e) {
    reason = e.reason;
  } catch (const std::bad_alloc&) {
    reason = "out of memory";
  }
  if (error != nullptr) {
    try {
      *error = reason;
    } catch (...) {  // out of memory even for the reason: leave *error as it is
    }
  }
  return std::nullopt;
}

}  // namespace qb::sim
