// The resources of one simulated module (a DLL "on disk" of the simulated machine): what
// LoadStringW, FormatMessageW and LoadIconW can find in it, and its event manifest.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace qb::sim {

// One image of an icon group (RT_ICON data as stored: a BMP without file header, or PNG).
struct IconImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t bitCount = 0;
  platform::Bytes data;
};

struct IconGroup {
  std::vector<IconImage> images;  // in the order of the group directory
};

struct ModuleImage {
  bool is64Bit = false;
  // String resources by identifier, in the language LoadStringW picks (en-US, else neutral,
  // else the first language present).
  std::map<std::uint32_t, std::u16string> strings;
  // Message-table entries by identifier, text as stored (8-bit entries already widened),
  // in the language FormatMessageW with language 0x400 picks (same order as above).
  std::map<std::uint32_t, std::u16string> messages;
  // Icon groups by name, the name in upper case as the resource compiler stores it.
  std::map<std::u16string, IconGroup> iconGroups;
  // Names of the icon groups in resource order (the first one is the module's own icon).
  std::vector<std::u16string> iconGroupOrder;
  // The event manifest: the bytes of resource type "WEVT_TEMPLATE", id 1, in the language
  // picked as for the message table; empty when the module has none (wevt_manifest.h reads it).
  platform::Bytes eventManifest;
};

}  // namespace qb::sim
