// What chance gives, and what only a paste keeps. Measures two students
// click agree at the thousandth of a unit now and then, and a class of
// 2,000 compares two million pairs: classes whose students draw every part
// to measures of their own, clicked, from 30 to 2,000 students and against
// earlier terms of 20,000 drawings, accuse no honest pair, while every copy
// (moved, turned, mirrored, scaled, exploded, a part pasted, a copy of a
// copy) is found and the words give the figure of chance.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "evidence/judging/chance.h"
#include "evidence/judging/judge.h"
#include "evidence/store/evidence_store.h"
#include "judged_class.h"
#include "support/temp_dir.h"

namespace veldra::evidence {
namespace {

using veldra::testing::ClassModel;
using veldra::testing::ClassPlan;
using veldra::testing::CopyKind;

// One choice counts once: the same measure in several shapes, one made of
// another by a typed step or doubled (a hole's centre lines), a note told
// beside several neighbours; measures alike only to the thousandth are no
// choice shared at all.
TEST(Chance, OneChoiceCountsOnce) {
  auto shape = [](std::uint64_t key, double measure) { return FreeChoice{key, measure, 0}; };
  auto place = [](std::uint64_t key, std::uint32_t piece) {
    return FreeChoice{(static_cast<std::uint64_t>(FeatureKind::kPlace) << 62) | key, 0, piece};
  };
  const double r = 7.663481237;
  struct Case {
    const char* what;
    std::vector<FreeChoice> shared;
    int choices, numbers;
  };
  const std::vector<Case> cases{
      {"a radius and its hole's centre lines, two units beyond", {shape(1, r), shape(2, 2 * r + 4)}, 1, 1},
      {"a radius and the slot it rounds, a typed length long", {shape(1, r), shape(2, r + 12.5)}, 1, 1},
      {"two radii of their own", {shape(1, r), shape(2, 5.129043877)}, 2, 2},
      {"a note beside three neighbours", {place(1, 4), place(2, 4), place(3, 4)}, 1, 2},
      {"a note beside one neighbour", {place(1, 4)}, 1, 1},
      {"two notes and a measure", {place(1, 4), place(2, 9), shape(3, r)}, 3, 3},
  };
  for (const Case& c : cases) {
    std::vector<FreeChoice> sorted = c.shared;
    std::sort(sorted.begin(), sorted.end(), [](const FreeChoice& x, const FreeChoice& y) { return x.key < y.key; });
    const auto shared = sharedChoices(sorted, sorted, [](std::uint64_t) { return true; }, 40, 40, 351);
    EXPECT_EQ(shared.choices, c.choices) << c.what;
    EXPECT_EQ(shared.numbers, c.numbers) << c.what;
  }
  // What weighs nothing in the class (the template's) is not shared evidence.
  const std::vector<FreeChoice> template_{shape(1, r)};
  EXPECT_EQ(sharedChoices(template_, template_, [](std::uint64_t) { return false; }, 40, 40, 351).choices, 0);
}

// The same choices shared mean less the more pairs were compared and the
// more choices each drawing made: a measure alike in a class of 27 is rare,
// in a class of 2,000 it is what chance makes somewhere.
TEST(Chance, WhatIsSharedIsWeighedAgainstThePairsCompared) {
  EXPECT_NEAR(atLeast(1, 1e-3), 1e-3, 1e-5);
  EXPECT_NEAR(atLeast(2, 1e-3), 5e-7, 1e-8);
  EXPECT_NEAR(atLeast(0, 0.5), 1.0, 1e-12);
  EXPECT_GT(atLeast(3, 5.0), 0.8);
  const std::vector<FreeChoice> one{{1, 7.663481237, 0}}, two{{1, 7.663481237, 0}, {2, 5.129043877, 0}};
  auto beyond = [&](const std::vector<FreeChoice>& c, int made, double pairs) {
    return beyondChance(sharedChoices(c, c, [](std::uint64_t) { return true; }, made, made, pairs));
  };
  EXPECT_GT(beyond(one, 30, 351), 0.5);
  EXPECT_EQ(beyond(one, 30, 2.0e6), 0.0);
  EXPECT_EQ(beyond(one, 3000, 351), 0.0);  // a drawing of thousands of measures
  EXPECT_GT(beyond(two, 30, 2.0e6 + 2000 * 8000.0), 0.5);  // two tell in any judgement
}

// A class of `students` drawing each part to measures of their own, with
// every kind of copy among its first students.
struct ClassOfOwnMeasures {
  ClassPlan plan;
  ClassModel model;
};

ClassOfOwnMeasures classOf(int students, unsigned seed, unsigned studentSeed = 0, int daysLater = 0) {
  ClassOfOwnMeasures c{veldra::testing::everyKindClass(seed), {}};
  c.plan.students = students;
  c.plan.studentSeed = studentSeed;
  c.plan.daysLater = daysLater;
  c.plan.clickedMeasures = true;
  c.plan.exerciseEntities = 60;
  c.model = veldra::testing::makeClass(c.plan);
  return c;
}

// A class of 300 against four earlier terms of 5,000 drawings of the same
// exercise, kept in the store: no honest pair across terms, and last year's
// drawing pasted into this year's class is found.
TEST(Chance, AClassAgainstEarlierTermsOf20000Drawings) {
  veldra::testing::TempDir dir;
  auto opened = SqliteStore::open(dir.path() / "evidence.sqlite");
  ASSERT_TRUE(opened) << opened.message();
  EvidenceStore& store = **opened;
  std::vector<std::string> terms;
  ClassOfOwnMeasures lastTerm;
  for (unsigned term = 1; term <= 4; ++term) {
    auto c = classOf(5000, 5, 100 + term, -365 * static_cast<int>(5 - term));
    const std::string project = "CAD1 " + std::to_string(2020 + term);
    const Judgement j = veldra::testing::judgeModel(c.model, true, {}, nullptr, project);
    const Status saved = store.saveProject(project, "autumn", j.findings.runAtUnixMs, j.findings.drawings, j.judged,
                                           j.commonKeys);
    ASSERT_TRUE(saved) << saved.message();
    terms.push_back(project);
    lastTerm = std::move(c);
  }
  auto c = classOf(300, 5, 200);
  // Student 40 pastes in, moved, what student 120 of last term handed in.
  ClassPlan pasted = lastTerm.plan;
  pasted.students = 121;
  pasted.copies = {{CopyKind::kPastedMoved, 120, 40}};
  c.model.drawings[40] = veldra::testing::makeClass(pasted).drawings[40];
  c.model.drawings[40].facts.fingerprintGuid = "{0C0FFEE0-0000-4000-8000-000000000040}";
  auto archive = store.archive(terms);
  ASSERT_TRUE(archive) << archive.message();
  ASSERT_EQ((*archive)->size(), 20000u);
  const Findings f = veldra::testing::judgeModel(c.model, true, {}, archive->get(), "CAD1 2025").findings;
  veldra::testing::Tally t;
  veldra::testing::tallyClass(c.plan, c.model, veldra::testing::JudgedClass(f), t);
  bool pasteFound = false;
  for (const auto& p : f.pairs) {
    if (p.b < f.projectDrawings || !isCopy(p.verdict)) continue;
    if (p.a == 40 && displayName(f.drawings[p.b]) == "CAD1 2024: " + displayName(lastTerm.model.drawings[120].facts)) {
      pasteFound = true;
      continue;
    }
    std::string words = displayName(f.drawings[p.a]) + " and " + displayName(f.drawings[p.b]) + ":";
    for (const auto& r : p.reasons) words += "\n  " + r;
    t.accused.push_back(words);
  }
  t.report("a class of 300 against 20,000 drawings of four earlier terms");
  t.expectEveryCopyFound("a class of 300 against 20,000 drawings of four earlier terms");
  EXPECT_TRUE(pasteFound) << "last term's drawing pasted into this term";
}

}  // namespace
}  // namespace veldra::evidence
