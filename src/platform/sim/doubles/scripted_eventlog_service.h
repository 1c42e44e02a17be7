// An event log service whose read answers come from a script: for testing the reading loops
// against whatever a service (or a damaged log) might deliver.
#pragma once

#include <deque>

#include "platform/eventlog_service.h"

namespace qb::sim {

class ScriptedEventLogService final : public platform::IEventLogService {
 public:
  struct Answer {
    platform::ErrorCode error = platform::err::kSuccess;
    platform::Bytes bytes;          // copied into the caller's buffer as far as it fits
    std::uint32_t bytesRead = 0;    // reported; may claim more than the buffer holds
    std::uint32_t bytesNeeded = 0;  // reported with ERROR_INSUFFICIENT_BUFFER
  };
  std::deque<Answer> answers;  // one per ReadEventLog call; ERROR_HANDLE_EOF when used up
  std::uint32_t count = 1;
  std::uint32_t oldest = 1;
  platform::ErrorCode countError = platform::err::kSuccess;
  std::size_t reads = 0;

  platform::ErrorCode OpenEventLog(std::u16string_view, platform::Handle& log) override;
  platform::ErrorCode OpenBackupEventLog(std::u16string_view, platform::Handle& log) override;
  platform::ErrorCode CloseEventLog(platform::Handle) override { return 0; }
  platform::ErrorCode RegisterEventSource(std::u16string_view, platform::Handle& h) override;
  platform::ErrorCode DeregisterEventSource(platform::Handle) override { return 0; }
  platform::ReadResult ReadEventLog(platform::Handle, std::uint32_t, std::uint32_t,
                                    std::span<std::byte> buffer) override;
  platform::ErrorCode GetNumberOfRecords(platform::Handle, std::uint32_t& n) override;
  platform::ErrorCode GetOldestRecord(platform::Handle, std::uint32_t& n) override;
  platform::ErrorCode ClearEventLog(platform::Handle, std::u16string_view) override { return 0; }
  platform::ErrorCode BackupEventLog(platform::Handle, std::u16string_view) override { return 0; }
  platform::ErrorCode ReportEvent(platform::Handle, std::uint16_t, std::uint16_t, std::uint32_t,
                                  std::span<const std::u16string>, platform::ByteSpan) override {
    return 0;
  }
  std::unique_ptr<platform::IChangeEvent> NotifyChangeEventLog(platform::Handle,
                                                               platform::ErrorCode& error) override;
  platform::ErrorCode GetFullInformation(platform::Handle, bool& full) override;
};

}  // namespace qb::sim
