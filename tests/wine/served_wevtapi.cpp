#include "served_wevtapi.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/win32/evt_variant.h"
#include "platform/win32/wevtapi_procs.h"
#include "platform/win32/windows_api.h"

namespace qb::winetest {
namespace {

using platform::ErrorCode;
using platform::EvtValue;
using platform::Handle;
using win32::EvtVariant;
using EvtHandle = HANDLE;

std::atomic<platform::IChannelService*> g_service{nullptr};
std::atomic<bool> g_available{true};
std::atomic<sim::SimSystem*> g_files{nullptr};
ServedWevtapi::Counts g_counts;

// kernel32's own functions, taken before any import is patched: a module whose imports lead
// to the served ones (this program's own, say) must not reach them again from here.
using LoadLibraryExFn = HMODULE(WINAPI*)(LPCWSTR, HANDLE, DWORD);
using GetProcAddressFn = FARPROC(WINAPI*)(HMODULE, LPCSTR);
std::atomic<LoadLibraryExFn> g_loadLibraryEx{nullptr};
std::atomic<GetProcAddressFn> g_getProcAddress{nullptr};

// EvtNextChannelPath keeps a path that did not fit for the call that brings a larger buffer,
// as Windows does; the service's enumeration has moved on by then.
std::mutex g_pendingMutex;
std::map<EvtHandle, std::u16string> g_pending;

platform::IChannelService& Service() {
  return *g_service.load();
}

std::u16string_view View(LPCWSTR text) {
  if (text == nullptr) return {};
  return {reinterpret_cast<const char16_t*>(text), std::wcslen(text)};
}

Handle FromEvt(EvtHandle handle) {
  return reinterpret_cast<Handle>(handle);
}

EvtHandle ToEvt(Handle handle) {
  return reinterpret_cast<EvtHandle>(handle);
}

BOOL Result(ErrorCode error) {
  if (error == ERROR_SUCCESS) return TRUE;
  SetLastError(error);
  return FALSE;
}

EvtHandle HandleResult(ErrorCode error, Handle handle) {
  if (error == ERROR_SUCCESS && handle != 0) return ToEvt(handle);
  SetLastError(error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE);
  return nullptr;
}

// Only the local session exists here.
bool Remote(EvtHandle session) {
  return session != nullptr;
}

std::string ToAnsi(std::u16string_view text) {
  std::string ansi;
  for (char16_t c : text) ansi += c < 0x80 ? static_cast<char>(c) : '?';
  return ansi;
}

// --- the real files the caller names, mirrored in the simulated file system ---

bool ReadReal(const std::wstring& path, platform::Bytes& data) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (1ll << 30);
  if (ok) {
    data.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    ok = data.empty() ||
         (::ReadFile(file, data.data(), static_cast<DWORD>(data.size()), &read, nullptr) &&
          read == data.size());
  }
  CloseHandle(file);
  return ok;
}

bool WriteReal(const std::wstring& path, const platform::Bytes& data) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = data.empty() || (::WriteFile(file, data.data(), static_cast<DWORD>(data.size()),
                                               &written, nullptr) &&
                                   written == data.size());
  CloseHandle(file);
  return ok;
}

// Before a call that reads or checks `path`: the simulated file is the real one, or absent.
void CarryIn(LPCWSTR path) {
  sim::SimSystem* files = g_files.load();
  if (files == nullptr || path == nullptr || *path == L'\0') return;
  const std::u16string_view name = View(path);
  // The folders on the way, so that the service may write there as in the real one.
  for (std::size_t slash = name.find(u'\\', 3); slash != std::u16string_view::npos;
       slash = name.find(u'\\', slash + 1)) {
    files->CreateDirectory(name.substr(0, slash));
  }
  files->DeleteFile(name);
  platform::Bytes data;
  if (ReadReal(path, data)) files->AddFile(name, data);
}

