#include "evt_backups.h"

#include <atomic>
#include <cwchar>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/sim/services/eventlog_service.h"
#include "plugin_test_eventlog.h"

namespace qb::winetest::dialogs {
namespace {

using OpenFn = HANDLE(WINAPI*)(LPCWSTR, LPCWSTR);
using CloseFn = BOOL(WINAPI*)(HANDLE);
using ClearFn = BOOL(WINAPI*)(HANDLE, LPCWSTR);

std::atomic<sim::SimEventLogService*> g_service{nullptr};
std::atomic<int> g_attempts{0};
std::mutex g_mutex;
std::map<HANDLE, std::u16string>& LogNames() {
  static std::map<HANDLE, std::u16string> names;
  return names;
}

void* Forwarder(const char* name) {
  for (const auto& entry : RedirectedEventLog::Replacements()) {
    if (std::string_view(entry.name) == name) return entry.function;
  }
  return nullptr;
}

struct FileCloser {
  void operator()(HANDLE file) const noexcept { CloseHandle(file); }
};

// The log's .evt bytes into a new real file; the Win32 error, 0 on success.
DWORD WriteBackup(HANDLE log, LPCWSTR path) {
  ++g_attempts;
  if (path == nullptr || *path == L'\0') return ERROR_INVALID_PARAMETER;
  std::u16string name;
  {
    std::lock_guard lock(g_mutex);
    const auto it = LogNames().find(log);
    if (it == LogNames().end()) return ERROR_INVALID_HANDLE;
    name = it->second;
  }
  const platform::Bytes bytes = g_service.load()->SaveEvt(name);
  if (bytes.empty()) return ERROR_INVALID_HANDLE;
  HANDLE raw =
      CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (raw == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // The service never writes over a file.
    return error == ERROR_FILE_EXISTS ? ERROR_ALREADY_EXISTS : error;
  }
  DWORD error = ERROR_SUCCESS;
  {
    std::unique_ptr<void, FileCloser> file(raw);
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr)) {
      error = GetLastError();
    } else if (written != bytes.size()) {
      error = ERROR_WRITE_FAULT;
    }
  }
  if (error != ERROR_SUCCESS) DeleteFileW(path);
  return error;
}

BOOL Result(DWORD error) {
  if (error == ERROR_SUCCESS) return TRUE;
  SetLastError(error);
  return FALSE;
}

HANDLE WINAPI OpenLog(LPCWSTR server, LPCWSTR source) {
  HANDLE log = reinterpret_cast<OpenFn>(Forwarder("OpenEventLogW"))(server, source);
  if (log != nullptr && source != nullptr) {
    std::lock_guard lock(g_mutex);
    LogNames()[log] =
        std::u16string(reinterpret_cast<const char16_t*>(source), std::wcslen(source));
  }
  return log;
}

BOOL WINAPI CloseLog(HANDLE log) {
  {
    std::lock_guard lock(g_mutex);
    LogNames().erase(log);
  }
  return reinterpret_cast<CloseFn>(Forwarder("CloseEventLog"))(log);
}

BOOL WINAPI BackupLog(HANDLE log, LPCWSTR path) {
  return Result(WriteBackup(log, path));
}

BOOL WINAPI ClearLog(HANDLE log, LPCWSTR backup) {
  if (backup != nullptr && *backup != L'\0') {
    if (const DWORD error = WriteBackup(log, backup); error != ERROR_SUCCESS) return Result(error);
  }
  return reinterpret_cast<ClearFn>(Forwarder("ClearEventLogW"))(log, nullptr);
}

}  // namespace

RealFileBackups::RealFileBackups(sim::SimEventLogService& service) : service_(&service) {
  g_service = &service;
}

void RealFileBackups::Release::operator()(sim::SimEventLogService*) const {
  g_service = nullptr;
  std::lock_guard lock(g_mutex);
  LogNames().clear();
}

std::vector<ImportReplacement> RealFileBackups::Replacements() {
  std::vector<ImportReplacement> replacements = RedirectedEventLog::Replacements();
  const std::pair<const char*, void*> own[] = {
      {"OpenEventLogW", reinterpret_cast<void*>(&OpenLog)},
      {"CloseEventLog", reinterpret_cast<void*>(&CloseLog)},
      {"BackupEventLogW", reinterpret_cast<void*>(&BackupLog)},
      {"ClearEventLogW", reinterpret_cast<void*>(&ClearLog)},
  };
  for (auto& entry : replacements) {
    for (const auto& [name, function] : own) {
      if (std::string_view(entry.name) == name) entry.function = function;
    }
  }
  return replacements;
}

int RealFileBackups::Attempts() {
  return g_attempts;
}

}  // namespace qb::winetest::dialogs
