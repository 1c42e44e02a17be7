// What EvtOpenPublisherMetadata finds for a publisher on the simulated machine, and the texts
// EvtFormatMessage makes with it: a provider registered under WINEVT\Publishers with its
// manifest and message files, or an event source of a classic log with its message files.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/channel_service.h"
#include "platform/sim/formats/evtx_event.h"
#include "platform/sim/formats/wevt_messages.h"

namespace qb::sim {

class SimModules;
class SimRegistry;
class SimSystem;
struct ModuleImage;

class PublisherMetadata {
 public:
  // nullopt when neither a WINEVT publisher nor a classic event source has the name.
  static std::unique_ptr<PublisherMetadata> Open(SimRegistry& registry, SimSystem& system,
                                                 std::u16string_view publisher);

  // EvtFormatMessage for the event whose system values and data these are.
  platform::ErrorCode Format(SimModules& modules, const EvtxSystem& system,
                             const std::vector<EvtxDataItem>& data, std::uint32_t flags,
                             std::u16string& text);

  bool manifest() const { return manifest_; }

 private:
  struct Loaded;
  struct Key {};

 public:
  explicit PublisherMetadata(Key);
  ~PublisherMetadata();

 private:
  platform::ErrorCode FormatManifest(SimModules& modules, const EvtxSystem& system,
                                     const std::vector<EvtxDataItem>& data, std::uint32_t flags,
                                     std::u16string& text);
  platform::ErrorCode FormatClassic(SimModules& modules, const EvtxSystem& system,
                                    const std::vector<EvtxDataItem>& data, std::uint32_t flags,
                                    std::u16string& text);
  platform::ErrorCode LoadManifest(SimModules& modules);

  SimSystem* system_ = nullptr;
  bool manifest_ = false;
  WevtGuid guid_;
  std::u16string resourceFile_, messageFile_, parameterFile_;
  std::vector<std::u16string> eventFiles_, categoryFiles_, parameterFiles_;
  std::unique_ptr<Loaded> loaded_;
};

}  // namespace qb::sim
