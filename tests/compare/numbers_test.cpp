#include <gtest/gtest.h>

#include "compare/checks.h"

namespace veldra {
namespace {

TEST(TimeOfDay, SplitsTheFractionIntoHoursMinutesSeconds) {
  auto same = [](double j, long long h, long long m, long long s) {
    const TimeOfDay t = timeOfDay(j);
    EXPECT_EQ(t.hours, h) << julianText(j);
    EXPECT_EQ(t.minutes, m) << julianText(j);
    EXPECT_EQ(t.seconds, s) << julianText(j);
  };
  same(2453585.58707176, 14, 5, 23);
  same(2453585 + 44.6 / 86400, 0, 0, 44);
  // Every whole second of a day shows as itself.
  for (int s = 0; s < 86400; s += 5) same(2453585 + s / 86400.0, s / 3600, s / 60 % 60, s % 60);
}

TEST(JulianToDate, GivesYearAndMonthAcrossTheCalendarReform) {
  auto ym = [](double j) { const YearMonth d = julianToDate(j); return d.year * 100 + d.month; };
  EXPECT_EQ(ym(2299160.5), 158210);
  EXPECT_EQ(ym(2299161.5), 158210);
  EXPECT_EQ(ym(2453585.5), 200508);  // 1 August 2005
  EXPECT_EQ(ym(2451545.0), 200001);
  EXPECT_EQ(ym(2451604.0), 200002);  // 29 February 2000
  EXPECT_EQ(ym(2451605.0), 200003);
}

}  // namespace
}  // namespace veldra
