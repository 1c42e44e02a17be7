// IUserInterface besides dialogs and message windows: message boxes and the save-file dialog
// answered by a user, window geometry, the plugin's icons, the clipboard, the cursor and the
// host's list box reached through its messages.
#include <thread>

#include "backend.h"

namespace qb::suite {
namespace {

using platform::Handle;
namespace lb = platform::lb;
namespace mb = platform::mb;

class UiSuite : public PlatformTest {
 protected:
  const Handle owner_ = backend().Window({50, 60, 550, 460});
};

TEST_F(UiSuite, MessageBoxesReturnTheButtonChosen) {
  const struct {
    std::uint32_t flags;
    int button;
  } cases[] = {
      {mb::kOk | mb::kIconInformation, mb::kIdOk},
      {mb::kYesNo | mb::kIconQuestion, mb::kIdNo},
      {mb::kYesNo | mb::kIconWarning | mb::kTaskModal, mb::kIdYes},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    DialogUser::Box seen;
    int answer = 0;
    {
      const auto user = backend().AnswerMessageBox(owner_, c.button, seen);
      answer = ui().MessageBox(owner_, u"Записей: 12\nReplace?", u"Quillerbankton", c.flags);
    }
    EXPECT_EQ(answer, c.button);
    EXPECT_EQ(U8(seen.caption), "Quillerbankton");
    EXPECT_EQ(U8(seen.text), U8(u"Записей: 12\nReplace?"));
  }
}

TEST_F(UiSuite, SaveFileDialogGivesThePathChosen) {
  const std::u16string folder = backend().ScratchFolder();
  const std::u16string chosen = folder + u"\\Application.evtx";
  const struct {
    std::optional<std::u16string> typed;  // nullopt: Cancel
  } cases[] = {{chosen}, {std::nullopt}};
  backend().SetCurrentFolder(folder);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed ? U8(*c.typed) : "Cancel");
    Backend::SaveDialogSeen seen;
    std::optional<std::u16string> answer;
    {
      const auto user = backend().AnswerSaveDialog(owner_, c.typed, seen);
      answer = ui().GetSaveFileName({owner_, u"proposed.evtx", u"Event files", u"*.evtx"});
    }
    EXPECT_EQ(U8(seen.proposed), "proposed.evtx");
    ASSERT_EQ(answer.has_value(), c.typed.has_value());
    if (answer) {
      EXPECT_EQ(U8(*answer), U8(*c.typed));
    }
    // The folder of the process stays where it was.
    EXPECT_EQ(U8(system().FullPathName(u"x")), U8(folder + u"\\x"));
  }
}

TEST_F(UiSuite, WindowsAndTheScreen) {
  platform::Rect rect;
  ASSERT_TRUE(ui().GetWindowRect(owner_, rect));
  EXPECT_EQ(rect, (platform::Rect{50, 60, 550, 460}));
  EXPECT_FALSE(ui().GetWindowRect(0, rect));
  // The primary monitor's origin lies in the virtual screen.
  const auto screen = ui().GetVirtualScreen();
  EXPECT_GT(screen.cx, 0);
  EXPECT_GT(screen.cy, 0);
  EXPECT_LE(screen.x, 0);
  EXPECT_LE(screen.y, 0);
  EXPECT_GT(screen.x + screen.cx, 0);
  EXPECT_GT(screen.y + screen.cy, 0);
  // A thread that made no window has no focus.
  Handle focus = 1;
  std::thread([&] { focus = ui().GetFocusWindow(); }).join();
  EXPECT_EQ(focus, 0u);
}

