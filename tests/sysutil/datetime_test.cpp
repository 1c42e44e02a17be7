#include <gtest/gtest.h>

#include "sysutil/datetime.h"

namespace qb::sysutil {
namespace {

using platform::SystemTime;

TEST(DateTime, EpochAndCalendarFields) {
  const SystemTime t = DateTimeToSystemTime(kUnixEpochDays);
  EXPECT_EQ(t.wYear, 1970);
  EXPECT_EQ(t.wMonth, 1);
  EXPECT_EQ(t.wDay, 1);
  EXPECT_EQ(t.wDayOfWeek, 4);  // a Thursday
  const SystemTime last = DateTimeToSystemTime(MakeDateTime(25569, 86399));
  EXPECT_EQ(last.wHour, 23);
  EXPECT_EQ(last.wMinute, 59);
  EXPECT_EQ(last.wSecond, 59);
  EXPECT_EQ(last.wMilliseconds, 0);
}

TEST(DateTime, RoundTripsThroughFileTimeAcrossLeapDays) {
  for (const SystemTime in :
       {SystemTime{2000, 2, 0, 29, 12, 0, 0, 0}, SystemTime{1601, 1, 0, 1, 0, 0, 0, 0},
        SystemTime{2026, 12, 0, 31, 23, 59, 59, 0}, SystemTime{1900, 3, 0, 1, 6, 30, 15, 0}}) {
    const auto ft = SystemTimeToFileTime(in);
    ASSERT_TRUE(ft.has_value());
    const auto back = FileTimeToSystemTime(*ft);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->wYear, in.wYear);
    EXPECT_EQ(back->wMonth, in.wMonth);
    EXPECT_EQ(back->wDay, in.wDay);
    EXPECT_EQ(back->wHour, in.wHour);
    EXPECT_EQ(back->wSecond, in.wSecond);
    const auto dt = SystemTimeToDateTime(in);
    ASSERT_TRUE(dt.has_value());
    EXPECT_EQ(DateTimeToSystemTime(*dt), *back);
  }
}

TEST(DateTime, FileTimeOfTheUnixEpoch) {
  const auto ft = SystemTimeToFileTime(SystemTime{1970, 1, 0, 1, 0, 0, 0, 0});
  ASSERT_TRUE(ft.has_value());
  EXPECT_EQ(ft->value(), 116444736000000000ull);
}

TEST(DateTime, RejectsImpossibleFields) {
  EXPECT_FALSE(SystemTimeToFileTime(SystemTime{2001, 2, 0, 29, 0, 0, 0, 0}).has_value());
  EXPECT_FALSE(SystemTimeToFileTime(SystemTime{1600, 12, 0, 31, 0, 0, 0, 0}).has_value());
  EXPECT_FALSE(SystemTimeToDateTime(SystemTime{2020, 13, 0, 1, 0, 0, 0, 0}).has_value());
  EXPECT_FALSE(SystemTimeToDateTime(SystemTime{2020, 1, 0, 1, 24, 0, 0, 0}).has_value());
}

}  // namespace
}  // namespace qb::sysutil
