#include <gtest/gtest.h>

#include <map>
#include <random>
#include <utility>

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

// The fast matcher must give the list search's count for every pair, on
// tables mixing shared template handles, rare ones, repeats, empty tokens,
// letter case and drawings without handles.
TEST(HandleMatch, FastMatcherAgreesWithTheListSearch) {
  std::mt19937 random(11);
  for (int round = 0; round < 30; ++round) {
    const int n = 2 + static_cast<int>(random() % 60);
    const int pool = 1 + static_cast<int>(random() % 300);
    std::vector<std::string> handles(static_cast<std::size_t>(n));
    for (auto& entry : handles) {
      const int length = static_cast<int>(random() % 40);
      for (int k = 0; k < length; ++k) {
        // Skewed: low numbers are common to many drawings.
        const unsigned value = random() % 3 == 0 ? random() % static_cast<unsigned>(pool) : random() % 12;
        std::string token = value == 5 ? "" : std::to_string(value) + (value % 7 == 0 ? "a" : "A");
        entry += token + "$";
        if (random() % 10 == 0) entry += token + "$";
      }
    }
    const HandleMatcher matcher(handles);
    std::vector<int> counts;
    for (int i = 0; i < n; ++i) {
      matcher.matchesFrom(i, counts);
      const auto list1 = handleTokens(handles[static_cast<std::size_t>(i)]);
      ASSERT_EQ(matcher.tokenCount(i), static_cast<int>(list1.size()));
      for (int j = i + 1; j < n; ++j)
        ASSERT_EQ(counts[static_cast<std::size_t>(j)],
                  listMatchCount(list1, handleTokens(handles[static_cast<std::size_t>(j)])))
            << "round " << round << " pair " << i << "," << j;
    }
  }
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
