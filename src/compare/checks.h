#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "compare/run_context.h"

namespace veldra {

// The drawing table: one entry per counted drawing; entries without a record
// keep name "", date 0 and no handles.
struct DrawingTable {
  std::vector<std::string> names;
  std::vector<double> times;
  std::vector<std::string> handles;

  explicit DrawingTable(std::size_t size = 0) : names(size), times(size, 0.0), handles(size) {}
  std::size_t size() const { return names.size(); }
};

// Each check writes its report file whole. A check returns false only when
// it is switched off and its report file cannot be written: that ends the
// comparison. A switched-on check ignores a report it cannot write.
bool checkTimes(RunContext& run, const DrawingTable& table);
bool checkHandles(RunContext& run, const DrawingTable& table);
bool checkAges(RunContext& run, const DrawingTable& table);

// Time of day carried by the fraction of a Julian date, as the time report
// writes it.
struct TimeOfDay {
  long long hours = 0, minutes = 0, seconds = 0;
};
TimeOfDay timeOfDay(double julian);
std::string timeConflictLine(const std::string& first, const std::string& second, double julian);

// Year and month of the day part of a Julian date (Gregorian from 15 October
// 1582 on, Julian before).
YearMonth julianToDate(double julian);

// The age thresholds of the age check; nothing applies to an unknown text.
struct AgeThreshold {
  int months = 0;  // 0 when none
  int years = 0;   // 0 when none
};
AgeThreshold ageThreshold(std::string_view text);

}  // namespace veldra
