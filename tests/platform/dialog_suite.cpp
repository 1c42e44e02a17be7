// IUserInterface::RunModalDialog: a dialog made from its description, run while a user acts
// on it: what the logic sets is what the user sees, the keys and buttons that end it, key
// preview, radio groups, nested dialogs and message boxes, and handlers that throw.
#include <stdexcept>

#include "backend.h"
#include "test_dialog.h"

namespace qb::suite {
namespace {

using platform::LayoutRect;
namespace dlgresult = platform::dlgresult;
namespace mb = platform::mb;
namespace vk = platform::vk;

class DialogSuite : public PlatformTest {
 protected:
  // Runs `layout` over the test's window while `script` acts as the user.
  int Run(const platform::DialogLayout& layout, Recorder& recorder, DialogUser::Script script) {
    const auto user = backend().ActOnDialog(owner_, std::move(script));
    return ui().RunModalDialog(layout, &TestTexts, owner_, recorder);
  }

  const platform::Handle owner_ = backend().Window({40, 40, 560, 480});
};

TEST_F(DialogSuite, TheUserSeesWhatTheLogicSets) {
  Recorder recorder;
  LayoutRect before, after, ok, moved;
  recorder.create = [&](platform::IDialogView& view) {
    EXPECT_NE(view.Window(), 0u);
    EXPECT_EQ(U8(view.Caption()), "Test dialog");
    EXPECT_EQ(U8(view.Text(kNameLabel)), "&Name:");
    view.SetText(kValue, u"value & more");
    EXPECT_EQ(U8(view.Text(kValue)), "value & more");
    view.AddItem(kCombo, u"first");
    view.AddItem(kCombo, u"second");
    view.SetSelection(kCombo, 1);
    EXPECT_EQ(view.Selection(kCombo), 1);
    EXPECT_EQ(view.ItemCount(kCombo), 2u);
    view.SetImage(kStatus, 1);
    EXPECT_EQ(view.Image(kStatus), 1);
    // Checking a radio button unchecks the rest of its group and clicks nothing.
    view.SetChecked(kTwo, true);
    EXPECT_TRUE(view.IsChecked(kTwo));
    EXPECT_FALSE(view.IsChecked(kOne));
    EXPECT_FALSE(view.IsEnabled(kSpare));
    EXPECT_FALSE(view.IsVisible(kHidden));
    view.SetEnabled(kSpare, true);
    view.SetVisible(kHidden, true);
    // A label sized to its text follows a new text; places come back as laid out or set.
    before = view.Bounds(kInside);
    view.SetText(kInside, u"Inside the group box");
    after = view.Bounds(kInside);
    ok = view.Bounds(kOk);
    view.SetBounds(kNested, {8, 205, 70, 25});
    moved = view.Bounds(kNested);
    // An id the dialog does not have is ignored.
    view.SetText(999, u"x");
    EXPECT_EQ(view.Text(999), u"");
    EXPECT_FALSE(view.IsEnabled(999));
    EXPECT_EQ(view.Selection(999), -1);
    EXPECT_EQ(view.Image(999), -1);
    EXPECT_EQ(view.ItemCount(999), 0u);
    EXPECT_EQ(view.Bounds(999), LayoutRect{});
  };
  const int result = Run(TestDialog(), recorder, [](DialogUser& user) {
    EXPECT_EQ(U8(user.Caption()), "Test dialog");
    const struct {
      int id;
      const char16_t* text;
    } texts[] = {
        {kNameLabel, u"&Name:"},
        {kValue, u"value & more"},
        {kInside, u"Inside the group box"},
        {kMemo, u"Line 1\r\nLine 2"},
        {kPrevious, u"Previous record"},  // the accessible name of a picture button
        {kOk, u"OK"},
    };
    for (const auto& t : texts) EXPECT_EQ(U8(user.Text(t.id)), U8(t.text)) << t.id;
    EXPECT_TRUE(user.IsChecked(kTwo));
    EXPECT_FALSE(user.IsChecked(kOne));
    EXPECT_TRUE(user.IsEnabled(kSpare));
    EXPECT_TRUE(user.IsVisible(kHidden));
    EXPECT_EQ(user.Focused(), kCombo);
    user.PressKey(vk::kReturn);
  });
  EXPECT_EQ(result, dlgresult::kOk);
  EXPECT_EQ(recorder.clicks, std::vector<int>{kOk});
  ASSERT_GE(recorder.events.size(), 2u);
  EXPECT_EQ(recorder.events[0], "create");
  EXPECT_EQ(recorder.events[1], "activate");
  EXPECT_EQ(after.x, before.x);
  EXPECT_EQ(after.y, before.y);
  EXPECT_EQ(after.height, before.height);
  EXPECT_GT(after.width, before.width);
  // Inside a group box from its corner.
  EXPECT_EQ(before.x, 180);
  EXPECT_EQ(before.y, 120);
  EXPECT_EQ(ok, (LayoutRect{150, 205, 75, 25}));
  EXPECT_EQ(moved, (LayoutRect{8, 205, 70, 25}));
}

TEST_F(DialogSuite, KeysAndButtonsEndTheDialog) {
  const struct {
    const char* what;
    bool keyPreview;
    std::function<void(DialogUser&, Recorder&)> act;
    int result;
    std::vector<int> clicks;
    std::vector<std::uint32_t> keys;
    int focus = 0;  // set by OnCreate, before the dialog is shown
  } endings[] = {
      {"Enter clicks the default button, whichever control has the focus",
       false,
       [](DialogUser& u, Recorder&) { u.PressKey(vk::kReturn); },
       dlgresult::kOk,
       {kOk},
       {}},
      {"Esc clicks the cancel button",
       false,
       [](DialogUser& u, Recorder&) { u.PressKey(vk::kEscape); },
       dlgresult::kCancel,
       {kCancel},
       {}},
      {"the close box clicks nothing",
       false,
       [](DialogUser& u, Recorder&) { u.CloseBox(); },
       dlgresult::kCancel,
       {},
       {}},
      {"a button without a result leaves the dialog open",
       false,
       [](DialogUser& u, Recorder& r) {
         u.Click(kNested);
         EXPECT_TRUE(u.Until([&] { return r.clickCount == 1; }));
         u.Click(kOk);
       },
       dlgresult::kOk,
       {kNested, kOk},
       {}},
      {"a radio button clicked is checked alone in its group",
       false,
       [](DialogUser& u, Recorder& r) {
         u.Click(kTwo);
         EXPECT_TRUE(u.Until([&] { return r.clickCount == 1; }));
         EXPECT_TRUE(u.IsChecked(kTwo));
         EXPECT_FALSE(u.IsChecked(kOne));
         u.PressKey(vk::kReturn);
       },
       dlgresult::kOk,
       {kTwo, kOk},
       {}},
      {"a key the preview handles goes no further",
       true,
       [](DialogUser& u, Recorder& r) {
         u.PressKey(vk::kNext);
         EXPECT_TRUE(u.Until([&] { return r.keyCount == 1; }));
         u.PressKey(vk::kReturn);
       },
       dlgresult::kOk,
       {kOk},
       {vk::kNext, vk::kReturn}},
      // Keys are handled in order: had Enter closed the dialog, Esc would find none.
      {"Enter stays in a memo, Esc there cancels",
       false,
       [](DialogUser& u, Recorder&) {
         EXPECT_EQ(u.Focused(), kMemo);
         u.PressKey(vk::kReturn);
         u.PressKey(vk::kEscape);
       },
       dlgresult::kCancel,
       {kCancel},
       {},
       kMemo},
  };
  for (const auto& ending : endings) {
    SCOPED_TRACE(ending.what);
    Recorder recorder;
    recorder.key = [](platform::IDialogView&, std::uint32_t key) { return key == vk::kNext; };
    recorder.create = [&](platform::IDialogView& view) {
      if (ending.focus != 0) view.SetFocus(ending.focus);
    };
    const int result = Run(TestDialog(ending.keyPreview), recorder,
                           [&](DialogUser& user) { ending.act(user, recorder); });
    EXPECT_EQ(result, ending.result);
    EXPECT_EQ(recorder.clicks, ending.clicks);
    EXPECT_EQ(recorder.keys, ending.keys);
  }
}

TEST_F(DialogSuite, WindowsOpenedOverADialogActivateItAgain) {
  Recorder outer, inner;
  int nestedResult = -1, answer = -1;
  outer.click = [&](platform::IDialogView& view, int id) {
    if (id == kNested)
      nestedResult = ui().RunModalDialog(NestedDialog(), &TestTexts, view.Window(), inner);
    if (id == kSpare) {
      answer = ui().MessageBox(view.Window(), u"Clear the log?", u"Confirm", mb::kYesNo);
    }
  };
  outer.create = [](platform::IDialogView& view) { view.SetEnabled(kSpare, true); };
  const int result = Run(TestDialog(), outer, [&](DialogUser& user) {
    const int activations = outer.activations;
    // No cancel button and no control to focus: Esc closes with kCancel.
    user.ClickOpening(kNested, [](DialogUser& nested) { nested.PressKey(vk::kEscape); });
    EXPECT_TRUE(user.Until([&] { return outer.activations > activations; }));
    const int again = outer.activations;
    const DialogUser::Box box = user.ClickAnswering(kSpare, mb::kIdNo);
    EXPECT_EQ(U8(box.caption), "Confirm");
    EXPECT_EQ(U8(box.text), "Clear the log?");
    EXPECT_TRUE(user.Until([&] { return outer.activations > again; }));
    user.CloseBox();
  });
  EXPECT_EQ(nestedResult, dlgresult::kCancel);
  EXPECT_EQ(answer, mb::kIdNo);
  EXPECT_EQ(result, dlgresult::kCancel);
  EXPECT_EQ(outer.clicks, (std::vector<int>{kNested, kSpare}));
  ASSERT_GE(inner.events.size(), 2u);
  EXPECT_EQ(inner.events[0], "create");
  EXPECT_EQ(inner.events[1], "activate");
}

TEST_F(DialogSuite, AHandlerThatThrowsEndsTheDialogWithCancel) {
  {
    Recorder recorder;
    recorder.create = [](platform::IDialogView&) { throw std::runtime_error("create"); };
    // Never shown: no user needed.
    EXPECT_EQ(ui().RunModalDialog(TestDialog(), &TestTexts, owner_, recorder), dlgresult::kCancel);
    EXPECT_EQ(recorder.events, std::vector<std::string>{"create"});
  }
  Recorder recorder;
  recorder.click = [](platform::IDialogView&, int) { throw std::runtime_error("click"); };
  // The OK button's own result is not taken.
  const int result = Run(TestDialog(), recorder, [](DialogUser& user) { user.Click(kOk); });
  EXPECT_EQ(result, dlgresult::kCancel);
  EXPECT_EQ(recorder.clicks, std::vector<int>{kOk});
}

}  // namespace
}  // namespace qb::suite
