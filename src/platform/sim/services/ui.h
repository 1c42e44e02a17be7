// Simulated user interface: message boxes answered from a script and recorded, window
// geometry, icons of the own module, and hidden message windows whose queues a test pumps.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/sim/services/dialog.h"
#include "platform/sim/services/list_box.h"
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
  // Runs on the calling thread while a message box is up (before it answers): a test sees what
  // else holds at that moment. Set it while no other thread uses the service.
  using MessageBoxHook = std::function<void(const MessageBoxCall&)>;
  void SetMessageBoxHook(MessageBoxHook hook) { messageBoxHook_ = std::move(hook); }

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

  // --- dialogs: a test acts as the user ---
  using DialogScript = std::function<void(SimDialog&)>;
  // The next dialog that opens runs `script` (after OnCreate and its first OnActivate); a
  // dialog still open when its script returns is closed with the close box. A dialog without a
  // queued script closes with the close box at once. Scripts are taken in the order dialogs
  // open, nested ones included.
  void QueueDialogScript(DialogScript script);
  struct DialogRecord {
    std::u16string name;
    std::u16string caption;  // at closing
    platform::Handle owner = 0;
    int result = 0;
    platform::Rect windowRect;                      // at closing
    std::vector<SimDialog::ControlState> controls;  // at closing
  };
  std::vector<DialogRecord> Dialogs() const;  // in the order they closed
  void ClearDialogs();
  void SetDialogCreationFails(bool fails) { dialogCreationFails_ = fails; }

  // --- the save-file dialog ---
  void QueueSaveAnswer(std::optional<std::u16string> path);  // nullopt: Cancel
  std::vector<platform::SaveFileRequest> SaveRequests() const;

  // --- clipboard and cursor ---
  std::optional<std::u16string> ClipboardText() const;
  void SetClipboardFails(platform::ErrorCode error) { clipboardFails_ = error; }
  platform::CursorShape Cursor() const { return cursor_; }
  std::vector<platform::CursorShape> CursorHistory() const { return cursorHistory_; }

  // --- other windows ---
  SimListBox& AddListBox(std::vector<std::u16string> items, bool multipleSelection);
  SimListBox* FindListBox(platform::Handle window);

  int MessageBox(platform::Handle owner, std::u16string_view text, std::u16string_view caption,
                 std::uint32_t flags) override;
  bool GetWindowRect(platform::Handle window, platform::Rect& rect) override;
  VirtualScreen GetVirtualScreen() override { return screen_; }
  platform::Handle LoadOwnIcon(std::u16string_view name) override;
  platform::Handle GetFocusWindow() override { return focus_; }
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

  // Shared state of one message window; public for the window object.
  struct WindowState;

 private:
  SimModules& modules_;
  mutable std::mutex mutex_;
  std::vector<MessageBoxCall> boxes_;
  MessageBoxHook messageBoxHook_;
  std::deque<int> answers_;
  std::map<platform::Handle, platform::Rect> rects_;
  VirtualScreen screen_{0, 0, 1920, 1080};
  platform::Handle focus_ = 0;
  std::map<std::u16string, platform::Handle> icons_;
  bool windowCreationFails_ = false;
  std::vector<std::shared_ptr<WindowState>> windows_;
  platform::Handle nextWindow_ = 0x50000;
  // A modal window closed: the dialog running below it becomes active again.
  void Reactivate();

  // Dialogs and the rest run on one thread, the test's: no lock.
  std::deque<DialogScript> scripts_;
  std::vector<SimDialog*> running_;
  std::vector<DialogRecord> dialogs_;
  bool dialogCreationFails_ = false;
  std::deque<std::optional<std::u16string>> saveAnswers_;
  std::vector<platform::SaveFileRequest> saveRequests_;
  std::optional<std::u16string> clipboard_;
  platform::ErrorCode clipboardFails_ = 0;
  platform::CursorShape cursor_ = platform::CursorShape::kArrow;
  std::vector<platform::CursorShape> cursorHistory_;
  std::map<platform::Handle, std::unique_ptr<SimListBox>> listBoxes_;
  platform::Handle nextDialog_ = 0x60000;
};

}  // namespace qb::sim
