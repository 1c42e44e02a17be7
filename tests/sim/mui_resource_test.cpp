// The MUI resource configuration the PE writer gives libraries and their language files: each
// list where the header's offset and size say, the size field the whole resource's.
#include <gtest/gtest.h>

#include <optional>

#include "platform/sim/formats/pe_resources.h"
#include "platform/sim/formats/pe_writer.h"

namespace qb::sim {
namespace {

using platform::Bytes;

std::uint32_t U32(const Bytes& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(b.at(at + i));
  return v;
}

// The UTF-16 strings of a multi-string list at the header field `field` (offset, size).
std::vector<std::u16string> Strings(const Bytes& b, std::size_t field) {
  std::vector<std::u16string> out;
  const std::uint32_t offset = U32(b, field), size = U32(b, field + 4);
  std::u16string current;
  for (std::size_t i = offset; i + 1 < offset + size; i += 2) {
    const auto c = static_cast<char16_t>(static_cast<std::uint8_t>(b.at(i)) |
                                         static_cast<std::uint8_t>(b.at(i + 1)) << 8);
    if (c != 0) {
      current += c;
    } else if (!current.empty()) {
      out.push_back(std::move(current));
      current.clear();
    }
  }
  return out;
}

std::vector<std::uint32_t> Ids(const Bytes& b, std::size_t field) {
  std::vector<std::uint32_t> out;
  for (std::size_t i = 0; i < U32(b, field + 4); i += 4) out.push_back(U32(b, U32(b, field) + i));
  return out;
}

TEST(MuiResource, ListsLieWhereTheHeaderSays) {
  const struct {
    const char* what;
    MuiConfig config;
    std::uint32_t fileType;
    std::size_t languageField;  // the language file's own language, or the library's fallback
  } cases[] = {
      {"library", {false, u"en-US", {u"MUI", u"WEVT_TEMPLATE"}, {16}, {}, {11}}, 0x11, 0x7C},
      {"language file", {true, u"en-US", {u"MUI"}, {}, {}, {11, 6}}, 0x12, 0x74},
      {"German language file", {true, u"de-DE", {}, {}, {u"MUI"}, {11}}, 0x12, 0x74},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes b = WriteMuiResource(c.config);
    ASSERT_GE(b.size(), 0x84u);
    EXPECT_EQ(U32(b, 0), 0xFECDFECDu);
    EXPECT_EQ(U32(b, 4), b.size());
    EXPECT_EQ(b.size() % 8, 0u);
    EXPECT_EQ(U32(b, 16), c.fileType);
    EXPECT_EQ(Strings(b, 0x54), c.config.mainNamedTypes);
    EXPECT_EQ(Ids(b, 0x5C), c.config.mainIdTypes);
    EXPECT_EQ(Strings(b, 0x64), c.config.muiNamedTypes);
    EXPECT_EQ(Ids(b, 0x6C), c.config.muiIdTypes);
    EXPECT_EQ(Strings(b, c.languageField), std::vector<std::u16string>{c.config.language});
    // The other language field stays empty.
    EXPECT_EQ(U32(b, c.languageField == 0x74 ? 0x7C : 0x74), 0u);
  }
}

TEST(MuiResource, LanguageFileKeepsItsMessages) {
  MuiConfig config{true, u"en-US", {u"MUI"}, {}, {}, {11}};
  const Bytes file = PeWriter()
                         .AddMessage(0xB0000064, u"Task started\r\n")
                         .AddRawResource(u"MUI", 1, kPeLangEnUs, WriteMuiResource(config))
                         .Build();
  std::optional<ModuleImage> image = ParsePeResources(file, nullptr);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->messages.size(), 1u);
  EXPECT_TRUE(image->eventManifest.empty());
}

}  // namespace
}  // namespace qb::sim
