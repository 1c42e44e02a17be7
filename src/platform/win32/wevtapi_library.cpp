#include "platform/win32/wevtapi_library.h"

#include <memory>
#include <new>
#include <string>

#include "platform/win32/last_error.h"
#include "platform/win32/system_procs.h"

namespace qb::win32 {
namespace {

constexpr wchar_t kLibrary[] = L"wevtapi.dll";
// LoadLibraryExW's flag for the system folder alone; the XP headers lack it.
constexpr DWORD kSearchSystem32 = 0x00000800;

// Only from the system folder, so that no file of the same name beside the host or in the
// current folder is ever loaded. Systems without the search flags (Vista, 7 without its
// update) refuse it: there the full path does the same.
HMODULE LoadFromSystemFolder() {
  if (SystemProc<void (*)()>(L"kernel32.dll", "AddDllDirectory") != nullptr) {
    return LoadLibraryExW(kLibrary, nullptr, kSearchSystem32);
  }
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0) return nullptr;
  if (length >= MAX_PATH) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  const std::wstring path = std::wstring(folder, length) + L"\\" + kLibrary;
  return LoadLibraryExW(path.c_str(), nullptr, 0);
}

template <class Function>
void Resolve(HMODULE module, const char* name, Function& function) {
  const FARPROC proc = GetProcAddress(module, name);
  function =
      proc != nullptr ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc)) : nullptr;
}

}  // namespace

WevtapiLibrary::~WevtapiLibrary() {
  std::unique_ptr<Loaded> loaded(loaded_.exchange(nullptr));
  if (loaded != nullptr && loaded->module != nullptr) FreeLibrary(loaded->module);
}

std::unique_ptr<WevtapiLibrary::Loaded> WevtapiLibrary::Load() noexcept {
  std::unique_ptr<Loaded> loaded;
  try {
    loaded = std::make_unique<Loaded>();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  loaded->module = LoadFromSystemFolder();
  if (loaded->module == nullptr) {
    loaded->error = LastError();
    return loaded;
  }
  WevtapiProcs& procs = loaded->procs;
  Resolve(loaded->module, "EvtOpenChannelEnum", procs.openChannelEnum);
  Resolve(loaded->module, "EvtNextChannelPath", procs.nextChannelPath);
  Resolve(loaded->module, "EvtOpenChannelConfig", procs.openChannelConfig);
  Resolve(loaded->module, "EvtGetChannelConfigProperty", procs.getChannelConfigProperty);
  Resolve(loaded->module, "EvtSetChannelConfigProperty", procs.setChannelConfigProperty);
  Resolve(loaded->module, "EvtSaveChannelConfig", procs.saveChannelConfig);
  Resolve(loaded->module, "EvtQuery", procs.query);
  Resolve(loaded->module, "EvtNext", procs.next);
  Resolve(loaded->module, "EvtCreateRenderContext", procs.createRenderContext);
  Resolve(loaded->module, "EvtRender", procs.render);
  Resolve(loaded->module, "EvtOpenPublisherMetadata", procs.openPublisherMetadata);
  Resolve(loaded->module, "EvtFormatMessage", procs.formatMessage);
  Resolve(loaded->module, "EvtOpenLog", procs.openLog);
  Resolve(loaded->module, "EvtGetLogInfo", procs.getLogInfo);
  Resolve(loaded->module, "EvtClearLog", procs.clearLog);
  Resolve(loaded->module, "EvtExportLog", procs.exportLog);
  Resolve(loaded->module, "EvtClose", procs.close);
  return loaded;
}

const WevtapiProcs* WevtapiLibrary::Get(platform::ErrorCode& error) noexcept {
  Loaded* loaded = loaded_.load(std::memory_order_acquire);
  if (loaded == nullptr) {
    // Loaded with no lock held: the loader takes its own lock, and a thread that waited on
    // ours while holding that one would never let this load finish. Two first callers may
    // both load; the library's reference count makes that one mapping, and the loser gives
    // its reference back.
    std::unique_ptr<Loaded> mine = Load();
    if (mine == nullptr) {
      error = ERROR_NOT_ENOUGH_MEMORY;
      return nullptr;
    }
    if (loaded_.compare_exchange_strong(loaded, mine.get(), std::memory_order_acq_rel)) {
      loaded = mine.release();
    } else if (mine->module != nullptr) {
      FreeLibrary(mine->module);
    }
  }
  if (loaded->module == nullptr) {
    error = loaded->error;
    return nullptr;
  }
  error = ERROR_SUCCESS;
  return &loaded->procs;
}

}  // namespace qb::win32
