// The user-interface services besides dialogs: the clipboard, the system's save-file dialog
// with a second thread typing into it, the cursor, and list-box messages against real list
// boxes.
#include <atomic>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include "check.h"
#include "dialog_user.h"
#include "platform/win32/handles.h"
#include "platform/win32/ui.h"
#include "platform/win32/wide.h"
#include "platform/win32/windows_api.h"
#include "platform_checks.h"

namespace qb::wine_test {
namespace {

constexpr DWORD kFileDialogWaitMs = 20000;  // the first one loads the shell's parts

class Window {
 public:
  explicit Window(const wchar_t* className, DWORD style = 0, HWND parent = nullptr)
      : window_(CreateWindowExW(0, className, L"", style, 0, 0, 200, 200, parent, nullptr,
                                GetModuleHandleW(nullptr), nullptr)) {}
  ~Window() { DestroyWindow(window_); }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  HWND get() const { return window_; }

 private:
  HWND window_;
};

std::optional<std::wstring> ClipboardText() {
  if (!OpenClipboard(nullptr)) return std::nullopt;
  std::optional<std::wstring> text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

void ClipboardRoundTrip(win32::Win32UserInterface& ui) {
  Window owner(L"STATIC");
  const platform::Handle handle = win32::ToHandle(owner.get());
  QB_CHECK(ui.SetClipboardText(handle, u"Event 4624\r\n\u0417\u0430\u043f\u0438\u0441\u044c") == 0);
  QB_CHECK(ClipboardText() == std::wstring(L"Event 4624\r\n\u0417\u0430\u043f\u0438\u0441\u044c"));
  QB_CHECK(ui.SetClipboardText(handle, u"") == 0);
  QB_CHECK(ClipboardText() == std::wstring());
  // Held by another thread for a moment it is waited for; held for long, the error comes back.
  const struct {
    DWORD holdMs;
    bool succeeds;
  } busy[] = {{40, true}, {2000, false}};
  for (const auto& b : busy) {
    std::atomic<bool> held{false};
    std::thread holder([&] {
      Window other(L"STATIC");
      held = OpenClipboard(other.get()) != FALSE;
      Sleep(b.holdMs);
      CloseClipboard();
    });
    WaitFor([&] { return held.load(); });
    const platform::ErrorCode error = ui.SetClipboardText(handle, u"busy");
    holder.join();
    if (!QB_CHECK((error == 0) == b.succeeds)) std::printf("  held %lu ms\n", b.holdMs);
  }
}

struct FieldSearch {
  const wchar_t* text;
  HWND found;
};

BOOL CALLBACK VisitField(HWND child, LPARAM context) {
  auto* search = reinterpret_cast<FieldSearch*>(context);
  wchar_t className[16] = {};
  GetClassNameW(child, className, 16);
  if (_wcsicmp(className, L"Edit") == 0 && TextOf(child) == search->text) {
    search->found = child;
    return FALSE;
  }
  return TRUE;
}

// The file dialog's name field: the edit that shows the proposed name.
HWND NameField(HWND dialog, const wchar_t* proposed) {
  FieldSearch search{proposed, nullptr};
  WaitFor([&] {
    EnumChildWindows(dialog, &VisitField, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  });
  return search.found;
}

void SaveFileDialog(win32::Win32UserInterface& ui) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder =
      std::wstring(temp) + L"qb_save_" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring existing = folder + L"\\existing.evtx";
  CloseHandle(CreateFileW(existing.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  wchar_t before[MAX_PATH] = {}, after[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, before);
  Window owner(L"STATIC", WS_OVERLAPPEDWINDOW | WS_VISIBLE);

  const struct {
    std::wstring typed;  // empty: Cancel
    bool prompts;        // the file exists: "replace it?" answered Yes
    std::optional<std::wstring> chosen;
  } cases[] = {
      {folder + L"\\new.evtx", false, folder + L"\\new.evtx"},
      {folder + L"\\plain", false, folder + L"\\plain.evtx"},  // the filter's extension added
      {existing, true, existing},
      {L"", false, std::nullopt},
  };
  for (const auto& c : cases) {
    bool prompted = false;
    std::atomic<HWND> dialog{nullptr};
    std::optional<std::u16string> answer;
    RunWithUser(
        [&] {
          answer = ui.GetSaveFileName(
              {win32::ToHandle(owner.get()), u"proposed.evtx", u"Event files", u"*.evtx"});
          return 0;
        },
        [&] {
          dialog = FindDialog(owner.get(), kFileDialogWaitMs);
          if (!QB_CHECK(dialog.load() != nullptr)) return;
          HWND field = NameField(dialog, L"proposed.evtx");
          if (!QB_CHECK(field != nullptr)) return;
          if (c.typed.empty()) {
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return;
          }
          SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.typed.c_str()),
                              SMTO_ABORTIFHUNG, 2000, nullptr);
          PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
          if (c.prompts) {
            HWND box = FindDialog(dialog);
            prompted = box != nullptr;
            if (prompted) PostMessageW(box, WM_COMMAND, IDYES, 0);
          }
        },
        [&] { return dialog.load(); });
    const bool ok =
        QB_CHECK(prompted == c.prompts) && QB_CHECK(answer.has_value() == c.chosen.has_value()) &&
        QB_CHECK(!answer || _wcsicmp(win32::Terminated(*answer).c_str(), c.chosen->c_str()) == 0);
    if (!ok) std::printf("  typed \"%ls\"\n", c.typed.c_str());
  }
  GetCurrentDirectoryW(MAX_PATH, after);
  QB_CHECK(std::wstring(before) == after);  // OFN_NOCHANGEDIR
  DeleteFileW(existing.c_str());
  RemoveDirectoryW(folder.c_str());
}

void CursorShapes(win32::Win32UserInterface& ui) {
  const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
  const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  ::SetCursor(arrow);
  const platform::Handle previous = ui.SetCursor(platform::CursorShape::kWait);
  QB_CHECK(previous == win32::ToHandle(arrow) && GetCursor() == wait);
  ui.RestoreCursor(previous);
  QB_CHECK(GetCursor() == arrow);
  ui.SetCursor(platform::CursorShape::kWait);
  ui.RestoreCursor(0);  // no cursor before: the arrow, not none
  QB_CHECK(GetCursor() == arrow);
}

void ListBoxMessages(win32::Win32UserInterface& ui) {
  Window parent(L"STATIC");
  Window extended(L"LISTBOX", WS_CHILD | LBS_EXTENDEDSEL, parent.get());
  Window single(L"LISTBOX", WS_CHILD, parent.get());
  for (HWND list : {extended.get(), single.get()}) {
    for (const wchar_t* item : {L"..", L"Application", L"System"}) {
      SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
  }
  namespace lb = platform::lb;
  auto send = [&](HWND list, std::uint32_t message, std::uintptr_t w, std::intptr_t l) {
    return ui.SendMessage(win32::ToHandle(list), message, w, l);
  };
  const platform::Handle many = win32::ToHandle(extended.get());
  QB_CHECK(send(extended.get(), lb::kGetCount, 0, 0) == 3);
  QB_CHECK(send(extended.get(), lb::kSetSel, 1, 2) == 0);
  QB_CHECK(send(extended.get(), lb::kGetSelCount, 0, 0) == 1);
  QB_CHECK(send(extended.get(), lb::kSetCaretIndex, 1, 0) == 0);
  QB_CHECK(send(extended.get(), lb::kGetCaretIndex, 0, 0) == 1);
  // A single-selection list box has no selection count.
  QB_CHECK(send(single.get(), lb::kGetSelCount, 0, 0) == lb::kErr);

  const struct {
    std::uint32_t index;
    std::intptr_t answer;
    std::u16string text;
  } items[] = {{2, 6, u"System"}, {1, 11, u"Application"}, {3, lb::kErr, u""}};
  for (const auto& item : items) {
    std::u16string text = u"stale";
    const auto length = send(extended.get(), lb::kGetTextLen, item.index, 0);
    const auto answer =
        ui.ListBoxText(many, item.index, length < 0 ? 0 : static_cast<std::size_t>(length), text);
    if (!QB_CHECK(answer == item.answer && text == item.text))
      std::printf("  item %u\n", item.index);
  }
  // Without LBS_HASSTRINGS an owner-drawn list box copies its item datum, whatever length is
  // asked for: the buffer holds it.
  Window owned(L"LISTBOX", WS_CHILD | LBS_OWNERDRAWFIXED, parent.get());
  const auto datum = static_cast<LPARAM>(sizeof(void*) == 8 ? 0x0041004200430044 : 0x00430044);
  SendMessageW(owned.get(), LB_ADDSTRING, 0, datum);
  std::u16string text;
  QB_CHECK(ui.ListBoxText(win32::ToHandle(owned.get()), 0, 0, text) ==
           static_cast<std::intptr_t>(sizeof(void*)));
  QB_CHECK(text == (sizeof(void*) == 8 ? u"DCBA" : u"DC"));
}

}  // namespace

void UserInterfaceChecks() {
  win32::Win32UserInterface ui;
  ClipboardRoundTrip(ui);
  CursorShapes(ui);
  ListBoxMessages(ui);
  SaveFileDialog(ui);
}

}  // namespace qb::wine_test
