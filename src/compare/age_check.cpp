#include "compare/age_check.h"

#include <algorithm>
#include <cmath>

#include "compare/classic_reports.h"

namespace veldra {

namespace {
// Days beyond which a date is held at the bound: its year still fits an int,
// and the arithmetic below stays exact.
constexpr double kFarthestDay = 5e11;
}  // namespace

YearMonth julianToDate(double julian) {
  // A damaged record may hold any number; to the age check a date a billion
  // years off is as far off as one further still.
  const double z = std::isnan(julian) ? 0.0 : std::clamp(std::trunc(julian), -kFarthestDay, kFarthestDay);
  double a = z;
  if (z >= 2299161) {
    const double alpha = std::trunc((z - 1867216.25) / 36524.25);
    a = z + 1 + alpha - std::trunc(alpha / 4);
  }
  const double b = a + 1524;
  const double c = std::trunc((b - 122.1) / 365.25);
  const double d = std::trunc(365.25 * c);
  const double e = std::trunc((b - d) / 30.6001);
  const int month = static_cast<int>(e < 14 ? e - 1 : e - 13);
  const int year = static_cast<int>(month > 2 ? c - 4716 : c - 4715);
  return {year, month};
}

AgeThreshold ageThreshold(std::string_view text) {
  static const struct {
    std::string_view text;
    AgeThreshold threshold;
  } kTable[] = {
      {"1 month", {1, 0}},  {"2 months", {2, 0}}, {"3 months", {3, 0}}, {"4 months", {4, 0}},
      {"5 months", {5, 0}}, {"6 months", {6, 0}}, {"1 year", {0, 1}},   {"2 years", {0, 2}},
      {"3 years", {0, 3}},  {"4 years", {0, 4}},  {"5 years", {0, 5}},  {"over 5 years", {0, 99}},
  };
  for (const auto& row : kTable)
    if (row.text == text) return row.threshold;
  return {};
}

std::vector<OldDrawing> findOldDrawings(const DrawingTable& table, AgeThreshold threshold, RunClock& clock,
                                        CheckProgress& progress) {
  std::vector<OldDrawing> old;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table.times[i] != 0.0) {
      const YearMonth drawn = julianToDate(table.times[i]);
      const YearMonth now = clock.today();
      // Counted wide: a date far off (a damaged record) must not overflow.
      long long years = static_cast<long long>(now.year) - drawn.year;
      long long months = static_cast<long long>(now.month) - drawn.month;
      if (months < 0) {
        years -= 1;
        months = now.month + (12 - static_cast<long long>(drawn.month));
      }
      const bool flagged = (threshold.years > 0 && years >= threshold.years) ||
                           (threshold.months > 0 && 12 * years + months >= threshold.months);
      if (flagged) {
        old.push_back({i, years, months});
        progress.conflict(ageCheck());
      }
    }
    progress.mark();
  }
  return old;
}

namespace {

class AgeCheck : public Check {
 public:
  const CheckFace& face() const override {
    static constexpr CheckFace kFace{
        .name = "age",
        .onByDefault = false,
        .counter = "Age Conflicts",
        .status = "Checking dates...",
        .report = Workspace::kAgeReports,
        .reportTitle = "DWG Date Conflicts",
        .switchedOff = "DWG date conflicts not reported due to option selection.",
        .unavailable = "No available DWG Date CONFLICTS for Project: "};
    return kFace;
  }
  // On the command line its switch is the age itself: "--age 1 year" or "off".
  std::string* settingInSwitch(RunOptions& options) const override { return &options.age; }
  void writeReport(std::ostream& out, const Findings& findings, const DrawingTable& table) const override {
    writeAgeReport(out, static_cast<const AgeFindings&>(findings), table);
  }
  std::unique_ptr<Findings> judge(const CheckInput& input, CheckProgress& progress) const override {
    auto findings = std::make_unique<AgeFindings>();
    findings->age = input.options.age;
    findings->drawings = findOldDrawings(input.table, ageThreshold(input.options.age), input.clock, progress);
    return findings;
  }
};

}  // namespace

const Check& ageCheck() {
  static const AgeCheck check;
  return check;
}

}  // namespace veldra
