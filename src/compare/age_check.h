#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "compare/check.h"

namespace veldra {

// A drawing at least as old as the threshold, with its age in calendar
// years and months.
struct OldDrawing {
  std::size_t drawing = 0;
  long long years = 0;
  long long months = 0;
};

struct AgeFindings : Findings {
  std::string age;  // the threshold as the user gave it ("1 year")
  std::vector<OldDrawing> drawings;  // in table order
  int conflicts() const override { return static_cast<int>(drawings.size()); }
};

// The age thresholds of the age check; nothing applies to an unknown text.
struct AgeThreshold {
  int months = 0;  // 0 when none
  int years = 0;   // 0 when none
};
AgeThreshold ageThreshold(std::string_view text);

// Year and month of the day part of a Julian date (Gregorian from 15 October
// 1582 on, Julian before).
YearMonth julianToDate(double julian);

// Every dated drawing whose age reaches the threshold, today taken anew for
// each drawing. Each counts on the age counter; the elapsed time is marked
// after every drawing.
std::vector<OldDrawing> findOldDrawings(const DrawingTable& table, AgeThreshold threshold, RunClock& clock,
                                        CheckProgress& progress);

// The age check: "DWG Age >=".
const Check& ageCheck();

}  // namespace veldra
