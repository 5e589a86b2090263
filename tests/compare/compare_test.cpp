#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <random>
#include <utility>

#include "compare/checks.h"
#include "compare/handle_check.h"
#include "compare/handle_match.h"

namespace veldra {
namespace {

TEST(HandleTokens, EveryDollarEndsAToken) {
  EXPECT_EQ(handleTokens("2F$30$31$"), (std::vector<std::string_view>{"2F", "30", "31"}));
  EXPECT_EQ(handleTokens("2F$$31"), (std::vector<std::string_view>{"2F", ""}));
  EXPECT_TRUE(handleTokens("").empty());
  EXPECT_TRUE(handleTokens("ABC").empty());
}

TEST(HandleMatch, ListSearchCountsRepeatsOfTheFirstListOnly) {
  EXPECT_EQ(listMatchCount({"A", "A", "B"}, {"A", "C"}), 2);
  EXPECT_EQ(listMatchCount({"A", "C"}, {"A", "A", "B"}), 1);
  EXPECT_EQ(listMatchCount({"a"}, {"A"}), 0);
}

// Tells nothing.
struct NoProgress : CheckProgress {
  void conflict(const Check&) override {}
  void conflicts(const Check&, int) override {}
  void comparing(int, int) override {}
  void mark() override {}
};

// The pairs found, through the index or pair by pair, must be those of the
// list search over every pair, at thresholds from none to beyond a full
// match, on tables mixing shared template handles, rare ones, repeats, empty
// tokens, letter case and drawings without handles.
TEST(HandleMatch, PairsFoundAreThoseOfTheListSearchOverEveryPair) {
  std::mt19937 random(11);
  const double thresholds[] = {100, 99.5, 90, 66.7, 50, 1, 0, -5, 150, std::nan("")};
  for (int round = 0; round < 40; ++round) {
    const int n = 2 + static_cast<int>(random() % (round % 5 == 0 ? 150 : 60));
    const int pool = 1 + static_cast<int>(random() % 300);
    DrawingTable table(static_cast<std::size_t>(n));
    const auto token = [&] {
      // Skewed: low numbers are common to many drawings.
      const unsigned value = random() % 3 == 0 ? random() % static_cast<unsigned>(pool) : random() % 12;
      return value == 5 ? std::string() : std::to_string(value) + (value % 7 == 0 ? "a" : "A");
    };
    for (std::size_t i = 0; i < table.size(); ++i) {
      std::vector<std::string> tokens;
      if (i > 0 && random() % 3 == 0) {
        // A copy of an earlier drawing: whole, or with some handles lost,
        // some added, some twice.
        for (const auto t : handleTokens(table.handles[random() % i]))
          if (random() % 4 != 0 || round % 2 == 0) tokens.emplace_back(t);
        for (int extra = static_cast<int>(random() % 3); extra > 0; --extra) tokens.push_back(token());
      } else {
        for (int k = static_cast<int>(random() % 40); k > 0; --k) tokens.push_back(token());
      }
      if (random() % 2 == 0) std::shuffle(tokens.begin(), tokens.end(), random);
      for (const auto& t : tokens) {
        table.handles[i] += t + "$";
        if (random() % 10 == 0) table.handles[i] += t + "$";
      }
    }
    const double threshold = thresholds[static_cast<std::size_t>(round) % std::size(thresholds)];
    std::vector<HandleMatch> expected;
    for (std::size_t i = 0; i < table.size(); ++i) {
      const auto list1 = handleTokens(table.handles[i]);
      if (list1.empty()) continue;
      for (std::size_t j = i + 1; j < table.size(); ++j) {
        const auto list2 = handleTokens(table.handles[j]);
        const HandleMatch match{i, j, listMatchCount(list1, list2), static_cast<int>(list1.size()),
                                static_cast<int>(list2.size())};
        if (match.full() || match.percentage() >= threshold) expected.push_back(match);
      }
    }
    NoProgress progress;
    const auto found = findHandleMatches(table, threshold, progress);
    const auto fields = [](const std::vector<HandleMatch>& pairs) {
      std::vector<std::array<std::size_t, 5>> out;
      for (const auto& p : pairs)
        out.push_back({p.first, p.second, static_cast<std::size_t>(p.matched), static_cast<std::size_t>(p.firstCount),
                       static_cast<std::size_t>(p.secondCount)});
      return out;
    };
    ASSERT_EQ(fields(found), fields(expected)) << "round " << round << ", threshold " << threshold;
  }
}

TEST(TimeOfDay, SplitsTheFractionIntoHoursMinutesSeconds) {
  auto same = [](double j, long long h, long long m, long long s) {
    const TimeOfDay t = timeOfDay(j);
    EXPECT_EQ(t.hours, h) << julianText(j);
    EXPECT_EQ(t.minutes, m) << julianText(j);
    EXPECT_EQ(t.seconds, s) << julianText(j);
  };
  same(2453585.58707176, 14, 5, 23);
  same(2453585 + 44.6 / 86400, 0, 0, 44);
  // Every whole second of a day shows as itself.
  for (int s = 0; s < 86400; s += 5) same(2453585 + s / 86400.0, s / 3600, s / 60 % 60, s % 60);
}

TEST(JulianToDate, GivesYearAndMonthAcrossTheCalendarReform) {
  auto ym = [](double j) { const YearMonth d = julianToDate(j); return d.year * 100 + d.month; };
  EXPECT_EQ(ym(2299160.5), 158210);
  EXPECT_EQ(ym(2299161.5), 158210);
  EXPECT_EQ(ym(2453585.5), 200508);  // 1 August 2005
  EXPECT_EQ(ym(2451545.0), 200001);
  EXPECT_EQ(ym(2451604.0), 200002);  // 29 February 2000
  EXPECT_EQ(ym(2451605.0), 200003);
}

}  // namespace
}  // namespace veldra

