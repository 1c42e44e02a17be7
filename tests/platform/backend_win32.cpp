// The suites' backend in the Windows test program: the Windows backend against the real API,
// with a scratch folder under TEMP and a scratch key under HKEY_CURRENT_USER per test, and
// windows of the test's own. The user of its dialogs is a second thread (backend_win32.h).
#include <string>
#include <vector>

#include "backend_win32.h"
#include "channel_hooks.h"
#include "iat_patch.h"
#include "platform/sim/services/channel_config.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/windows_api.h"
#include "served_wevtapi.h"
#include "support/channel_fixture.h"
#include "support/win32_folders.h"

namespace qb::suite {
namespace {

using support::RemoveTree;
using win32::FromHandle;
using win32::FromWide;
using win32::Terminated;
using win32::ToHandle;

std::u16string Read(HWND window) {
  return FromWide(host::WindowText(window));
}

DialogUser::Box ReadBox(HWND box) {
  const host::BoxText text = host::ReadBox(box);
  return {FromWide(text.caption), FromWide(text.text)};
}

class Win32Backend final : public Backend {
 public:
  Win32Backend() {
    // Wine's wevtapi functions are empty: the program's lookups of them find functions served
    // over a simulated machine's channels instead (its imports patched once, after the first
    // served object has taken the real loader functions). Windows since Vista has the WINEVT
    // key whatever channels it has.
    channelMachine_.registry().CreateKey(sim::kWinevtChannelsKey);
    served_ = std::make_unique<winetest::ServedWevtapi>(channelMachine_.channels(), true,
                                                        &channelMachine_.system());
    static const bool patched = [] {
      winetest::PatchImports(GetModuleHandleW(nullptr), "kernel32.dll",
                             winetest::ServedWevtapi::LoaderReplacements());
      return true;
    }();
    (void)patched;
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    savedFolder_ = current;
    static int serial = 0;
    const std::wstring unique =
        std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(++serial);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    // The long form: GetTempPathW may give a short one.
    wchar_t longTemp[MAX_PATH] = {};
    GetLongPathNameW(temp, longTemp, MAX_PATH);
    folder_ = std::wstring(longTemp) + L"Quillerbankton Suite " + unique;
    CreateDirectoryW(folder_.c_str(), nullptr);
    key_ = u"Software\\Quillerbankton.Suite." + FromWide(unique);
  }

  ~Win32Backend() override {
    // Children go with their parents.
    for (HWND window : windows_) DestroyWindow(window);
    SetCurrentDirectoryW(savedFolder_.c_str());
    for (const std::wstring& name : variables_) SetEnvironmentVariableW(name.c_str(), nullptr);
    RemoveTree(folder_);
    platform_.Get().registry->DeleteTree(platform::RegRoot::kCurrentUser, key_);
  }

  platform::Platform& Services() override { return platform_.Get(); }
  std::u16string ScratchFolder() override { return FromWide(folder_); }
  std::u16string ScratchKey() override { return key_; }
  void SetReadOnly(std::u16string_view file, bool readOnly) override {
    SetFileAttributesW(Terminated(file).c_str(),
                       readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
  }
  void SetEnvironmentValue(std::u16string_view name, std::u16string_view value) override {
    variables_.push_back(Terminated(name));
    SetEnvironmentVariableW(variables_.back().c_str(), Terminated(value).c_str());
  }
  void SetCurrentFolder(std::u16string_view folder) override {
    SetCurrentDirectoryW(Terminated(folder).c_str());
  }
  unsigned AnsiCodePage() override { return GetACP(); }
  bool WritableLog(std::u16string&, std::u16string&) override { return false; }
  // Channels live on the simulated machine the served functions show.
  bool ChannelWithEvents(std::span<const ChannelEvent> events, std::u16string& channel) override {
    return MakeChannelWithEvents(channelMachine_, events, channel);
  }
  bool ManifestPublisher(const PublisherDesc& desc) override {
    MakeManifestPublisher(channelMachine_, desc);
    return true;
  }
  bool ClassicSource(std::u16string_view log, std::u16string_view source,
                     const std::map<std::uint32_t, std::u16string>& messages) override {
    MakeClassicSource(channelMachine_, log, source, messages);
    return true;
  }
  // The served channel service judges the user by the simulated machine's token.
  bool AsStandardUser() override {
    support::MakeStandardUser(channelMachine_);
    return true;
  }

  platform::Handle Window(platform::Rect place) override {
    return ToHandle(Make(L"STATIC", WS_OVERLAPPEDWINDOW | WS_VISIBLE, place, nullptr));
  }
  platform::Handle ListBox(const std::vector<std::u16string>& items,
                           bool multipleSelection) override {
    HWND parent = Make(L"STATIC", 0, {0, 0, 200, 200}, nullptr);
    HWND list = Make(L"LISTBOX", WS_CHILD | (multipleSelection ? LBS_EXTENDEDSEL : 0),
                     {0, 0, 200, 200}, parent);
    for (const std::u16string& item : items) {
      const std::wstring text = Terminated(item);
      SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    return ToHandle(list);
  }
  std::optional<std::u16string> ClipboardText() override {
    if (!OpenClipboard(nullptr)) return std::nullopt;
    std::optional<std::u16string> text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
        text = FromWide(chars);
        GlobalUnlock(data);
      }
    }
    CloseClipboard();
    return text;
  }
  std::optional<platform::CursorShape> CursorShown() override {
    const HCURSOR shown = GetCursor();
    if (shown == LoadCursorW(nullptr, IDC_ARROW)) return platform::CursorShape::kArrow;
    if (shown == LoadCursorW(nullptr, IDC_WAIT)) return platform::CursorShape::kWait;
    return std::nullopt;
  }
  bool PumpUntil(const std::function<bool()>& done, unsigned milliseconds) override {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (!done()) {
      if (GetTickCount64() >= end) return false;
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      Sleep(1);
    }
    return true;
  }

