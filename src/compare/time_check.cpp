#include "compare/time_check.h"

#include <algorithm>
#include <cmath>

#include "compare/classic_reports.h"

namespace veldra {

TimeOfDay timeOfDay(double julian) {
  // Seconds of the day rounded to the millisecond first: the fraction of a
  // date that stands for a whole second is rarely exact in binary, and
  // cutting it off would show one second less.
  double x = (julian - std::trunc(julian)) * 86400.0;
  x = std::round(x * 1000.0) / 1000.0;
  double m = x / 60.0;
  const double h = m / 60.0;
  TimeOfDay t;
  if (h >= 1) {
    t.hours = static_cast<long long>(std::trunc(h));
    m -= static_cast<double>(t.hours) * 60;
    x -= static_cast<double>(t.hours) * 3600;
  }
  if (m >= 1) {
    t.minutes = static_cast<long long>(std::trunc(m));
    x -= static_cast<double>(t.minutes) * 60;
  }
  t.seconds = static_cast<long long>(std::trunc(x));
  return t;
}

TimeFindings findSameInstants(const DrawingTable& table, CheckProgress& progress) {
  const std::size_t n = table.size();
  // Drawings with equal non-zero dates, grouped; each group in table order.
  // The pairs are then emitted in the order of the pair loop: by first
  // entry, then by second.
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < n; ++i)
    if (table.times[i] != 0.0) order.push_back(i);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return table.times[a] < table.times[b]; });
  // For each entry: its later partners, as a range of `order`.
  std::vector<std::size_t> nextPos(n, 0), groupEnd(n, 0);
  for (std::size_t k = 0; k < order.size();) {
    std::size_t end = k + 1;
    while (end < order.size() && table.times[order[end]] == table.times[order[k]]) ++end;
    for (std::size_t p = k; p < end; ++p) {
      nextPos[order[p]] = p + 1;
      groupEnd[order[p]] = end;
    }
    k = end;
  }

  TimeFindings findings;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    for (std::size_t p = nextPos[i]; p < groupEnd[i]; ++p) {
      findings.pairs.push_back({i, order[p], table.times[i]});
      progress.conflict(timeCheck());
    }
    progress.mark();
  }
  return findings;
}

namespace {

class TimeCheck : public Check {
 public:
  const CheckFace& face() const override {
    static constexpr CheckFace kFace{
        .name = "time",
        .onByDefault = true,
        .counter = "Time Conflicts",
        .status = "Checking times...",
        .report = Workspace::kTimeReports,
        .reportTitle = "Time Conflicts",
        .switchedOff = "Time conflicts not reported due to option selection.",
        .unavailable = "No available TIME CONFLICTS for Project: "};
    return kFace;
  }
  void writeReport(std::ostream& out, const Findings& findings, const DrawingTable& table) const override {
    writeTimeReport(out, static_cast<const TimeFindings&>(findings), table);
  }
  std::unique_ptr<Findings> judge(const CheckInput& input, CheckProgress& progress) const override {
    return std::make_unique<TimeFindings>(findSameInstants(input.table, progress));
  }
};

}  // namespace

const Check& timeCheck() {
  static const TimeCheck check;
  return check;
}

}  // namespace veldra
