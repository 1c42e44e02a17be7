#include "localization/language.h"

#include "localization/ini_file.h"
#include "support/sim_fixture.h"
#include "util/text.h"

namespace qb {
namespace {

using qb::support::SimTest;

constexpr char16_t kDir[] = u"C:\\TC\\plugins\\Quillerbankton\\";
constexpr char16_t kModule[] = u"C:\\TC\\plugins\\Quillerbankton\\Quillerbankton.wfx";
constexpr char16_t kLangDir[] = u"C:\\TC\\plugins\\Quillerbankton\\Language\\";
constexpr char16_t kIni[] = u"C:\\TC\\plugins\\Quillerbankton\\Quillerbankton.ini";

// The English file as the plugin must write it, typed out independently of the table.
constexpr char kEnglishFile[] =
    "; English translation for FS-plugin \"Quillerbankton\"\r\n"
    "\r\n"
    "[Locale Language]\r\n"
    "LocaleID=1033\r\n"
    "LocaleName=English\r\n"
    "\r\n"
    "[String Resources]\r\n"
    "10=Settings\r\n11=Interface language:\r\n12=OK\r\n13=Cancel\r\n14=Properties\r\n"
    "15=Event\r\n16=Root Key:\r\n17=Event Source:\r\n18=Source:\r\n19=Date:\r\n20=Time:\r\n"
    "21=Event ID:\r\n22=Code (ID):\r\n23=Event Category:\r\n24=Category:\r\n"
    "25=Event Type:\r\n26=Type:\r\n27=Record Number:\r\n28=User Name:\r\n"
    "29=Computer Name:\r\n30=Description:\r\n31=Binary Data:\r\n32=Data:\r\n"
    "33=By Words:\r\n34=Words\r\n35=By Bytes:\r\n36=Bytes\r\n37=N\\A\r\n\r\n"
    "38=%s log properties\r\n39=Log File:\r\n40=File Size (kB):\r\n41=Records:\r\n"
    "42=Oldest Record:\r\n43=Newest Record:\r\n44=Guest Access:\r\n45=Enabled\r\n"
    "46=Disabled\r\n47=Close\r\n48=Clear Event Log\xe2\x80\xa6\r\n49=Save and Clear\r\n"
    "50=Backup Event Log\xe2\x80\xa6\r\n51=Clear\r\n"
    "52=You can save the contents of this event log before cleaning it.\r\n"
    "53=Size of event log\r\n54=Maximum file size (kB):\r\n55=When the maximum size:\r\n"
    "56=Overwrite events as needed (oldest first event)\r\n"
    "57=Archive the log when full, do not overwrite events\r\n"
    "58=Overwrite events older than\r\n59=days\r\n"
    "60=Do not overwrite events (clear log manually)\r\n61=Event files\r\n"
    "62=View events\r\n\r\n"
    "; Event statuses\r\n100=Information\r\n101=Error\r\n102=Warning\r\n103=SuccessAudit\r\n"
    "104=FailureAudit\r\n105=Unknown\r\n\r\n"
    "; Custom columns\r\n120=Date\r\n121=Account\r\n122=Category\r\n123=Code\r\n"
    "124=Description\r\n\r\n"
    "; Messages\r\n200=Unable to register the application in the event manager.\r\n"
    "201=Not found the description for event ID ( %d ) in Source ( %s ). The local computer "
    "may not have the necessary registry information or message DLL files to display messages "
    "from a remote computer. The following information is part of the event: %s\r\n"
    "202=Event Manager is already open in this mode %s.\r\n"
    "203=Error opening event manager.\r\n"
    "204=You have reached the end of the event log. To continue the review from the "
    "beginning?\r\n"
    "205=You have reached the beginning of the event log. To continue the review with the "
    "end?\r\n";

class LanguageTest : public SimTest {
 protected:
  LanguageTest() {
    files().SetModuleFileName(kModule);
    files().AddDirectory(kDir);
  }
  void AddLanguage(std::u16string_view name, std::u16string_view text) {
    files().AddFile(std::u16string(kLangDir) + std::u16string(name),
                    util::Utf16LeBytes(text, true));
  }
  void SelectInSettings(std::string_view file) {
    files().AddFile(kIni, "[General]\r\nLanguage=" + std::string(file) + "\r\n");
  }
};

TEST_F(LanguageTest, FirstLoadWritesTheEnglishFileByteForByte) {
  TLngResource lng;
  EXPECT_TRUE(files().DirectoryExists(kLangDir));
  const auto bytes = files().FileContents(std::u16string(kLangDir) + u"Eng.lng");
  ASSERT_TRUE(bytes.has_value());
  const platform::Bytes expected = util::Utf16LeBytes(util::Utf8ToUtf16(kEnglishFile), true);
  EXPECT_EQ(*bytes, expected) << support::U8(FileText(std::u16string(kLangDir) + u"Eng.lng"));
  EXPECT_EQ(lng.GetCurrentLocaleFile(), std::u16string(kLangDir) + u"Eng.lng");
  EXPECT_EQ(lng.GetLocaleString(12), u"OK");
  EXPECT_EQ(lng.GetLocaleString(48), u"Clear Event Log\u2026");
  EXPECT_EQ(lng.GetLocaleString(37), u"N\\A");  // from the file: no line break
  EXPECT_EQ(lng.GetLocaleString(999), u"");
  EXPECT_EQ(lng.SettingFile(), kIni);
}

TEST_F(LanguageTest, MissingAndEmptyTextsFallBackToEnglish) {
  AddLanguage(u"Rus.lng",
              u"[Locale Language]\r\nLocaleID=1049\r\n[String Resources]\r\n"
              u"10=\u041d\u0430\u0441\u0442\u0440\u043e\u0439\u043a\u0438\r\n12=\r\n"
              u"101 = \"\u041e\u0448\u0438\u0431\u043a\u0430\"\r\n");
  SelectInSettings("Rus.lng");
  TLngResource lng;
  EXPECT_EQ(lng.GetLocaleString(10), u"\u041d\u0430\u0441\u0442\u0440\u043e\u0439\u043a\u0438");
  EXPECT_EQ(lng.GetLocaleString(101), u"\u041e\u0448\u0438\u0431\u043a\u0430");
  EXPECT_EQ(lng.GetLocaleString(12), u"OK");
  EXPECT_EQ(lng.GetLocaleString(13), u"Cancel");
  // The built-in texts of the group ends come without the line break of the written file.
  for (std::uint16_t id : {37, 62, 105, 124}) {
    const auto text = lng.GetLocaleString(id);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find(u'\r'), std::u16string::npos) << id;
    EXPECT_EQ(text.find(u'\n'), std::u16string::npos) << id;
  }
  EXPECT_EQ(lng.GetLocaleString(105), u"Unknown");
  EXPECT_FALSE(files().FileExists(std::u16string(kLangDir) + u"Eng.lng"));
}

TEST_F(LanguageTest, ADeletedLanguageFileIsRecreatedInEnglishUnderItsName) {
  SelectInSettings("Deu.lng");
  TLngResource lng;
  EXPECT_EQ(lng.GetCurrentLocaleFile(), std::u16string(kLangDir) + u"Deu.lng");
  EXPECT_TRUE(files().FileExists(std::u16string(kLangDir) + u"Deu.lng"));
  EXPECT_EQ(lng.GetLocaleString(203), u"Error opening event manager.");
  ASSERT_EQ(lng.LoadLocaleList(), 1);
  EXPECT_EQ(lng.GetLanguageName(0), u"English (United States)");
}

TEST_F(LanguageTest, UnwritableFolderStillServesEnglishFromMemory) {
  files().SetReadOnlyFolder(kDir);
  TLngResource lng;
  EXPECT_FALSE(files().DirectoryExists(kLangDir));
  EXPECT_EQ(lng.GetLocaleString(100), u"Information");
  EXPECT_EQ(lng.GetLocaleString(37), u"N\\A");
  EXPECT_EQ(lng.LoadLocaleList(), 0);
}

TEST_F(LanguageTest, LanguageListNamesAndBounds) {
  TLngResource lng;  // writes Eng.lng first
  AddLanguage(u"NoId.lng", u"[Locale Language]\r\nLocaleID=0\r\n");
  AddLanguage(u"Named.lng", u"[Locale Language]\r\nLocaleID=abc\r\nLocaleName=Klingon\r\n");
  AddLanguage(u"Odd.lng", u"[Locale Language]\r\nLocaleID=4242\r\n");
  AddLanguage(u"Rus.lng", u"[Locale Language]\r\nLocaleID=1049\r\nLocaleName=ignored\r\n");
  files().AddFile(std::u16string(kLangDir) + u"readme.txt", "not a language");
  ASSERT_EQ(lng.LoadLocaleList(), 5);
  const std::vector<std::u16string> names = {u"English (United States)", u"NoId.lng", u"Klingon",
                                             u"<unknown>", u"Russian (Russia)"};
  for (std::uint16_t i = 0; i < 5; ++i) EXPECT_EQ(lng.GetLanguageName(i), names[i]) << i;
  EXPECT_EQ(lng.GetLocaleFile(4), std::u16string(kLangDir) + u"Rus.lng");
  EXPECT_EQ(lng.GetLocaleFile(5), u"");
  EXPECT_EQ(lng.GetLanguageName(65535), u"");
  EXPECT_EQ(lng.LocaleIndexFromFile(std::u16string(kLangDir) + u"Rus.lng"), 4);
}

TEST_F(LanguageTest, ChoosingALanguageStoresItAndReloadsAtOnce) {
  TLngResource lng;
  AddLanguage(u"Rus.lng", u"[String Resources]\r\n12=\u041e\u041a\r\n");
  const auto before = lng.Generation();
  lng.SetCurrentLocaleFile(std::u16string(kLangDir) + u"Rus.lng");
  EXPECT_EQ(lng.GetLocaleString(12), u"\u041e\u041a");
  EXPECT_NE(lng.Generation(), before);
  ini::SetIniFileName(u"");
  EXPECT_EQ(ini::IniReadStringFrom(u"General", u"Language", u"", kIni), u"Rus.lng");

  // A file that does not exist is ignored without a message.
  lng.SetCurrentLocaleFile(std::u16string(kLangDir) + u"None.lng");
  EXPECT_EQ(lng.GetCurrentLocaleFile(), std::u16string(kLangDir) + u"Rus.lng");
  EXPECT_TRUE(machine().ui().MessageBoxes().empty());

  // A new object reads the choice back from the settings.
  TLngResource again;
  EXPECT_EQ(again.GetLocaleString(12), u"\u041e\u041a");
}

TEST_F(LanguageTest, TheSettingsWriteNeverLandsInALanguageFile) {
  TLngResource lng;
  AddLanguage(u"Rus.lng", u"[Locale Language]\r\nLocaleID=1049\r\n");
  const auto russian = files().FileContents(std::u16string(kLangDir) + u"Rus.lng");
  ASSERT_EQ(lng.LoadLocaleList(), 2);  // points the process-wide name at the last file read
  lng.SetCurrentLocaleFile(std::u16string(kLangDir) + u"Eng.lng");
  EXPECT_EQ(files().FileContents(std::u16string(kLangDir) + u"Rus.lng"), russian);
  EXPECT_EQ(ini::IniReadStringFrom(u"General", u"Language", u"", kIni), u"Eng.lng");
}

TEST_F(LanguageTest, LaterTextsAreBuiltInButNotWrittenOut) {
  TLngResource lng;
  EXPECT_EQ(lng.GetLocaleString(206), u"This entry is not an event record.");
  AddLanguage(u"Deu.lng", u"[String Resources]\r\n206=Kein Ereignis.\r\n");
  lng.SetCurrentLocaleFile(std::u16string(kLangDir) + u"Deu.lng");
  EXPECT_EQ(lng.GetLocaleString(206), u"Kein Ereignis.");
  EXPECT_EQ(lng.GetLocaleString(207), u"The event log could not be cleared.");
}

TEST_F(LanguageTest, ModulePathWithoutExtension) {
  files().SetModuleFileName(u"C:\\TC\\plug.in\\qb");
  files().AddDirectory(u"C:\\TC\\plug.in");
  TLngResource lng;
  EXPECT_EQ(lng.SettingFile(), u"C:\\TC\\plug.in\\qb.ini");
  EXPECT_EQ(lng.LanguageFolder(), u"C:\\TC\\plug.in\\Language\\");
}

}  // namespace
}  // namespace qb
