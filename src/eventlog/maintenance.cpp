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
  const platform::Handle log = OpenedSlot(TFSOpenState::osRead).handle.get();
  FLastError = platform::EventLogService().ClearEventLog(log, BackupPath);
  if (FLastError != err::kSuccess) return false;
  ++FClears;
  return true;
}

bool TFWEventLog::CreateBackup(const std::u16string& FilePath) {
  const platform::Handle log = OpenedSlot(TFSOpenState::osRead).handle.get();
  FLastError = platform::EventLogService().BackupEventLog(log, FilePath);
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
