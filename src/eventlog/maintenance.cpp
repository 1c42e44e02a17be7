// Clearing, backing up, the full state, and writing events as the system's own source.
#include <stdexcept>

#include "eventlog/event_log.h"
#include "platform/platform.h"

namespace qb {

namespace err = platform::err;

std::uint16_t RecordTypeToEventType(TFWEventLogRecordType RecType) {
  switch (RecType) {
    case TFWEventLogRecordType::rtSuccess:
      return platform::evtype::kSuccess;
    case TFWEventLogRecordType::rtError:
      return platform::evtype::kError;
    case TFWEventLogRecordType::rtWarning:
      return platform::evtype::kWarning;
    case TFWEventLogRecordType::rtInformation:
      return platform::evtype::kInformation;
    case TFWEventLogRecordType::rtAuditSuccess:
      return platform::evtype::kAuditSuccess;
    case TFWEventLogRecordType::rtAuditFailed:
      return platform::evtype::kAuditFailure;
    default:
      throw EFWEventLog(OwnString(res::kTypeConversion));
  }
}

bool TFWEventLog::Clear(const std::u16string& BackupPath) {
  const OpenSlot& slot = OpenedSlot(TFSOpenState::osRead);
  if (slot.channel) {
    // The events go to the backup first, and are cleared only when that worked.
    FLastError = platform::Channels().ClearLog(slot.channel->Path(), BackupPath);
  } else {
    FLastError = platform::EventLogService().ClearEventLog(slot.handle.get(), BackupPath);
  }
  if (FLastError != err::kSuccess) return false;
  ++FClears;
  return true;
}

bool TFWEventLog::CreateBackup(const std::u16string& FilePath) {
  const OpenSlot& slot = OpenedSlot(TFSOpenState::osRead);
  if (slot.channel) {
    FLastError = platform::Channels().ExportLog(slot.channel->Path(), u"*", FilePath,
                                                platform::evtflags::kChannelPath);
  } else {
    FLastError = platform::EventLogService().BackupEventLog(slot.handle.get(), FilePath);
  }
  return FLastError == err::kSuccess;
}

std::optional<TChannelSettings> TFWEventLog::ReadChannelSettings(std::int32_t index) {
  if (!IsChannelIndex(index)) return std::nullopt;
  auto& service = platform::Channels();
  platform::Handle config = 0;
  FLastError = service.OpenChannelConfig(GetEventLogName(index), config);
  if (FLastError != err::kSuccess) return std::nullopt;
  const auto get = [&](platform::EvtChannelConfig id) {
    platform::EvtValue value;
    if (service.GetChannelConfigProperty(config, id, value) != err::kSuccess) value = {};
    return value;
  };
  TChannelSettings settings;
  settings.maxSize = get(platform::EvtChannelConfig::kMaxSize).number;
  settings.retention = get(platform::EvtChannelConfig::kRetention).number != 0;
  settings.autoBackup = get(platform::EvtChannelConfig::kAutoBackup).number != 0;
  // Guests read a channel whose access list allows the built-in Guests group.
  const std::u16string access = get(platform::EvtChannelConfig::kAccess).text;
  for (std::size_t at = access.find(u"(A;"); at != std::u16string::npos;
       at = access.find(u"(A;", at + 1)) {
    const auto end = access.find(u')', at);
    if (end != std::u16string::npos && access.substr(at, end - at).ends_with(u";BG")) {
      settings.guestAccess = true;
    }
  }
  service.Close(config);
  return settings;
}

bool TFWEventLog::WriteChannelRetention(std::int32_t index, bool retention, bool autoBackup) {
  if (!IsChannelIndex(index)) return false;
  auto& service = platform::Channels();
  platform::Handle config = 0;
  FLastError = service.OpenChannelConfig(GetEventLogName(index), config);
  if (FLastError != err::kSuccess) return false;
  platform::EvtValue value;
  value.type = platform::evttype::kBoolean;
  value.number = retention ? 1 : 0;
  FLastError =
      service.SetChannelConfigProperty(config, platform::EvtChannelConfig::kRetention, value);
  if (FLastError == err::kSuccess) {
    value.number = autoBackup ? 1 : 0;
    FLastError =
        service.SetChannelConfigProperty(config, platform::EvtChannelConfig::kAutoBackup, value);
  }
  if (FLastError == err::kSuccess) FLastError = service.SaveChannelConfig(config);
  service.Close(config);
  return FLastError == err::kSuccess;
}

bool TFWEventLog::IsEventLogFull() {
  const platform::Handle log = OpenedSlot(TFSOpenState::osRead).handle.get();
  bool full = false;
  return platform::EventLogService().GetFullInformation(log, full) == err::kSuccess && full;
}

bool TFWEventLog::Write(TFWEventLogRecordType RecType, const std::u16string& Msg,
                        const void* RAWData, std::int32_t RAWDataSize, std::uint16_t Category,
                        std::uint16_t EventID) {
  const platform::Handle source = OpenedSlot(TFSOpenState::osWrite).handle.get();
  if (RAWDataSize < 0) throw std::out_of_range("Range check error");
  const std::uint16_t type = RecordTypeToEventType(RecType);
  const std::u16string strings[1] = {Msg};
  const auto* bytes = static_cast<const std::byte*>(RAWData);
  const platform::ByteSpan data =
      bytes == nullptr ? platform::ByteSpan()
                       : platform::ByteSpan(bytes, static_cast<std::size_t>(RAWDataSize));
  FLastError =
      platform::EventLogService().ReportEvent(source, type, Category, EventID, strings, data);
  return FLastError == err::kSuccess;
}

bool TFWEventLog::Write(TFWEventLogRecordType RecType, const std::u16string& Msg,
                        std::uint16_t Category, std::uint16_t EventID) {
  const platform::Handle source = OpenedSlot(TFSOpenState::osWrite).handle.get();
  const std::uint16_t type = RecordTypeToEventType(RecType);
  const std::u16string strings[1] = {Msg};
  FLastError =
      platform::EventLogService().ReportEvent(source, type, Category, EventID, strings, {});
  return FLastError == err::kSuccess;
}

}  // namespace qb
