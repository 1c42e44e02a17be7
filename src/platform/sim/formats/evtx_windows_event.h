// Events shaped as Windows writes them: the System element of every event (provider, event
// id, level, task, keywords, time, record id, execution, channel, computer, security) and
// named EventData, as a template instance whose template is shared by every event of the same
// shape -- what tests, benchmarks and the sample machine write into .evtx files.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/formats/evtx_writer.h"

namespace qb::sim {

struct WindowsEventFields {
  std::u16string provider;
  platform::Bytes providerGuid;  // 16 bytes, or none (a classic event source)
  std::u16string eventSourceName;
  std::uint16_t eventId = 0;
  std::optional<std::uint16_t> qualifiers;  // classic sources' events carry them
  std::uint8_t version = 0;
  std::uint8_t level = 4;
  std::uint16_t task = 0;
  std::uint8_t opcode = 0;
  std::uint64_t keywords = 0x8000000000000000ull;
  std::uint64_t timeCreated = 0;  // FILETIME
  std::uint64_t recordId = 0;     // EventRecordID
  std::uint32_t processId = 4;
  std::uint32_t threadId = 8;
  std::u16string channel;
  std::u16string computer;
  platform::Bytes userSid;  // none: the Security element has no UserID
  // EventData's Data items in order: a name (empty: none) and a value.
  std::vector<std::pair<std::u16string, EvtxValue>> data;
  platform::Bytes binary;  // EventData's Binary, none when empty
};

// Makes events of the forms, one template per shape (which values are present, the data's
// names and types).
class WindowsEventMaker {
 public:
  EvtxEvent Make(const WindowsEventFields& form);

 private:
  std::map<std::u16string, std::shared_ptr<const EvtxTemplate>> templates_;
};

}  // namespace qb::sim
