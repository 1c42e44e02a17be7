#include "platform/sim/services/channel_config.h"

#include <algorithm>

#include "platform/sim/formats/le_bytes.h"
#include "platform/sim/rules/case_rules.h"
#include "platform/sim/rules/text.h"
#include "platform/sim/services/channel_render.h"
#include "platform/sim/services/registry.h"
#include "platform/sim/services/system.h"

namespace qb::sim {
namespace {

using platform::EvtChannelConfig;
using platform::EvtValue;
namespace err = platform::err;
namespace evttype = platform::evttype;
namespace regtype = platform::regtype;

// What the event log service assumes when a key does not say.
constexpr std::uint64_t kDefaultChannelMaxSize = 1052672;
constexpr std::uint64_t kDefaultClassicMaxSize = 20971520;

std::optional<std::uint64_t> Number(const SimRegistry& registry, const std::u16string& key,
                                    std::u16string_view name) {
  const auto value = registry.GetValue(key, name);
  if (!value) return std::nullopt;
  if (value->type == regtype::kDword && value->data.size() >= 4) return le::U32(value->data.data());
  if (value->type == regtype::kQword && value->data.size() >= 8) return le::U64(value->data.data());
  return std::nullopt;
}

// The name as the key spells it, found case-insensitively among `names`.
std::optional<std::u16string> Spelled(const std::vector<std::u16string>& names,
                                      std::u16string_view name) {
  for (const auto& candidate : names) {
    if (NamesEqual(candidate, name)) return candidate;
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::u16string> ListChannels(SimRegistry& registry) {
  auto names = registry.SubKeyNames(kWinevtChannelsKey);
  for (auto& classic : registry.SubKeyNames(kClassicLogsKey)) {
    if (!Spelled(names, classic)) names.push_back(std::move(classic));
  }
  std::stable_sort(names.begin(), names.end(),
                   [](const auto& a, const auto& b) { return CompareNames(a, b) < 0; });
  return names;
}

std::optional<ChannelConfig> ReadChannelConfig(SimRegistry& registry, std::u16string_view name) {
  if (name.empty()) return std::nullopt;
  const auto winevt = Spelled(registry.SubKeyNames(kWinevtChannelsKey), name);
  const auto classic = Spelled(registry.SubKeyNames(kClassicLogsKey), name);
  if (!winevt && !classic) return std::nullopt;

  ChannelConfig config;
  config.classic = classic.has_value();
  config.winevt = winevt.has_value();
  config.name = winevt ? *winevt : *classic;
  const std::u16string channelKey =
      winevt ? std::u16string(kWinevtChannelsKey) + u"\\" + *winevt : std::u16string();
  const std::u16string classicKey =
      classic ? std::u16string(kClassicLogsKey) + u"\\" + *classic : std::u16string();
  // A classic log keeps its settings where the classic service always had them.
  config.key = classic ? classicKey : channelKey;

  if (winevt) {
    if (const auto v = Number(registry, channelKey, u"Enabled")) config.enabled = *v != 0;
    if (const auto v = Number(registry, channelKey, u"Type")) {
      config.type = static_cast<std::uint32_t>(*v);
    }
    if (const auto v = Number(registry, channelKey, u"Isolation")) {
      config.isolation = static_cast<std::uint32_t>(*v);
    }
    config.owningPublisher = registry.GetString(channelKey, u"OwningPublisher");
    config.access = registry.GetString(channelKey, u"ChannelAccess");
  }
  if (classic) {
    config.enabled = true;
    if (!config.type) config.type = platform::evtchannel::kAdmin;
    if (!config.isolation) config.isolation = 0;
    if (const auto sd = registry.GetString(classicKey, u"CustomSD")) config.access = sd;
    config.maxSize = Number(registry, classicKey, u"MaxSize").value_or(kDefaultClassicMaxSize);
    config.retention = Number(registry, classicKey, u"Retention").value_or(0) != 0;
    config.autoBackup = Number(registry, classicKey, u"AutoBackupLogFiles").value_or(0) != 0;
    config.file = registry.GetString(classicKey, u"File").value_or(u"");
  } else {
    config.maxSize = Number(registry, channelKey, u"MaxSize").value_or(kDefaultChannelMaxSize);
    config.retention = Number(registry, channelKey, u"Retention").value_or(0) != 0;
    config.autoBackup = Number(registry, channelKey, u"AutoBackup").value_or(0) != 0;
    config.file = registry.GetString(channelKey, u"File").value_or(u"");
  }
  if (config.file.empty()) {
    // The service names a file after its channel, "/" being no file-name character.
    std::u16string fileName;
    for (const char16_t c : config.name) {
      if (c == u'/') {
        fileName += u"%4";
      } else {
        fileName += c;
      }
    }
    config.file = u"%SystemRoot%\\System32\\Winevt\\Logs\\" + fileName + u".evtx";
  }
  return config;
}

EvtValue ChannelProperty(const ChannelConfig& config, EvtChannelConfig id) {
  switch (id) {
    case EvtChannelConfig::kEnabled:
      return config.enabled ? NumberValue(evttype::kBoolean, *config.enabled) : EvtValue{};
    case EvtChannelConfig::kIsolation:
      return config.isolation ? NumberValue(evttype::kUInt32, *config.isolation) : EvtValue{};
    case EvtChannelConfig::kType:
      return config.type ? NumberValue(evttype::kUInt32, *config.type) : EvtValue{};
    case EvtChannelConfig::kOwningPublisher:
      return config.owningPublisher ? TextValue(*config.owningPublisher) : EvtValue{};
    case EvtChannelConfig::kClassicEventlog:
      return NumberValue(evttype::kBoolean, config.classic);
    case EvtChannelConfig::kAccess:
      return config.access ? TextValue(*config.access) : EvtValue{};
    case EvtChannelConfig::kRetention:
      return NumberValue(evttype::kBoolean, config.retention);
    case EvtChannelConfig::kAutoBackup:
      return NumberValue(evttype::kBoolean, config.autoBackup);
    case EvtChannelConfig::kMaxSize: {
      EvtValue v;
      v.type = evttype::kUInt64;
      v.number = config.maxSize;
      return v;
    }
    case EvtChannelConfig::kLogFilePath:
      return TextValue(config.file);
  }
  return {};
}

platform::ErrorCode SetChannelProperty(ChannelConfig& config, EvtChannelConfig id,
                                       const EvtValue& value) {
  const auto expect = [&](std::uint32_t type) { return value.type == type; };
  switch (id) {
    case EvtChannelConfig::kEnabled:
      if (!expect(evttype::kBoolean)) return err::kEvtInvalidChannelPropertyValue;
      config.enabled = value.number != 0;
      return err::kSuccess;
    case EvtChannelConfig::kRetention:
      if (!expect(evttype::kBoolean)) return err::kEvtInvalidChannelPropertyValue;
      config.retention = value.number != 0;
      return err::kSuccess;
    case EvtChannelConfig::kAutoBackup:
      if (!expect(evttype::kBoolean)) return err::kEvtInvalidChannelPropertyValue;
      config.autoBackup = value.number != 0;
      return err::kSuccess;
    case EvtChannelConfig::kMaxSize:
      if (!expect(evttype::kUInt64)) return err::kEvtInvalidChannelPropertyValue;
      config.maxSize = value.number;
      return err::kSuccess;
    case EvtChannelConfig::kLogFilePath:
      if (!expect(evttype::kString) || value.text.empty()) {
        return err::kEvtInvalidChannelPropertyValue;
      }
      config.file = value.text;
      config.fileChanged = true;
      return err::kSuccess;
    default:
      return err::kInvalidParameter;
  }
}

void SaveChannelConfig(SimRegistry& registry, const ChannelConfig& config) {
  const auto dword = [&](std::u16string_view name, std::uint64_t value) {
    registry.SetDword(config.key, name, static_cast<std::uint32_t>(value));
  };
  if (config.maxSize > 0xFFFFFFFFull) {
    std::byte bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<std::byte>(config.maxSize >> (8 * i));
    registry.SetValue(config.key, u"MaxSize", regtype::kQword, bytes);
  } else {
    dword(u"MaxSize", config.maxSize);
  }
  if (config.classic) {
    // The classic service reads Retention as seconds to keep: all bits set keeps for ever.
    dword(u"Retention", config.retention ? 0xFFFFFFFFu : 0u);
    dword(u"AutoBackupLogFiles", config.autoBackup ? 1 : 0);
  } else {
    dword(u"Retention", config.retention ? 1 : 0);
    dword(u"AutoBackup", config.autoBackup ? 1 : 0);
    if (config.enabled) dword(u"Enabled", *config.enabled ? 1 : 0);
  }
  if (config.fileChanged) registry.SetString(config.key, u"File", config.file, regtype::kExpandSz);
}

std::u16string ExpandPath(SimSystem& system, std::u16string_view path) {
  std::vector<char16_t> buffer(path.size() + 256);
  for (int attempt = 0; attempt < 4; ++attempt) {
    const std::uint32_t n = system.ExpandEnvironmentStrings(path, buffer);
    if (n == 0) return std::u16string(path);
    if (n <= buffer.size()) return std::u16string(buffer.data(), n - 1);
    buffer.resize(n);
  }
  return std::u16string(path);
}

}  // namespace qb::sim
