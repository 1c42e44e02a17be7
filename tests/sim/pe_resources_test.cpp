#include "platform/sim/formats/pe_resources.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/pe_builder.h"

namespace {

using qb::platform::Bytes;
using qb::sim::IconImage;
using qb::sim::ModuleImage;
using qb::sim::ParsePeResources;
using qb::support::kLangEnUs;
using qb::support::kLangGerman;
using qb::support::kLangNeutral;
using qb::support::PeBuilder;
using qb::support::PeIcon;

// Latin-1 except 0x80, which becomes the euro sign as in code page 1252, so a test can see
// the conversion was used rather than a plain widening.
std::u16string Cp1252ish(std::string_view narrow) {
  std::u16string wide;
  for (char c : narrow) {
    auto b = static_cast<unsigned char>(c);
    wide.push_back(b == 0x80 ? u'\u20AC' : static_cast<char16_t>(b));
  }
  return wide;
}

std::optional<ModuleImage> Parse(const Bytes& file, std::string* error = nullptr) {
  return ParsePeResources(file, Cp1252ish, error);
}

void Poke32(Bytes& file, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) file[offset + i] = static_cast<std::byte>(value >> (8 * i));
}

std::uint32_t Peek32(const Bytes& file, std::size_t offset) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | std::to_integer<std::uint32_t>(file[offset + i]);
  return v;
}

Bytes Filled(std::size_t size, std::uint8_t seed) {
  Bytes data(size);
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::byte>(seed + i * 7);
  return data;
}

// A file using every kind of resource, for the damage tests.
Bytes RichFile(bool is64Bit) {
  return PeBuilder(is64Bit)
      .AddString(1, u"one")
      .AddString(40, u"forty", kLangGerman)
      .AddMessage(1, u"Unicode %1\r\n")
      .AddAnsiMessage(7, "ansi\r\n")
      .AddIconGroup(u"main", {PeIcon{16, 16, 8, Filled(40, 1)}})
      .AddRawResource(u"WEVT_TEMPLATE", 1, kLangEnUs, Filled(24, 4))
      .Build();
}

class PeResources : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(Bitness, PeResources, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Pe32Plus" : "Pe32"; });

TEST_P(PeResources, StringsOfAllBlocksWithEmptyOnesLeftOut) {
  Bytes file = PeBuilder(GetParam())
                   .AddString(0, u"zero")
                   .AddString(2, u"")
                   .AddString(15, u"end of block 1")
                   .AddString(16, u"start of block 2")
                   .AddString(65171, u"high id")
                   .AddString(65535, u"last id")
                   .Build();
  std::optional<ModuleImage> image = Parse(file);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->is64Bit, GetParam());
  std::map<std::uint32_t, std::u16string> expected{{0, u"zero"},
                                                   {15, u"end of block 1"},
                                                   {16, u"start of block 2"},
                                                   {65171, u"high id"},
                                                   {65535, u"last id"}};
  EXPECT_EQ(image->strings, expected);
  EXPECT_TRUE(image->messages.empty());
  EXPECT_TRUE(image->iconGroups.empty());
}

TEST_P(PeResources, MessagesFromBlocksWithGapsBothEncodings) {
  // Text lengths cover every padding remainder; high ids carry severity bits as event ids do.
  Bytes file = PeBuilder(GetParam())
                   .AddMessage(1, u"a\r\n")
                   .AddMessage(2, u"bb\r\n")
                   .AddAnsiMessage(3, "ccc\r\n")
                   .AddAnsiMessage(4, "Price \x80 4\r\n")
                   .AddMessage(100, u"Gr\u00FC\u00DFe %1\r\n")
                   .AddMessage(0xC0000001u, u"error\r\n")
                   .AddAnsiMessage(0xC0000002u, "")
                   .Build();
  std::optional<ModuleImage> image = Parse(file);
  ASSERT_TRUE(image);
  std::map<std::uint32_t, std::u16string> expected{{1, u"a\r\n"},
                                                   {2, u"bb\r\n"},
                                                   {3, u"ccc\r\n"},
                                                   {4, u"Price \u20AC 4\r\n"},
                                                   {100, u"Gr\u00FC\u00DFe %1\r\n"},
                                                   {0xC0000001u, u"error\r\n"},
                                                   {0xC0000002u, u""}};
  EXPECT_EQ(image->messages, expected);
}

