// IUserInterface over user32.
#pragma once

#include "platform/ui.h"

namespace qb::win32 {

class Win32UserInterface final : public platform::IUserInterface {
 public:
  int MessageBox(platform::Handle owner, std::u16string_view text, std::u16string_view caption,
                 std::uint32_t flags) override;
  bool GetWindowRect(platform::Handle window, platform::Rect& rect) override;
  VirtualScreen GetVirtualScreen() override;
  platform::Handle LoadOwnIcon(std::u16string_view name) override;
  platform::Handle GetFocusWindow() override;
  std::unique_ptr<platform::IMessageWindow> CreateMessageWindow(
      platform::MessageProc proc) override;
};

}  // namespace qb::win32
