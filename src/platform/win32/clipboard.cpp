#include "platform/win32/clipboard.h"
#include "platform/win32/last_error.h"

#include <cstring>
#include <limits>

#include "platform/win32/ui_handles.h"

namespace qb::win32 {
namespace {

// Another program may hold the clipboard for a moment: try again briefly.
constexpr int kOpenAttempts = 10;
constexpr DWORD kOpenPause = 20;  // milliseconds

class OpenClipboardScope {
 public:
  explicit OpenClipboardScope(HWND owner) {
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
      if (OpenClipboard(owner)) {
        open_ = true;
        return;
      }
      error_ = LastError();
      Sleep(kOpenPause);
    }
  }
  ~OpenClipboardScope() {
    if (open_) CloseClipboard();
  }
  OpenClipboardScope(const OpenClipboardScope&) = delete;
  OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
  bool open() const { return open_; }
  platform::ErrorCode error() const { return error_; }

 private:
  bool open_ = false;
  platform::ErrorCode error_ = ERROR_SUCCESS;
};

}  // namespace

platform::ErrorCode PutClipboardText(HWND owner, std::u16string_view text) {
  if (text.size() >= std::numeric_limits<SIZE_T>::max() / sizeof(wchar_t) - 1) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
  OpenClipboardScope clipboard(owner);
  if (!clipboard.open()) return clipboard.error();
  if (!EmptyClipboard()) return LastError();
  UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
  if (memory == nullptr) return LastError();
  auto* copy = static_cast<wchar_t*>(GlobalLock(memory.get()));
  if (copy == nullptr) return LastError();
  if (!text.empty()) std::memcpy(copy, text.data(), text.size() * sizeof(wchar_t));
  copy[text.size()] = L'\0';
  GlobalUnlock(memory.get());
  if (SetClipboardData(CF_UNICODETEXT, memory.get()) == nullptr) return LastError();
  // The system owns the memory now.
  static_cast<void>(memory.release());
  return ERROR_SUCCESS;
}

}  // namespace qb::win32
