#include "platform/sim/services/ui.h"

#include <algorithm>
#include <functional>

#include "platform/sim/services/modules.h"

namespace qb::sim {

using platform::Handle;

struct SimUi::WindowState {
  struct Item {
    bool isCall = false;
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    const std::function<void()>* call = nullptr;
    bool running = false;  // taken by the owner thread: the waiter must not leave now
    bool done = false;
  };
  Handle id = 0;
  std::thread::id owner;
  platform::MessageProc proc;
  std::mutex mutex;
  std::condition_variable cv;
  std::deque<std::shared_ptr<Item>> queue;
  bool alive = true;
};

namespace {

class SimMessageWindow final : public platform::IMessageWindow {
 public:
  explicit SimMessageWindow(std::shared_ptr<SimUi::WindowState> state) : state_(std::move(state)) {}
  ~SimMessageWindow() override {
    std::lock_guard lock(state_->mutex);
    state_->alive = false;
    state_->queue.clear();
    state_->cv.notify_all();
  }
  Handle Id() const override { return state_->id; }
  bool Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
    std::lock_guard lock(state_->mutex);
    if (!state_->alive) return false;
    auto item = std::make_shared<SimUi::WindowState::Item>();
    item->message = message;
    item->wParam = wParam;
    item->lParam = lParam;
    state_->queue.push_back(std::move(item));
    return true;
  }
  bool RunOnOwnerThread(const std::function<void()>& call) override {
    // The window object may be destroyed while this waits: only the shared state is used.
    const std::shared_ptr<SimUi::WindowState> state = state_;
    if (std::this_thread::get_id() == state->owner) {
      call();
      return true;
    }
    std::unique_lock lock(state->mutex);
    if (!state->alive) return false;
    auto item = std::make_shared<SimUi::WindowState::Item>();
    item->isCall = true;
    item->call = &call;
    state->queue.push_back(item);
    state->cv.wait(lock, [&] { return item->done || (!state->alive && !item->running); });
    return item->done;
  }

 private:
  std::shared_ptr<SimUi::WindowState> state_;
};

}  // namespace

SimUi::SimUi(SimModules& modules) : modules_(modules) {}

SimUi::~SimUi() = default;

std::vector<SimUi::MessageBoxCall> SimUi::MessageBoxes() const {
  std::lock_guard lock(mutex_);
  return boxes_;
}

void SimUi::ClearMessageBoxes() {
  std::lock_guard lock(mutex_);
  boxes_.clear();
}

void SimUi::QueueAnswer(int answer) {
  std::lock_guard lock(mutex_);
  answers_.push_back(answer);
}

void SimUi::SetWindowRect(Handle window, platform::Rect rect) {
  std::lock_guard lock(mutex_);
  rects_[window] = rect;
}

std::optional<std::u16string> SimUi::IconName(Handle icon) const {
  std::lock_guard lock(mutex_);
  for (const auto& [name, h] : icons_) {
    if (h == icon) return name;
  }
  return std::nullopt;
}

int SimUi::MessageBox(Handle owner, std::u16string_view text, std::u16string_view caption,
                      std::uint32_t flags) {
  int answer = (flags & 0x0F) == platform::mb::kYesNo ? platform::mb::kIdYes : platform::mb::kIdOk;
  if (messageBoxHook_) {
    messageBoxHook_({owner, std::u16string(text), std::u16string(caption), flags});
  }
  {
    std::lock_guard lock(mutex_);
    boxes_.push_back({owner, std::u16string(text), std::u16string(caption), flags});
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    }
  }
  Reactivate();
  return answer;
}

bool SimUi::GetWindowRect(Handle window, platform::Rect& rect) {
  std::lock_guard lock(mutex_);
  const auto it = rects_.find(window);
  if (it == rects_.end()) return false;
  rect = it->second;
  return true;
}

Handle SimUi::LoadOwnIcon(std::u16string_view name) {
  // Resource names are stored upper-case and matched without regard to case.
  std::u16string upper(name);
  for (auto& c : upper) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 0x20);
  }
  if (modules_.OwnImage().iconGroups.count(upper) == 0) return 0;
  std::lock_guard lock(mutex_);
  auto& handle = icons_[upper];
  // A shared icon: the same handle every time, as LoadIconW gives.
  if (handle == 0) handle = 0x70000 + 0x10 * icons_.size();
  return handle;
}

std::unique_ptr<platform::IMessageWindow> SimUi::CreateMessageWindow(platform::MessageProc proc) {
  std::lock_guard lock(mutex_);
  if (windowCreationFails_) return nullptr;
  auto state = std::make_shared<WindowState>();
  state->id = nextWindow_;
  nextWindow_ += 0x10;
  state->owner = std::this_thread::get_id();
  state->proc = std::move(proc);
  std::erase_if(windows_, [](const std::shared_ptr<WindowState>& w) {
    std::lock_guard wl(w->mutex);
    return !w->alive;
  });
  windows_.push_back(state);
  return std::make_unique<SimMessageWindow>(std::move(state));
}

