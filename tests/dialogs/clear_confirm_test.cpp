#include "dialogs/clear_confirm.h"
#include "support/dialog_fixture.h"

namespace qb {
namespace {

using support::DialogTest;

class ClearConfirmTest : public DialogTest {};

TEST_F(ClearConfirmTest, AnswersByTheWayItIsClosed) {
  struct Case {
    const char* what;
    void (*act)(sim::SimDialog&);
    TClearAction answer;
  };
  const Case cases[] = {
      {"Enter", [](sim::SimDialog& d) { d.PressKey(platform::vk::kReturn); },
       TClearAction::caSaveClear},
      {"Save and Clear", [](sim::SimDialog& d) { d.Click(confirm::Button1); },
       TClearAction::caSaveClear},
      {"Clear", [](sim::SimDialog& d) { d.Click(confirm::Button2); }, TClearAction::caClear},
      {"Cancel", [](sim::SimDialog& d) { d.Click(confirm::Button3); }, TClearAction::caCancel},
      {"Esc", [](sim::SimDialog& d) { d.PressKey(platform::vk::kEscape); }, TClearAction::caCancel},
      {"close box", [](sim::SimDialog& d) { d.CloseBox(); }, TClearAction::caCancel},
  };
  std::recursive_mutex lock;
  const DialogContext context{log(), language(), lock};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Then([&](sim::SimDialog& d) {
      EXPECT_EQ(d.Focused(), confirm::Button1);
      c.act(d);
      EXPECT_TRUE(d.closed());
    });
    EXPECT_EQ(ShowClearConfirm(context, kHostWindow, u"System log properties"), c.answer);
    const auto d = LastDialog();
    EXPECT_EQ(d.caption, u"System log properties");
    EXPECT_EQ(d.owner, kHostWindow);
    EXPECT_EQ(TextOf(d, confirm::Label1),
              u"You can save the contents of this event log before cleaning it.");
  }
}

}  // namespace
}  // namespace qb
