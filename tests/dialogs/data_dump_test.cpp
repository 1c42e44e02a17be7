#include "dialogs/data_dump.h"

#include <gtest/gtest.h>

#include <vector>

namespace qb {
namespace {

std::vector<std::byte> Bytes(std::initializer_list<int> values) {
  std::vector<std::byte> out;
  for (int v : values) out.push_back(static_cast<std::byte>(v));
  return out;
}

TEST(DataDump, BytesWithTheCharacterColumn) {
  EXPECT_EQ(FormatDataAsBytes(Bytes({0x48, 0x65, 0x6C, 0x6C, 0x6F, 0x00, 0x01, 0x02, 0x41, 0x42})),
            u"0000: 48 65 6C 6C 6F 00 01 02     Hello...\r\n0010: 41 42 " +
                std::u16string(22, u' ') + u"AB");
  // Exactly one full line: four spaces before the characters and no line break at the end.
  EXPECT_EQ(FormatDataAsBytes(Bytes({1, 2, 3, 4, 5, 6, 7, 8})),
            u"0000: 01 02 03 04 05 06 07 08     ........");
  // The threshold is 25: 24 is a dot, 25 is the character U+0019; high bytes are Latin-1.
  EXPECT_EQ(FormatDataAsBytes(Bytes({24, 25, 0xE9})),
            u"0000: 18 19 E9 " + std::u16string(19, u' ') + u".\u0019\u00e9");
  EXPECT_EQ(FormatDataAsBytes({}), u"");
  std::vector<std::byte> twenty(20, std::byte{0x41});
  const std::u16string dump = FormatDataAsBytes(twenty);
  EXPECT_NE(dump.find(u"\r\n0010: "), std::u16string::npos);
  EXPECT_NE(dump.find(u"\r\n0020: "), std::u16string::npos);
}

TEST(DataDump, WordsAreLittleEndianWithShortLastGroups) {
  EXPECT_EQ(FormatDataAsWords(Bytes({0x48, 0x65, 0x6C, 0x6C, 0x6F, 0x00, 0x01, 0x02, 0x41, 0x42})),
            u"0000: 6C6C6548 0201006F 4241 ");
  std::vector<std::byte> seventeen;
  for (int i = 0; i < 17; ++i) seventeen.push_back(static_cast<std::byte>(i));
  EXPECT_EQ(FormatDataAsWords(seventeen),
            u"0000: 03020100 07060504 0B0A0908 0F0E0D0C \r\n0010: 10 ");
  EXPECT_EQ(FormatDataAsWords(Bytes({0xAB, 0xCD, 0xEF})), u"0000: EFCDAB ");
  std::vector<std::byte> forty(40, std::byte{0});
  const std::u16string dump = FormatDataAsWords(forty);
  EXPECT_NE(dump.find(u"\r\n0020: 00000000 00000000 "), std::u16string::npos);
  EXPECT_EQ(FormatDataAsWords({}), u"");
}

}  // namespace
}  // namespace qb
