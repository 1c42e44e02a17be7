// One dialog session: the host's call into the plugin and the user's thread beside it.
#include <cstdio>
#include <exception>
#include <thread>

#include "dialog_test.h"
#include "platform/sim/services/eventlog_service.h"
#include "window_capture.h"
#include "wine_test_support.h"

namespace qb::winetest::dialogs {
namespace {

constexpr DWORD kCloseGraceMs = 3000;  // for a dialog the user's last action is closing
constexpr DWORD kStuckMs = 20000;

[[noreturn]] void EndStuckRun(const std::string& what) {
  Check(false, what);
  std::printf("FAIL: %d check(s) failed; the run was stopped\n", Failures());
  std::fflush(stdout);
  // The host's thread is stuck inside the plugin: nothing can unwind it.
  TerminateProcess(GetCurrentProcess(), 1);
  ExitProcess(1);
}

}  // namespace

bool User::WaitUntil(const std::function<bool()>& condition, HWND watched, DWORD timeoutMs) const {
  return host::WaitFor(
      [&] {
        if (condition()) return true;
        if (watched == nullptr) return false;
        for (HWND box : host::OwnDialogs(watched)) {
          const BoxText text = host::ReadBox(box);
          Check(false, "no unexpected window over the dialog (closed \"" + Narrow(text.caption) +
                           "\": " + Narrow(text.text) + ")");
          PostMessageW(box, WM_COMMAND, IDOK, 0);
          PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
          host::WaitGone(box);
        }
        return false;
      },
      timeoutMs);
}

bool User::SaveAs(HWND owner, const std::wstring& path, std::optional<BoxText>* prompted) const {
  const host::SaveDialogSeen seen = host::FillSaveDialog(owner, path, &callReturned_);
  if (prompted != nullptr && seen.replacePrompt) *prompted = seen.replacePrompt;
  return seen.came && seen.closed;
}

void User::Shoot(HWND window, const wchar_t* fileName) const {
  if (screenshots_.empty()) return;
  Sync(window);
  // What the last messages invalidated is painted before the picture is taken.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  Sync(window);
  Sleep(300);
  const std::wstring path = screenshots_ + L"\\" + fileName;
  Check(CaptureWindow(window, path), "a picture of the dialog is saved as " + Narrow(fileName));
}

std::string IdList(const std::vector<int>& ids) {
  std::string text;
  for (int id : ids) text += " " + std::to_string(id);
  return text;
}

std::vector<std::wstring> ListNames(const Fixture& fixture, const std::wstring& path) {
  std::vector<std::wstring> names;
  std::wstring request = path;
  WIN32_FIND_DATAW data{};
  HANDLE find = fixture.fs.FsFindFirstW(Host(request), Host(&data));
  if (find == INVALID_HANDLE_VALUE) return names;
  // A runaway listing must end the loop, not the run.
  for (int guard = 0; guard < 10000; ++guard) {
    names.emplace_back(data.cFileName);
    data = WIN32_FIND_DATAW{};
    if (!fixture.fs.FsFindNextW(find, Host(&data))) break;
  }
  fixture.fs.FsFindClose(find);
  return names;
}

const TestRecord& RecordAtEntry(const Fixture& fixture, int entry) {
  return fixture.records[fixture.records.size() - static_cast<std::size_t>(entry)];
}

int EntryOf(const Fixture& fixture, std::size_t recordIndex) {
  return static_cast<int>(fixture.records.size() - recordIndex);
}

std::uint32_t LiveRecordCount(const Fixture& fixture) {
  platform::Handle log = 0;
  std::uint32_t count = 0;
  if (fixture.service->OpenEventLog(u"Application", log) != 0) return 0;
  fixture.service->GetNumberOfRecords(log, count);
  fixture.service->CloseEventLog(log);
  return count;
}

bool RefillLog(Fixture& fixture) {
  sim::SimEventLog* log = fixture.service->FindLog(u"Application");
  return log != nullptr && log->records.empty() && StoreRecords(*log, fixture.records);
}

int RunSession(const Fixture& fixture, HWND mainWindow, const std::wstring& remote,
               const wchar_t* verb, const std::function<void(User&)>& act) {
  const std::string call = "FsExecuteFileW(\"" + Narrow(remote) + "\", \"" + Narrow(verb) + "\")";
  std::atomic<bool> returned{false};
  User user(GetCurrentThreadId(), returned, fixture.screenshots);
  std::thread person([&] {
    try {
      act(user);
    } catch (const std::exception& e) {
      Check(false, call + ": the user's actions ran to their end (" + e.what() + ")");
    } catch (...) {
      Check(false, call + ": the user's actions ran to their end");
    }
    const ULONGLONG grace = GetTickCount64() + kCloseGraceMs;
    while (!returned && GetTickCount64() < grace) Sleep(20);
    const ULONGLONG end = GetTickCount64() + kStuckMs;
    bool reported = false;
    while (!returned) {
      const auto captions = host::CloseAllDialogs();
      if (!captions.empty() && !reported) {
        std::string names;
        for (const auto& caption : captions) names += " \"" + Narrow(caption) + "\"";
        Check(false, call + ": the user's actions closed every dialog (left open:" + names + ")");
        reported = true;
      }
      if (GetTickCount64() >= end) EndStuckRun(call + " returns once its dialogs are closed");
      Sleep(100);
    }
  });
  std::wstring remoteText = remote;
  std::wstring verbText = verb;
  const int result = fixture.fs.FsExecuteFileW(mainWindow, Host(remoteText), Host(verbText));
  returned = true;
  person.join();
  return result;
}

}  // namespace qb::winetest::dialogs
