#include "compare/handle_check.h"

#include "compare/classic_reports.h"
#include "compare/handle_match.h"
#include "record/record_format.h"

namespace veldra {

namespace {
// Pairs compared between two showings of the pair at hand: showing one asks
// the view (and through it the clock) for work that costs far more than
// comparing a pair.
constexpr int kPairsPerShowing = 4096;
}  // namespace

std::vector<HandleMatch> findHandleMatches(const DrawingTable& table, double threshold, CheckProgress& progress) {
  const int n = static_cast<int>(table.size());
  const HandleMatcher matcher(table.handles);
  std::vector<int> counts;
  std::vector<HandleMatch> pairs;
  int untilShown = 1;
  for (int i = 0; i + 1 < n; ++i) {
    const int s1 = matcher.tokenCount(i);
    if (s1 == 0) {
      progress.mark();
      continue;
    }
    matcher.matchesFrom(i, counts);
    for (int j = i + 1; j < n; ++j) {
      if (--untilShown == 0 || j + 1 == n) {
        progress.comparing(i + 1, j + 1);
        untilShown = kPairsPerShowing;
      }
      const HandleMatch match{static_cast<std::size_t>(i), static_cast<std::size_t>(j),
                              counts[static_cast<std::size_t>(j)], s1, matcher.tokenCount(j)};
      if (match.full() || match.percentage() >= threshold) pairs.push_back(match);
    }
    progress.mark();
  }
  if (!pairs.empty()) progress.conflicts(handleCheck(), static_cast<int>(pairs.size()));
  return pairs;
}

namespace {

class HandleCheck : public Check {
 public:
  std::string_view name() const override { return "handles"; }
  bool switchedOn(const RunOptions& options) const override { return options.handleCheck; }
  std::filesystem::path reportFile(const Workspace& ws, std::string_view project) const override {
    return ws.handleReport(project);
  }
  std::string switchedOffReport() const override { return handleReportSwitchedOff(); }
  void writeReport(std::ostream& out, const Findings& findings, const DrawingTable& table) const override {
    writeHandleReport(out, static_cast<const HandleFindings&>(findings), table);
  }
  std::string statusText() const override { return "Checking handles..."; }
  std::unique_ptr<Findings> judge(const CheckInput& input, CheckProgress& progress) const override {
    auto findings = std::make_unique<HandleFindings>();
    findings->entity = input.options.entity;
    findings->percent = input.options.percent;
    findings->pairs = findHandleMatches(input.table, thresholdNumber(input.options.percent), progress);
    return findings;
  }
};

}  // namespace

const Check& handleCheck() {
  static const HandleCheck check;
  return check;
}

}  // namespace veldra