TEST_F(UiSuite, OwnIconsAreSharedAndFoundByName) {
  const Handle information = ui().LoadOwnIcon(u"INFORMATION");
  const Handle error = ui().LoadOwnIcon(u"ERROR");
  EXPECT_NE(information, 0u);
  EXPECT_NE(error, 0u);
  EXPECT_NE(information, error);
  const struct {
    const char16_t* name;
    Handle icon;
  } cases[] = {
      {u"INFORMATION", information},  // the same shared icon every time
      {u"information", information},  // resource names have no case
      {u"ArrowUp", ui().LoadOwnIcon(u"ARROWUP")},
      {u"NOSUCHICON", 0},
      {u"", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ui().LoadOwnIcon(c.name), c.icon) << U8(c.name);
  EXPECT_NE(ui().LoadOwnIcon(u"ARROWUP"), 0u);
}

TEST_F(UiSuite, TheClipboardHoldsTheTextLastSet) {
  for (const char16_t* text : {u"Event 4624\r\nЗапись", u"", u"second"}) {
    EXPECT_EQ(ui().SetClipboardText(owner_, text), platform::err::kSuccess);
    const auto held = backend().ClipboardText();
    ASSERT_TRUE(held.has_value());
    EXPECT_EQ(U8(*held), U8(text));
  }
}

TEST_F(UiSuite, TheHourglassGoesBackToWhatWasShown) {
  ui().SetCursor(platform::CursorShape::kArrow);
  EXPECT_EQ(backend().CursorShown(), platform::CursorShape::kArrow);
  const Handle previous = ui().SetCursor(platform::CursorShape::kWait);
  EXPECT_EQ(backend().CursorShown(), platform::CursorShape::kWait);
  // The hourglass again: what it replaces is itself.
  const Handle wait = ui().SetCursor(platform::CursorShape::kWait);
  EXPECT_NE(wait, previous);
  ui().RestoreCursor(previous);
  EXPECT_EQ(backend().CursorShown(), platform::CursorShape::kArrow);
  ui().RestoreCursor(wait);
  EXPECT_EQ(backend().CursorShown(), platform::CursorShape::kWait);
}

TEST_F(UiSuite, ListBoxesAnswerTheirMessages) {
  const Handle many = backend().ListBox({u"..", u"Application", u"System"}, true);
  // In order: each step leaves the state the next one starts from.
  const struct {
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    std::intptr_t answer;
  } steps[] = {
      {lb::kGetCount, 0, 0, 3},
      {lb::kGetSelCount, 0, 0, 0},
      {lb::kSetSel, 1, 2, 0},
      {lb::kGetSelCount, 0, 0, 1},
      {lb::kSetSel, 1, -1, 0},  // every item
      {lb::kGetSelCount, 0, 0, 3},
      {lb::kSetSel, 0, -1, 0},
      {lb::kGetSelCount, 0, 0, 0},
      {lb::kSetSel, 1, 3, lb::kErr},  // no such item
      {lb::kSetCaretIndex, 1, 0, 0},
      {lb::kGetCaretIndex, 0, 0, 1},
      {lb::kSetCaretIndex, 3, 0, lb::kErr},
      {lb::kGetCaretIndex, 0, 0, 1},
      {lb::kGetTextLen, 1, 0, 11},
      {lb::kGetTextLen, 3, 0, lb::kErr},
      {platform::kWmUser + 0x300, 0, 0, 0},  // a message list boxes do not have
  };
  int step = 0;
  for (const auto& s : steps) {
    EXPECT_EQ(ui().SendMessage(many, s.message, s.wParam, s.lParam), s.answer)
        << "step " << step << ": message 0x" << std::hex << s.message;
    ++step;
  }
  // A list box of single selection has no selection count.
  const Handle single = backend().ListBox({u"..", u"System"}, false);
  EXPECT_EQ(ui().SendMessage(single, lb::kGetCount, 0, 0), 2);
  EXPECT_EQ(ui().SendMessage(single, lb::kGetSelCount, 0, 0), lb::kErr);
  // No window answers nothing.
  EXPECT_EQ(ui().SendMessage(0, lb::kGetCount, 0, 0), 0);

  const struct {
    std::uint32_t index;
    std::intptr_t answer;
    std::u16string text;
  } items[] = {{2, 6, u"System"}, {1, 11, u"Application"}, {0, 2, u".."}, {3, lb::kErr, u""}};
  for (const auto& item : items) {
    std::u16string text = u"stale";
    const auto length = ui().SendMessage(many, lb::kGetTextLen, item.index, 0);
    EXPECT_EQ(
        ui().ListBoxText(many, item.index, length < 0 ? 0 : static_cast<std::size_t>(length), text),
        item.answer)
        << "item " << item.index;
    EXPECT_EQ(U8(text), U8(item.text)) << "item " << item.index;
  }
}

}  // namespace
}  // namespace qb::suite
