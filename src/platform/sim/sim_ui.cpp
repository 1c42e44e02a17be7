#include "platform/sim/sim_ui.h"

#include <algorithm>
#include <functional>

#include "platform/sim/sim_modules.h"
#include "util/text.h"

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
    if (std::this_thread::get_id() == state_->owner) {
      call();
      return true;
    }
    std::unique_lock lock(state_->mutex);
    if (!state_->alive) return false;
    auto item = std::make_shared<SimUi::WindowState::Item>();
    item->isCall = true;
    item->call = &call;
    state_->queue.push_back(item);
    state_->cv.wait(lock, [&] { return item->done || (!state_->alive && !item->running); });
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
  std::lock_guard lock(mutex_);
  boxes_.push_back({owner, std::u16string(text), std::u16string(caption), flags});
  if (!answers_.empty()) {
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  return (flags & 0x0F) == platform::mb::kYesNo ? platform::mb::kIdYes : platform::mb::kIdOk;
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

}  // namespace qb::sim
