#include "platform/sim/doubles/scripted_eventlog_service.h"

#include <algorithm>

namespace qb::sim {

namespace err = platform::err;

platform::ErrorCode ScriptedEventLogService::OpenEventLog(std::u16string_view,
                                                          platform::Handle& log) {
  log = 0x100;
  return err::kSuccess;
}

platform::ErrorCode ScriptedEventLogService::OpenBackupEventLog(std::u16string_view,
                                                                platform::Handle& log) {
  log = 0x200;
  return err::kSuccess;
}

platform::ErrorCode ScriptedEventLogService::RegisterEventSource(std::u16string_view,
                                                                 platform::Handle& h) {
  h = 0x300;
  return err::kSuccess;
}

platform::ReadResult ScriptedEventLogService::ReadEventLog(platform::Handle, std::uint32_t,
                                                           std::uint32_t,
                                                           std::span<std::byte> buffer) {
  ++reads;
  if (answers.empty()) return {err::kHandleEof, 0, 0};
  Answer answer = std::move(answers.front());
  answers.pop_front();
  if (answer.error != err::kSuccess) return {answer.error, 0, answer.bytesNeeded};
  const std::size_t n = std::min(answer.bytes.size(), buffer.size());
  std::copy_n(answer.bytes.begin(), n, buffer.begin());
  return {err::kSuccess, answer.bytesRead, 0};
}

platform::ErrorCode ScriptedEventLogService::GetNumberOfRecords(platform::Handle,
                                                                std::uint32_t& n) {
  n = count;
  return countError;
}

platform::ErrorCode ScriptedEventLogService::GetOldestRecord(platform::Handle, std::uint32_t& n) {
  n = oldest;
  return err::kSuccess;
}

std::unique_ptr<platform::IChangeEvent> ScriptedEventLogService::NotifyChangeEventLog(
    platform::Handle, platform::ErrorCode& error) {
  error = err::kNotSupported;
  return nullptr;
}

platform::ErrorCode ScriptedEventLogService::GetFullInformation(platform::Handle, bool& full) {
  full = false;
  return err::kSuccess;
}

}  // namespace qb::sim
