#include "localization/ini_file.h"

#include "support/sim_fixture.h"
#include "util/text.h"

namespace qb::ini {
namespace {

using qb::support::SimTest;

constexpr char16_t kFile[] = u"C:\\cfg\\test.ini";

class IniTest : public SimTest {
 protected:
  void Write(std::string_view text) { files().AddFile(kFile, text); }
  void WriteUtf16(std::u16string_view text) {
    files().AddFile(kFile, util::Utf16LeBytes(text, true));
  }
  std::u16string Read(std::u16string_view section, std::u16string_view key,
                      std::u16string_view def = u"<def>") {
    return IniReadStringFrom(section, key, def, kFile);
  }
};

TEST_F(IniTest, MatchingTrimmingQuotesAndDuplicates) {
  Write(
      "; comment=ignored\r\n"
      "[General]\r\n"
      "  Language  =  Rus.lng  \r\n"
      "Quoted=\"  spaced  \"\r\n"
      "Single='x'\r\n"
      "Mixed=\"x'\r\n"
      "Dup=first\r\n"
      "dup=second\n"
      "Empty=\r\n"
      "[ Other ]\r\n"
      "Dup=other\r\n");
  EXPECT_EQ(Read(u"general", u"LANGUAGE"), u"Rus.lng");
  EXPECT_EQ(Read(u"General", u"Quoted"), u"  spaced  ");
  EXPECT_EQ(Read(u"General", u"Single"), u"x");
  EXPECT_EQ(Read(u"General", u"Mixed"), u"\"x'");
  EXPECT_EQ(Read(u"General", u"Dup"), u"first");
  EXPECT_EQ(Read(u"General", u"Empty"), u"");
  EXPECT_EQ(Read(u"other", u"dup"), u"other");
  EXPECT_EQ(Read(u"General", u"Missing"), u"<def>");
  EXPECT_EQ(Read(u"Nowhere", u"Dup"), u"<def>");
  EXPECT_EQ(Read(u"", u"Dup"), u"");  // empty section: empty, the default is not used
  EXPECT_EQ(Read(u"General", u""), u"");
}

TEST_F(IniTest, LongValuesAreCutTo2047Characters) {
  Write("[S]\r\nK=" + std::string(3000, 'v') + "\r\n");
  EXPECT_EQ(Read(u"S", u"K"), std::u16string(2047, u'v'));
}

TEST_F(IniTest, Utf16AndAnsiFiles) {
  WriteUtf16(u"[String Resources]\r\n12=\u041e\u041a\r\n");
  EXPECT_EQ(Read(u"String Resources", u"12"), u"\u041e\u041a");
  Write("[S]\r\nK=caf\xe9 \x80\r\n");  // Windows-1252 bytes
  EXPECT_EQ(Read(u"S", u"K"), u"caf\u00e9 \u20ac");
}

TEST_F(IniTest, IntegersAndMissingFiles) {
  Write("[Locale Language]\r\nLocaleID=1049\r\nBad=abc\r\nEmpty=\r\n");
  SetIniFileName(kFile);
  EXPECT_EQ(IniReadInteger(u"Locale Language", u"LocaleID", 7), 1049);
  EXPECT_EQ(IniReadInteger(u"Locale Language", u"Bad", 7), 0);
  EXPECT_EQ(IniReadInteger(u"Locale Language", u"Empty", 7), 0);
  EXPECT_EQ(IniReadInteger(u"Locale Language", u"Missing", 7), 7);
  SetIniFileName(u"C:\\cfg\\absent.ini");
  EXPECT_EQ(IniReadInteger(u"Locale Language", u"LocaleID", -3), -3);
  EXPECT_EQ(IniReadString(u"Locale Language", u"LocaleID", u"d"), u"d");
}

TEST_F(IniTest, WritingKeepsOtherLinesAndTheEncoding) {
  WriteUtf16(u"; keep me\r\n[General]\r\nLanguage=Eng.lng\r\nOther=1\r\n\r\n[Next]\r\nA=b\r\n");
  SetIniFileName(kFile);
  IniWriteString(u"general", u"Language", u"Rus.lng");
  IniWriteString(u"General", u"Added", u"");
  IniWriteString(u"New", u"K", u"v");
  EXPECT_EQ(
      FileText(kFile),
      u"; keep me\r\n[General]\r\nLanguage=Rus.lng\r\nOther=1\r\nAdded=\r\n\r\n[Next]\r\nA=b\r\n"
      u"[New]\r\nK=v\r\n");
  const auto bytes = files().FileContents(kFile);
  ASSERT_TRUE(bytes && bytes->size() > 2);
  EXPECT_EQ((*bytes)[0], std::byte{0xFF});
  EXPECT_EQ((*bytes)[1], std::byte{0xFE});
}

TEST_F(IniTest, NewFilesAreAnsi) {
  files().AddDirectory(u"C:\\cfg");
  EXPECT_EQ(IniWriteStringTo(u"General", u"Language", u"Eng.lng", u"C:\\cfg\\new.ini"), 0u);
  const auto bytes = files().FileContents(u"C:\\cfg\\new.ini");
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size()),
            "[General]\r\nLanguage=Eng.lng\r\n");
}

