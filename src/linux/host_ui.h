// The Linux library's user interface: the host has no windows of ours, so every message box
// goes to the host's request callback, no icon is handed out and no dialog runs; the rest
// (geometry, the clipboard, the cursor) is the simulated machine's and shows nothing.
#pragma once

#include "platform/sim/services/ui.h"
#include "platform/ui.h"

namespace qb::linuxlib {

// A message box's text as the host shows it: Windows line ends become "\n".
std::u16string HostMessageText(std::u16string_view text);

class HostUi final : public platform::IUserInterface {
 public:
  explicit HostUi(sim::SimUi& machine) : machine_(machine) {}

  // RT_MsgYesNo for a yes/no box, RT_MsgOK for every other. Without a host callback the text
  // goes to the standard error stream and a question is answered no.
  int MessageBox(platform::Handle owner, std::u16string_view text, std::u16string_view caption,
                 std::uint32_t flags) override;

  bool GetWindowRect(platform::Handle window, platform::Rect& rect) override {
    return machine_.GetWindowRect(window, rect);
  }
  VirtualScreen GetVirtualScreen() override { return machine_.GetVirtualScreen(); }
  // A handle of the simulated machine is no icon the host could draw: the host's own icons.
  platform::Handle LoadOwnIcon(std::u16string_view) override { return 0; }
  platform::Handle GetFocusWindow() override { return 0; }
  std::unique_ptr<platform::IMessageWindow> CreateMessageWindow(
      platform::MessageProc proc) override {
    return machine_.CreateMessageWindow(std::move(proc));
  }
  int RunModalDialog(const platform::DialogLayout&,
                     const std::function<std::u16string(std::uint16_t)>&, platform::Handle,
                     platform::IDialogController&) override {
    return platform::dlgresult::kNone;
  }
  std::optional<std::u16string> GetSaveFileName(const platform::SaveFileRequest&) override {
    return std::nullopt;
  }
  platform::ErrorCode SetClipboardText(platform::Handle owner, std::u16string_view text) override {
    return machine_.SetClipboardText(owner, text);
  }
  platform::Handle SetCursor(platform::CursorShape shape) override {
    return machine_.SetCursor(shape);
  }
  void RestoreCursor(platform::Handle previous) override { machine_.RestoreCursor(previous); }
  std::intptr_t SendMessage(platform::Handle, std::uint32_t, std::uintptr_t,
                            std::intptr_t) override {
    return platform::lb::kErr;
  }
  std::intptr_t ListBoxText(platform::Handle, std::uint32_t, std::size_t,
                            std::u16string& text) override {
    text.clear();
    return platform::lb::kErr;
  }

 private:
  sim::SimUi& machine_;
};

}  // namespace qb::linuxlib
