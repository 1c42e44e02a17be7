// The Windows backend's time conversion uses the offset in force now.
#include "backend.h"
#include "platform/win32/windows_api.h"

namespace qb::suite {
namespace {

using Win32Locale = PlatformTest;

TEST_F(Win32Locale, LocalTimeIsTheZonesOffsetNow) {
  // 2024-06-01 12:00 UTC.
  const platform::FileTime utc = platform::FileTime::from(133616448000000000ULL);
  platform::FileTime local;
  ASSERT_TRUE(locale().FileTimeToLocal(utc, local));
  TIME_ZONE_INFORMATION zone;
  const DWORD mode = GetTimeZoneInformation(&zone);
  const long bias = zone.Bias + (mode == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : 0);
  EXPECT_EQ(static_cast<std::int64_t>(local.value()),
            static_cast<std::int64_t>(utc.value()) - bias * 60LL * 10000000LL);
}

}  // namespace
}  // namespace qb::suite
