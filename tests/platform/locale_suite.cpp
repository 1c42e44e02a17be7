// ILocale: conversions, comparisons and formats of the user's locale.
#include "backend.h"

namespace qb::suite {
namespace {

bool HasNoZero(std::u16string_view text) {
  return text.find(u'\0') == std::u16string_view::npos;
}

using LocaleSuite = PlatformTest;

TEST_F(LocaleSuite, AnsiTextConverts) {
  EXPECT_EQ(locale().AnsiToWide("Quillerbankton 1.0"), u"Quillerbankton 1.0");
  EXPECT_EQ(locale().WideToAnsi(u"Quillerbankton 1.0"), "Quillerbankton 1.0");
  EXPECT_TRUE(locale().AnsiToWide("").empty());
  EXPECT_TRUE(locale().WideToAnsi(u"").empty());
  if (backend().AnsiCodePage() == 1252) {
    EXPECT_EQ(locale().AnsiToWide("caf\xE9 \x80"), u"caf\u00E9 \u20AC");
    EXPECT_EQ(locale().WideToAnsi(u"caf\u00E9 \u20AC"), "caf\xE9 \x80");
    // A character the code page lacks becomes its default character.
    EXPECT_EQ(locale().WideToAnsi(u"\u4E2D"), "?");
  }
}

TEST_F(LocaleSuite, TextIsLowerCased) {
  EXPECT_EQ(locale().ToLower(u"QUILLER\u00C4\u0416 Bank 1.0"), u"quiller\u00E4\u0436 bank 1.0");
  EXPECT_EQ(locale().ToLower(u""), u"");
}

TEST_F(LocaleSuite, TextComparesWithoutCase) {
  const struct {
    const char16_t *a, *b;
    int sign;
  } cases[] = {
      {u"Application", u"APPLICATION", 0},
      {u"Application", u"System", -1},
      {u"system", u"Application", 1},
      {u"", u"", 0},
      {u"ab", u"abc", -1},
      {u"\u00C4rger", u"\u00E4RGER", 0},
  };
  for (const auto& c : cases) {
    const int result = locale().CompareNoCase(c.a, c.b);
    EXPECT_EQ((result > 0) - (result < 0), c.sign) << U8(c.a) << " / " << U8(c.b);
  }
}

TEST_F(LocaleSuite, LanguagesHaveNames) {
  std::u16string name;
  EXPECT_TRUE(locale().LanguageName(0x0409, name));
  EXPECT_FALSE(name.empty());
  EXPECT_TRUE(HasNoZero(name));
  EXPECT_FALSE(locale().LanguageName(0x7F7F, name));
  EXPECT_TRUE(name.empty());
}

TEST_F(LocaleSuite, DatesAndTimesAreFormatted) {
  const platform::SystemTime day{2024, 3, 2, 5, 14, 7, 9, 0};
  const std::u16string date = locale().FormatShortDate(day);
  EXPECT_FALSE(date.empty());
  EXPECT_TRUE(HasNoZero(date));
  EXPECT_NE(date.find(u'5'), std::u16string::npos) << U8(date);
  const std::u16string time = locale().FormatLongTime(day);
  EXPECT_TRUE(HasNoZero(time));
  EXPECT_NE(time.find(u"07"), std::u16string::npos) << U8(time);
  EXPECT_NE(time.find(u"09"), std::u16string::npos) << U8(time);
  // Fields no calendar has give nothing.
  for (auto invalid : {platform::SystemTime{2024, 13, 0, 5}, platform::SystemTime{2024, 0, 0, 5}}) {
    EXPECT_TRUE(locale().FormatShortDate(invalid).empty()) << invalid.wMonth;
  }
  platform::SystemTime late = day;
  late.wHour = 24;
  EXPECT_TRUE(locale().FormatLongTime(late).empty());
  const std::u16string separator = locale().ThousandSeparator();
  EXPECT_LE(separator.size(), 3u);
  EXPECT_TRUE(HasNoZero(separator));
}

TEST_F(LocaleSuite, TimesConvertBothWays) {
  // 2024-06-01 12:00 UTC.
  const platform::FileTime utc = platform::FileTime::from(133616448000000000ULL);
  platform::FileTime local, back;
  ASSERT_TRUE(locale().FileTimeToLocal(utc, local));
  ASSERT_TRUE(locale().LocalToFileTime(local, back));
  EXPECT_EQ(back, utc);
  // The offset is whole minutes, at most 14 hours either way.
  const auto offset = static_cast<std::int64_t>(local.value() - utc.value());
  constexpr std::int64_t kMinute = 600'000'000;
  EXPECT_EQ(offset % kMinute, 0);
  EXPECT_LE(offset < 0 ? -offset : offset, 14 * 60 * kMinute);
}

}  // namespace
}  // namespace qb::suite
