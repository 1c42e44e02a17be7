// The simulated list box, dialogs and file services follow the documented Win32 behaviour.
#include "platform/sim/machine.h"
#include "support/sim_fixture.h"

namespace qb {
namespace {

using support::SimTest;
namespace lb = platform::lb;
namespace err = platform::err;
using K = platform::ControlKind;

class SimUiServicesTest : public SimTest {};

TEST_F(SimUiServicesTest, ListBoxMessages) {
  struct Case {
    bool multiple;
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    std::intptr_t answer;
  };
  const Case cases[] = {
      {true, lb::kGetCount, 0, 0, 3},
      {true, lb::kGetSelCount, 0, 0, 1},
      {false, lb::kGetSelCount, 0, 0, lb::kErr},
      {true, lb::kGetCaretIndex, 0, 0, 2},
      {false, lb::kGetCaretIndex, 0, 0, 1},
      {true, lb::kSetCaretIndex, 3, 0, lb::kErr},
      {true, lb::kSetCaretIndex, 0, 0, 0},
      {true, lb::kSetSel, 1, 3, lb::kErr},
      {false, lb::kSetSel, 1, 0, lb::kErr},
      {true, lb::kSetSel, 1, -1, 0},
      {true, lb::kGetTextLen, 1, 0, 5},
      {true, lb::kGetTextLen, 7, 0, lb::kErr},
      {true, 0x1234, 0, 0, 0},
  };
  for (const auto& c : cases) {
    auto& list = machine().ui().AddListBox({u"..", u"[2] a", u"[1] bb"}, c.multiple);
    list.caret = 2;
    list.selected[1] = true;
    EXPECT_EQ(machine().ui().SendMessage(list.handle(), c.message, c.wParam, c.lParam), c.answer)
        << std::hex << c.message << " " << c.multiple;
  }
  EXPECT_EQ(machine().ui().SendMessage(0x999, lb::kGetCount, 0, 0), 0);
  auto& list = machine().ui().AddListBox({u"..", u"[2] a"}, true);
  std::u16string text;
  EXPECT_EQ(machine().ui().ListBoxText(list.handle(), 1, 5, text), 5);
  EXPECT_EQ(text, u"[2] a");
  EXPECT_EQ(machine().ui().ListBoxText(list.handle(), 2, 5, text), lb::kErr);
  EXPECT_DEATH(machine().ui().ListBoxText(list.handle(), 1, 4, text), "too small");
}

// Replacing, deleting and full paths are suite cases (tests/platform/system_suite.cpp); a
// folder nothing may be written in is the sim's own set-up.
TEST_F(SimUiServicesTest, ReadOnlyFoldersKeepTheirFiles) {
  auto& files = machine().system();
  files.AddFile(u"C:\\r\\x", std::string_view("x"));
  files.AddFile(u"C:\\d\\new.tmp", std::string_view("new"));
  files.SetReadOnlyFolder(u"C:\\r");
  EXPECT_EQ(files.DeleteFile(u"C:\\r\\x"), err::kAccessDenied);
  EXPECT_EQ(files.ReplaceFile(u"C:\\d\\new.tmp", u"C:\\r\\x"), err::kAccessDenied);
  EXPECT_EQ(files.WriteFile(u"C:\\r\\y", {}), err::kAccessDenied);
  EXPECT_EQ(files.CreateDirectory(u"C:\\r\\sub"), err::kAccessDenied);
  EXPECT_EQ(FileText(u"C:\\r\\x"), u"x");
}

// A controller that writes down what happened.
struct Recorder final : platform::IDialogController {
  std::vector<std::string> events;
  bool handleKeys = false;
  void OnCreate(platform::IDialogView&) override { events.push_back("create"); }
  void OnActivate(platform::IDialogView&) override { events.push_back("activate"); }
  void OnClick(platform::IDialogView&, int id) override {
    events.push_back("click " + std::to_string(id));
    if (id == 106) throw std::runtime_error("handler failed");
  }
  bool OnKeyDown(platform::IDialogView&, std::uint32_t key) override {
    events.push_back("key " + std::to_string(key));
    return handleKeys;
  }
};

// clang-format off
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
constexpr platform::ControlLayout kControls[] = {
    {.id = 100, .kind = K::kLabel, .x = 5, .y = 5, .textId = 1},
    {.id = 101, .kind = K::kMemo, .x = 5, .y = 20, .width = 100, .height = 40},
    {.id = 102, .kind = K::kRadio, .x = 5, .y = 70, .style = platform::cs::kGroupStart | platform::cs::kChecked},
    {.id = 103, .kind = K::kRadio, .x = 5, .y = 90},
    {.id = 104, .kind = K::kRadio, .x = 5, .y = 110, .style = platform::cs::kGroupStart},
    {.id = 105, .kind = K::kButton, .x = 5, .y = 130, .style = platform::cs::kDefault, .modalResult = 1},
    {.id = 106, .kind = K::kButton, .x = 60, .y = 130, .style = platform::cs::kCancel, .modalResult = 2},
    {.id = 107, .kind = K::kButton, .x = 120, .y = 130, .style = platform::cs::kDisabled, .modalResult = 1},
};
// clang-format on
const platform::DialogLayout kLayout{.name = u"Test",
                                     .clientWidth = 200,
                                     .clientHeight = 160,
                                     .captionId = 2,
                                     .keyPreview = true,
                                     .controls = kControls};

TEST_F(SimUiServicesTest, DialogsAsTheUserActs) {
  struct Case {
    const char* what;
    std::function<void(sim::SimDialog&)> act;
    int result;
    std::vector<std::string> events;  // after create and activate
  };
  const Case cases[] = {
      {"Enter: the default button",
       [](sim::SimDialog& d) {
         d.Focus(102);
         d.PressKey(platform::vk::kReturn);
       },
       1,
       {"key 13", "click 105"}},
      {"Enter in the memo, which has the focus first, stays there",
       [](sim::SimDialog& d) {
         EXPECT_EQ(d.Focused(), 101);
         d.PressKey(platform::vk::kReturn);
       },
       2,
       {"key 13"}},
      {"Esc: the cancel button, whose handler fails",
       [](sim::SimDialog& d) { d.PressKey(platform::vk::kEscape); },
       2,
       {"key 27", "click 106"}},
      {"a disabled button", [](sim::SimDialog& d) { d.Click(107); }, 2, {}},
      {"radio groups",
       [](sim::SimDialog& d) {
         d.Click(103);
         EXPECT_FALSE(d.IsChecked(102));
         d.Click(104);
         EXPECT_TRUE(d.IsChecked(103));
       },
       2,
       {"click 103", "click 104"}},
      {"a nested message box activates the dialog again",
       [this](sim::SimDialog& d) {
         machine().ui().MessageBox(d.Window(), u"?", u"", 0);
         d.CloseBox();
       },
       2,
       {"activate"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder recorder;
    machine().ui().QueueDialogScript(c.act);
    const int result = machine().ui().RunModalDialog(
        kLayout, [](std::uint16_t id) { return u"text " + std::u16string(1, char16_t(u'0' + id)); },
        0x77, recorder);
    EXPECT_EQ(result, c.result);
    std::vector<std::string> expected{"create", "activate"};
    expected.insert(expected.end(), c.events.begin(), c.events.end());
    EXPECT_EQ(recorder.events, expected);
    const auto record = machine().ui().Dialogs().back();
    EXPECT_EQ(record.caption, u"text 2");
    EXPECT_EQ(record.controls[0].text, u"text 1");
    EXPECT_EQ(record.controls[0].bounds, (platform::LayoutRect{5, 5, 36, 13}));
  }
  // Without a script a dialog closes with its close box at once.
  Recorder quiet;
  EXPECT_EQ(machine().ui().RunModalDialog(
                kLayout, [](std::uint16_t) { return u""; }, 0, quiet),
            platform::dlgresult::kCancel);
}

}  // namespace
}  // namespace qb