  std::unique_ptr<UserSession> ActOnDialog(platform::Handle owner,
                                           DialogUser::Script script) override {
    return std::make_unique<UserThread>(
        [owner = FromHandle<HWND>(owner),
         script = std::move(script)](const std::atomic<bool>& returned) -> HWND {
          HWND dialog = DialogUpFor(owner, &returned);
          if (dialog == nullptr) {
            ADD_FAILURE() << "no dialog came over the owner";
            return nullptr;
          }
          Win32DialogUser user(dialog);
          script(user);
          return dialog;
        });
  }
  std::unique_ptr<UserSession> AnswerMessageBox(platform::Handle owner, int button,
                                                DialogUser::Box& seen) override {
    return std::make_unique<UserThread>(
        [owner = FromHandle<HWND>(owner), button, &seen](const std::atomic<bool>& returned) {
          HWND box = DialogUpFor(owner, &returned);
          if (box == nullptr) {
            ADD_FAILURE() << "no message box came over the owner";
            return box;
          }
          seen = ReadBox(box);
          host::PressButton(box, button);
          return box;
        });
  }
  std::unique_ptr<UserSession> AnswerSaveDialog(platform::Handle owner,
                                                std::optional<std::u16string> path,
                                                SaveDialogSeen& seen) override {
    return std::make_unique<UserThread>([owner = FromHandle<HWND>(owner), path = std::move(path),
                                         &seen](const std::atomic<bool>& returned) -> HWND {
      std::optional<std::wstring> typed;
      if (path) typed = Terminated(*path);
      const host::SaveDialogSeen saw = host::FillSaveDialog(owner, typed, &returned);
      if (!saw.came) ADD_FAILURE() << "no save-file dialog came over the owner";
      seen.proposed = FromWide(saw.proposed);
      seen.askedToReplace = saw.replacePrompt.has_value();
      return saw.dialog;
    });
  }

 private:
  HWND Make(const wchar_t* className, DWORD style, platform::Rect place, HWND parent) {
    HWND window = CreateWindowExW(0, className, L"", style, place.left, place.top,
                                  place.right - place.left, place.bottom - place.top, parent,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(window, nullptr) << "CreateWindowExW failed with " << GetLastError();
    if (window != nullptr && parent == nullptr) windows_.push_back(window);
    return window;
  }

  // Before the platform, so that they outlive its channel service.
  sim::Machine channelMachine_;
  std::unique_ptr<winetest::ServedWevtapi> served_;
  win32::Win32Platform platform_;
  std::wstring savedFolder_;
  std::wstring folder_;
  std::u16string key_;
  std::vector<std::wstring> variables_;
  std::vector<HWND> windows_;  // top-level ones
};

}  // namespace

std::unique_ptr<Backend> MakeBackend() {
  return std::make_unique<Win32Backend>();
}

bool RunsOnWine() {
  static const bool wine =
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

// --- the user ---

HWND DialogUpFor(HWND owner, const std::atomic<bool>* callReturned, DWORD milliseconds) {
  HWND dialog = host::WaitForDialog(owner, callReturned, milliseconds);
  // Visible comes before active: keys pressed now would find the focus nowhere yet.
  if (dialog != nullptr) host::WaitForFocusIn(dialog);
  return dialog;
}

void Win32DialogUser::PressKey(std::uint32_t virtualKey) {
  HWND focus = host::FocusOfThread(GetWindowThreadProcessId(dialog_, nullptr));
  host::PressKey(focus != nullptr ? focus : dialog_, virtualKey);
}

void Win32DialogUser::ClickOpening(int id, const Script& script) {
  Click(id);
  HWND second = DialogUpFor(dialog_);
  if (second == nullptr) {
    ADD_FAILURE() << "no dialog came over the dialog";
    return;
  }
  Win32DialogUser user(second);
  script(user);
  if (!host::WaitGone(second)) {
    ADD_FAILURE() << "the dialog is still open after the user's last action";
    PostMessageW(second, WM_CLOSE, 0, 0);
    host::WaitGone(second);
  }
}

DialogUser::Box Win32DialogUser::ClickAnswering(int id, int button) {
  Click(id);
  HWND box = DialogUpFor(dialog_);
  if (box == nullptr) {
    ADD_FAILURE() << "no message box came over the dialog";
    return {};
  }
  const Box seen = ReadBox(box);
  host::PressButton(box, button);
  EXPECT_TRUE(host::WaitGone(box)) << "the message box is still open";
  return seen;
}

std::u16string Win32DialogUser::Caption() {
  return Read(dialog_);
}

std::u16string Win32DialogUser::Text(int id) {
  return Read(host::ControlOf(dialog_, id));
}

UserThread::UserThread(Act act)
    : runner_(GetCurrentThreadId()), thread_([this, act = std::move(act)] {
        HWND window = act(returned_);
        if (window == nullptr || host::WaitFor([&] { return returned_.load(); })) return;
        ADD_FAILURE() << "the window is still open after the user's last action";
        PostMessageW(window, WM_CLOSE, 0, 0);
        if (host::WaitFor([&] { return returned_.load(); })) return;
        quitPosted_ = true;
        PostThreadMessageW(runner_, WM_QUIT, 0, 0);
      }) {}

UserThread::~UserThread() {
  returned_ = true;
  thread_.join();
  // The quit message was for the call's loop only.
  MSG msg;
  if (quitPosted_) PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

}  // namespace qb::suite
