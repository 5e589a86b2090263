#include "evidence/judging/words.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace veldra::evidence {

namespace {

struct Civil {
  std::int64_t year;
  unsigned month, day, hour, minute, second, ms;
};

// The proleptic Gregorian calendar of a count of days since 1970-01-01.
Civil civilOf(std::int64_t unixMs) {
  std::int64_t days = unixMs / 86400000;
  std::int64_t rest = unixMs % 86400000;
  if (rest < 0) {
    rest += 86400000;
    --days;
  }
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  Civil c{};
  c.day = doy - (153 * mp + 2) / 5 + 1;
  c.month = mp < 10 ? mp + 3 : mp - 9;
  c.year = static_cast<std::int64_t>(yoe) + era * 400 + (c.month <= 2 ? 1 : 0);
  const auto r = static_cast<unsigned>(rest);
  c.hour = r / 3600000;
  c.minute = r / 60000 % 60;
  c.second = r / 1000 % 60;
  c.ms = r % 1000;
  return c;
}

}  // namespace

std::string measureText(double measure) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.9g", measure);
  return buf;
}

std::string countText(double count) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.0f", std::max(0.0, std::round(count)));
  std::string digits = buf, out;
  for (std::size_t k = 0; k < digits.size(); ++k) {
    if (k > 0 && (digits.size() - k) % 3 == 0) out += ',';
    out += digits[k];
  }
  return out;
}

std::string chanceText(double chance, double pairs) {
  const std::string compared = countText(std::max(1.0, pairs));
  if (chance >= 0.95)
    return "about " + countText(chance) + " of the " + compared + " pairs compared share as many by chance";
  const std::string judgement = "the " + compared + (pairs < 1.5 ? " pair compared shows" : " pairs compared show") +
                                " as many by chance ";
  if (chance < 1e-6) return judgement + "less than once in a million";
  // Two significant digits of how rarely: "once in 48,000".
  const double once = 1.0 / std::max(chance, 1e-300);
  const double unit = std::pow(10.0, std::floor(std::log10(once)) - 1);
  return judgement + "about once in " + countText(std::round(once / unit) * unit);
}

std::string instantText(const Instant& instant, bool milliseconds) {
  const Civil c = civilOf(instant.unixMs);
  char buf[80];
  if (milliseconds)
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02u:%02u:%02u.%03u", static_cast<long long>(c.year), c.month,
                  c.day, c.hour, c.minute, c.second, c.ms);
  else
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02u:%02u:%02u", static_cast<long long>(c.year), c.month, c.day,
                  c.hour, c.minute, c.second);
  return std::string(buf) + (instant.universal ? " UTC" : " (local clock)");
}

std::string isoInstant(const Instant& instant) {
  const Civil c = civilOf(instant.unixMs);
  char buf[80];
  std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02u:%02u:%02u.%03u%s", static_cast<long long>(c.year), c.month,
                c.day, c.hour, c.minute, c.second, c.ms, instant.universal ? "Z" : "");
  return buf;
}

std::string durationText(std::int64_t ms) {
  if (ms < 0) ms = 0;
  const std::int64_t seconds = ms / 1000;
  char buf[64];
  if (seconds >= 3600)
    std::snprintf(buf, sizeof buf, "%lld h %02lld min", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60));
  else if (seconds >= 60)
    std::snprintf(buf, sizeof buf, "%lld min %02lld s", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  else
    std::snprintf(buf, sizeof buf, "%lld s", static_cast<long long>(seconds));
  return buf;
}

std::string percentText(double share) {
  if (!(share > 0)) return "0%";
  int whole = static_cast<int>(std::floor(share * 100.0 + 1e-9));
  if (whole > 100) whole = 100;
  return std::to_string(whole) + "%";
}

std::string laidOpening(const std::string& from, const std::string& onto, const std::string& how,
                        const std::string& howBack, std::optional<bool> fromIsSource) {
  if (fromIsSource) {
    const std::string& done = *fromIsSource ? how : howBack;
    if (!done.empty())
      return (*fromIsSource ? onto : from) + " is " + (*fromIsSource ? from : onto) + "'s work " + done +
             ": laid onto " + onto + ", ";
  }
  return "Laid onto " + onto + ", " + (how.empty() ? std::string() : how + ", ");
}

}  // namespace veldra::evidence
