// Conversions between the core's opaque handles and Windows handles, and owners for the
// handles this backend opens for itself.
#pragma once

#include <memory>
#include <type_traits>

#include "platform/types.h"
#include "platform/win32/windows_api.h"

namespace qb::win32 {

template <class T>
requires std::is_pointer_v<T> T FromHandle(platform::Handle handle) {
  return reinterpret_cast<T>(handle);
}

template <class T>
requires std::is_pointer_v<T> platform::Handle ToHandle(T handle) {
  return reinterpret_cast<platform::Handle>(handle);
}

struct KernelHandleCloser {
  void operator()(HANDLE handle) const noexcept {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};
using UniqueHandle = std::unique_ptr<void, KernelHandleCloser>;

struct FindHandleCloser {
  void operator()(HANDLE handle) const noexcept {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) FindClose(handle);
  }
};
using UniqueFindHandle = std::unique_ptr<void, FindHandleCloser>;

struct KeyCloser {
  void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

struct LocalFreer {
  void operator()(void* memory) const noexcept { LocalFree(memory); }
};
// Buffers that FormatMessageW allocates.
using UniqueLocalWide = std::unique_ptr<wchar_t, LocalFreer>;

}  // namespace qb::win32