TEST_P(PeResources, LanguagePreferenceEnUsThenNeutralThenFirst) {
  Bytes file = PeBuilder(GetParam())
                   .AddString(1, u"Deutsch", kLangGerman)   // block 1: German only
                   .AddString(17, u"Deutsch", kLangGerman)  // block 2: German and neutral
                   .AddString(17, u"neutral", kLangNeutral)
                   .AddString(33, u"Deutsch", kLangGerman)  // block 3: all three
                   .AddString(33, u"neutral", kLangNeutral)
                   .AddString(33, u"English", kLangEnUs)
                   .AddMessage(1, u"Hallo\r\n", kLangGerman)
                   .AddMessage(2, u"nur Deutsch\r\n", kLangGerman)
                   .AddMessage(1, u"Hello\r\n", kLangEnUs)
                   .Build();
  std::optional<ModuleImage> image = Parse(file);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->strings, (std::map<std::uint32_t, std::u16string>{
                                {1, u"Deutsch"}, {17, u"neutral"}, {33, u"English"}}));
  // The language is picked per resource, so German-only ids of the table are not mixed in.
  EXPECT_EQ(image->messages, (std::map<std::uint32_t, std::u16string>{{1, u"Hello\r\n"}}));
}

TEST_P(PeResources, MessageTablesOfSeveralIdsAreMerged) {
  Bytes second;
  for (std::uint32_t v : {1u, 50u, 50u, 16u}) {  // one block: id 50 at offset 16
    for (int i = 0; i < 4; ++i) second.push_back(static_cast<std::byte>(v >> (8 * i)));
  }
  for (int b : {8, 0, 0, 0, int{'x'}, int{'\r'}, int{'\n'}, 0})
    second.push_back(static_cast<std::byte>(b));
  Bytes file = PeBuilder(GetParam())
                   .AddMessage(1, u"first\r\n")
                   .AddRawResource(11, 2, kLangEnUs, second)
                   .Build();
  std::optional<ModuleImage> image = Parse(file);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->messages,
            (std::map<std::uint32_t, std::u16string>{{1, u"first\r\n"}, {50, u"x\r\n"}}));
}

TEST_P(PeResources, IconGroupsByNameInDirectoryOrder) {
  PeIcon small{16, 16, 8, Filled(40, 1)};
  PeIcon huge{0, 0, 32, Filled(300, 2)};
  PeIcon medium{32, 32, 4, Filled(64, 3)};
  Bytes file = PeBuilder(GetParam())
                   .AddIconGroup(u"zeta", {small, huge})
                   .AddIconGroup(7, {medium})
                   .AddIconGroup(u"Alpha", {medium})
                   .Build();
  std::optional<ModuleImage> image = Parse(file);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->iconGroupOrder, (std::vector<std::u16string>{u"ALPHA", u"ZETA", u"#7"}));
  ASSERT_EQ(image->iconGroups.size(), 3u);
  const std::vector<IconImage>& zeta = image->iconGroups.at(u"ZETA").images;
  ASSERT_EQ(zeta.size(), 2u);
  EXPECT_EQ(zeta[0].width, 16u);
  EXPECT_EQ(zeta[0].height, 16u);
  EXPECT_EQ(zeta[0].bitCount, 8u);
  EXPECT_EQ(zeta[0].data, small.data);
  EXPECT_EQ(zeta[1].width, 256u);
  EXPECT_EQ(zeta[1].height, 256u);
  EXPECT_EQ(zeta[1].bitCount, 32u);
  EXPECT_EQ(zeta[1].data, huge.data);
  for (const char16_t* key : {u"ALPHA", u"#7"}) {
    const std::vector<IconImage>& images = image->iconGroups.at(key).images;
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].data, medium.data);
    EXPECT_EQ(images[0].bitCount, 4u);
  }
}

TEST_P(PeResources, IconBitCountFallsBackToTheBitmapHeader) {
  Bytes bitmap = Filled(56, 0);
  Poke32(bitmap, 0, 40);  // BITMAPINFOHEADER size
  bitmap[14] = std::byte{24};
  bitmap[15] = std::byte{0};
  Bytes file = PeBuilder(GetParam()).AddIconGroup(u"I", {PeIcon{48, 48, 0, bitmap}}).Build();
  std::optional<ModuleImage> image = Parse(file);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->iconGroups.at(u"I").images.at(0).bitCount, 24u);
}

