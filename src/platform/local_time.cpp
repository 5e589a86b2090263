#include "platform/local_time.h"

#include <ctime>

namespace veldra {

namespace {

bool toLocal(std::time_t t, std::tm& out) {
#ifdef _WIN32
  return localtime_s(&out, &t) == 0;
#else
  return localtime_r(&t, &out) != nullptr;
#endif
}

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

}  // namespace

long localOffsetSeconds(std::int64_t unixSeconds) {
  std::tm local{};
  if (!toLocal(static_cast<std::time_t>(unixSeconds), local)) return 0;
  const std::int64_t asUtc =
      daysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                    static_cast<unsigned>(local.tm_mday)) * 86400 +
      local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
  return static_cast<long>(asUtc - unixSeconds);
}

YearMonth localYearMonthNow() {
  std::tm local{};
  if (!toLocal(std::time(nullptr), local)) return {1970, 1};
  return {local.tm_year + 1900, local.tm_mon + 1};
}

}  // namespace veldra
