#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "compare/checks.h"
#include "compare/julian_text.h"

namespace veldra {
namespace {

TEST(JulianText, WritesPlainDecimalWithoutTrailingZeros) {
  EXPECT_EQ(julianText(2453585.68746528), "2453585.68746528");
  EXPECT_EQ(julianText(2453585.5), "2453585.5");
  EXPECT_EQ(julianText(2453585.0), "2453585");
  EXPECT_EQ(julianText(0.0), "0");
  EXPECT_EQ(julianText(-0.0), "0");
  EXPECT_EQ(julianText(-2.25), "-2.25");
  EXPECT_EQ(julianText(0.000125), "0.000125");
  EXPECT_EQ(julianText(1e-20), "0.00000000000000000001");
  EXPECT_EQ(julianText(1e20), "100000000000000000000");
  EXPECT_EQ(julianText(123456789012345678.0), "123456789012346000");
  // Fifteen significant digits: the sixteenth is rounded away.
  EXPECT_EQ(julianText(2453585.587071759), "2453585.58707176");
  EXPECT_EQ(julianText(0.1 + 0.2), "0.3");
}

TEST(JulianText, RoundTripsAtFifteenDigitsAndNeverUsesAnExponent) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> power(-25, 25);
  for (int k = 0; k < 20000; ++k) {
    const double value = (k % 2 ? -1 : 1) * mantissa(random) * std::pow(10.0, power(random));
    const std::string text = julianText(value);
    ASSERT_EQ(text.find_first_of("eE+"), std::string::npos) << text;
    if (text.find('.') != std::string::npos) {
      ASSERT_NE(text.back(), '0') << text;
    }
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.14e", value);
    const auto back = parsePlainNumber(text);
    ASSERT_TRUE(back.has_value()) << text;
    ASSERT_EQ(*back, std::strtod(expected, nullptr)) << text;
  }
}

TEST(PlainNumbers, ParseOnlyPlainDecimals) {
  EXPECT_EQ(parsePlainNumber("2453585.5"), 2453585.5);
  EXPECT_EQ(parsePlainNumber(" -1.25 "), -1.25);
  EXPECT_FALSE(parsePlainNumber("").has_value());
  EXPECT_FALSE(parsePlainNumber("abc").has_value());
  EXPECT_FALSE(parsePlainNumber("1e5").has_value());
  EXPECT_FALSE(parsePlainNumber("2453585.5x").has_value());
  EXPECT_EQ(thresholdNumber("100"), 100);
  EXPECT_EQ(thresholdNumber("50%"), 50);
  EXPECT_EQ(thresholdNumber("  66.5 %"), 66.5);
  EXPECT_EQ(thresholdNumber("abc"), 0);
}

// 401 digits do not fit a double: the number is huge, not 0 (a threshold of
// 0% would make every pair a conflict).
TEST(PlainNumbers, NumbersBeyondADoubleAreHugeOrTiny) {
  const std::string huge(401, '9');
  EXPECT_EQ(thresholdNumber(huge), HUGE_VAL);
  EXPECT_EQ(thresholdNumber(huge + "%"), HUGE_VAL);
  EXPECT_EQ(parsePlainNumber("-" + huge), -HUGE_VAL);
  EXPECT_EQ(parsePlainNumber("0000." + huge), 1.0);
  EXPECT_EQ(parsePlainNumber("0." + std::string(400, '0') + "1"), 0.0);
  EXPECT_EQ(parsePlainNumber("000" + std::string(300, '0') + "." + std::string(400, '0') + "1"), 0.0);
}

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