// After a call that wrote `path` in the simulated file system: the real file gets its bytes.
ErrorCode CarryOut(LPCWSTR path) {
  sim::SimSystem* files = g_files.load();
  if (files == nullptr || path == nullptr || *path == L'\0') return ERROR_SUCCESS;
  platform::Bytes data;
  if (const ErrorCode error = files->ReadFile(View(path), data)) return error;
  files->DeleteFile(View(path));
  return WriteReal(path, data) ? ERROR_SUCCESS : GetLastError();
}

// Variants into the caller's buffer of `size` bytes as the API fills it: the size needed in
// `used` always, ERROR_INSUFFICIENT_BUFFER when it is more than `size`.
BOOL Variants(const std::vector<EvtValue>& values, DWORD size, void* buffer, DWORD* used) {
  if (used == nullptr || (buffer == nullptr && size != 0)) return Result(ERROR_INVALID_PARAMETER);
  const std::size_t needed = win32::PackVariants(values, &ToAnsi, {});
  *used = static_cast<DWORD>(needed);
  if (needed > size) return Result(ERROR_INSUFFICIENT_BUFFER);
  win32::PackVariants(values, &ToAnsi, {static_cast<std::byte*>(buffer), size});
  return TRUE;
}

// Text into the caller's buffer of `size` characters, with its terminator.
ErrorCode Text(std::u16string_view text, DWORD size, wchar_t* buffer, DWORD* used) {
  const DWORD needed = static_cast<DWORD>(text.size() + 1);
  *used = needed;
  if (needed > size || buffer == nullptr) return ERROR_INSUFFICIENT_BUFFER;
  std::memcpy(buffer, text.data(), text.size() * sizeof(char16_t));
  buffer[text.size()] = L'\0';
  return ERROR_SUCCESS;
}

EvtHandle WINAPI ServedOpenChannelEnum(EvtHandle session, DWORD flags) {
  if (Remote(session)) return HandleResult(RPC_S_SERVER_UNAVAILABLE, 0);
  if (flags != 0) return HandleResult(ERROR_INVALID_PARAMETER, 0);
  Handle channels = 0;
  const ErrorCode error = Service().OpenChannelEnum(channels);
  return HandleResult(error, channels);
}

BOOL WINAPI ServedNextChannelPath(EvtHandle channels, DWORD size, LPWSTR buffer, DWORD* used) {
  if (used == nullptr || (buffer == nullptr && size != 0)) return Result(ERROR_INVALID_PARAMETER);
  std::u16string path;
  {
    std::lock_guard lock(g_pendingMutex);
    const auto pending = g_pending.find(channels);
    if (pending != g_pending.end()) {
      path = std::move(pending->second);
      g_pending.erase(pending);
    } else if (const ErrorCode error = Service().NextChannelPath(FromEvt(channels), path)) {
      return Result(error);
    }
    const ErrorCode error = Text(path, size, buffer, used);
    if (error == ERROR_INSUFFICIENT_BUFFER) g_pending[channels] = std::move(path);
    return Result(error);
  }
}

EvtHandle WINAPI ServedOpenChannelConfig(EvtHandle session, LPCWSTR channel, DWORD flags) {
  if (Remote(session)) return HandleResult(RPC_S_SERVER_UNAVAILABLE, 0);
  if (channel == nullptr || flags != 0) return HandleResult(ERROR_INVALID_PARAMETER, 0);
  Handle config = 0;
  const ErrorCode error = Service().OpenChannelConfig(View(channel), config);
  return HandleResult(error, config);
}

BOOL WINAPI ServedGetChannelConfigProperty(EvtHandle config, DWORD id, DWORD flags, DWORD size,
                                           EvtVariant* buffer, DWORD* used) {
  if (flags != 0) return Result(ERROR_INVALID_PARAMETER);
  std::vector<EvtValue> value(1);
  if (const ErrorCode error = Service().GetChannelConfigProperty(
          FromEvt(config), static_cast<platform::EvtChannelConfig>(id), value[0])) {
    return Result(error);
  }
  return Variants(value, size, buffer, used);
}

