// Writes WEVT_TEMPLATE bytes (the event manifest of a provider library, wevt_manifest.h) from
// a plain description, laid out as the message compiler lays them out: for tests and for the
// sample machine's provider libraries.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "platform/sim/formats/wevt_manifest.h"
#include "platform/types.h"

namespace qb::sim {

struct WevtTemplateDesc {
  WevtGuid guid;
  // Data items in order; each becomes <Data Name="..."> under <EventData>, filled by an
  // optional substitution of the item's input type.
  std::vector<WevtTemplateItem> items;
};

struct WevtEventDesc {
  WevtEvent definition;                      // its templateOffset is worked out by the writer
  std::optional<std::size_t> templateIndex;  // into WevtProviderDesc::templates
};

struct WevtProviderDesc {
  WevtGuid guid;
  std::uint32_t messageId = kWevtNoMessage;
  std::vector<WevtChannel> channels;
  std::vector<WevtLevel> levels;
  std::vector<WevtOpcode> opcodes;
  std::vector<WevtTask> tasks;
  std::vector<WevtKeyword> keywords;
  std::vector<WevtValueMap> maps;
  std::vector<WevtTemplateDesc> templates;
  std::vector<WevtEventDesc> events;
  platform::Bytes attributes;  // a PRVA element with these bytes when not empty
};

// The whole resource. An element kind whose list is empty is left out. A template index out
// of range leaves the event without a template.
platform::Bytes WriteWevtManifest(std::span<const WevtProviderDesc> providers);

// The Binary XML the writer gives a template with these items: a fragment holding
// <EventData> with one <Data Name="item"> per item, names inline with their hashes.
platform::Bytes WevtTemplateBinXml(std::span<const WevtTemplateItem> items);

}  // namespace qb::sim