// A write that fails says why, and a file that is there but cannot be read keeps its keys.
TEST_F(IniTest, FailedWritesSayWhyAndLeaveTheFileAlone) {
  files().AddDirectory(u"C:\\locked");
  files().SetReadOnlyFolder(u"C:\\locked");
  files().AddHostFile(u"C:\\cfg\\unreadable.ini", "/nonexistent/qb-unreadable.ini");
  const struct {
    const char16_t* file;
    platform::ErrorCode error;
  } cases[] = {{u"C:\\locked\\x.ini", platform::err::kAccessDenied},
               {u"C:\\cfg\\unreadable.ini", platform::err::kReadFault},
               {u"C:\\nowhere\\x.ini", platform::err::kPathNotFound}};
  for (const auto& c : cases) {
    SCOPED_TRACE(support::U8(c.file));
    EXPECT_EQ(IniWriteStringTo(u"General", u"Language", u"Eng.lng", c.file), c.error);
  }
  EXPECT_FALSE(files().FileExists(u"C:\\locked\\x.ini"));
  EXPECT_FALSE(files().FileContents(u"C:\\cfg\\unreadable.ini").has_value());
}

// Where the host's files are UTF-8 (Linux), 8-bit files are read and written as UTF-8, with
// or without the byte-order mark, which a rewrite keeps.
TEST_F(IniTest, Utf8Files) {
  SetEightBitText(EightBitText::kUtf8);
  Write("\xEF\xBB\xBF[Machine]\r\nFolder=/srv/Maschine B\xC3\xBCro\r\n");
  EXPECT_EQ(Read(u"Machine", u"Folder"), u"/srv/Maschine B\u00fcro");
  EXPECT_EQ(IniWriteStringTo(u"General", u"Language", u"Deu.lng", kFile), 0u);
  const auto bytes = files().FileContents(kFile);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size()),
            "\xEF\xBB\xBF[Machine]\r\nFolder=/srv/Maschine B\xC3\xBCro\r\n"
            "[General]\r\nLanguage=Deu.lng\r\n");
  Write("[Machine]\r\nFolder=B\xC3\xBCro\r\n");
  EXPECT_EQ(Read(u"Machine", u"Folder"), u"B\u00fcro");
  WriteUtf16(u"[S]\r\nK=\u041e\r\n");  // UTF-16 files stay what they are
  EXPECT_EQ(Read(u"S", u"K"), u"\u041e");
  SetEightBitText(EightBitText::kAnsiCodePage);
  Write("[S]\r\nK=B\xC3\xBCro\r\n");
  EXPECT_EQ(Read(u"S", u"K"), u"B\u00c3\u00bcro");
}

TEST(IniDocument, SectionOrderAndKeysInFileOrder) {
  const Document doc =
      ParseUtf16(u"[B]\nx=1\n[A]\nz=2\ny=3\nZ=4\nnovalue\n;c=5\n[B]\nw=6\n", false);
  EXPECT_EQ(SectionNames(doc), (std::vector<std::u16string>{u"B", u"A", u"B"}));
  const auto keys = SectionKeys(doc, u"a");
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0], (std::pair<std::u16string, std::u16string>{u"z", u"2"}));
  EXPECT_EQ(keys[1], (std::pair<std::u16string, std::u16string>{u"y", u"3"}));
  // The first of two sections of one name is the one read.
  EXPECT_FALSE(Lookup(doc, u"B", u"w").has_value());
}

}  // namespace
}  // namespace qb::ini
