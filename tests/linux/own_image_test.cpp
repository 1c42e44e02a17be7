// The Linux library's own resources, compiled in from resources/: the same texts and icons
// as the Windows library's resource section.
#include "linux/own_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/sim/machine.h"
#include "support/own_resources.h"
#include "support/sim_fixture.h"

namespace qb {
namespace {

std::uint32_t Le32(const platform::Bytes& data, std::size_t at) {
  std::uint32_t value = 0;
  std::memcpy(&value, data.data() + at, sizeof(value));
  return value;
}

TEST(OwnImageTest, TextsAsTheResourceScriptHasThem) {
  const sim::ModuleImage image = linuxlib::OwnImage();
  const sim::ModuleImage expected = support::OwnResources();
  EXPECT_EQ(image.strings, expected.strings);
  EXPECT_EQ(image.messages, expected.messages);
}

TEST(OwnImageTest, IconGroupsByNameWithTheirImages) {
  const sim::ModuleImage image = linuxlib::OwnImage();
  const std::vector<std::u16string> names = {
      u"AMAINICON", u"ARROWDOWN", u"ARROWUP",     u"AUDIT_FAILED", u"AUDIT_SUCCESS", u"COPYPAGES",
      u"CRITICAL",  u"ERROR",     u"INFORMATION", u"VERBOSE",      u"WARNING"};
  EXPECT_EQ(image.iconGroupOrder, names);
  ASSERT_EQ(image.iconGroups.size(), names.size());
  for (const auto& [name, group] : image.iconGroups) {
    SCOPED_TRACE(support::U8(name));
    ASSERT_FALSE(group.images.empty());
    for (const auto& icon : group.images) {
      ASSERT_GE(icon.data.size(), 40u);
      const bool png = std::to_integer<unsigned>(icon.data[0]) == 0x89 &&
                       std::to_integer<unsigned>(icon.data[1]) == 'P';
      if (png) continue;
      // A DIB without file header: its height counts the mask as well.
      EXPECT_EQ(Le32(icon.data, 0), 40u);
      EXPECT_EQ(Le32(icon.data, 4), icon.width);
      EXPECT_EQ(Le32(icon.data, 8), icon.height * 2);
    }
  }
  // The record-type icons are there in the small size the host asks for.
  for (const auto* name : {u"INFORMATION", u"ERROR", u"WARNING", u"AUDIT_SUCCESS"}) {
    const auto& images = image.iconGroups.at(name).images;
    EXPECT_TRUE(std::any_of(images.begin(), images.end(),
                            [](const sim::IconImage& i) { return i.width == 16; }));
  }
}

#ifdef QB_PLUGIN_PE
TEST(OwnImageTest, TheSameAsTheWindowsLibrarysResources) {
  std::ifstream in(QB_PLUGIN_PE, std::ios::binary);
  ASSERT_TRUE(in) << QB_PLUGIN_PE;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  sim::Machine machine;
  std::string error;
  ASSERT_TRUE(machine.modules().LoadOwnImageFromPe(
      std::as_bytes(std::span(bytes.data(), bytes.size())), &error))
      << error;
  const sim::ModuleImage& pe = machine.modules().OwnImage();
  const sim::ModuleImage image = linuxlib::OwnImage();
  EXPECT_EQ(image.strings, pe.strings);
  EXPECT_EQ(image.messages, pe.messages);
  EXPECT_EQ(image.iconGroupOrder, pe.iconGroupOrder);
  ASSERT_EQ(image.iconGroups.size(), pe.iconGroups.size());
  for (const auto& [name, group] : pe.iconGroups) {
    SCOPED_TRACE(support::U8(name));
    const auto& ours = image.iconGroups.at(name).images;
    ASSERT_EQ(ours.size(), group.images.size());
    for (std::size_t i = 0; i < ours.size(); ++i) {
      EXPECT_EQ(ours[i].width, group.images[i].width);
      EXPECT_EQ(ours[i].height, group.images[i].height);
      EXPECT_EQ(ours[i].bitCount, group.images[i].bitCount);
      EXPECT_TRUE(ours[i].data == group.images[i].data);
    }
  }
}
#endif

}  // namespace
}  // namespace qb