BOOL WINAPI ServedSetChannelConfigProperty(EvtHandle config, DWORD id, DWORD flags,
                                           EvtVariant* variant) {
  if (flags != 0 || variant == nullptr) return Result(ERROR_INVALID_PARAMETER);
  EvtValue value;
  if (const ErrorCode error = win32::FromVariant(*variant, nullptr, value)) return Result(error);
  return Result(Service().SetChannelConfigProperty(
      FromEvt(config), static_cast<platform::EvtChannelConfig>(id), value));
}

BOOL WINAPI ServedSaveChannelConfig(EvtHandle config, DWORD flags) {
  if (flags != 0) return Result(ERROR_INVALID_PARAMETER);
  return Result(Service().SaveChannelConfig(FromEvt(config)));
}

EvtHandle WINAPI ServedQuery(EvtHandle session, LPCWSTR path, LPCWSTR query, DWORD flags) {
  if (Remote(session)) return HandleResult(RPC_S_SERVER_UNAVAILABLE, 0);
  if ((flags & platform::evtflags::kFilePath) != 0) CarryIn(path);
  Handle results = 0;
  const ErrorCode error =
      Service().Query(View(path), query != nullptr ? View(query) : u"*", flags, results);
  return HandleResult(error, results);
}

BOOL WINAPI ServedNext(EvtHandle results, DWORD size, EvtHandle* events, DWORD, DWORD flags,
                       DWORD* returned) {
  ++g_counts.next;
  if (events == nullptr || returned == nullptr || size == 0 || flags != 0) {
    return Result(ERROR_INVALID_PARAMETER);
  }
  *returned = 0;
  std::vector<Handle> batch(size, 0);
  std::uint32_t count = 0;
  if (const ErrorCode error = Service().Next(FromEvt(results), batch, count)) {
    return Result(error);
  }
  for (std::uint32_t i = 0; i < count; ++i) events[i] = ToEvt(batch[i]);
  *returned = count;
  return TRUE;
}

EvtHandle WINAPI ServedCreateRenderContext(DWORD pathCount, LPCWSTR* paths, DWORD flags) {
  // Contexts of chosen paths are no part of what is served.
  if (pathCount != 0 || paths != nullptr) return HandleResult(ERROR_NOT_SUPPORTED, 0);
  Handle context = 0;
  const ErrorCode error = Service().CreateRenderContext(flags, context);
  return HandleResult(error, context);
}

BOOL WINAPI ServedRender(EvtHandle context, EvtHandle fragment, DWORD flags, DWORD size,
                         void* buffer, DWORD* used, DWORD* propertyCount) {
  ++g_counts.render;
  if (used == nullptr || propertyCount == nullptr || (buffer == nullptr && size != 0)) {
    return Result(ERROR_INVALID_PARAMETER);
  }
  *used = 0;
  *propertyCount = 0;
  if (flags == win32::evtrender::kValues) {
    std::vector<EvtValue> values;
    if (const ErrorCode error =
            Service().RenderValues(FromEvt(context), FromEvt(fragment), values)) {
      return Result(error);
    }
    *propertyCount = static_cast<DWORD>(values.size());
    return Variants(values, size, buffer, used);
  }
  if (flags != win32::evtrender::kXml || context != nullptr) return Result(ERROR_INVALID_PARAMETER);
  std::u16string xml;
  if (const ErrorCode error = Service().RenderXml(FromEvt(fragment), xml)) return Result(error);
  // Sizes in bytes.
  DWORD characters = 0;
  const ErrorCode error =
      Text(xml, size / sizeof(wchar_t), static_cast<wchar_t*>(buffer), &characters);
  *used = characters * sizeof(wchar_t);
  return Result(error);
}

EvtHandle WINAPI ServedOpenPublisherMetadata(EvtHandle session, LPCWSTR publisher, LPCWSTR logFile,
                                             LCID, DWORD flags) {
  if (Remote(session)) return HandleResult(RPC_S_SERVER_UNAVAILABLE, 0);
  if (publisher == nullptr || logFile != nullptr || flags != 0) {
    return HandleResult(ERROR_INVALID_PARAMETER, 0);
  }
  Handle metadata = 0;
  const ErrorCode error = Service().OpenPublisherMetadata(View(publisher), metadata);
  return HandleResult(error, metadata);
}

