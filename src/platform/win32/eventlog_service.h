// IEventLogService over advapi32's classic event log functions.
#pragma once

#include "platform/eventlog_service.h"

namespace qb::win32 {

class Win32EventLogService final : public platform::IEventLogService {
 public:
  platform::ErrorCode OpenEventLog(std::u16string_view logName, platform::Handle& log) override;
  platform::ErrorCode OpenBackupEventLog(std::u16string_view path, platform::Handle& log) override;
  platform::ErrorCode CloseEventLog(platform::Handle log) override;
  platform::ErrorCode RegisterEventSource(std::u16string_view source,
                                          platform::Handle& handle) override;
  platform::ErrorCode DeregisterEventSource(platform::Handle handle) override;
  platform::ReadResult ReadEventLog(platform::Handle log, std::uint32_t flags,
                                    std::uint32_t recordOffset,
                                    std::span<std::byte> buffer) override;
  platform::ErrorCode GetNumberOfRecords(platform::Handle log, std::uint32_t& count) override;
  platform::ErrorCode GetOldestRecord(platform::Handle log, std::uint32_t& number) override;
  platform::ErrorCode ClearEventLog(platform::Handle log, std::u16string_view backupPath) override;
  platform::ErrorCode BackupEventLog(platform::Handle log, std::u16string_view path) override;
  platform::ErrorCode ReportEvent(platform::Handle source, std::uint16_t type,
                                  std::uint16_t category, std::uint32_t eventId,
                                  std::span<const std::u16string> strings,
                                  platform::ByteSpan data) override;
  std::unique_ptr<platform::IChangeEvent> NotifyChangeEventLog(platform::Handle log,
                                                               platform::ErrorCode& error) override;
  platform::ErrorCode GetFullInformation(platform::Handle log, bool& full) override;
};

}  // namespace qb::win32
