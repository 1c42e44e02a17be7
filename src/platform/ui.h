// User interface services: message boxes, window geometry, icons and the hidden window that
// hands work over to the thread that created it.
#pragma once

#include <functional>
#include <memory>

#include "platform/types.h"

namespace qb::platform {

// MessageBoxW flags and results (the documented values).
namespace mb {
inline constexpr std::uint32_t kOk = 0x00;
inline constexpr std::uint32_t kYesNo = 0x04;
inline constexpr std::uint32_t kIconError = 0x10;
inline constexpr std::uint32_t kIconQuestion = 0x20;
inline constexpr std::uint32_t kIconWarning = 0x30;
inline constexpr std::uint32_t kIconInformation = 0x40;
inline constexpr std::uint32_t kTaskModal = 0x2000;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
}  // namespace mb

inline constexpr std::uint32_t kWmUser = 0x0400;

// The window procedure of a hidden message window.
using MessageProc = std::function<std::intptr_t(std::uint32_t message, std::uintptr_t wParam,
                                                std::intptr_t lParam)>;

// A hidden message-only window that belongs to the thread that created it.
class IMessageWindow {
 public:
  // Destroys the window: messages and calls not yet delivered are dropped, and a thread
  // waiting in RunOnOwnerThread returns false.
  virtual ~IMessageWindow() = default;

  // The window handle.
  virtual Handle Id() const = 0;

  // PostMessageW from any thread: the window procedure sees the message later, on the owner
  // thread, from that thread's message handling. False when the window is gone.
  virtual bool Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;

  // From another thread: run `call` on the owner thread and wait until it has run (as
  // SendMessageW does). False when the window is destroyed before the call ran.
  virtual bool RunOnOwnerThread(const std::function<void()>& call) = 0;
};

class IUserInterface {
 public:
  virtual ~IUserInterface() = default;

  // MessageBoxW: modal, returns the button chosen (mb::kIdOk, kIdYes, ...).
  virtual int MessageBox(Handle owner, std::u16string_view text, std::u16string_view caption,
                         std::uint32_t flags) = 0;

  // GetWindowRect: false when the window's rectangle cannot be had.
  virtual bool GetWindowRect(Handle window, Rect& rect) = 0;

  // GetSystemMetrics SM_XVIRTUALSCREEN, SM_YVIRTUALSCREEN, SM_CXVIRTUALSCREEN,
  // SM_CYVIRTUALSCREEN, in this order: left, top, width and height of all monitors.
  struct VirtualScreen {
    std::int32_t x = 0, y = 0, cx = 0, cy = 0;
  };
  virtual VirtualScreen GetVirtualScreen() = 0;

  // LoadIconW(own module, name): a shared icon from the plugin's own resources; 0 when the
  // resources hold no icon group of that name.
  virtual Handle LoadOwnIcon(std::u16string_view name) = 0;

  // GetFocus: the window with the keyboard focus on the calling thread, 0 when none.
  virtual Handle GetFocusWindow() = 0;

  // Creates a hidden message window on the calling thread; nullptr when that fails.
  virtual std::unique_ptr<IMessageWindow> CreateMessageWindow(MessageProc proc) = 0;
};

}  // namespace qb::platform
