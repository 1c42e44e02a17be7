#include "host/dialog_watchdog.h"

#include <algorithm>
#include <utility>

#include "host/window_user.h"

namespace qb::host {
namespace {

constexpr DWORD kPollMilliseconds = 100;

std::string Utf8Of(const std::wstring& text) {
  const int length = static_cast<int>(text.size());
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(), bytes, nullptr, nullptr);
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

void DialogWatchdog::Sweep() {
  for (HWND box : OwnDialogs(nullptr, true)) {
    std::lock_guard lock(mutex_);
    if (std::find(closing_.begin(), closing_.end(), box) == closing_.end()) {
      texts_.push_back(Utf8Of(WindowText(box)) + ": " +
                       Utf8Of(WindowText(ControlOf(box, kMessageBoxText))));
      closing_.push_back(box);
    }
    // The first button answers, as a user pressing Enter would: Yes where there is one, else
    // OK.
    const WPARAM answer = GetDlgItem(box, IDYES) != nullptr ? IDYES : IDOK;
    PostMessageW(box, WM_COMMAND, answer, 0);
  }
}

void DialogWatchdog::Run() {
  while (!stop_) {
    Sweep();
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
