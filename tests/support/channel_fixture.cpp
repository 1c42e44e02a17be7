#include "support/channel_fixture.h"

#include "platform/sim/formats/evtx_writer.h"

namespace qb::support {

void ChannelTest::AddChannel(std::u16string_view name,
                             const std::vector<sim::WindowsEventSpec>& events, std::uint32_t type,
                             bool enabled) {
  const std::u16string key = kChannelsKey + std::u16string(name);
  registry().CreateKey(key);
  registry().SetDword(key, u"Enabled", enabled ? 1 : 0);
  registry().SetDword(key, u"Type", type);
  if (!events.empty()) files().AddFile(DefaultLogFile(name), EvtxFile(events));
}

sim::WindowsEventSpec ChannelTest::Event(std::u16string provider, std::uint64_t recordId,
                                         std::uint16_t eventId, std::uint8_t level) {
  sim::WindowsEventSpec spec;
  spec.provider = std::move(provider);
  spec.providerGuid = platform::Bytes(16, std::byte{0x5A});
  spec.eventId = eventId;
  spec.level = level;
  spec.recordId = recordId;
  // 2023-11-14 22:13:20 UTC, then one second per record.
  spec.timeCreated = (11'644'473'600ull + 1'700'000'000ull + recordId) * 10'000'000ull;
  spec.computer = u"WS-10";
  spec.data = {
      {u"Name", sim::EvtxValue::String(u"value " + std::u16string(1, u'a' + recordId % 26))}};
  return spec;
}

std::vector<sim::WindowsEventSpec> ChannelTest::Events(std::uint64_t first, std::size_t count,
                                                       std::u16string provider) {
  std::vector<sim::WindowsEventSpec> events;
  events.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    events.push_back(Event(provider, first + i, static_cast<std::uint16_t>(100 + i % 7),
                           static_cast<std::uint8_t>(1 + i % 5)));
  }
  return events;
}

platform::Bytes ChannelTest::EvtxFile(const std::vector<sim::WindowsEventSpec>& events) {
  sim::MemoryByteSink sink;
  sim::EvtxWriter writer(sink);
  sim::WindowsEventMaker maker;
  for (const auto& spec : events) writer.Write(maker.Make(spec));
  writer.Finish();
  return std::move(sink.bytes());
}

std::u16string ChannelTest::DefaultLogFile(std::u16string_view channel) {
  std::u16string file = u"C:\\Windows\\System32\\winevt\\Logs\\";
  for (const char16_t c : channel) {
    if (c == u'/')
      file += u"%4";
    else
      file += c;
  }
  return file + u".evtx";
}

}  // namespace qb::support
