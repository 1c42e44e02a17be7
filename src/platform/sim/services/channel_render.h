// The values EvtRender gives for an event of an .evtx file: the system values in
// EVT_SYSTEM_PROPERTY_ID order and the event data as EVT_VARIANTs.
#pragma once

#include <vector>

#include "platform/channel_service.h"
#include "platform/sim/formats/evtx_event.h"

namespace qb::sim {

// Single values as EvtRender and EvtGetChannelConfigProperty give them.
platform::EvtValue NumberValue(std::uint32_t type, std::uint64_t number);
platform::EvtValue TextValue(std::u16string_view text);

// Fills `values` with EvtSystem::kCount values; absent ones are kNull.
void RenderSystemValues(const EvtxSystem& system, std::vector<platform::EvtValue>& values);

// One value of the event data as EvtRender gives it.
platform::EvtValue ToEvtValue(const EvtxValue& value);

}  // namespace qb::sim
