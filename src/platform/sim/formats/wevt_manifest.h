// Reads the event manifest a provider library carries: the resource of type "WEVT_TEMPLATE",
// id 1, that the message compiler makes from an instrumentation manifest. It names, per
// provider GUID, the provider's events (by id and version) with the message ids of their
// descriptions, and the tasks, opcodes, levels, keywords, channels, value maps and data
// templates those events refer to. The texts themselves are in the message table of the
// provider's MessageFileName; wevt_messages.h puts the two together.
//
// Layout (little-endian, every offset counted from the start of the resource):
//   "CRIM" size u32, version major u16 minor u16, provider count u32, then per provider
//   its GUID and the offset of its "WEVT" block: message id u32, element count u32, a count
//   of 32-bit values that follow the element list, and the element list (offset u32, u32).
//   Each element starts with its signature: CHAN, EVNT, KEYW, LEVL, MAPS, OPCO, TASK, TTBL
//   (TEMP templates inside), PRVA. Names are stored as size u32 (itself included) followed
//   by UTF-16 with a terminating NUL.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace qb::sim {

// What the manifest stores where an element has no message.
inline constexpr std::uint32_t kWevtNoMessage = 0xFFFFFFFFu;

// A GUID as Windows lays it out: Data1..Data3 little-endian, then eight bytes.
struct WevtGuid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::array<std::uint8_t, 8> data4{};

  friend bool operator==(const WevtGuid&, const WevtGuid&) = default;

  // "{54849625-5478-4994-A5BA-3E3B0328C30D}", upper case as the registry keys spell it.
  std::u16string ToString() const;
  // Accepts the form above in either case, braces required (a Publishers key name).
  static std::optional<WevtGuid> Parse(std::u16string_view text);
};

struct WevtEvent {
  std::uint16_t id = 0;  // without the severity and customer bits of classic ids
  std::uint8_t version = 0;
  std::uint8_t channel = 0;
  std::uint8_t level = 0;
  std::uint8_t opcode = 0;
  std::uint16_t task = 0;
  std::uint64_t keywords = 0;
  std::uint32_t messageId = kWevtNoMessage;
  std::uint32_t templateOffset = 0;  // 0 when the event carries no data

  friend bool operator==(const WevtEvent&, const WevtEvent&) = default;
};

struct WevtTask {
  std::uint16_t value = 0;
  std::uint32_t messageId = kWevtNoMessage;
  WevtGuid eventGuid;  // the task's GUID for classic (MOF) consumers, often zero
  std::u16string name;

  friend bool operator==(const WevtTask&, const WevtTask&) = default;
};

// Opcodes are global (task 0) or belong to one task; both are stored with one 32-bit value,
// the task in its high half.
struct WevtOpcode {
  std::uint16_t task = 0;
  std::uint16_t value = 0;
  std::uint32_t messageId = kWevtNoMessage;
  std::u16string name;

  friend bool operator==(const WevtOpcode&, const WevtOpcode&) = default;
};

struct WevtLevel {
  std::uint32_t value = 0;
  std::uint32_t messageId = kWevtNoMessage;
  std::u16string name;

  friend bool operator==(const WevtLevel&, const WevtLevel&) = default;
};

struct WevtKeyword {
  std::uint64_t mask = 0;
  std::uint32_t messageId = kWevtNoMessage;
  std::u16string name;

  friend bool operator==(const WevtKeyword&, const WevtKeyword&) = default;
};

struct WevtChannel {
  std::uint32_t value = 0;  // what events carry in their channel byte
  std::uint32_t flags = 0;  // kept as stored; its meaning is not publicly described
  std::uint32_t messageId = kWevtNoMessage;
  std::u16string name;

  friend bool operator==(const WevtChannel&, const WevtChannel&) = default;
};

struct WevtMapEntry {
  std::uint32_t value = 0;
  std::uint32_t messageId = kWevtNoMessage;
  friend bool operator==(const WevtMapEntry&, const WevtMapEntry&) = default;
};

struct WevtValueMap {
  bool bitMap = false;  // BMAP (flags) rather than VMAP (enumeration)
  std::u16string name;
  std::vector<WevtMapEntry> entries;

  friend bool operator==(const WevtValueMap&, const WevtValueMap&) = default;
};

struct WevtTemplateItem {
  std::u16string name;
  std::uint8_t inType = 0;   // win:UnicodeString = 1 ... win:HexInt64 = 21
  std::uint8_t outType = 0;  // xs:string = 1 ...
  std::uint16_t count = 0;   // as stored at offset 12 of the item
  std::uint16_t length = 0;  // as stored at offset 14 of the item

  friend bool operator==(const WevtTemplateItem&, const WevtTemplateItem&) = default;
};

struct WevtTemplate {
  std::uint32_t offset = 0;  // where the TEMP starts: events refer to it by this
  std::uint32_t flags = 0;
  WevtGuid guid;
  // The template's Binary XML (names inline), pointing into the parsed bytes.
  platform::ByteSpan binXml;
  std::vector<WevtTemplateItem> items;  // in data order: item i is insert %(i+1)
};

struct WevtProvider {
  WevtGuid guid;
  std::uint32_t messageId = kWevtNoMessage;
  std::vector<WevtEvent> events;
  std::vector<WevtTask> tasks;
  std::vector<WevtOpcode> opcodes;
  std::vector<WevtLevel> levels;
  std::vector<WevtKeyword> keywords;
  std::vector<WevtChannel> channels;
  std::vector<WevtValueMap> maps;
  std::vector<WevtTemplate> templates;
  // The PRVA element's bytes after its signature and size; its layout is not publicly
  // described, so it is kept, not read.
  platform::Bytes attributes;

  // The definition Windows renders an event with: the same id AND version. There is no
  // fallback to another version of the event (see wevt_messages.h).
  const WevtEvent* FindEvent(std::uint16_t id, std::uint8_t version) const;
  const WevtTask* FindTask(std::uint16_t value) const;
  // The task's own opcode first, then the global one of that value.
  const WevtOpcode* FindOpcode(std::uint16_t task, std::uint16_t value) const;
  const WevtLevel* FindLevel(std::uint32_t value) const;
  // The keyword whose mask is exactly bit `bit` (0..63).
  const WevtKeyword* FindKeyword(unsigned bit) const;
  const WevtChannel* FindChannel(std::uint32_t value) const;
  const WevtTemplate* FindTemplate(const WevtEvent& event) const;
};

struct WevtManifest {
  std::uint16_t majorVersion = 0;
  std::uint16_t minorVersion = 0;
  std::vector<WevtProvider> providers;

  const WevtProvider* FindProvider(const WevtGuid& guid) const;
};

// Parses WEVT_TEMPLATE bytes. The result's template Binary XML points into `data`, which must
// outlive it. Malformed bytes give nullopt and a reason in *error. Never throws, never reads
// outside `data`, and its work is bounded by a small multiple of the data size.
std::optional<WevtManifest> ParseWevtManifest(platform::ByteSpan data,
                                              std::string* error = nullptr);

}  // namespace qb::sim
