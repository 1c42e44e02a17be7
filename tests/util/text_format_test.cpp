#include <gtest/gtest.h>

#include "util/format.h"
#include "util/text.h"

namespace qb::util {
namespace {

TEST(ParseInt32, AcceptsWhatTheClassicConversionAccepts) {
  EXPECT_EQ(ParseInt32(u"1033"), 1033);
  EXPECT_EQ(ParseInt32(u"  -12"), -12);
  EXPECT_EQ(ParseInt32(u"+7"), 7);
  EXPECT_EQ(ParseInt32(u"$1F"), 31);
  EXPECT_EQ(ParseInt32(u"0x10"), 16);
  EXPECT_EQ(ParseInt32(u"$FFFFFFFF"), -1);
  EXPECT_EQ(ParseInt32(u"2147483647"), 2147483647);
  EXPECT_EQ(ParseInt32(u"-2147483648"), -2147483647 - 1);
}

TEST(ParseInt32, RejectsEverythingElse) {
  for (const char16_t* bad : {u"", u" ", u"abc", u"12a", u"12 ", u"2147483648", u"-2147483649",
                              u"$", u"0x", u"1.5", u"$100000000"}) {
    EXPECT_FALSE(ParseInt32(bad).has_value());
  }
}

TEST(Format, PadsLeftAlignedLabelsWithoutCuttingLongOnes) {
  EXPECT_EQ(Format(u"%-28s%s", {u"Event Source:", u"Disk"}),
            u"Event Source:" + std::u16string(15, u' ') + u"Disk");
  const std::u16string longLabel(30, u'x');
  EXPECT_EQ(Format(u"%-28s%s", {longLabel, u"v"}), longLabel + u"v");
  EXPECT_EQ(Format(u"%5s|", {u"ab"}), u"   ab|");
}

TEST(Format, NumbersAndPercent) {
  EXPECT_EQ(Format(u"%.4d: ", {std::int64_t{10}}), u"0010: ");
  EXPECT_EQ(Format(u"%d%%", {std::int64_t{-5}}), u"-5%");
  EXPECT_EQ(Format(u"%u", {std::int64_t{4294967295}}), u"4294967295");
  EXPECT_EQ(Format(u"( %d ) ( %s )", {std::int64_t{16}, u"Src"}), u"( 16 ) ( Src )");
}

TEST(Format, MissingArgumentsGiveNothingAndUnknownConversionsStay) {
  EXPECT_EQ(Format(u"a%sb%dc", {}), u"abc");
  EXPECT_EQ(Format(u"%q and %", {}), u"%q and %");
}

TEST(FormatThousands, GroupsByThree) {
  EXPECT_EQ(FormatThousands(20480, u","), u"20,480");
  EXPECT_EQ(FormatThousands(999, u","), u"999");
  EXPECT_EQ(FormatThousands(1234567, u"\u00a0"), u"1\u00a0234\u00a0567");
  EXPECT_EQ(FormatThousands(0, u","), u"0");
}

TEST(Text, Utf8RoundTripAndInvalidBytes) {
  const std::u16string mixed = u"Ab\u00e9\u0416\u2026\U0001F600";
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(mixed)), mixed);
  EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");  // overlong
}

TEST(Text, CaseFoldingCoversCommonScripts) {
  EXPECT_TRUE(EqualsNoCase(u"String Resources", u"STRING resources"));
  EXPECT_TRUE(EqualsNoCase(u"\u00c9T\u00c9", u"\u00e9t\u00e9"));
  EXPECT_TRUE(EqualsNoCase(u"\u041f\u0420\u0418\u0412\u0415\u0422",
                           u"\u043f\u0440\u0438\u0432\u0435\u0442"));
  EXPECT_FALSE(EqualsNoCase(u"abc", u"abd"));
  EXPECT_FALSE(EqualsNoCase(u"abc", u"abcd"));
}

TEST(Text, TrimAndReplace) {
  EXPECT_EQ(TrimControlAndSpace(u"\r\n  Name \t\r\n"), u"Name");
  EXPECT_EQ(TrimControlAndSpace(u" \r\n"), u"");
  EXPECT_EQ(UpToZero(std::u16string_view(u"ab\0cd", 5)), u"ab");
  EXPECT_EQ(ReplaceAll(u"a\r\n\r\nb", u"\r\n\r\n", u"\r\n"), u"a\r\nb");
  EXPECT_EQ(ReplaceAll(u"aaa", u"aa", u"a"), u"aa");  // one pass, no rescanning
}

}  // namespace
}  // namespace qb::util
