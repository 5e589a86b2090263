#include "compare/checks.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <system_error>
#include <utility>

#include "app/textfile.h"
#include "compare/handle_match.h"
#include "compare/julian_text.h"

namespace veldra {

namespace {

bool writeSwitchedOff(const std::filesystem::path& report, std::string_view line) {
  return replaceFile(report, quotedLine(line));
}

// The end of a check that ran: the alarm (once per run) when it found a
// conflict, else the one line saying there was none. The report is replaced
// whole; when that fails the old report is removed so that it is not
// mistaken for this run's, and the check goes on.
void finishCheck(RunContext& run, const std::filesystem::path& report, int conflicts, std::string content,
                 const std::string& noConflictLine) {
  if (conflicts > 0) {
    if (run.state.alertgiven == "NO") raiseAlarm(run);
  } else {
    content = quotedLine(noConflictLine);
  }
  if (!replaceFile(report, content)) {
    std::error_code ec;
    std::filesystem::remove(report, ec);
  }
}

}  // namespace

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

std::string timeConflictLine(const std::string& first, const std::string& second, double julian) {
  const TimeOfDay t = timeOfDay(julian);
  return first + " vs. " + second + " at " + std::to_string(t.hours) + " hours, " +
         std::to_string(t.minutes) + " minutes, " + std::to_string(t.seconds) + " seconds [" +
         julianText(julian) + " as Julian]";
}

bool checkTimes(RunContext& run, const DrawingTable& table) {
  const auto report = run.workspace.timeReport(run.options.project);
  if (!run.options.timeCheck)
    return writeSwitchedOff(report, "Time conflicts not reported due to option selection.");

  run.state.status = "Checking times...";
  run.view.setStatus(run.state.status);
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

  std::string content;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    for (std::size_t p = nextPos[i]; p < groupEnd[i]; ++p) {
      const std::size_t j = order[p];
      ++run.state.timeConflicts;
      run.view.setTimeConflicts(run.state.timeConflicts);
      content += quotedLine(timeConflictLine(table.names[i], table.names[j], table.times[i]));
    }
    run.markTime();
  }
  finishCheck(run, report, run.state.timeConflicts, std::move(content), "No time conflicts!");
  return true;
}

bool checkHandles(RunContext& run, const DrawingTable& table) {
  const auto report = run.workspace.handleReport(run.options.project);
  if (!run.options.handleCheck)
    return writeSwitchedOff(report, "Handle conflicts not reported due to option selection.");

  run.state.status = "Checking handles...";
  run.view.setStatus(run.state.status);
  const double threshold = thresholdNumber(run.options.percent);
  const std::string& entity = run.options.entity;
  const int n = static_cast<int>(table.size());
  const HandleMatcher matcher(table.handles);
  std::vector<int> counts;
  std::string content;
  int conflicts = 0;
  for (int i = 0; i + 1 < n; ++i) {
    const int s1 = matcher.tokenCount(i);
    if (s1 == 0) {
      run.markTime();
      continue;
    }
    matcher.matchesFrom(i, counts);
    for (int j = i + 1; j < n; ++j) {
      run.view.setComparing(i + 1, j + 1);
      const int s2 = matcher.tokenCount(j);
      const int matched = counts[static_cast<std::size_t>(j)];
      const int larger = s1 > s2 ? s1 : s2;
      const double percentage = static_cast<double>(matched) / larger * 100.0;
      const std::string shown = std::to_string(static_cast<long long>(std::round(percentage)));
      const std::string& first = table.names[static_cast<std::size_t>(i)];
      const std::string& second = table.names[static_cast<std::size_t>(j)];
      if (matched == larger) {
        content += quotedLine("** " + first + " vs. " + second + " has a " + shown + "% " + entity +
                              " handle match [" + std::to_string(matched) + " total].");
        ++conflicts;
      } else if (percentage >= threshold) {
        if (s1 > s2)
          content += quotedLine(first + " vs. " + second + " has a " + shown + "% / 100% " + entity +
                                " handle match.");
        else
          content += quotedLine(first + " vs. " + second + " has a 100% / " + shown + "% " + entity +
                                " handle match.");
        ++conflicts;
      }
    }
    run.markTime();
  }
  if (conflicts > 0) {
    run.state.entityConflicts = conflicts;
    run.view.setEntityConflicts(conflicts);
  }
  finishCheck(run, report, conflicts, std::move(content),
              "No entity [" + entity + "] conflicts >= " + run.options.percent + "% match!");
  return true;
}

YearMonth julianToDate(double julian) {
  const double z = std::trunc(julian);
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

bool checkAges(RunContext& run, const DrawingTable& table) {
  const auto report = run.workspace.ageReport(run.options.project);
  if (!run.options.ageCheck)
    return writeSwitchedOff(report, "DWG date conflicts not reported due to option selection.");

  run.state.status = "Checking dates...";
  run.view.setStatus(run.state.status);
  const AgeThreshold threshold = ageThreshold(run.options.age);
  std::string content;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table.times[i] != 0.0) {
      const YearMonth drawn = julianToDate(table.times[i]);
      const YearMonth now = run.clock.today();
      int years = now.year - drawn.year;
      int months = now.month - drawn.month;
      if (months < 0) {
        years -= 1;
        months = now.month + (12 - drawn.month);
      }
      const bool flagged = (threshold.years > 0 && years >= threshold.years) ||
                           (threshold.months > 0 && 12 * years + months >= threshold.months);
      if (flagged) {
        ++run.state.ageConflicts;
        run.view.setAgeConflicts(run.state.ageConflicts);
        std::string name = table.names[i];
        if (name.size() < 32) name.append(32 - name.size(), '.');
        content += quotedLine(name + " [over " + run.options.age + " old] :" + std::to_string(years) +
                              " year(s) & " + std::to_string(months) + " month(s).");
      }
    }
    run.markTime();
  }
  finishCheck(run, report, run.state.ageConflicts, std::move(content), "No DWG date check conflicts!");
  return true;
}

}  // namespace veldra