BOOL WINAPI ServedFormatMessage(EvtHandle metadata, EvtHandle event, DWORD messageId,
                                DWORD valueCount, EvtVariant* values, DWORD flags, DWORD size,
                                LPWSTR buffer, DWORD* used) {
  ++g_counts.format;
  if (used == nullptr || (buffer == nullptr && size != 0)) return Result(ERROR_INVALID_PARAMETER);
  // Messages by number and given insert values are no part of what is served.
  if (messageId != 0 || valueCount != 0 || values != nullptr) return Result(ERROR_NOT_SUPPORTED);
  *used = 0;
  std::u16string text;
  const ErrorCode error = Service().FormatMessage(FromEvt(metadata), FromEvt(event), flags, text);
  const bool partial = error == platform::err::kEvtUnresolvedValueInsert ||
                       error == platform::err::kEvtUnresolvedParameterInsert ||
                       error == platform::err::kEvtMaxInsertsReached;
  if (error != ERROR_SUCCESS && !partial) return Result(error);
  // The text is written even when inserts stayed unresolved; the error tells so.
  if (const ErrorCode written = Text(text, size, buffer, used)) return Result(written);
  return Result(error);
}

EvtHandle WINAPI ServedOpenLog(EvtHandle session, LPCWSTR path, DWORD flags) {
  if (Remote(session)) return HandleResult(RPC_S_SERVER_UNAVAILABLE, 0);
  if (path == nullptr) return HandleResult(ERROR_INVALID_PARAMETER, 0);
  if ((flags & platform::evtflags::kFilePath) != 0) CarryIn(path);
  Handle log = 0;
  const ErrorCode error = Service().OpenLog(View(path), flags, log);
  return HandleResult(error, log);
}

BOOL WINAPI ServedGetLogInfo(EvtHandle log, DWORD id, DWORD size, EvtVariant* buffer, DWORD* used) {
  std::vector<EvtValue> value(1);
  if (const ErrorCode error =
          Service().GetLogInfo(FromEvt(log), static_cast<platform::EvtLogProperty>(id), value[0])) {
    return Result(error);
  }
  return Variants(value, size, buffer, used);
}

BOOL WINAPI ServedClearLog(EvtHandle session, LPCWSTR channel, LPCWSTR target, DWORD flags) {
  if (Remote(session)) return Result(RPC_S_SERVER_UNAVAILABLE);
  if (channel == nullptr || flags != 0) return Result(ERROR_INVALID_PARAMETER);
  CarryIn(target);
  const ErrorCode error = Service().ClearLog(View(channel), View(target));
  if (error != ERROR_SUCCESS || target == nullptr) return Result(error);
  return Result(CarryOut(target));
}

BOOL WINAPI ServedExportLog(EvtHandle session, LPCWSTR path, LPCWSTR query, LPCWSTR target,
                            DWORD flags) {
  if (Remote(session)) return Result(RPC_S_SERVER_UNAVAILABLE);
  if (path == nullptr || target == nullptr) return Result(ERROR_INVALID_PARAMETER);
  if ((flags & platform::evtflags::kFilePath) != 0) CarryIn(path);
  CarryIn(target);
  const ErrorCode error =
      Service().ExportLog(View(path), query != nullptr ? View(query) : u"*", View(target), flags);
  if (error != ERROR_SUCCESS) return Result(error);
  return Result(CarryOut(target));
}

BOOL WINAPI ServedClose(EvtHandle object) {
  {
    std::lock_guard lock(g_pendingMutex);
    g_pending.erase(object);
  }
  return Result(Service().Close(FromEvt(object)));
}

struct Served {
  const char* name;
  void* function;
};

template <class Function>
Served Entry(const char* name, Function function) {
  return {name, reinterpret_cast<void*>(function)};
}

