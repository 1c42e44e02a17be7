// The plugin on a simulated Windows 10 machine with channels: their registry keys and their
// .evtx files, written as Windows writes them.
#pragma once

#include <string>
#include <vector>

#include "platform/channel_service.h"
#include "platform/sim/formats/evtx_windows_event.h"
#include "support/plugin_fixture.h"

namespace qb::support {

inline const std::u16string kChannelsKey =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Channels\\";
inline const std::u16string kPublishersKey =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Publishers\\";

class ChannelTest : public PluginTest {
 protected:
  // A channel with its log file at the default place holding `events`, oldest first (none:
  // no file, as before the first event is written).
  void AddChannel(std::u16string_view name, const std::vector<sim::WindowsEventSpec>& events = {},
                  std::uint32_t type = platform::evtchannel::kOperational, bool enabled = true);
  // An event of `provider` numbered `recordId`, written `recordId` seconds after a fixed time.
  static sim::WindowsEventSpec Event(std::u16string provider, std::uint64_t recordId,
                                     std::uint16_t eventId = 1, std::uint8_t level = 4);
  // `count` events numbered from `first`, levels and ids varying.
  static std::vector<sim::WindowsEventSpec> Events(std::uint64_t first, std::size_t count,
                                                   std::u16string provider = u"Qb-Provider");
  // The .evtx file of the events.
  static platform::Bytes EvtxFile(const std::vector<sim::WindowsEventSpec>& events);
  // Where Windows keeps a channel's log: "/" in its name written "%4".
  static std::u16string DefaultLogFile(std::u16string_view channel);
};

}  // namespace qb::support
