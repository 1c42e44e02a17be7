// Parses arbitrary query texts (UTF-16 from the input's byte pairs) with the simulated event
// log's query parser and matches the result against a few events: no text may crash, hang or
// recurse without bound. "*" is every event; a parsed filter matches consistently.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/sim/formats/evtx_event.h"
#include "platform/sim/services/channel_query.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string query;
  // Odd-sized input: the first byte's text as ASCII, so the grammar's words come up often.
  if (size % 2 == 1) {
    for (std::size_t i = 0; i < size; ++i) query.push_back(static_cast<char16_t>(data[i]));
  } else {
    for (std::size_t i = 0; i + 1 < size; i += 2) {
      query.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
  }
  const auto filter = qb::sim::ChannelFilter::Parse(query);
  if (!filter) return 0;
  if (query == u"*" && !filter->all()) __builtin_trap();
  qb::sim::EvtxSystem system;
  for (std::uint64_t id = 0; id < 4; ++id) {
    system.eventRecordId = id;
    system.eventId = static_cast<std::uint16_t>(id * 7);
    system.level = static_cast<std::uint8_t>(id);
    system.set(qb::sim::EvtxField::kEventRecordId);
    system.set(qb::sim::EvtxField::kEventId);
    system.set(qb::sim::EvtxField::kLevel);
    const bool first = filter->Matches(system);
    if (filter->Matches(system) != first) __builtin_trap();
    if (filter->all() && !first) __builtin_trap();
  }
  return 0;
}
