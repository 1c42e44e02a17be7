#include "wfxhost/text_codec.h"

#include <gtest/gtest.h>

namespace qb::wfxhost {
namespace {

TEST(HostTextCodec, Utf8AndUtf16RoundTrip) {
  const std::u16string text = u"Jos\u00e9 \u20ac \U0001F600 end";
  const std::string utf8 = ToUtf8(text);
  EXPECT_EQ(utf8, "Jos\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 end");
  EXPECT_EQ(ToUtf16(utf8), text);
}

TEST(HostTextCodec, BrokenInputBecomesReplacementCharacters) {
  EXPECT_EQ(ToUtf8(std::u16string(1, u'\xD800') + u"a"),
            "\xEF\xBF\xBD"
            "a");
  EXPECT_EQ(ToUtf8(std::u16string(1, u'\xDC00')), "\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf16("a\xFF"
                    "b"),
            u"a\uFFFDb");
  EXPECT_EQ(ToUtf16("\xC3"), u"\uFFFD");                      // cut short
  EXPECT_EQ(ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong '/'
  EXPECT_EQ(ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // an encoded surrogate
}

TEST(HostTextCodec, BuffersEndAtTheirTerminatorOrTheirSize) {
  const char16_t wide[] = {u'a', u'b', 0, u'c'};
  EXPECT_EQ(FromBuffer(wide, 4), u"ab");
  EXPECT_EQ(FromBuffer(wide, 1), u"a");
  const char narrow[3] = {'x', 'y', 'z'};  // no terminator at all
  EXPECT_EQ(FromBuffer(narrow, 3), "xyz");
}

TEST(HostTextCodec, ControlCharactersAreEscaped) {
  EXPECT_EQ(EscapeControls("a\r\nb\tc\x01\x7F"
                           "d"),
            "a\\r\\nb\\tc\\x01\\x7Fd");
  EXPECT_EQ(EscapeControls("Jos\xC3\xA9"), "Jos\xC3\xA9");
}

TEST(HostTextCodec, TextFilesWithAByteOrderMarkAreDecoded) {
  const std::string utf16(
      "\xFF\xFE"
      "A\0\xE9\0\r\0\n\0",
      10);
  EXPECT_EQ(DecodeTextFile(utf16), "A\xC3\xA9\r\n");
  EXPECT_EQ(DecodeTextFile("plain"), "plain");
  // A dangling odd byte is dropped, not read past.
  EXPECT_EQ(DecodeTextFile(std::string("\xFF\xFE"
                                       "A\0B",
                                       5)),
            "A");
}

}  // namespace
}  // namespace qb::wfxhost
