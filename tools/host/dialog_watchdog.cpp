#include "host/dialog_watchdog.h"

#include <algorithm>
#include <cwchar>
#include <utility>

namespace qb::host {
namespace {

constexpr DWORD kPollMilliseconds = 100;
constexpr int kTextCapacity = 4096;

std::string Utf8Of(const wchar_t* text) {
  const int length = static_cast<int>(std::wcslen(text));
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0)
    WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

}  // namespace

DialogWatchdog::DialogWatchdog() : thread_([this] { Run(); }) {
  // The thread's first window calls set up its window state in user32, which under Wine may
  // load the display driver: were the caller to load a library at that moment (the plugin,
  // next), the two could wait for each other. Return once that set-up is over.
  std::unique_lock lock(mutex_);
  swept_.wait(lock, [this] { return firstSweepDone_; });
}

DialogWatchdog::~DialogWatchdog() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::vector<std::string> DialogWatchdog::Take() {
  // A box shown just before the call may not have been seen yet.
  Sleep(2 * kPollMilliseconds);
  std::lock_guard lock(mutex_);
  return std::exchange(texts_, {});
}

BOOL CALLBACK DialogWatchdog::Visit(HWND window, LPARAM self) {
  auto& watchdog = *reinterpret_cast<DialogWatchdog*>(self);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (process != GetCurrentProcessId() || std::wcscmp(className, L"#32770") != 0 ||
      !IsWindowVisible(window)) {
    return TRUE;
  }
  std::lock_guard lock(watchdog.mutex_);
  if (std::find(watchdog.closing_.begin(), watchdog.closing_.end(), window) ==
      watchdog.closing_.end()) {
    wchar_t caption[kTextCapacity] = {};
    wchar_t text[kTextCapacity] = {};
    GetWindowTextW(window, caption, kTextCapacity);
    // The message text of a message box is its static control 0xFFFF.
    GetDlgItemTextW(window, 0xFFFF, text, kTextCapacity);
    watchdog.texts_.push_back(Utf8Of(caption) + ": " + Utf8Of(text));
    watchdog.closing_.push_back(window);
  }
  // The first button answers, as a user pressing Enter would: Yes where there is one, else OK.
  const WPARAM answer = GetDlgItem(window, IDYES) != nullptr ? IDYES : IDOK;
  PostMessageW(window, WM_COMMAND, answer, 0);
  return TRUE;
}

void DialogWatchdog::Run() {
  while (!stop_) {
    EnumWindows(&Visit, reinterpret_cast<LPARAM>(this));
    {
      std::lock_guard lock(mutex_);
      std::erase_if(closing_, [](HWND window) { return !IsWindow(window); });
      if (!firstSweepDone_) {
        firstSweepDone_ = true;
        swept_.notify_all();
      }
    }
    Sleep(kPollMilliseconds);
  }
}

}  // namespace qb::host
