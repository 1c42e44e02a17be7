// Simulated user interface: message boxes answered from a script and recorded, window
// geometry, icons of the own module, and hidden message windows whose queues a test pumps.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/ui.h"

namespace qb::sim {

class SimModules;

class SimUi final : public platform::IUserInterface {
 public:
  explicit SimUi(SimModules& modules);
  ~SimUi() override;

  struct MessageBoxCall {
    platform::Handle owner = 0;
    std::u16string text;
    std::u16string caption;
    std::uint32_t flags = 0;
  };
  std::vector<MessageBoxCall> MessageBoxes() const;
  void ClearMessageBoxes();
  // The next message box answers `answer`; without a queued answer a box answers with its
  // first button (OK or Yes).
  void QueueAnswer(int answer);

  void SetWindowRect(platform::Handle window, platform::Rect rect);
  void SetVirtualScreen(VirtualScreen screen) { screen_ = screen; }
  void SetFocusWindow(platform::Handle window) { focus_ = window; }
  // The icon group a handle from LoadOwnIcon stands for.
  std::optional<std::u16string> IconName(platform::Handle icon) const;
  void SetMessageWindowCreationFails(bool fails) { windowCreationFails_ = fails; }
  // Runs the queued messages and calls of the message windows created on the calling thread,
  // as that thread's message loop would. Returns how many ran.
  std::size_t PumpMessages();
  std::size_t LiveMessageWindows() const;

  int MessageBox(platform::Handle owner, std::u16string_view text, std::u16string_view caption,
                 std::uint32_t flags) override;
  bool GetWindowRect(platform::Handle window, platform::Rect& rect) override;
  VirtualScreen GetVirtualScreen() override { return screen_; }
  platform::Handle LoadOwnIcon(std::u16string_view name) override;
  platform::Handle GetFocusWindow() override { return focus_; }
  std::unique_ptr<platform::IMessageWindow> CreateMessageWindow(
      platform::MessageProc proc) override;

  // Shared state of one message window; public for the window object.
  struct WindowState;

 private:
  SimModules& modules_;
  mutable std::mutex mutex_;
  std::vector<MessageBoxCall> boxes_;
  std::deque<int> answers_;
  std::map<platform::Handle, platform::Rect> rects_;
  VirtualScreen screen_{0, 0, 1920, 1080};
  platform::Handle focus_ = 0;
  std::map<std::u16string, platform::Handle> icons_;
  bool windowCreationFails_ = false;
  std::vector<std::shared_ptr<WindowState>> windows_;
  platform::Handle nextWindow_ = 0x50000;
};

}  // namespace qb::sim
