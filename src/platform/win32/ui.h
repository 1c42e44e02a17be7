// IUserInterface over user32, comctl32 and comdlg32.
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
  int RunModalDialog(const platform::DialogLayout& layout,
                     const std::function<std::u16string(std::uint16_t)>& texts,
                     platform::Handle owner, platform::IDialogController& controller) override;
  std::optional<std::u16string> GetSaveFileName(const platform::SaveFileRequest& request) override;
  platform::ErrorCode SetClipboardText(platform::Handle owner, std::u16string_view text) override;
  platform::Handle SetCursor(platform::CursorShape shape) override;
  void RestoreCursor(platform::Handle previous) override;
  std::intptr_t SendMessage(platform::Handle window, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam) override;
  std::intptr_t ListBoxText(platform::Handle listBox, std::uint32_t index, std::size_t length,
                            std::u16string& text) override;
};

}  // namespace qb::win32
