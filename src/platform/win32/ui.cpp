#include "platform/win32/ui.h"

#include "platform/win32/handles.h"
#include "platform/win32/message_window.h"
#include "platform/win32/own_module.h"
#include "platform/win32/wide.h"

namespace qb::win32 {

int Win32UserInterface::MessageBox(platform::Handle owner, std::u16string_view text,
                                   std::u16string_view caption, std::uint32_t flags) {
  const std::wstring body = Terminated(text);
  const std::wstring title = Terminated(caption);
  return MessageBoxW(FromHandle<HWND>(owner), body.c_str(), title.c_str(), flags);
}

bool Win32UserInterface::GetWindowRect(platform::Handle window, platform::Rect& rect) {
  RECT r{};
  if (!::GetWindowRect(FromHandle<HWND>(window), &r)) return false;
  rect = platform::Rect{r.left, r.top, r.right, r.bottom};
  return true;
}

platform::IUserInterface::VirtualScreen Win32UserInterface::GetVirtualScreen() {
  return VirtualScreen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                       GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

platform::Handle Win32UserInterface::LoadOwnIcon(std::u16string_view name) {
  if (name.empty()) return 0;
  const std::wstring resource = Terminated(name);
  return ToHandle(LoadIconW(OwnModule(), resource.c_str()));
}

platform::Handle Win32UserInterface::GetFocusWindow() {
  return ToHandle(GetFocus());
}

std::unique_ptr<platform::IMessageWindow> Win32UserInterface::CreateMessageWindow(
    platform::MessageProc proc) {
  return win32::CreateMessageWindow(std::move(proc));
}

}  // namespace qb::win32
