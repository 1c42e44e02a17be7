// Watching the open log for new records. A thread waits for the platform's change event and
// hands each change over to the thread that registered, through a hidden window there; all
// work on the event log object runs on that thread.
#include <condition_variable>
#include <mutex>
#include <thread>

#include "eventlog/event_log.h"
#include "eventlog/notify_thread.h"
#include "platform/platform.h"
#include "util/format.h"
#include "util/text.h"

namespace qb {

namespace err = platform::err;

namespace {
// The private message that tells the registering thread a hand-over is waiting.
constexpr std::uint32_t kHandOverMessage = platform::kWmUser + 1;
constexpr std::uint32_t kWaitMilliseconds = 100;
}  // namespace

bool NotifyContext::HandOver(Request request, platform::ErrorCode code) {
  std::unique_lock lock(mutex);
  if (!alive || terminated) return false;
  pending = request;
  pendingError = code;
  done = false;
  if (window == nullptr || !window->Post(kHandOverMessage, 0, 0)) {
    pending = Request::kNone;
    return false;
  }
  cv.wait(lock, [&] { return done || !alive; });
  return alive;
}

void NotifyContext::RunPending() {
  Request request;
  platform::ErrorCode code;
  {
    std::lock_guard lock(mutex);
    if (!alive || pending == Request::kNone) return;
    request = pending;
    code = pendingError;
  }
  // Runs without the lock: the handler may end the notification itself.
  try {
    if (request == Request::kChange) {
      owner->HandleChange();
    } else {
      owner->ReportNotifyError(code);
    }
  } catch (...) {
    // An error of the handler must not leave the window procedure.
  }
  std::lock_guard lock(mutex);
  pending = Request::kNone;
  done = true;
  cv.notify_all();
}

void NotifyContext::End() {
  std::lock_guard lock(mutex);
  alive = false;
  terminated = true;
  window = nullptr;
  cv.notify_all();
}

void TFWNotifyThread::Execute(const std::shared_ptr<NotifyContext>& context) {
  while (!context->terminated) {
    platform::ErrorCode error = err::kSuccess;
    const auto outcome = context->event->Wait(kWaitMilliseconds, error);
    if (outcome == platform::IChangeEvent::WaitResult::kTimeout) continue;
    if (outcome == platform::IChangeEvent::WaitResult::kSignalled) {
      if (!context->HandOver(NotifyContext::Request::kChange, 0)) break;
      continue;
    }
    context->HandOver(NotifyContext::Request::kError, error);
    break;
  }
}

bool TFWEventLog::RegisterChangeNotify(const TFWOnChangeEvent& Event) {
  return StartNotify(Event, nullptr);
}

bool TFWEventLog::RegisterChangeNotify(TFWOnChangeCallback Callback) {
  return StartNotify({}, Callback);
}

bool TFWEventLog::StartNotify(const TFWOnChangeEvent& Event, TFWOnChangeCallback Callback) {
  const std::int32_t source = OpenedSlot(TFSOpenState::osRead).source;
  if (FState.Has(TFSOpenState::osNotify)) throw EFWEventLog(OwnString(res::kNotifyTwice));
  auto& service = platform::EventLogService();
  platform::Handle opened = 0;
  FLastError = OpenHandle(TFSOpenState::osNotify, source, u"", opened);
  if (opened == 0) return false;
  OpenSlot& slot = Slot(TFSOpenState::osNotify);
  slot.handle = ServiceHandle(ServiceHandle::Kind::kLog, opened);
  slot.source = source;

  auto context = std::make_shared<NotifyContext>();
  context->owner = this;
  context->onChangeEvent = Event;
  context->onChangeCallback = Callback;
  const std::weak_ptr<NotifyContext> weak = context;
  auto window =
      platform::Ui().CreateMessageWindow([this, weak](std::uint32_t msg, std::uintptr_t wParam,
                                                      std::intptr_t lParam) -> std::intptr_t {
        if (msg == kHandOverMessage) {
          if (auto ctx = weak.lock()) ctx->RunPending();
          return 0;
        }
        try {
          return ErrorWndProc(msg, wParam, lParam);
        } catch (const EFWEventLog& e) {
          // Raised inside the host's message handling: the user is told, nothing unwinds.
          platform::Ui().MessageBox(0, e.Message(), FSource,
                                    platform::mb::kOk | platform::mb::kIconError);
        } catch (...) {
        }
        return 0;
      });
  // The change event is made here rather than on the thread, so the thread never touches the
  // log handle, which this thread may close at any time.
  platform::ErrorCode eventError = err::kSuccess;
  if (window) context->event = service.NotifyChangeEventLog(opened, eventError);
  if (!window || !context->event) {
    slot.handle.reset();
    return false;
  }
  context->window = window.get();
  FErrorWnd = std::move(window);
  FNotifyThread = context;
  FState.Add(TFSOpenState::osNotify);
  FNotifyThreads.emplace_back([context] { TFWNotifyThread::Execute(context); });
  return true;
}

void TFWEventLog::DeRegisterChangeNotify() {
  if (!FState.Has(TFSOpenState::osNotify)) return;
  if (FNotifyThread) {
    // Ask the thread to stop without waiting; a hand-over it is waiting for is dropped.
    FNotifyThread->End();
    FNotifyThread.reset();
  }
  Slot(TFSOpenState::osNotify).handle.reset();
  FState.Remove(TFSOpenState::osNotify);
  // The window may be running this very call; it is kept until the object goes, and its
  // late messages no longer match the current error window.
  if (FErrorWnd) FRetiredWnds.push_back(std::move(FErrorWnd));
}

platform::Handle TFWEventLog::ErrorWindow() const {
  return FErrorWnd ? FErrorWnd->Id() : 0;
}

void TFWEventLog::HandleChange() {
  auto& service = platform::EventLogService();
  std::uint32_t count = 0;
  std::uint32_t oldest = 0;
  const OpenSlot& slot = Slot(TFSOpenState::osNotify);
  service.GetNumberOfRecords(slot.handle.get(), count);
  service.GetOldestRecord(slot.handle.get(), oldest);
  TFWEventLogRecord record;
  if (!ReadRecordAt(slot.handle.get(), slot.source, oldest + count - 1, record)) {
    ReportNotifyError(FLastError);
    return;
  }
  // Copies: the handler may end the notification and with it the context.
  const std::shared_ptr<NotifyContext> context = FNotifyThread;
  if (!context) return;
  if (context->onChangeEvent) {
    context->onChangeEvent(*this, record);
  } else if (context->onChangeCallback != nullptr) {
    context->onChangeCallback(this, record);
  }
}

void TFWEventLog::ReportNotifyError(platform::ErrorCode code) {
  if (FErrorWnd) {
    FErrorWnd->Post(platform::kWmUser, FErrorWnd->Id(), static_cast<std::intptr_t>(code));
  }
}

std::intptr_t TFWEventLog::ErrorWndProc(std::uint32_t Msg, std::uintptr_t WParam,
                                        std::intptr_t LParam) {
  if (Msg != platform::kWmUser || !FErrorWnd || WParam != FErrorWnd->Id()) return 0;
  DeRegisterChangeNotify();
  const auto code = static_cast<platform::ErrorCode>(LParam);
  // The system's text as the classic SysErrorMessage gives it: no trailing breaks or dot.
  std::u16string text = platform::Modules().SystemErrorText(code);
  while (!text.empty() && (text.back() <= u' ' || text.back() == u'.')) text.pop_back();
  throw EFWEventLog(
      util::Format(OwnString(res::kNotifyThreadError),
                   {std::int64_t{static_cast<std::int32_t>(code)}, std::u16string_view(text)}));
}

}  // namespace qb
