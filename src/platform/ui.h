// User interface services: message boxes, window geometry, icons, the hidden window that
// hands work over to the thread that created it, modal dialogs, the system's save-file dialog,
// the clipboard, the cursor and messages to other windows (the host's file list box).
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/dialog.h"
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
inline constexpr std::uint32_t kWmSetFocus = 0x0007;
inline constexpr std::uint32_t kWmKillFocus = 0x0008;

// List-box messages and results (the documented values).
namespace lb {
inline constexpr std::uint32_t kGetText = 0x0189;
inline constexpr std::uint32_t kGetTextLen = 0x018A;
inline constexpr std::uint32_t kGetCount = 0x018B;
inline constexpr std::uint32_t kSetSel = 0x0185;
inline constexpr std::uint32_t kGetSelCount = 0x0190;
inline constexpr std::uint32_t kSetCaretIndex = 0x019E;
inline constexpr std::uint32_t kGetCaretIndex = 0x019F;
inline constexpr std::intptr_t kErr = -1;
}  // namespace lb

// GetSaveFileNameW: what the dialog offers. It prompts before replacing an existing file,
// hides the read-only box and may be resized; the folder of the process is left unchanged.
struct SaveFileRequest {
  Handle owner = 0;
  std::u16string fileName;           // proposed file name (no folder)
  std::u16string filterDescription;  // "Event files"
  std::u16string filterPattern;      // "*.evtx"
};

enum class CursorShape : std::uint8_t { kArrow, kWait };

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

  // Makes the dialog of `layout` (texts of its textIds from `texts`), owned by `owner`, runs
  // `controller`'s handlers while it is up, and returns the result it closed with once its
  // window is destroyed. The owner is disabled meanwhile. Esc clicks the cancel button (or
  // closes with dlgresult::kCancel when there is none); the close box closes with kCancel.
  // dlgresult::kNone when the window cannot be made.
  virtual int RunModalDialog(const DialogLayout& layout,
                             const std::function<std::u16string(std::uint16_t)>& texts,
                             Handle owner, IDialogController& controller) = 0;

  // GetSaveFileNameW: the full path the user chose, nullopt when cancelled.
  virtual std::optional<std::u16string> GetSaveFileName(const SaveFileRequest& request) = 0;

  // Replaces the clipboard's contents with `text` as CF_UNICODETEXT.
  virtual ErrorCode SetClipboardText(Handle owner, std::u16string_view text) = 0;

  // SetCursor: shows a shape; returns the cursor shown before, for RestoreCursor.
  virtual Handle SetCursor(CursorShape shape) = 0;
  virtual void RestoreCursor(Handle previous) = 0;

  // SendMessageW with numeric parameters (list-box messages, focus notifications).
  virtual std::intptr_t SendMessage(Handle window, std::uint32_t message, std::uintptr_t wParam,
                                    std::intptr_t lParam) = 0;
  // LB_GETTEXT of item `index` into a buffer of `length` + 1 characters, `length` being what
  // LB_GETTEXTLEN answered; the answer (LB_ERR or the characters copied) and the text.
  virtual std::intptr_t ListBoxText(Handle listBox, std::uint32_t index, std::size_t length,
                                    std::u16string& text) = 0;
};

}  // namespace qb::platform
