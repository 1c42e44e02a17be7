// The classic event log service (advapi32's OpenEventLogW family) on the local computer.
#pragma once

#include <memory>

#include "platform/types.h"

namespace qb::platform {

// ReadEventLogW flags.
namespace evflags {
inline constexpr std::uint32_t kSequentialRead = 0x0001;
inline constexpr std::uint32_t kSeekRead = 0x0002;
inline constexpr std::uint32_t kForwardsRead = 0x0004;
inline constexpr std::uint32_t kBackwardsRead = 0x0008;
}  // namespace evflags

// Event types as records carry them.
namespace evtype {
inline constexpr std::uint16_t kSuccess = 0x0000;
inline constexpr std::uint16_t kError = 0x0001;
inline constexpr std::uint16_t kWarning = 0x0002;
inline constexpr std::uint16_t kInformation = 0x0004;
inline constexpr std::uint16_t kAuditSuccess = 0x0008;
inline constexpr std::uint16_t kAuditFailure = 0x0010;
}  // namespace evtype

// The largest buffer ReadEventLogW takes; a single record is always smaller.
inline constexpr std::size_t kMaxReadBuffer = 0x7FFFF;

struct ReadResult {
  ErrorCode error = err::kSuccess;  // 0 when records were delivered
  std::uint32_t bytesRead = 0;      // bytes of whole records placed in the buffer
  std::uint32_t bytesNeeded = 0;    // with ERROR_INSUFFICIENT_BUFFER: size of the next record
};

// The auto-reset event that NotifyChangeEventLog signals when the log changes.
class IChangeEvent {
 public:
  enum class WaitResult { kSignalled, kTimeout, kFailed };
  virtual ~IChangeEvent() = default;
  // WaitForSingleObject with a time-out in milliseconds. kFailed leaves the error in `error`.
  virtual WaitResult Wait(std::uint32_t milliseconds, ErrorCode& error) = 0;
};

class IEventLogService {
 public:
  virtual ~IEventLogService() = default;

  // OpenEventLogW(NULL, logName). An unknown name opens the Application log, as Windows does.
  virtual ErrorCode OpenEventLog(std::u16string_view logName, Handle& log) = 0;

  // OpenBackupEventLogW(NULL, path): a classic .evt file. ERROR_INVALID_PARAMETER for an empty
  // path, which advapi32 cannot make a file name of.
  virtual ErrorCode OpenBackupEventLog(std::u16string_view path, Handle& log) = 0;

  // CloseEventLog.
  virtual ErrorCode CloseEventLog(Handle log) = 0;

  // RegisterEventSourceW(NULL, source) / DeregisterEventSource.
  virtual ErrorCode RegisterEventSource(std::u16string_view source, Handle& handle) = 0;
  virtual ErrorCode DeregisterEventSource(Handle handle) = 0;

  // ReadEventLogW: reads as many whole EVENTLOGRECORDs as fit into `buffer`, from the handle's
  // position (sequential) or from record `recordOffset` (seek), forwards or backwards.
  // ERROR_INSUFFICIENT_BUFFER with bytesNeeded when the next record does not fit,
  // ERROR_HANDLE_EOF past the end, ERROR_INVALID_PARAMETER for bad flags, a buffer larger than
  // kMaxReadBuffer or a seek to a record number the log does not hold.
  virtual ReadResult ReadEventLog(Handle log, std::uint32_t flags, std::uint32_t recordOffset,
                                  std::span<std::byte> buffer) = 0;

  // GetNumberOfEventLogRecords / GetOldestEventLogRecord.
  virtual ErrorCode GetNumberOfRecords(Handle log, std::uint32_t& count) = 0;
  virtual ErrorCode GetOldestRecord(Handle log, std::uint32_t& number) = 0;

  // ClearEventLogW: an empty `backupPath` clears without saving; otherwise the log is saved
  // there first (ERROR_ALREADY_EXISTS when the file exists) and cleared only when that worked.
  virtual ErrorCode ClearEventLog(Handle log, std::u16string_view backupPath) = 0;

  // BackupEventLogW: ERROR_ALREADY_EXISTS when the file exists, ERROR_INVALID_PARAMETER for an
  // empty path.
  virtual ErrorCode BackupEventLog(Handle log, std::u16string_view path) = 0;

  // ReportEventW with no user SID.
  virtual ErrorCode ReportEvent(Handle source, std::uint16_t type, std::uint16_t category,
                                std::uint32_t eventId, std::span<const std::u16string> strings,
                                ByteSpan data) = 0;

  // CreateEventW (auto-reset, not signalled) and NotifyChangeEventLog for `log`. nullptr with
  // the error when the event cannot be created; the result of the notification request itself
  // is not reported.
  virtual std::unique_ptr<IChangeEvent> NotifyChangeEventLog(Handle log, ErrorCode& error) = 0;

  // GetEventLogInformation(EVENTLOG_FULL_INFO), looked up at run time in advapi32:
  // ERROR_PROC_NOT_FOUND when the function does not exist.
  virtual ErrorCode GetFullInformation(Handle log, bool& full) = 0;
};

}  // namespace qb::platform
