#include "wfxhost/formatting.h"

#include <gtest/gtest.h>

namespace qb::wfxhost {
namespace {

fs::FILETIME FromUnix(std::uint64_t seconds, std::uint64_t ticks = 0) {
  const std::uint64_t value = (seconds + 11'644'473'600ull) * 10'000'000ull + ticks;
  return {static_cast<fs::DWORD>(value), static_cast<fs::DWORD>(value >> 32)};
}

TEST(HostFormatting, FileTimesAreUtcIsoText) {
  EXPECT_EQ(FileTimeText(FromUnix(0)), "1970-01-01T00:00:00Z");
  EXPECT_EQ(FileTimeText(FromUnix(1'700'000'000)), "2023-11-14T22:13:20Z");
  EXPECT_EQ(FileTimeText(FromUnix(951'782'400)), "2000-02-29T00:00:00Z");
  EXPECT_EQ(FileTimeText(FromUnix(4'107'542'399)), "2100-02-28T23:59:59Z");
  EXPECT_EQ(FileTimeText(FromUnix(1'700'000'000, 5)), "2023-11-14T22:13:20.0000005Z");
  EXPECT_EQ(FileTimeText({1, 0}), "1601-01-01T00:00:00.0000001Z");
  EXPECT_EQ(FileTimeText({0, 0}), "-");
  EXPECT_EQ(FileTimeText({0xFFFFFFFE, 0xFFFFFFFF}), "-");
}

TEST(HostFormatting, AttributesAndSizes) {
  EXPECT_EQ(AttributeText(0x10), "d-");
  EXPECT_EQ(AttributeText(0x01), "-r");
  EXPECT_EQ(AttributeText(0x11 | 0x20), "dr");
  EXPECT_EQ(AttributeText(0x20), "--");
  fs::WIN32_FIND_DATAW data{};
  data.nFileSizeHigh = 1;
  data.nFileSizeLow = 2;
  EXPECT_EQ(FileSize(data), 0x100000002ull);
}

TEST(HostFormatting, ResultCodesHaveTheirNames) {
  EXPECT_EQ(FileResultName(fs::FS_FILE_OK), "FS_FILE_OK");
  EXPECT_EQ(FileResultName(fs::FS_FILE_USERABORT), "FS_FILE_USERABORT");
  EXPECT_EQ(FileResultName(42), "result 42");
  EXPECT_EQ(IconResultName(fs::FS_ICON_DELAYED), "FS_ICON_DELAYED");
  EXPECT_EQ(FieldTypeName(fs::ft_stringw), "ft_stringw");
  EXPECT_EQ(FieldTypeName(fs::ft_ondemand), "ft_ondemand");
  EXPECT_EQ(LastErrorText(3), "error 3 (ERROR_PATH_NOT_FOUND)");
  EXPECT_EQ(LastErrorText(4242), "error 4242");
}

}  // namespace
}  // namespace qb::wfxhost
