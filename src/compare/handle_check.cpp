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

namespace {

bool makesPair(const HandleMatch& match, double threshold) {
  return match.full() || match.percentage() >= threshold;
}

// The fewest matches with which a first drawing of `tokens` tokens can make
// a pair: no second drawing gives it a larger share of its tokens than a
// drawing of as many tokens would, nor a full match with fewer.
int leastMatch(int tokens, double threshold) {
  const auto pairWith = [&](int matched) { return makesPair(HandleMatch{0, 0, matched, tokens, tokens}, threshold); };
  // Found from a guess just below it.
  const double share = threshold / 100.0 * tokens;
  int least = share > 1 ? (share < tokens ? static_cast<int>(share) - 1 : tokens) : 0;
  while (least > 0 && pairWith(least - 1)) --least;
  while (least < tokens && !pairWith(least)) ++least;
  return least;
}

}  // namespace

std::vector<HandleMatch> findHandleMatches(const DrawingTable& table, double threshold, CheckProgress& progress) {
  const int n = static_cast<int>(table.size());
  const HandleMatcher matcher(table.handles);
  std::vector<int> counts, candidates;
  std::vector<HandleMatch> pairs;
  int untilShown = 1;
  for (int i = 0; i + 1 < n; ++i) {
    const int s1 = matcher.tokenCount(i);
    if (s1 == 0) {
      progress.mark();
      continue;
    }
    const auto take = [&](int j, int matched) {
      const HandleMatch match{static_cast<std::size_t>(i), static_cast<std::size_t>(j), matched, s1,
                              matcher.tokenCount(j)};
      if (makesPair(match, threshold)) pairs.push_back(match);
    };
    if (matcher.candidatesFrom(i, leastMatch(s1, threshold), candidates)) {
      for (const int j : candidates) take(j, matcher.matchCount(i, j));
    } else {
      matcher.matchesFrom(i, counts);
      for (int j = i + 1; j < n; ++j) take(j, counts[static_cast<std::size_t>(j)]);
    }
    // The pairs shown are those the pair by pair count would show: every
    // few thousandth and the last of each first drawing.
    const int later = n - 1 - i;
    for (int k = untilShown; k < later; k += kPairsPerShowing) progress.comparing(i + 1, i + k + 1);
    progress.comparing(i + 1, n);
    untilShown = kPairsPerShowing;
    progress.mark();
  }
  if (!pairs.empty()) progress.conflicts(handleCheck(), static_cast<int>(pairs.size()));
  return pairs;
}

namespace {

class HandleCheck : public Check {
 public:
  const CheckFace& face() const override {
    static constexpr CheckFace kFace{
        .name = "handles",
        .onByDefault = true,
        .counter = "Entity Conflicts",
        .status = "Checking handles...",
        .report = Workspace::kHandleReports,
        .reportTitle = "Handle Conflicts",
        .switchedOff = "Handle conflicts not reported due to option selection.",
        .unavailable = "No available HANDLE [Entity] CONFLICTS for Project: "};
    return kFace;
  }
  void writeReport(std::ostream& out, const Findings& findings, const DrawingTable& table) const override {
    writeHandleReport(out, static_cast<const HandleFindings&>(findings), table);
  }
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
