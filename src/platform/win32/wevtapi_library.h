// wevtapi.dll, loaded from the system folder the first time a channel call needs it, and kept
// until the owner goes. Windows XP and 2003 have no such library: then every call learns so.
#pragma once

#include <atomic>
#include <memory>

#include "platform/types.h"
#include "platform/win32/wevtapi_procs.h"

namespace qb::win32 {

class WevtapiLibrary {
 public:
  WevtapiLibrary() noexcept = default;
  ~WevtapiLibrary();
  WevtapiLibrary(const WevtapiLibrary&) = delete;
  WevtapiLibrary& operator=(const WevtapiLibrary&) = delete;

  // The library's entry points, the library loaded on the first call; nullptr and the loader's
  // error (ERROR_MOD_NOT_FOUND where there is none) when it cannot be loaded. The outcome of
  // the first load is kept: nothing is loaded or looked up twice.
  const WevtapiProcs* Get(platform::ErrorCode& error) noexcept;

 private:
  struct Loaded {
    HMODULE module = nullptr;
    platform::ErrorCode error = ERROR_SUCCESS;
    WevtapiProcs procs;
  };
  static std::unique_ptr<Loaded> Load() noexcept;

  std::atomic<Loaded*> loaded_{nullptr};  // owned; freed with the library by the destructor
};

}  // namespace qb::win32
