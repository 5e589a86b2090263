// A class whose students all press New within a few minutes of one lab:
// the pairs that share a creation second grow with the square of the
// class. Beyond the size of any course every copy is still listed, of the
// coincidences only the strongest few of each drawing, and a note says how
// many were left out; a smaller class lists them all.

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>

#include "classes/class_model.h"
#include "evidence/judging/judge.h"
#include "evidence/features/rules.h"

namespace veldra::evidence {
namespace {

using veldra::testing::ClassModel;

struct Crowded {
  ClassModel model;
  std::set<std::pair<std::size_t, std::size_t>> sameSecond;  // honest pairs created in one second
};

// The test writer's large class with its honest students' creation
// instants crowded at random by seed into `seconds` whole seconds of one
// lab; the copies keep theirs.
Crowded crowdedClass(int students, int seconds, unsigned seed) {
  Crowded c{veldra::testing::makeLargeClass(students, 40, seed), {}};
  std::set<int> copying;
  for (const auto& g : c.model.groups) copying.insert(g.begin(), g.end());
  std::mt19937_64 random(seed * 7919u + static_cast<unsigned>(students));
  const std::int64_t lab = c.model.drawings.front().facts.created->unixMs / 1000 * 1000;
  std::map<std::int64_t, std::vector<std::size_t>> bySecond;
  for (std::size_t k = 0; k < c.model.drawings.size(); ++k) {
    if (copying.count(static_cast<int>(k))) continue;
    const std::int64_t at = lab + static_cast<std::int64_t>(random() % static_cast<unsigned>(seconds)) * 1000;
    c.model.drawings[k].facts.created = Instant{at, true};
    bySecond[at].push_back(k);
  }
  for (const auto& [at, members] : bySecond)
    for (std::size_t x = 0; x < members.size(); ++x)
      for (std::size_t y = x + 1; y < members.size(); ++y) c.sameSecond.insert({members[x], members[y]});
  return c;
}

Findings judged(const ClassModel& model) {
  ClassInput input;
  input.project = "LAB";
  input.drawings = model.drawings;
  return judgeClass(input, {}, nullptr, RunControl{}).findings;
}

using Pairs = std::map<std::pair<std::size_t, std::size_t>, const PairFinding*>;
Pairs byPair(const Findings& f) {
  Pairs pairs;
  for (const auto& p : f.pairs) pairs[{std::min(p.a, p.b), std::max(p.a, p.b)}] = &p;
  return pairs;
}

// Every pair called a copy or a likely copy, with its score, is listed as in
// the same class with its students' creation instants spread over the lab
// (a shared second weighs nothing), and so is nearly every copy made.
void expectEveryCopyListed(const Crowded& c, const Findings& f, unsigned seed) {
  auto copies = [](const Findings& x) {
    std::map<std::pair<std::size_t, std::size_t>, int> scores;
    for (const auto& [pair, p] : byPair(x))
      if (isCopy(p->verdict)) scores[pair] = p->score;
    return scores;
  };
  const auto listed = copies(f);
  EXPECT_EQ(listed, copies(judged(veldra::testing::makeLargeClass(static_cast<int>(c.model.drawings.size()), 40, seed))));
  std::size_t made = 0, found = 0;
  for (const auto& g : c.model.groups) {
    made += 1;
    found += listed.count({g[0], g[1]});
  }
  EXPECT_GE(found * 10, made * 9);
}

TEST(CrowdedClass, ListsOnlyTheStrongestCoincidencesOfEachDrawingBeyondACoursesSize) {
  const int students = static_cast<int>(rules::kCoincidencesAllListedUpTo) + 104;
  for (const unsigned seed : {3u, 8u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    // Some fourteen honest drawings to a second: each shares it with far
    // more than it may be listed with.
    const Crowded c = crowdedClass(students, students / 14, seed);
    const Findings f = judged(c.model);
    expectEveryCopyListed(c, f, seed);
    std::map<std::size_t, int> listedIn;
    for (const auto& p : f.pairs)
      if (p.verdict == Verdict::kCoincidence) {
        ++listedIn[p.a];
        ++listedIn[p.b];
        ASSERT_FALSE(p.reasons.empty());
      }
    for (const auto& [drawing, count] : listedIn) EXPECT_LE(count, rules::kCoincidencesPerDrawing) << drawing;
    // A same-second pair is left out only for a drawing listed in as many
    // as it may be, and the note counts at least those left out.
    const Pairs listed = byPair(f);
    std::size_t leftOut = 0;
    for (const auto& [a, b] : c.sameSecond) {
      if (listed.count({a, b})) continue;
      ++leftOut;
      EXPECT_TRUE(listedIn[a] == rules::kCoincidencesPerDrawing || listedIn[b] == rules::kCoincidencesPerDrawing)
          << a << " and " << b;
    }
    ASSERT_GT(leftOut, c.sameSecond.size() / 2);
    const std::string tail = " further pairs judged coincidences are not listed";
    std::size_t noted = 0;
    for (const auto& note : f.notes)
      if (const auto at = note.find(tail); at != std::string::npos) noted = std::stoul(note.substr(0, at));
    EXPECT_GE(noted, leftOut);
  }
}

TEST(CrowdedClass, ASmallerClassListsEveryCoincidence) {
  for (const unsigned seed : {4u, 9u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const Crowded c = crowdedClass(600, 40, seed);
    const Findings f = judged(c.model);
    expectEveryCopyListed(c, f, seed);
    const Pairs listed = byPair(f);
    for (const auto& pair : c.sameSecond) EXPECT_TRUE(listed.count(pair)) << pair.first << " and " << pair.second;
    for (const auto& note : f.notes) EXPECT_EQ(note.find("are not listed"), std::string::npos) << note;
  }
}

}  // namespace
}  // namespace veldra::evidence
