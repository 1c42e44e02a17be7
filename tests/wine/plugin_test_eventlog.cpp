#include "plugin_test_eventlog.h"

#include <atomic>
#include <cwchar>
#include <mutex>
#include <string>
#include <thread>

namespace qb::winetest {

struct RedirectedEventLog::Forwarders {
  std::mutex mutex;
  std::vector<std::jthread> threads;
};

namespace {

std::atomic<platform::IEventLogService*> g_service{nullptr};
std::atomic<RedirectedEventLog::Forwarders*> g_forwarders{nullptr};

constexpr DWORD kServerUnavailable = 1722;  // RPC_S_SERVER_UNAVAILABLE

std::u16string_view View(LPCWSTR text) {
  if (text == nullptr) return {};
  return {reinterpret_cast<const char16_t*>(text), std::wcslen(text)};
}

platform::Handle FromWin32(HANDLE handle) {
  return reinterpret_cast<platform::Handle>(handle);
}

HANDLE ToWin32(platform::Handle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// Win32 style: TRUE, or FALSE with the error as the thread's last error.
BOOL Result(platform::ErrorCode error) {
  if (error == ERROR_SUCCESS) return TRUE;
  SetLastError(error);
  return FALSE;
}

HANDLE HandleResult(platform::ErrorCode error, platform::Handle handle) {
  if (error != ERROR_SUCCESS || handle == 0) {
    SetLastError(error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE);
    return nullptr;
  }
  return ToWin32(handle);
}

// Only the local computer has the service.
bool Remote(LPCWSTR server) {
  return server != nullptr && *server != L'\0';
}

HANDLE WINAPI ForwardOpenEventLogW(LPCWSTR server, LPCWSTR source) {
  if (Remote(server)) return HandleResult(kServerUnavailable, 0);
  if (source == nullptr) return HandleResult(ERROR_INVALID_PARAMETER, 0);
  platform::Handle log = 0;
  const platform::ErrorCode error = g_service.load()->OpenEventLog(View(source), log);
  return HandleResult(error, log);
}

HANDLE WINAPI ForwardOpenBackupEventLogW(LPCWSTR server, LPCWSTR file) {
  if (Remote(server)) return HandleResult(kServerUnavailable, 0);
  platform::Handle log = 0;
  const platform::ErrorCode error = g_service.load()->OpenBackupEventLog(View(file), log);
  return HandleResult(error, log);
}

BOOL WINAPI ForwardCloseEventLog(HANDLE log) {
  return Result(g_service.load()->CloseEventLog(FromWin32(log)));
}

BOOL WINAPI ForwardReadEventLogW(HANDLE log, DWORD flags, DWORD offset, LPVOID buffer, DWORD size,
                                 DWORD* read, DWORD* needed) {
  if (read == nullptr || needed == nullptr || (buffer == nullptr && size != 0)) {
    return Result(ERROR_INVALID_PARAMETER);
  }
  const platform::ReadResult result = g_service.load()->ReadEventLog(
      FromWin32(log), flags, offset, std::span(static_cast<std::byte*>(buffer), size));
  *read = result.bytesRead;
  *needed = result.bytesNeeded;
  return Result(result.error);
}

BOOL WINAPI ForwardGetNumberOfEventLogRecords(HANDLE log, DWORD* count) {
  if (count == nullptr) return Result(ERROR_INVALID_PARAMETER);
  std::uint32_t value = 0;
  const platform::ErrorCode error = g_service.load()->GetNumberOfRecords(FromWin32(log), value);
  *count = value;
  return Result(error);
}

BOOL WINAPI ForwardGetOldestEventLogRecord(HANDLE log, DWORD* number) {
  if (number == nullptr) return Result(ERROR_INVALID_PARAMETER);
  std::uint32_t value = 0;
  const platform::ErrorCode error = g_service.load()->GetOldestRecord(FromWin32(log), value);
  *number = value;
  return Result(error);
}

BOOL WINAPI ForwardClearEventLogW(HANDLE log, LPCWSTR backup) {
  return Result(g_service.load()->ClearEventLog(FromWin32(log), View(backup)));
}

BOOL WINAPI ForwardBackupEventLogW(HANDLE log, LPCWSTR file) {
  if (file == nullptr) return Result(ERROR_INVALID_PARAMETER);
  return Result(g_service.load()->BackupEventLog(FromWin32(log), View(file)));
}

HANDLE WINAPI ForwardRegisterEventSourceW(LPCWSTR server, LPCWSTR source) {
  if (Remote(server)) return HandleResult(kServerUnavailable, 0);
  if (source == nullptr) return HandleResult(ERROR_INVALID_PARAMETER, 0);
  platform::Handle handle = 0;
  const platform::ErrorCode error = g_service.load()->RegisterEventSource(View(source), handle);
  return HandleResult(error, handle);
}

BOOL WINAPI ForwardDeregisterEventSource(HANDLE handle) {
  return Result(g_service.load()->DeregisterEventSource(FromWin32(handle)));
}

BOOL WINAPI ForwardReportEventW(HANDLE source, WORD type, WORD category, DWORD eventId, PSID,
                                WORD count, DWORD dataSize, LPCWSTR* strings, LPVOID data) {
  if ((count != 0 && strings == nullptr) || (dataSize != 0 && data == nullptr)) {
    return Result(ERROR_INVALID_PARAMETER);
  }
  std::vector<std::u16string> texts;
  for (WORD i = 0; i < count; ++i) texts.emplace_back(View(strings[i]));
  const platform::ByteSpan bytes(static_cast<const std::byte*>(data), dataSize);
  return Result(
      g_service.load()->ReportEvent(FromWin32(source), type, category, eventId, texts, bytes));
}

BOOL WINAPI ForwardNotifyChangeEventLog(HANDLE log, HANDLE event) {
  platform::ErrorCode error = ERROR_SUCCESS;
  std::unique_ptr<platform::IChangeEvent> change =
      g_service.load()->NotifyChangeEventLog(FromWin32(log), error);
  if (change == nullptr) return Result(error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE);
  // The caller may close its event at any time: the forwarder signals a handle of its own.
  HANDLE target = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &target, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return FALSE;
  }
  auto* forwarders = g_forwarders.load();
  std::lock_guard lock(forwarders->mutex);
  forwarders->threads.emplace_back([target, change = std::move(change)](std::stop_token stop) {
    while (!stop.stop_requested()) {
      platform::ErrorCode waitError = ERROR_SUCCESS;
      const auto outcome = change->Wait(50, waitError);
      if (outcome == platform::IChangeEvent::WaitResult::kFailed) break;
      if (outcome == platform::IChangeEvent::WaitResult::kSignalled) SetEvent(target);
    }
    CloseHandle(target);
  });
  return TRUE;
}

}  // namespace

RedirectedEventLog::RedirectedEventLog(platform::IEventLogService& service)
    : forwarders_(std::make_unique<Forwarders>()) {
  g_forwarders = forwarders_.get();
  g_service = &service;
}

RedirectedEventLog::~RedirectedEventLog() {
  {
    // The threads stop and are joined here, before the service they wait on goes.
    std::lock_guard lock(forwarders_->mutex);
    forwarders_->threads.clear();
  }
  g_service = nullptr;
  g_forwarders = nullptr;
}

std::vector<ImportReplacement> RedirectedEventLog::Replacements() {
  const auto entry = [](const char* name, auto function) {
    return ImportReplacement{name, reinterpret_cast<void*>(function)};
  };
  return {
      entry("OpenEventLogW", &ForwardOpenEventLogW),
      entry("OpenBackupEventLogW", &ForwardOpenBackupEventLogW),
      entry("CloseEventLog", &ForwardCloseEventLog),
      entry("ReadEventLogW", &ForwardReadEventLogW),
      entry("GetNumberOfEventLogRecords", &ForwardGetNumberOfEventLogRecords),
      entry("GetOldestEventLogRecord", &ForwardGetOldestEventLogRecord),
      entry("ClearEventLogW", &ForwardClearEventLogW),
      entry("BackupEventLogW", &ForwardBackupEventLogW),
      entry("RegisterEventSourceW", &ForwardRegisterEventSourceW),
      entry("DeregisterEventSource", &ForwardDeregisterEventSource),
      entry("ReportEventW", &ForwardReportEventW),
      entry("NotifyChangeEventLog", &ForwardNotifyChangeEventLog),
  };
}

}  // namespace qb::winetest
