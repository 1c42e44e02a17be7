#include "platform/win32/eventlog_service.h"
#include "platform/win32/last_error.h"

#include <limits>
#include <vector>

#include "platform/win32/handles.h"
#include "platform/win32/system_procs.h"
#include "platform/win32/wide.h"

namespace qb::win32 {
namespace {

using platform::ErrorCode;

class ChangeEvent final : public platform::IChangeEvent {
 public:
  explicit ChangeEvent(UniqueHandle event) : event_(std::move(event)) {}

  WaitResult Wait(std::uint32_t milliseconds, ErrorCode& error) override {
    switch (WaitForSingleObject(event_.get(), milliseconds)) {
      case WAIT_OBJECT_0:
        return WaitResult::kSignalled;
      case WAIT_TIMEOUT:
        return WaitResult::kTimeout;
      default:
        error = LastError();
        return WaitResult::kFailed;
    }
  }

 private:
  UniqueHandle event_;
};

}  // namespace

ErrorCode Win32EventLogService::OpenEventLog(std::u16string_view logName, platform::Handle& log) {
  const std::wstring name = Terminated(logName);
  HANDLE handle = OpenEventLogW(nullptr, name.c_str());
  log = ToHandle(handle);
  return handle != nullptr ? ERROR_SUCCESS : LastError();
}

ErrorCode Win32EventLogService::OpenBackupEventLog(std::u16string_view path,
                                                   platform::Handle& log) {
  log = 0;
  if (path.empty()) return ERROR_INVALID_PARAMETER;
  const std::wstring name = Terminated(path);
  HANDLE handle = OpenBackupEventLogW(nullptr, name.c_str());
  log = ToHandle(handle);
  return handle != nullptr ? ERROR_SUCCESS : LastError();
}

ErrorCode Win32EventLogService::CloseEventLog(platform::Handle log) {
  return Result(::CloseEventLog(FromHandle<HANDLE>(log)));
}

ErrorCode Win32EventLogService::RegisterEventSource(std::u16string_view source,
                                                    platform::Handle& handle) {
  const std::wstring name = Terminated(source);
  HANDLE registered = RegisterEventSourceW(nullptr, name.c_str());
  handle = ToHandle(registered);
  return registered != nullptr ? ERROR_SUCCESS : LastError();
}

ErrorCode Win32EventLogService::DeregisterEventSource(platform::Handle handle) {
  return Result(::DeregisterEventSource(FromHandle<HANDLE>(handle)));
}

platform::ReadResult Win32EventLogService::ReadEventLog(platform::Handle log, std::uint32_t flags,
                                                        std::uint32_t recordOffset,
                                                        std::span<std::byte> buffer) {
  platform::ReadResult result;
  // Refused here as Windows refuses it, so that every implementation of the API agrees.
  if (buffer.size() > platform::kMaxReadBuffer) {
    result.error = ERROR_INVALID_PARAMETER;
    return result;
  }
  // An empty buffer still needs a valid address for the size query to work.
  std::byte spare{};
  void* data = buffer.empty() ? static_cast<void*>(&spare) : buffer.data();
  const auto size = static_cast<DWORD>(buffer.size());
  DWORD read = 0;
  DWORD needed = 0;
  if (ReadEventLogW(FromHandle<HANDLE>(log), flags, recordOffset, data, size, &read, &needed)) {
    result.bytesRead = read;
  } else {
    result.error = LastError();
    result.bytesNeeded = needed;
  }
  return result;
}

ErrorCode Win32EventLogService::GetNumberOfRecords(platform::Handle log, std::uint32_t& count) {
  DWORD value = 0;
  const ErrorCode error = Result(GetNumberOfEventLogRecords(FromHandle<HANDLE>(log), &value));
  count = value;
  return error;
}

ErrorCode Win32EventLogService::GetOldestRecord(platform::Handle log, std::uint32_t& number) {
  DWORD value = 0;
  const ErrorCode error = Result(GetOldestEventLogRecord(FromHandle<HANDLE>(log), &value));
  number = value;
  return error;
}

ErrorCode Win32EventLogService::ClearEventLog(platform::Handle log,
                                              std::u16string_view backupPath) {
  const std::wstring path = Terminated(backupPath);
  return Result(ClearEventLogW(FromHandle<HANDLE>(log), path.empty() ? nullptr : path.c_str()));
}

ErrorCode Win32EventLogService::BackupEventLog(platform::Handle log, std::u16string_view path) {
  if (path.empty()) return ERROR_INVALID_PARAMETER;
  const std::wstring name = Terminated(path);
  return Result(BackupEventLogW(FromHandle<HANDLE>(log), name.c_str()));
}

ErrorCode Win32EventLogService::ReportEvent(platform::Handle source, std::uint16_t type,
                                            std::uint16_t category, std::uint32_t eventId,
                                            std::span<const std::u16string> strings,
                                            platform::ByteSpan data) {
  if (strings.size() > std::numeric_limits<WORD>::max() ||
      data.size() > std::numeric_limits<DWORD>::max()) {
    return ERROR_INVALID_PARAMETER;
  }
  std::vector<LPCWSTR> pointers;
  pointers.reserve(strings.size());
  for (const std::u16string& text : strings) {
    pointers.push_back(reinterpret_cast<LPCWSTR>(text.c_str()));
  }
  return Result(ReportEventW(FromHandle<HANDLE>(source), type, category, eventId, nullptr,
                             static_cast<WORD>(pointers.size()), static_cast<DWORD>(data.size()),
                             pointers.empty() ? nullptr : pointers.data(),
                             data.empty() ? nullptr : const_cast<std::byte*>(data.data())));
}

std::unique_ptr<platform::IChangeEvent> Win32EventLogService::NotifyChangeEventLog(
    platform::Handle log, ErrorCode& error) {
  UniqueHandle event(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (event == nullptr) {
    error = LastError();
    return nullptr;
  }
  error = ERROR_SUCCESS;
  ::NotifyChangeEventLog(FromHandle<HANDLE>(log), event.get());
  return std::make_unique<ChangeEvent>(std::move(event));
}

ErrorCode Win32EventLogService::GetFullInformation(platform::Handle log, bool& full) {
  full = false;
  // Declared here: the function and its record are absent from the oldest systems.
  struct FullInformation {
    DWORD dwFull;
  };
  constexpr DWORD kFullInfo = 0;
  using GetEventLogInformationFn = BOOL(WINAPI*)(HANDLE, DWORD, LPVOID, DWORD, LPDWORD);
  static const auto query =
      SystemProc<GetEventLogInformationFn>(L"advapi32.dll", "GetEventLogInformation");
  if (query == nullptr) return ERROR_PROC_NOT_FOUND;
  FullInformation info{};
  DWORD needed = 0;
  if (!query(FromHandle<HANDLE>(log), kFullInfo, &info, sizeof(info), &needed)) return LastError();
  full = info.dwFull != 0;
  return ERROR_SUCCESS;
}

}  // namespace qb::win32
