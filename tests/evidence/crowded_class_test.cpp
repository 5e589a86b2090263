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
#include "evidence/judge.h"
#include "evidence/rules.h"

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

std::set<std::pair<std::size_t, std::size_t>> listedPairs(const Findings& f) {
  std::set<std::pair<std::size_t, std::size_t>> listed;
  for (const auto& p : f.pairs) listed.insert({std::min(p.a, p.b), std::max(p.a, p.b)});
  return listed;
}

// The pairs listed as copies or likely copies, with their scores.
std::map<std::pair<std::size_t, std::size_t>, int> copiesOf(const Findings& f) {
  std::map<std::pair<std::size_t, std::size_t>, int> copies;
  for (const auto& p : f.pairs)
    if (isCopy(p.verdict)) copies[{std::min(p.a, p.b), std::max(p.a, p.b)}] = p.score;
  return copies;
}

// The copies the test writer made, listed as copies or likely copies with
// the same scores as in the same class with its students' creation instants
// spread over the lab: crowding the honest students into a few seconds, and
// what it leaves out of the list, takes no copy away.
void expectEveryCopyListed(const ClassModel& model, const Findings& f, unsigned seed) {
  const auto copies = copiesOf(f);
  const auto spread = copiesOf(judged(veldra::testing::makeLargeClass(static_cast<int>(model.drawings.size()), 40, seed)));
  int planted = 0, found = 0;
  for (const auto& g : model.groups)
    for (std::size_t x = 0; x < g.size(); ++x)
      for (std::size_t y = x + 1; y < g.size(); ++y) {
        const std::pair<std::size_t, std::size_t> pair{std::min(g[x], g[y]), std::max(g[x], g[y])};
        ++planted;
        found += copies.count(pair) > 0;
        EXPECT_EQ(copies.count(pair), spread.count(pair)) << "students " << pair.first << " and " << pair.second;
        if (copies.count(pair) && spread.count(pair)) {
          EXPECT_EQ(copies.at(pair), spread.at(pair));
        }
      }
  EXPECT_GE(found * 10, planted * 9);
}

TEST(CrowdedClass, ListsOnlyTheStrongestCoincidencesOfEachDrawingBeyondACoursesSize) {
  const int students = static_cast<int>(rules::kCoincidencesAllListedUpTo) + 104;
  for (const unsigned seed : {3u, 8u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    // Some fourteen honest drawings to a second: each shares it with far
    // more than it is listed with.
    const Crowded c = crowdedClass(students, students / 14, seed);
    const Findings f = judged(c.model);
    expectEveryCopyListed(c.model, f, seed);

    std::map<std::size_t, int> listedIn;
    int coincidences = 0;
    for (const auto& p : f.pairs) {
      if (p.verdict != Verdict::kCoincidence) continue;
      ++coincidences;
      ++listedIn[p.a];
      ++listedIn[p.b];
      ASSERT_FALSE(p.reasons.empty());
    }
    for (const auto& [drawing, count] : listedIn) EXPECT_LE(count, rules::kCoincidencesPerDrawing) << drawing;
    // A same-second pair is left out only for a drawing listed in as many
    // as it may be.
    const auto listed = listedPairs(f);
    std::size_t leftOut = 0;
    for (const auto& [a, b] : c.sameSecond) {
      if (listed.count({a, b})) continue;
      ++leftOut;
      EXPECT_TRUE(listedIn[a] == rules::kCoincidencesPerDrawing || listedIn[b] == rules::kCoincidencesPerDrawing)
          << a << " and " << b;
    }
    ASSERT_GT(leftOut, c.sameSecond.size() / 2);
    // The note counts what was left out: at least those same-second pairs.
    const std::string tail = " further pairs judged coincidences are not listed";
    std::size_t noted = 0;
    for (const auto& note : f.notes)
      if (const auto at = note.find(tail); at != std::string::npos) noted = std::stoul(note.substr(0, at));
    EXPECT_GE(noted, leftOut);
    EXPECT_GE(static_cast<std::size_t>(coincidences) + noted, c.sameSecond.size());
    EXPECT_EQ(f.pairsJudged, static_cast<std::size_t>(students) * (students - 1) / 2);
  }
}

TEST(CrowdedClass, ASmallerClassListsEveryCoincidence) {
  for (const unsigned seed : {4u, 9u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const Crowded c = crowdedClass(600, 40, seed);
    const Findings f = judged(c.model);
    expectEveryCopyListed(c.model, f, seed);
    const auto listed = listedPairs(f);
    for (const auto& pair : c.sameSecond) EXPECT_TRUE(listed.count(pair)) << pair.first << " and " << pair.second;
    for (const auto& note : f.notes) EXPECT_EQ(note.find("are not listed"), std::string::npos) << note;
  }
}

}  // namespace
}  // namespace veldra::evidence
