// What the Windows backend's user interface does beyond the interface's promises: it waits a
// moment for a clipboard another thread holds, shows the arrow when there was no cursor,
// copes with owner-drawn list boxes, and lets the system's save dialog add the extension and
// ask before replacing a file.
#include <atomic>
#include <thread>

#include "backend.h"
#include "backend_win32.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"
#include "platform/win32/windows_api.h"

namespace qb::suite {
namespace {

using platform::Handle;
using win32::FromHandle;
using win32::ToHandle;

using Win32Ui = PlatformTest;

TEST_F(Win32Ui, AClipboardHeldForAMomentIsWaitedFor) {
  const Handle owner = backend().Window({0, 0, 100, 100});
  const struct {
    DWORD holdMs;
    bool succeeds;
  } cases[] = {{40, true}, {2000, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.holdMs);
    std::atomic<bool> held{false}, release{false};
    std::thread holder([&] {
      HWND other = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
      held = OpenClipboard(other) != FALSE;
      const ULONGLONG end = GetTickCount64() + c.holdMs;
      while (GetTickCount64() < end) Sleep(5);
      CloseClipboard();
      DestroyWindow(other);
      release = true;
    });
    // Messages are pumped while waiting: Wine's clipboard may ask this thread's windows first.
    // The holder is joined whatever happens: a test that returns past it ends the program.
    const bool started = backend().PumpUntil([&] { return held.load() || release.load(); });
    const platform::ErrorCode error = started ? ui().SetClipboardText(owner, u"busy") : 0;
    holder.join();
    ASSERT_TRUE(started) << "the other window neither took the clipboard nor gave up";
    EXPECT_TRUE(held);
    EXPECT_EQ(error == 0, c.succeeds) << "error " << error;
  }
}

TEST_F(Win32Ui, NoCursorBeforeMeansTheArrowAfter) {
  ui().SetCursor(platform::CursorShape::kWait);
  ui().RestoreCursor(0);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
}

// Without LBS_HASSTRINGS an owner-drawn list box copies its item datum, whatever length is
// asked for: the buffer holds it.
TEST_F(Win32Ui, AnOwnerDrawnListBoxCopiesItsDatum) {
  HWND parent = FromHandle<HWND>(backend().Window({0, 0, 100, 100}));
  HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | LBS_OWNERDRAWFIXED, 0, 0, 100, 100,
                              parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(list, nullptr);
  const auto datum = static_cast<LPARAM>(sizeof(void*) == 8 ? 0x0041004200430044 : 0x00430044);
  SendMessageW(list, LB_ADDSTRING, 0, datum);
  std::u16string text;
  EXPECT_EQ(ui().ListBoxText(ToHandle(list), 0, 0, text),
            static_cast<std::intptr_t>(sizeof(void*)));
  EXPECT_EQ(text, sizeof(void*) == 8 ? u"DCBA" : u"DC");
}

TEST_F(Win32Ui, TheSaveDialogAddsTheExtensionAndAsksBeforeReplacing) {
  const Handle owner = backend().Window({50, 50, 550, 450});
  const std::u16string folder = backend().ScratchFolder();
  const std::u16string existing = folder + u"\\existing.evtx";
  ASSERT_EQ(system().WriteFile(existing, {}), platform::err::kSuccess);
  const struct {
    std::u16string typed;
    bool asks;
    std::u16string chosen;
  } cases[] = {
      {folder + u"\\plain", false, folder + u"\\plain.evtx"},  // the filter's extension
      {existing, true, existing},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.typed));
    Backend::SaveDialogSeen seen;
    std::optional<std::u16string> answer;
    {
      const auto user = backend().AnswerSaveDialog(owner, c.typed, seen);
      answer = ui().GetSaveFileName({owner, u"proposed.evtx", u"Event files", u"*.evtx"});
    }
    EXPECT_EQ(seen.askedToReplace, c.asks);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(_wcsicmp(win32::Terminated(*answer).c_str(), win32::Terminated(c.chosen).c_str()), 0)
        << U8(*answer);
  }
}

}  // namespace
}  // namespace qb::suite