TEST_P(PeResources, EventManifestIsTheNamedTypesIdOneInTheMessageTablesLanguage) {
  const Bytes english = Filled(32, 1), german = Filled(16, 2), neutral = Filled(8, 3);
  struct Case {
    const char* what;
    PeBuilder builder;
    Bytes expected;
  };
  Case cases[] = {
      {"en-US among others",
       PeBuilder(GetParam())
           .AddRawResource(u"WEVT_TEMPLATE", 1, kLangGerman, german)
           .AddRawResource(u"WEVT_TEMPLATE", 1, kLangEnUs, english)
           .AddRawResource(u"WEVT_TEMPLATE", 2, kLangEnUs, neutral),
       english},
      {"neutral before German",
       PeBuilder(GetParam())
           .AddRawResource(u"WEVT_TEMPLATE", 1, kLangGerman, german)
           .AddRawResource(u"WEVT_TEMPLATE", 1, kLangNeutral, neutral),
       neutral},
      {"type name in any case",
       PeBuilder(GetParam()).AddRawResource(u"Wevt_Template", 1, kLangGerman, german), german},
      {"only id 1",
       PeBuilder(GetParam()).AddRawResource(u"WEVT_TEMPLATE", 2, kLangEnUs, english),
       {}},
      {"other named types",
       PeBuilder(GetParam()).AddRawResource(u"MUI", 1, kLangEnUs, english),
       {}},
      {"numbered type 1", PeBuilder(GetParam()).AddRawResource(1, 1, kLangEnUs, english), {}},
  };
  for (Case& c : cases) {
    std::optional<ModuleImage> image = Parse(c.builder.AddMessage(1, u"m\r\n").Build());
    ASSERT_TRUE(image) << c.what;
    EXPECT_EQ(image->eventManifest, c.expected) << c.what;
    EXPECT_EQ(image->messages.size(), 1u) << c.what;
  }
}

TEST_P(PeResources, FileWithoutResourcesGivesAnEmptyImage) {
  std::string error = "stale";
  std::optional<ModuleImage> image = Parse(PeBuilder(GetParam()).Build(), &error);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->is64Bit, GetParam());
  EXPECT_TRUE(image->strings.empty() && image->messages.empty() && image->iconGroups.empty());
  EXPECT_TRUE(error.empty());
}

TEST_P(PeResources, EveryTruncationIsRejected) {
  Bytes file = RichFile(GetParam());
  ASSERT_TRUE(Parse(file));
  for (std::size_t length = 0; length < file.size(); ++length) {
    std::string error;
    Bytes cut(file.begin(), file.begin() + length);
    ASSERT_FALSE(Parse(cut, &error)) << "length " << length;
    ASSERT_FALSE(error.empty()) << "length " << length;
  }
}

TEST_P(PeResources, DamagedHeadersAreRejected) {
  const Bytes good = RichFile(GetParam());
  const std::size_t pe = Peek32(good, 0x3C);
  const std::size_t optional = pe + 24;
  const std::size_t resourceDir = optional + (GetParam() ? 112 : 96) + 16;
  struct Damage {
    const char* what;
    std::size_t offset;
    std::uint32_t value;
  };
  for (const Damage& d :
       {Damage{"MZ", 0, 0x00905A4E}, Damage{"e_lfanew", 0x3C, 0xFFFFFFF0},
        Damage{"e_lfanew near end", 0x3C, static_cast<std::uint32_t>(good.size() - 2)},
        Damage{"PE signature", pe, 0x00004551}, Damage{"magic", optional, 0x0000010C},
        Damage{"section count", pe + 4, 0x7FFF014C},
        Damage{"resource rva", resourceDir, 0x00900000},
        Damage{"root type entry", qb::support::kPeRsrcFileOffset + 20, 0x8000FFF0},
        Damage{"root entry count", qb::support::kPeRsrcFileOffset + 12, 0xFFFF0000}}) {
    Bytes file = good;
    Poke32(file, d.offset, d.value);
    std::string error;
    EXPECT_FALSE(Parse(file, &error)) << d.what;
    EXPECT_FALSE(error.empty()) << d.what;
  }
}

TEST_P(PeResources, DataEntriesPointingOutsideTheSectionsAreRejected) {
  const Bytes good = RichFile(GetParam());
  // Data entries are 16-byte records whose first field is an RVA inside .rsrc; find each by
  // its RVA and make it point elsewhere.
  int found = 0;
  for (std::size_t at = qb::support::kPeRsrcFileOffset; at + 8 <= good.size(); at += 4) {
    std::uint32_t rva = Peek32(good, at);
    std::uint32_t size = Peek32(good, at + 4);
    if (rva < qb::support::kPeRsrcRva + 16 || rva >= qb::support::kPeRsrcRva + 0x1000 ||
        size == 0 || size > 0x1000 || rva % 8 != 0) {
      continue;
    }
    ++found;
    for (std::uint32_t bad : {0x00001100u, 0x00000010u, 0xFFFFFFF8u}) {
      Bytes file = good;
      Poke32(file, at, bad);
      EXPECT_FALSE(Parse(file)) << "entry at " << at << " rva " << bad;
    }
    Bytes file = good;
    Poke32(file, at + 4, 0x7FFFFFFF);
    EXPECT_FALSE(Parse(file)) << "entry at " << at << " with a huge size";
  }
  EXPECT_GE(found, 6);  // two string blocks, a message table, an icon, a group, a manifest
}

