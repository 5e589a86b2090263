#pragma once

#include <cstdint>

namespace veldra {

struct YearMonth {
  int year = 0;
  int month = 0;
};

// The machine's local calendar: the offset of local time from universal time
// in force at a moment (seconds since 1970-01-01 00:00 UTC), and today's
// local year and month. The only place that asks the C library for the time
// zone.
long localOffsetSeconds(std::int64_t unixSeconds);
YearMonth localYearMonthNow();

}  // namespace veldra
