#include <cstring>

#include "plugin/column_text.h"
#include "support/plugin_fixture.h"

namespace qb {
namespace {

using support::PluginTest;

TEST(ColumnText, TruncationAndFlattening) {
  const std::u16string thirty(30, u'd');
  EXPECT_EQ(plugin::TruncateWithEllipsis(thirty, 9), u"dddddddd\u2026");
  EXPECT_EQ(plugin::TruncateWithEllipsis(u"12345678", 9), u"12345678");
  EXPECT_EQ(plugin::TruncateWithEllipsis(u"123456789", 9), u"12345678\u2026");
  EXPECT_EQ(plugin::TruncateWithEllipsis(u"abc", 0), u"");
  EXPECT_EQ(plugin::CollapseRepeats(u' ', u"a  b   c "), u"a b c ");
  EXPECT_EQ(plugin::FlattenDescription(u"first line\r\n\tsecond\t\tpart"),
            u"first line second part");
}

class ColumnsTest : public PluginTest {
 protected:
  ColumnsTest() : app_(AddLog(u"Application")) {
    AddLog(u"System");
    AddLibrary(u"C:\\m.dll",
               {{0x80000001, u"Line one\r\n\tLine two with %1\r\n"}, {4, u"Disks\r\n"}});
    AddSource(u"Application", u"Src", u"C:\\m.dll", u"C:\\m.dll");
    auto r = Record(u"Src", 0x80000001, 2);
    r.category = 4;
    r.strings = {std::u16string(40, u'x')};
    r.sid = sim::SimAccounts::SidFromString(u"S-1-5-18");
    app_.Append(r);
    app_.Append(Record(u"Other", 77, 1));
  }
  sim::SimEventLog& app_;
  const std::u16string one_ = u"\\Application\\[1] Src.warning";
  const std::u16string two_ = u"\\Application\\[2] Other.error";
};

TEST_F(ColumnsTest, FieldDeclarationsAndTheDefaultView) {
  Init();
  char name[32];
  char units[32];
  const char* expected[] = {"Account", "Category", "Code", "Description"};
  const int types[] = {fs::ft_stringw, fs::ft_stringw, fs::ft_numeric_32, fs::ft_stringw};
  for (int i = 0; i < 4; ++i) {
    std::strcpy(units, "junk");
    EXPECT_EQ(FsContentGetSupportedField(i, name, units, sizeof(name)), types[i]);
    EXPECT_STREQ(name, expected[i]);
    EXPECT_STREQ(units, "");
  }
  std::strcpy(name, "untouched");
  std::strcpy(units, "junk");
  EXPECT_EQ(FsContentGetSupportedField(4, name, units, sizeof(name)), fs::ft_nomorefields);
  EXPECT_STREQ(name, "untouched");
  EXPECT_STREQ(units, "");
  EXPECT_EQ(FsContentGetSupportedField(2, name, units, 3), fs::ft_numeric_32);
  EXPECT_STREQ(name, "Co");

  std::vector<char16_t> contents(512), headers(512), widths(512), options(512);
  ASSERT_EQ(
      FsContentGetDefaultViewW(contents.data(), headers.data(), widths.data(), options.data(), 512),
      fs::kTrue);
  EXPECT_EQ(
      std::u16string(contents.data()),
      u"[=tc.writedate]\\n[=<fs>.Account]\\n[=<fs>.Category]\\n[=<fs>.Code]\\n[=<fs>.Description]");
  EXPECT_EQ(std::u16string(headers.data()), u"Date\\nAccount\\nCategory\\nCode\\nDescription");
  EXPECT_EQ(std::u16string(widths.data()), u"130,38,60,50,60,30,200");
  EXPECT_EQ(std::u16string(options.data()), u"-1|1");
  // Too small buffers get cut texts, never an overrun.
  std::vector<char16_t> small(12, u'#');
  ASSERT_EQ(
      FsContentGetDefaultViewW(small.data(), headers.data(), widths.data(), options.data(), 10),
      fs::kTrue);
  EXPECT_EQ(std::u16string(small.data()), u"[=tc.writ");
  EXPECT_EQ(small[10], u'#');
  char a[4][64];
  ASSERT_EQ(FsContentGetDefaultView(a[0], a[1], a[2], a[3], 64), fs::kTrue);
  EXPECT_STREQ(a[2], "130,38,60,50,60,30,200");
  EXPECT_STREQ(a[1], "Date\\nAccount\\nCategory\\nCode\\nDescription");
}

TEST_F(ColumnsTest, ValuesDelayedTextsAndTheEventCode) {
  Init();
  ASSERT_TRUE(List(u"\\Application").ok);
  std::u16string text;
  EXPECT_EQ(Value(one_, 0, text, 1024, fs::CONTENT_DELAYIFSLOW), fs::ft_delayed);
  EXPECT_EQ(Value(one_, 0, text), fs::ft_stringw);
  EXPECT_EQ(text, u"NT AUTHORITY\\SYSTEM");
  EXPECT_EQ(Value(one_, 1, text), fs::ft_stringw);
  EXPECT_EQ(text, u"Disks");
  EXPECT_EQ(Value(one_, 3, text), fs::ft_stringw);
  EXPECT_EQ(text, u"Line one Line two with " + std::u16string(40, u'x'));
  EXPECT_EQ(Value(two_, 0, text), fs::ft_stringw);
  EXPECT_EQ(text, u"N\\A");

  std::int32_t code = 0;
  std::u16string name = one_;
  EXPECT_EQ(FsContentGetValueW(name.data(), 2, 0, &code, 4, fs::CONTENT_DELAYIFSLOW),
            fs::ft_numeric_32);
  EXPECT_EQ(code, 1);
  name = u"\\Application\\[99] Src.warning";
  EXPECT_EQ(FsContentGetValueW(name.data(), 2, 0, &code, 4, 0), fs::ft_fieldempty);
  EXPECT_EQ(Value(name, 1, text), fs::ft_fieldempty);
  EXPECT_EQ(Value(one_, 4, text), fs::ft_fieldempty);
  EXPECT_EQ(Value(u"\\Application\\Src.warning", 1, text), fs::ft_fieldempty);
}

TEST_F(ColumnsTest, TextsAreCutToTheBuffer) {
  Init();
  ASSERT_TRUE(List(u"\\Application").ok);
  std::u16string text;
  // maxlen 20 bytes: ten characters, nine of text and the terminator.
  ASSERT_EQ(Value(one_, 3, text, 20), fs::ft_stringw);
  EXPECT_EQ(text, u"Line one\u2026");
  ASSERT_EQ(Value(one_, 1, text, 20), fs::ft_stringw);
  EXPECT_EQ(text, u"Disks");
  std::vector<char16_t> buffer(8, u'#');
  std::u16string name = one_;
  EXPECT_EQ(FsContentGetValueW(name.data(), 3, 0, buffer.data(), 2, 0), fs::ft_stringw);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(buffer[1], u'#');
  EXPECT_EQ(FsContentGetValueW(name.data(), 3, 0, buffer.data(), 1, 0), fs::ft_fieldempty);
  EXPECT_EQ(FsContentGetValueW(name.data(), 2, 0, buffer.data(), 3, 0), fs::ft_fieldempty);
}

TEST_F(ColumnsTest, OneReadServesThreeFieldsOfARecord) {
  Init();
  ASSERT_TRUE(List(u"\\Application").ok);
  std::u16string text;
  const auto before = machine().eventlog().ReadCallCount();
  Value(one_, 0, text);
  const auto afterFirst = machine().eventlog().ReadCallCount();
  Value(one_, 1, text);
  Value(one_, 3, text);
  EXPECT_EQ(machine().eventlog().ReadCallCount(), afterFirst);
  EXPECT_GT(afterFirst, before);
  Value(two_, 1, text);
  EXPECT_GT(machine().eventlog().ReadCallCount(), afterFirst);
}

TEST_F(ColumnsTest, TheRootEmptiesTheCacheAndRecordsOfAnotherLogAreTheirOwn) {
  machine().eventlog().AddLog(u"System").Append(Record(u"SysSrc", 5, 4));
  Init();
  ASSERT_TRUE(List(u"\\Application").ok);
  std::u16string text;
  ASSERT_EQ(Value(two_, 1, text), fs::ft_stringw);
  ASSERT_TRUE(List(u"\\").ok);
  EXPECT_EQ(Value(two_, 1, text), fs::ft_fieldempty);
  std::int32_t code = 0;
  std::u16string name = two_;
  EXPECT_EQ(FsContentGetValueW(name.data(), 2, 0, &code, 4, 0), fs::ft_fieldempty);
  // Back in Application, the second panel shows System: its record 1 is not Application's.
  ASSERT_TRUE(List(u"\\Application").ok);
  name = u"\\System\\[1] SysSrc.information";
  ASSERT_EQ(FsContentGetValueW(name.data(), 2, 0, &code, 4, 0), fs::ft_numeric_32);
  EXPECT_EQ(code, 5);
  ASSERT_EQ(Value(name, 0, text), fs::ft_stringw);
  EXPECT_EQ(text, u"N\\A");
  ASSERT_EQ(Value(one_, 0, text), fs::ft_stringw);
  EXPECT_EQ(text, u"NT AUTHORITY\\SYSTEM");
  // Still listed after FsFindClose, the codes keep coming from the list.
  name = one_;
  ASSERT_EQ(FsContentGetValueW(name.data(), 2, 0, &code, 4, 0), fs::ft_numeric_32);
  EXPECT_EQ(code, 1);
  // A record gone since the listing shows nothing rather than another record's values.
  app_.Clear();
  EXPECT_EQ(Value(two_, 3, text), fs::ft_fieldempty);
}

TEST_F(ColumnsTest, ALogKeyAddedSinceTheLoadDoesNotShiftTheLogs) {
  machine().eventlog().AddLog(u"System").Append(Record(u"SysSrc", 5, 4));
  Init();
  ASSERT_TRUE(List(u"\\System").ok);
  // A log key added after the catalogue was read: a catalogue read now would number the logs
  // differently.
  AddLog(u"Aardvark").Append(Record(u"Wrong", 9, 1));
  std::u16string text;
  ASSERT_EQ(Value(u"\\System\\[1] SysSrc.information", 3, text), fs::ft_stringw);
  EXPECT_NE(text.find(u"( SysSrc )"), std::u16string::npos);
  ASSERT_EQ(Value(one_, 1, text), fs::ft_stringw);
  EXPECT_EQ(text, u"Disks");
  std::int32_t code = 0;
  std::u16string name = one_;
  ASSERT_EQ(FsContentGetValueW(name.data(), 2, 0, &code, 4, 0), fs::ft_numeric_32);
  EXPECT_EQ(code, 1);
}

class IconsTest : public PluginTest {
 protected:
  std::optional<std::u16string> Icon(std::u16string name) {
    fs::HICON icon = nullptr;
    const int result = FsExtractCustomIconW(name.data(), fs::FS_ICONFLAG_SMALL, &icon);
    if (result == fs::FS_ICON_USEDEFAULT) {
      EXPECT_EQ(icon, nullptr);
      return std::nullopt;
    }
    EXPECT_EQ(result, fs::FS_ICON_EXTRACTED);
    return machine().ui().IconName(reinterpret_cast<platform::Handle>(icon));
  }
};

TEST_F(IconsTest, ByTypeWordIgnoringCase) {
  AddLog(u"Application");
  Init();
  EXPECT_EQ(Icon(u"\\Application\\[5] Src.error"), u"ERROR");
  EXPECT_EQ(Icon(u"\\Application\\[5] Src.ERROR"), u"ERROR");
  EXPECT_EQ(Icon(u"\\Application\\[6] A.b.information"), u"INFORMATION");
  EXPECT_EQ(Icon(u"\\Application\\[7] Src.warning"), u"WARNING");
  EXPECT_EQ(Icon(u"\\Application\\[8] Src.successaudit"), u"AUDIT_SUCCESS");
  EXPECT_EQ(Icon(u"\\Application\\[9] Src.failureaudit"), u"AUDIT_FAILED");
  EXPECT_EQ(Icon(u"\\Application\\[5] Src.unknown"), std::nullopt);
  EXPECT_EQ(Icon(u"\\Application\\[5] Src.\u043e\u0448\u0438\u0431\u043a\u0430"), std::nullopt);
  EXPECT_EQ(Icon(u"\\Application"), std::nullopt);
  EXPECT_EQ(Icon(u"\\Log 2.0\\[5] Src"), std::nullopt);
  char ansi[] = "\\Application\\[5] Src.Warning";
  fs::HICON icon = nullptr;
  ASSERT_EQ(FsExtractCustomIcon(ansi, 0, &icon), fs::FS_ICON_EXTRACTED);
  EXPECT_EQ(machine().ui().IconName(reinterpret_cast<platform::Handle>(icon)), u"WARNING");
}

}  // namespace
}  // namespace qb
