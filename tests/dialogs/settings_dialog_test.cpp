#include "dialogs/settings_dialog.h"
#include "support/dialog_fixture.h"
#include "util/paths.h"
#include "util/text.h"

namespace qb {
namespace {

using namespace settings;
using support::DialogTest;

class SettingsDialogTest : public DialogTest {
 protected:
  SettingsDialogTest() {
    const std::u16string plugin = files().ModuleFileName();
    folder_ = util::ExtractFilePath(plugin) + u"Language\\";
    settingsFile_ = util::ChangeFileExt(plugin, u".ini");
    files().AddFile(folder_ + u"Deu.lng",
                    util::Utf16LeBytes(u"[Locale Language]\r\nLocaleID=1031\r\n"
                                       u"[String Resources]\r\n100=Information (de)\r\n",
                                       true));
    AddLog(u"Application").Append(Record(u"Disk", 11, 4));
    Init();  // writes Eng.lng, after Deu.lng
  }

  sim::SimUi::DialogRecord Show(void (*act)(sim::SimDialog&)) {
    Then([act](sim::SimDialog& d) { act(d); });
    EXPECT_EQ(Execute(u"\\", u"properties"), fs::FS_EXEC_OK);
    return LastDialog();
  }

  std::u16string folder_, settingsFile_;
};

TEST_F(SettingsDialogTest, OffersTheLanguagesAndMakesTheChosenOneCurrent) {
  ASSERT_TRUE(List(u"\\Application").ok);  // also with a log open
  const auto d = Show([](sim::SimDialog& dialog) {
    dialog.Choose(ComboBox1, 0);
    dialog.Click(Button1);
  });
  EXPECT_EQ(d.name, u"Settings");
  EXPECT_EQ(d.caption, u"Settings");
  const auto& combo = ControlOf(d, ComboBox1);
  EXPECT_EQ(combo.items,
            (std::vector<std::u16string>{u"German (Germany)", u"English (United States)"}));
  EXPECT_EQ(TextOf(d, Label1), u"Interface language:");
  EXPECT_EQ(TextOf(d, Label2), u"Quillerbankton 1.0.0");
  EXPECT_EQ(TextOf(d, Button1), u"OK");
  EXPECT_NE(FileText(settingsFile_).find(u"Language=Deu.lng"), std::u16string::npos);
  EXPECT_EQ(List(u"\\Application").names,
            std::vector<std::u16string>{u"[1] Disk.information (de)"});
}

TEST_F(SettingsDialogTest, PreselectsTheCurrentLanguageAndCancelKeepsIt) {
  struct Case {
    const char* what;
    void (*act)(sim::SimDialog&);
    bool ok;
  };
  const Case cases[] = {
      {"Cancel",
       [](sim::SimDialog& d) {
         d.Choose(ComboBox1, 0);
         d.Click(Button2);
       },
       false},
      {"Esc",
       [](sim::SimDialog& d) {
         d.Choose(ComboBox1, 0);
         d.PressKey(platform::vk::kEscape);
       },
       false},
      {"OK unchanged", [](sim::SimDialog& d) { d.PressKey(platform::vk::kReturn); }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto d = Show(c.act);
    EXPECT_EQ(d.result, c.ok ? platform::dlgresult::kOk : platform::dlgresult::kCancel);
    EXPECT_EQ(language().GetCurrentLocaleFile(), folder_ + u"Eng.lng");
    EXPECT_EQ(List(u"\\Application").names, std::vector<std::u16string>{u"[1] Disk.information"});
  }
  // OK without a change names the same file again.
  EXPECT_NE(FileText(settingsFile_).find(u"Language=Eng.lng"), std::u16string::npos);
  EXPECT_EQ(ControlOf(LastDialog(), ComboBox1).selection, 1);
}

// A choice that cannot be remembered is told, with the system's reason; the settings file's
// other keys stay.
TEST_F(SettingsDialogTest, AChoiceThatCannotBeSavedIsTold) {
  files().AddFile(settingsFile_, "[General]\r\nLanguage=Eng.lng\r\nOther=kept\r\n");
  files().SetReadOnlyFolder(settingsFile_);
  machine().ui().ClearMessageBoxes();
  Show([](sim::SimDialog& dialog) {
    dialog.Choose(ComboBox1, 0);
    dialog.Click(Button1);
  });
  const auto boxes = machine().ui().MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.find(u"The choice of language could not be saved.\r\n\r\n"), 0u)
      << support::U8(boxes[0].text);
  EXPECT_EQ(boxes[0].caption, u"Settings");
  EXPECT_NE(FileText(settingsFile_).find(u"Other=kept"), std::u16string::npos);
}

TEST_F(SettingsDialogTest, WithoutAMatchTheFirstLanguageIsPreselected) {
  files().RemoveFile(folder_ + u"Eng.lng");
  const auto d = Show([](sim::SimDialog& dialog) { dialog.CloseBox(); });
  EXPECT_EQ(ControlOf(d, ComboBox1).items, std::vector<std::u16string>{u"German (Germany)"});
  EXPECT_EQ(ControlOf(d, ComboBox1).selection, 0);
}

}  // namespace
}  // namespace qb