TEST_P(PeResources, ArbitraryDamageNeverCrashes) {
  const Bytes good = RichFile(GetParam());
  for (std::size_t at = 0; at + 4 <= good.size(); at += 2) {
    for (std::uint32_t value : {0u, 0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 0x80000010u,
                                static_cast<std::uint32_t>(good.size())}) {
      Bytes file = good;
      Poke32(file, at, value);
      std::string error;
      std::optional<ModuleImage> image = Parse(file, &error);
      EXPECT_EQ(image.has_value(), error.empty()) << "offset " << at;
    }
  }
}

Bytes MessageTable(std::initializer_list<std::uint32_t> header, Bytes entries) {
  Bytes data;
  for (std::uint32_t v : header) {
    for (int i = 0; i < 4; ++i) data.push_back(static_cast<std::byte>(v >> (8 * i)));
  }
  data.insert(data.end(), entries.begin(), entries.end());
  return data;
}

TEST_P(PeResources, MalformedMessageTablesAreRejected) {
  const Bytes entry{std::byte{8},   std::byte{0},   std::byte{0}, std::byte{0},
                    std::byte{'o'}, std::byte{'k'}, std::byte{0}, std::byte{0}};
  const Bytes zeroLength{std::byte{0}, std::byte{0}, std::byte{0}, std::byte{0}};
  const Bytes tooLong{std::byte{12}, std::byte{0}, std::byte{0}, std::byte{0}};
  struct Case {
    const char* what;
    Bytes data;
    bool valid;
  };
  for (const Case& c : {
           Case{"well formed", MessageTable({1, 5, 5, 16}, entry), true},
           Case{"block count beyond the data", MessageTable({0x10000000, 5, 5, 16}, entry), false},
           Case{"high id below low id", MessageTable({1, 6, 5, 16}, entry), false},
           Case{"entries offset beyond the data", MessageTable({1, 5, 5, 999}, entry), false},
           Case{"more ids than entries", MessageTable({1, 5, 6, 16}, entry), false},
           Case{"whole id range", MessageTable({1, 0, 0xFFFFFFFF, 16}, entry), false},
           Case{"entry length zero", MessageTable({1, 5, 5, 16}, zeroLength), false},
           Case{"entry longer than the data", MessageTable({1, 5, 5, 16}, tooLong), false},
           Case{"no block count", Bytes{std::byte{1}}, false},
       }) {
    Bytes file = PeBuilder(GetParam()).AddRawResource(11, 1, kLangEnUs, c.data).Build();
    std::optional<ModuleImage> image = Parse(file);
    EXPECT_EQ(image.has_value(), c.valid) << c.what;
    if (c.valid && image) {
      EXPECT_EQ(image->messages.at(5), u"ok");
    }
  }
}

TEST_P(PeResources, MalformedStringAndIconResourcesAreRejected) {
  Bytes shortBlock{std::byte{3}, std::byte{0}, std::byte{'a'}, std::byte{0}};
  EXPECT_FALSE(Parse(PeBuilder(GetParam()).AddRawResource(6, 1, kLangEnUs, shortBlock).Build()));
  Bytes shortGroup{std::byte{0}, std::byte{0}, std::byte{1}, std::byte{0},
                   std::byte{2}, std::byte{0}};  // two entries announced, none present
  EXPECT_FALSE(Parse(PeBuilder(GetParam()).AddRawResource(14, 1, kLangEnUs, shortGroup).Build()));
}

TEST_P(PeResources, OverlappingMessageBlocksCannotMultiplyTheWork) {
  // Thousands of blocks that all cover the same thousands of 4-byte entries: a well-formed
  // table never shares entries, so this must be refused instead of walked block by block.
  constexpr std::uint32_t kBlocks = 4000;
  constexpr std::uint32_t kEntries = 4000;
  Bytes data = MessageTable({kBlocks}, {});
  for (std::uint32_t b = 0; b < kBlocks; ++b) {
    for (std::uint32_t v : {0u, kEntries - 1, 4 + 12 * kBlocks}) {
      for (int i = 0; i < 4; ++i) data.push_back(static_cast<std::byte>(v >> (8 * i)));
    }
  }
  for (std::uint32_t e = 0; e < kEntries; ++e) {
    for (std::uint8_t b : {4, 0, 1, 0}) data.push_back(std::byte{b});
  }
  std::string error;
  EXPECT_FALSE(Parse(PeBuilder(GetParam()).AddRawResource(11, 1, kLangEnUs, data).Build(), &error));
  EXPECT_NE(error.find("too often"), std::string::npos) << error;
}

TEST_P(PeResources, ThrowingAnsiConversionIsContained) {
  Bytes file = PeBuilder(GetParam()).AddAnsiMessage(1, "x\r\n").Build();
  auto throwing = [](std::string_view) -> std::u16string { throw std::runtime_error("no"); };
  std::string error;
  EXPECT_FALSE(ParsePeResources(file, throwing, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
