#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "compare/check.h"

namespace veldra {

// Two drawings created at the same instant: entries of the table, the first
// before the second, and their common creation date (a Julian date).
struct SameInstant {
  std::size_t first = 0;
  std::size_t second = 0;
  double created = 0;
};

struct TimeFindings : Findings {
  std::vector<SameInstant> pairs;  // in pair order: by first entry, then by second
  int conflicts() const override { return static_cast<int>(pairs.size()); }
};

// Every pair of drawings with equal non-zero creation dates. Each pair found
// counts on the time counter; the elapsed time is marked after each entry.
TimeFindings findSameInstants(const DrawingTable& table, CheckProgress& progress);

// The time check: "Time Matches".
const Check& timeCheck();

// Time of day carried by the fraction of a Julian date, as the time report
// writes it.
struct TimeOfDay {
  long long hours = 0, minutes = 0, seconds = 0;
};
TimeOfDay timeOfDay(double julian);

}  // namespace veldra
