// The channel hooks of a suite's backend on a simulated machine: the sim backend's own
// machine, or the one the Windows backend's served wevtapi functions show.
#pragma once

#include "backend.h"
#include "platform/sim/machine.h"

namespace qb::suite {

bool MakeChannelWithEvents(sim::Machine& machine, std::span<const ChannelEvent> events,
                           std::u16string& channel);
void MakeManifestPublisher(sim::Machine& machine, const PublisherDesc& desc);
void MakeClassicSource(sim::Machine& machine, std::u16string_view log, std::u16string_view source,
                       const std::map<std::uint32_t, std::u16string>& messages);

}  // namespace qb::suite