const std::vector<Served>& Table() {
  static const std::vector<Served> table = {
      Entry("EvtOpenChannelEnum", &ServedOpenChannelEnum),
      Entry("EvtNextChannelPath", &ServedNextChannelPath),
      Entry("EvtOpenChannelConfig", &ServedOpenChannelConfig),
      Entry("EvtGetChannelConfigProperty", &ServedGetChannelConfigProperty),
      Entry("EvtSetChannelConfigProperty", &ServedSetChannelConfigProperty),
      Entry("EvtSaveChannelConfig", &ServedSaveChannelConfig),
      Entry("EvtQuery", &ServedQuery),
      Entry("EvtNext", &ServedNext),
      Entry("EvtCreateRenderContext", &ServedCreateRenderContext),
      Entry("EvtRender", &ServedRender),
      Entry("EvtOpenPublisherMetadata", &ServedOpenPublisherMetadata),
      Entry("EvtFormatMessage", &ServedFormatMessage),
      Entry("EvtOpenLog", &ServedOpenLog),
      Entry("EvtGetLogInfo", &ServedGetLogInfo),
      Entry("EvtClearLog", &ServedClearLog),
      Entry("EvtExportLog", &ServedExportLog),
      Entry("EvtClose", &ServedClose),
  };
  return table;
}

// "wevtapi.dll", alone or at the end of a path, in any case.
bool NamesWevtapi(LPCWSTR name) {
  if (name == nullptr) return false;
  const std::wstring_view path(name);
  const std::size_t slash = path.find_last_of(L"\\/");
  const std::wstring_view file = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
  constexpr std::wstring_view kName = L"wevtapi.dll";
  return file.size() == kName.size() &&
         std::equal(file.begin(), file.end(), kName.begin(),
                    [](wchar_t a, wchar_t b) { return std::towlower(a) == b; });
}

HMODULE WINAPI ServedLoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags) {
  if (NamesWevtapi(name)) {
    ++g_counts.loads;
    if (!g_available) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
  }
  return g_loadLibraryEx.load()(name, file, flags);
}

HMODULE WINAPI ServedLoadLibraryW(LPCWSTR name) {
  return ServedLoadLibraryExW(name, nullptr, 0);
}

FARPROC WINAPI ServedGetProcAddress(HMODULE module, LPCSTR name) {
  // An ordinal is a number below 0x10000 in the pointer.
  const bool byName = (reinterpret_cast<ULONG_PTR>(name) >> 16) != 0;
  if (byName && module != nullptr && module == GetModuleHandleW(L"wevtapi.dll")) {
    if (void* served = ServedWevtapi::Function(name)) {
      ++g_counts.lookups;
      return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(served));
    }
  }
  return g_getProcAddress.load()(module, name);
}

}  // namespace

ServedWevtapi::ServedWevtapi(platform::IChannelService& service, bool available,
                             sim::SimSystem* files) {
  g_files = files;
  g_counts.loads = g_counts.next = g_counts.render = g_counts.format = g_counts.lookups = 0;
  g_available = available;
  g_service = &service;
  if (g_getProcAddress != nullptr) return;  // kept from the first object, made before patching
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  g_loadLibraryEx = reinterpret_cast<LoadLibraryExFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel, "LoadLibraryExW")));
  g_getProcAddress = reinterpret_cast<GetProcAddressFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel, "GetProcAddress")));
}

ServedWevtapi::~ServedWevtapi() {
  g_service = nullptr;
  g_files = nullptr;
  g_available = true;
  std::lock_guard lock(g_pendingMutex);
  g_pending.clear();
}

std::vector<ImportReplacement> ServedWevtapi::LoaderReplacements() {
  return {
      {"LoadLibraryExW", reinterpret_cast<void*>(&ServedLoadLibraryExW)},
      {"LoadLibraryW", reinterpret_cast<void*>(&ServedLoadLibraryW)},
      {"GetProcAddress", reinterpret_cast<void*>(&ServedGetProcAddress)},
  };
}

void* ServedWevtapi::Function(const char* name) {
  for (const Served& served : Table()) {
    if (std::strcmp(served.name, name) == 0) return served.function;
  }
  return nullptr;
}

const ServedWevtapi::Counts& ServedWevtapi::Calls() {
  return g_counts;
}

}  // namespace qb::winetest