namespace veldra {
namespace {

// Keeps what a check tells while it judges.
struct KeptProgress : CheckProgress {
  void conflict(const Check& check) override { ++counts[&check]; }
  void conflicts(const Check& check, int count) override { counts[&check] = count; }
  void comparing(int first, int second) override {
    ++comparingCalls;
    lastPair = {first, second};
  }
  void mark() override { ++marks; }

  std::map<const Check*, int> counts;
  int comparingCalls = 0, marks = 0;
  std::pair<int, int> lastPair{};
};

// Comparing a pair must cost no call to the view: a class of 300 drawings
// has 44,850 pairs and shows a few dozen. Each first drawing's last pair is
// still shown, so the label ends where the check ends; the pairs found are
// those of every pair compared.
TEST(HandleCheckProgress, ShowsFewPairsAndEndsOnTheLast) {
  std::mt19937 random(7);
  const int n = 300;
  DrawingTable table(n);
  for (auto& entry : table.handles)
    for (int k = static_cast<int>(random() % 6); k > 0; --k) entry += std::to_string(random() % 20) + "$";
  KeptProgress progress;
  const auto pairs = findHandleMatches(table, 60.0, progress);
  int withHandles = 0;
  for (int i = 0; i + 1 < n; ++i) withHandles += table.handles[static_cast<std::size_t>(i)].empty() ? 0 : 1;
  EXPECT_LE(progress.comparingCalls, withHandles + n * (n - 1) / 2 / 4096 + 1);
  int last = n - 1;
  while (table.handles[static_cast<std::size_t>(last - 1)].empty()) --last;
  EXPECT_EQ(progress.lastPair, std::make_pair(last, n));
  EXPECT_EQ(progress.marks, n - 1);

  const HandleMatcher matcher(table.handles);
  std::vector<int> counts;
  std::size_t expected = 0;
  for (int i = 0; i + 1 < n; ++i) {
    if (matcher.tokenCount(i) == 0) continue;
    matcher.matchesFrom(i, counts);
    for (int j = i + 1; j < n; ++j) {
      const HandleMatch m{static_cast<std::size_t>(i), static_cast<std::size_t>(j), counts[static_cast<std::size_t>(j)],
                          matcher.tokenCount(i), matcher.tokenCount(j)};
      expected += m.full() || m.percentage() >= 60.0 ? 1 : 0;
    }
  }
  EXPECT_EQ(pairs.size(), expected);
  // The count is the handle check's own, set once.
  ASSERT_EQ(progress.counts.size(), 1u);
  EXPECT_EQ(progress.counts[&handleCheck()], static_cast<int>(expected));
}

}  // namespace
}  // namespace veldra
