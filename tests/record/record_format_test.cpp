#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "app/textfile.h"
#include "record/record_format.h"
#include "support/temp_dir.h"

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

TEST(RecordFile, NamesAndLinesAreWrittenByteForByte) {
  EXPECT_EQ(recordName("a,b.dwg"), "A_B");
  EXPECT_EQ(recordName("Part1.DWG"), "PART1");
  EXPECT_EQ(recordLine("ALICE_ PART 1", 2453585.68746528, "2F$30$31$"),
            "\"ALICE_ PART 1,2453585.68746528,2F$30$31$,END\"\r\n");
  EXPECT_EQ(recordLine("A", 2453585.5, ""), "\"A,2453585.5,,END\"\r\n");
  EXPECT_EQ(recordLine("A", std::nullopt, ""), "\"A,,,END\"\r\n");
}

// A student who names a file with a quote or a line break must not switch
// detection off for the class: every name reads back as one record.
TEST(RecordFile, EveryNameReadsBackWhateverTheFileIsCalled) {
  EXPECT_EQ(recordName("say \"hi\".dwg"), "SAY _HI_");
  EXPECT_EQ(recordName("two\r\nlines\n.dwg"), "TWO__LINES_");
  EXPECT_EQ(recordName("tab\there\x7f\x01.dwg"), "TAB_HERE__");
  EXPECT_EQ(recordName("Ärger; #1 (v2).dwg"), "ÄRGER; #1 (V2)");  // nothing else changes
  for (const char* fileName : {"a\"b.dwg", "\"quoted\".dwg", "cr\rhere.dwg", "lf\nhere.dwg", "end\",x.dwg", ",\".dwg"}) {
    const std::string line = recordLine(recordName(fileName), 2453585.5, "1F$");
    const auto lines = splitLines(line);
    ASSERT_EQ(lines.size(), 1u) << fileName;
    const auto items = splitItems(lines[0]);
    ASSERT_FALSE(items.empty()) << fileName;
    const auto record = parseRecord(items[0]);
    ASSERT_TRUE(record) << fileName;
    EXPECT_EQ(record->name, recordName(fileName));
    EXPECT_EQ(record->date, 2453585.5);
    EXPECT_EQ(record->handles, "1F$");
  }
}

}  // namespace
}  // namespace veldra
