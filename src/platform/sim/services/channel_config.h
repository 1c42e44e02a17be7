// Where the simulated Windows Event Log finds its channels: the WINEVT\Channels keys and the
// classic logs' EventLog keys of the registry, their settings and their files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/channel_service.h"

namespace qb::sim {

class SimRegistry;
class SimSystem;

inline constexpr char16_t kWinevtChannelsKey[] =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Channels";
inline constexpr char16_t kWinevtPublishersKey[] =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Publishers";
inline constexpr char16_t kClassicLogsKey[] = u"SYSTEM\\CurrentControlSet\\Services\\EventLog";

// One channel's registry home and the settings an EvtOpenChannelConfig handle holds.
struct ChannelConfig {
  std::u16string name;   // as the registry spells it
  std::u16string key;    // the key its settings live in
  bool classic = false;  // a log of the EventLog key
  bool winevt = false;   // has a WINEVT\Channels key
  std::optional<bool> enabled;
  std::optional<std::uint32_t> type;
  std::optional<std::uint32_t> isolation;
  std::optional<std::u16string> owningPublisher;
  std::optional<std::u16string> access;
  std::uint64_t maxSize = 0;
  bool retention = false;
  bool autoBackup = false;
  std::u16string file;  // unexpanded, as EvtChannelConfigLogFilePath gives it
  bool fileChanged = false;
};

// Every channel, the classic logs among them, by name in the registry's (case-insensitive)
// order.
std::vector<std::u16string> ListChannels(SimRegistry& registry);

// The channel named `name` (case-insensitive); nullopt when neither key has it.
std::optional<ChannelConfig> ReadChannelConfig(SimRegistry& registry, std::u16string_view name);

// The property as EvtGetChannelConfigProperty gives it (kNull when the channel has none).
platform::EvtValue ChannelProperty(const ChannelConfig& config, platform::EvtChannelConfig id);
// Takes a new value into `config`; ERROR_EVT_INVALID_CHANNEL_PROPERTY_VALUE for a value of the
// wrong type, ERROR_INVALID_PARAMETER for a property that cannot be set.
platform::ErrorCode SetChannelProperty(ChannelConfig& config, platform::EvtChannelConfig id,
                                       const platform::EvtValue& value);
// Writes the settable values back into the channel's key.
void SaveChannelConfig(SimRegistry& registry, const ChannelConfig& config);

// Expands %VARIABLES% as ExpandEnvironmentStringsW does.
std::u16string ExpandPath(SimSystem& system, std::u16string_view path);

}  // namespace qb::sim