std::size_t SimUi::PumpMessages() {
  std::vector<std::shared_ptr<WindowState>> mine;
  {
    std::lock_guard lock(mutex_);
    for (const auto& w : windows_) {
      if (w->owner == std::this_thread::get_id()) mine.push_back(w);
    }
  }
  std::size_t ran = 0;
  for (bool any = true; any;) {
    any = false;
    for (const auto& w : mine) {
      std::shared_ptr<WindowState::Item> item;
      {
        std::lock_guard lock(w->mutex);
        if (!w->alive || w->queue.empty()) continue;
        item = w->queue.front();
        w->queue.pop_front();
        item->running = true;
      }
      any = true;
      ++ran;
      if (item->isCall) {
        (*item->call)();
        std::lock_guard lock(w->mutex);
        item->done = true;
        item->running = false;
        w->cv.notify_all();
      } else if (w->proc) {
        w->proc(item->message, item->wParam, item->lParam);
      }
    }
  }
  return ran;
}

std::size_t SimUi::LiveMessageWindows() const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(
      std::count_if(windows_.begin(), windows_.end(), [](const std::shared_ptr<WindowState>& w) {
        std::lock_guard wl(w->mutex);
        return w->alive;
      }));
}

// --- dialogs ---

void SimUi::Reactivate() {
  if (!running_.empty()) running_.back()->RunActivate();
}

void SimUi::QueueDialogScript(DialogScript script) {
  scripts_.push_back(std::move(script));
}

std::vector<SimUi::DialogRecord> SimUi::Dialogs() const {
  return dialogs_;
}

void SimUi::ClearDialogs() {
  dialogs_.clear();
}

int SimUi::RunModalDialog(const platform::DialogLayout& layout,
                          const std::function<std::u16string(std::uint16_t)>& texts, Handle owner,
                          platform::IDialogController& controller) {
  if (dialogCreationFails_) return platform::dlgresult::kNone;
  DialogScript script;
  if (!scripts_.empty()) {
    script = std::move(scripts_.front());
    scripts_.pop_front();
  }
  SimDialog dialog(layout, texts, nextDialog_, controller);
  nextDialog_ += 0x10;
  running_.push_back(&dialog);
  dialog.RunCreate();
  dialog.RunActivate();
  if (script && !dialog.closed()) script(dialog);
  dialog.CloseBox();
  running_.pop_back();
  dialogs_.push_back(DialogRecord{std::u16string(layout.name), dialog.Caption(), owner,
                                  dialog.result(), dialog.WindowRect(), dialog.Controls()});
  Reactivate();
  return dialog.result();
}

void SimUi::QueueSaveAnswer(std::optional<std::u16string> path) {
  saveAnswers_.push_back(std::move(path));
}

std::vector<platform::SaveFileRequest> SimUi::SaveRequests() const {
  return saveRequests_;
}

std::optional<std::u16string> SimUi::GetSaveFileName(const platform::SaveFileRequest& request) {
  saveRequests_.push_back(request);
  // The dialog's windows show their own cursor: whatever was set before is gone when it closes.
  cursor_ = platform::CursorShape::kArrow;
  std::optional<std::u16string> answer;
  if (!saveAnswers_.empty()) {
    answer = std::move(saveAnswers_.front());
    saveAnswers_.pop_front();
  }
  Reactivate();
  return answer;
}

std::optional<std::u16string> SimUi::ClipboardText() const {
  return clipboard_;
}

platform::ErrorCode SimUi::SetClipboardText(Handle, std::u16string_view text) {
  if (clipboardFails_ != 0) return clipboardFails_;
  clipboard_ = std::u16string(text);
  return platform::err::kSuccess;
}

namespace {
constexpr Handle kCursorHandles = 0x6F00;
}

Handle SimUi::SetCursor(platform::CursorShape shape) {
  const Handle previous = kCursorHandles + static_cast<Handle>(cursor_);
  cursor_ = shape;
  cursorHistory_.push_back(shape);
  return previous;
}

void SimUi::RestoreCursor(Handle previous) {
  if (previous < kCursorHandles ||
      previous > kCursorHandles + static_cast<Handle>(platform::CursorShape::kWait)) {
    return;
  }
  SetCursor(static_cast<platform::CursorShape>(previous - kCursorHandles));
}

SimListBox& SimUi::AddListBox(std::vector<std::u16string> items, bool multipleSelection) {
  const Handle handle = nextWindow_;
  nextWindow_ += 0x10;
  auto list = std::make_unique<SimListBox>(handle);
  list->items = std::move(items);
  list->selected.assign(list->items.size(), false);
  list->multipleSelection = multipleSelection;
  auto& result = *list;
  listBoxes_[handle] = std::move(list);
  return result;
}

SimListBox* SimUi::FindListBox(Handle window) {
  const auto it = listBoxes_.find(window);
  return it == listBoxes_.end() ? nullptr : it->second.get();
}

std::intptr_t SimUi::SendMessage(Handle window, std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam) {
  SimListBox* list = FindListBox(window);
  return list == nullptr ? 0 : list->Message(message, wParam, lParam);
}

std::intptr_t SimUi::ListBoxText(Handle listBox, std::uint32_t index, std::size_t length,
                                 std::u16string& text) {
  SimListBox* list = FindListBox(listBox);
  if (list == nullptr) {
    text.clear();
    return 0;
  }
  return list->Text(index, length, text);
}

}  // namespace qb::sim
