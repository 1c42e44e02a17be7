#include "platform/win32/ui.h"

#include <algorithm>
#include <new>
#include <vector>

#include "platform/win32/clipboard.h"
#include "platform/win32/dialog_window.h"
#include "platform/win32/handles.h"
#include "platform/win32/message_window.h"
#include "platform/win32/own_module.h"
#include "platform/win32/save_file_dialog.h"
#include "platform/win32/wide.h"

namespace qb::win32 {
namespace {

// More than any list box holds in an entry: a length past it is not believed.
constexpr std::size_t kMaxListBoxText = std::size_t{1} << 24;

}  // namespace

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

int Win32UserInterface::RunModalDialog(const platform::DialogLayout& layout,
                                       const std::function<std::u16string(std::uint16_t)>& texts,
                                       platform::Handle owner,
                                       platform::IDialogController& controller) {
  return RunDialog(layout, texts, FromHandle<HWND>(owner), controller);
}

std::optional<std::u16string> Win32UserInterface::GetSaveFileName(
    const platform::SaveFileRequest& request) {
  return ChooseSaveFile(request);
}

platform::ErrorCode Win32UserInterface::SetClipboardText(platform::Handle owner,
                                                         std::u16string_view text) {
  return PutClipboardText(FromHandle<HWND>(owner), text);
}

platform::Handle Win32UserInterface::SetCursor(platform::CursorShape shape) {
  const HCURSOR cursor =
      LoadCursorW(nullptr, shape == platform::CursorShape::kWait ? IDC_WAIT : IDC_ARROW);
  return ToHandle(::SetCursor(cursor));
}

void Win32UserInterface::RestoreCursor(platform::Handle previous) {
  // No cursor before would mean none at all after: the arrow instead.
  const HCURSOR cursor =
      previous != 0 ? FromHandle<HCURSOR>(previous) : LoadCursorW(nullptr, IDC_ARROW);
  ::SetCursor(cursor);
}

std::intptr_t Win32UserInterface::SendMessage(platform::Handle window, std::uint32_t message,
                                              std::uintptr_t wParam, std::intptr_t lParam) {
  return SendMessageW(FromHandle<HWND>(window), message, wParam, lParam);
}

std::intptr_t Win32UserInterface::ListBoxText(platform::Handle listBox, std::uint32_t index,
                                              std::size_t length, std::u16string& text) {
  text.clear();
  // An owner-drawn list box without LBS_HASSTRINGS copies its item datum instead of a text.
  constexpr std::size_t kItemDatum = (sizeof(ULONG_PTR) + sizeof(wchar_t) - 1) / sizeof(wchar_t);
  if (length >= kMaxListBoxText) return LB_ERR;
  std::vector<wchar_t> buffer;
  try {
    buffer.assign(std::max(length + 1, kItemDatum + 1), L'\0');
  } catch (const std::bad_alloc&) {
    return LB_ERR;
  }
  const LRESULT answer = SendMessageW(FromHandle<HWND>(listBox), LB_GETTEXT, index,
                                      reinterpret_cast<LPARAM>(buffer.data()));
  const auto end = std::find(buffer.begin(), buffer.end(), L'\0');
  text = FromWide(buffer.data(), static_cast<std::size_t>(end - buffer.begin()));
  return answer;
}

}  // namespace qb::win32
