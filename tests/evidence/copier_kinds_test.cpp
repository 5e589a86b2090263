#include <gtest/gtest.h>

#include <array>
#include <iostream>
#include <map>

#include "classes/class_model.h"
#include "evidence/judging/judge.h"

namespace veldra::evidence {
namespace {

using veldra::testing::ClassModel;
using veldra::testing::ClassPlan;
using veldra::testing::CopyKind;

struct Judged {
  ClassModel model;
  Findings findings;

  const PairFinding* pair(int a, int b) const {
    for (const auto& p : findings.pairs)
      if ((p.a == static_cast<std::size_t>(a) && p.b == static_cast<std::size_t>(b)) ||
          (p.a == static_cast<std::size_t>(b) && p.b == static_cast<std::size_t>(a)))
        return &p;
    return nullptr;
  }
  Verdict verdict(int a, int b) const {
    const auto* p = pair(a, b);
    return p ? p->verdict : Verdict::kNone;
  }
};

Judged judge(const ClassPlan& plan) {
  Judged j{veldra::testing::makeClass(plan), {}};
  ClassInput input;
  input.project = "CAD1";
  input.drawings = j.model.drawings;
  if (plan.teacherTemplate) input.templates.push_back(j.model.templateDrawing);
  j.findings = judgeClass(input, {}, nullptr, RunControl{}).findings;
  return j;
}

// Every kind of paste, with its vector, angle, factor, share and order drawn
// by seed: each is found, and no honest pair (the same exercise typed from
// the same numbers, a nearly blank drawing, the same second, a lab login) is
// called a copy. Precision and recall per kind are printed for the record.
TEST(CopierKinds, EveryKindIsFoundAndNoHonestPairAccused) {
  std::map<std::string, std::array<int, 3>> byKind;  // called a copy, a copy or likely copy, of all
  int honestAccused = 0, honestPairs = 0;
  for (unsigned seed = 1; seed <= 10; ++seed) {
    ClassPlan plan = veldra::testing::everyKindClass(seed);
    plan.exerciseEntities = seed % 2 ? 60 : 120;
    plan.exactNumbers = seed % 3 == 0;
    plan.teacherTemplate = seed % 4 != 1;
    const Judged j = judge(plan);
    for (const auto& c : plan.copies) {
      const Verdict v = j.verdict(c.source, c.copier);
      auto& n = byKind[copyKindName(c.kind)];
      n[0] += v == Verdict::kCopy;
      n[1] += isCopy(v);
      ++n[2];
    }
    for (int a = 0; a < plan.students; ++a)
      for (int b = a + 1; b < plan.students; ++b) {
        if (j.model.linked(a, b)) continue;
        ++honestPairs;
        honestAccused += isCopy(j.verdict(a, b));
      }
  }
  for (const auto& [kind, n] : byKind)
    std::cout << "[   " << kind << ": " << n[0] << " copies, " << n[1] << " copies or likely copies, of " << n[2]
              << " ]\n";
  std::cout << "[   honest pairs accused: " << honestAccused << "/" << honestPairs << " ]\n";
  // A copy of a drawing that holds almost nothing of its own (every number
  // typed from the sheet, no slip, no stray line) can be too thin to tell
  // from honest work, and so can a part of one pasted beside one's own work;
  // every other is found.
  for (const auto& [kind, n] : byKind) {
    const int least = kind == copyKindName(CopyKind::kPartial) ? 7 : 9;
    EXPECT_GE(n[1] * 10, n[2] * least) << kind;
  }
  EXPECT_EQ(honestAccused, 0);
}

// A pair called a copy because of shared work says so in numbers, and the
// words never call it chance; a turned or scaled paste is told as such; a
// coincidence names no source.
TEST(CopierKinds, WordsAgreeWithTheVerdict) {
  ClassPlan plan = veldra::testing::everyKindClass(5);
  const Judged j = judge(plan);
  int coincidences = 0;
  for (const auto& p : j.findings.pairs) {
    // A coincidence is no copy: it names no source.
    if (!isCopy(p.verdict)) {
      ++coincidences;
      EXPECT_FALSE(p.likelySource.has_value());
      EXPECT_EQ(p.direction, "");
    }
    for (const auto& r : p.reasons) {
      if (isCopy(p.verdict)) {
        EXPECT_EQ(r.find("what most of the class draws"), std::string::npos) << r;
      }
      EXPECT_EQ(r.find("beyond what"), std::string::npos) << r;
      EXPECT_EQ(r.find("weighed by rarity"), std::string::npos) << r;
    }
  }
  // The chain: 20 turned into 21, 21 moved into 22, one group from 20.
  const auto* chain = j.pair(20, 21);
  ASSERT_TRUE(chain);
  ASSERT_NE(chain->group, 0);
  for (const auto& g : j.findings.groups)
    if (g.number == chain->group) {
      EXPECT_EQ(g.members.size(), 3u);
      ASSERT_TRUE(g.likelySource);
      EXPECT_EQ(*g.likelySource, 20u);
    }
  bool toldTurn = false;
  for (const auto& r : j.pair(10, 11)->reasons) toldTurn = toldTurn || r.find("turned ") != std::string::npos;
  EXPECT_TRUE(toldTurn);
  EXPECT_GT(coincidences, 0);
}

// A leaked solution handed in by most of the class stays a copy, pair by
// pair, in one group; so do two thousand identical files.
TEST(CopierKinds, ALeakedSolutionIsCopyingHoweverManyShareIt) {
  for (const auto& [students, sharing] : {std::pair{31, 17}, {12, 10}}) {
    ClassPlan plan;
    plan.seed = static_cast<unsigned>(students);
    plan.students = students;
    plan.exerciseEntities = 50;
    for (int k = 1; k < sharing; ++k) plan.copies.push_back({CopyKind::kFileCopy, 0, k});
    const Judged j = judge(plan);
    for (int a = 0; a < sharing; ++a)
      for (int b = a + 1; b < sharing; ++b) EXPECT_EQ(j.verdict(a, b), Verdict::kCopy) << a << " " << b;
    for (int a = sharing; a < students; ++a)
      for (int b = 0; b < students; ++b)
        if (a != b) {
          EXPECT_FALSE(isCopy(j.verdict(a, b))) << a << " " << b;
        }
    ASSERT_EQ(j.findings.groups.size(), 1u);
    EXPECT_EQ(j.findings.groups[0].members.size(), static_cast<std::size_t>(sharing));
    // One file keeps its creation instant: the spreadsheet says so.
    EXPECT_TRUE(j.pair(0, 1)->evidence.sameCreatedInstant);
  }
  ClassPlan plan;
  plan.students = 1;
  plan.exerciseEntities = 20;
  ClassInput input;
  input.drawings.assign(2000, veldra::testing::makeClass(plan).drawings[0]);
  for (std::size_t k = 0; k < input.drawings.size(); ++k)
    input.drawings[k].facts.name = "s" + std::to_string(k) + "/drawing.dwg";
  const Findings f = judgeClass(input, {}, nullptr, RunControl{}).findings;
  ASSERT_EQ(f.groups.size(), 1u);
  EXPECT_EQ(f.groups[0].members.size(), 2000u);
}

// A drawing without a preview, or whose preview address points at no
// picture, is judged on the rest as before: the same verdicts and scores.
TEST(CopierKinds, APreviewProblemNeverChangesAJudgement) {
  const ClassPlan plan = veldra::testing::everyKindClass(2);
  const Judged before = judge(plan);
  ClassInput input;
  input.project = "CAD1";
  input.drawings = before.model.drawings;
  input.templates.push_back(before.model.templateDrawing);
  for (std::size_t k = 0; k < input.drawings.size(); k += 2) {
    auto& f = input.drawings[k].facts;
    f.preview = {};
    if (k % 4 == 0) f.problem = ProblemDrawing{f.path, ProblemKind::kDamaged, "preview block has no start sentinel", true};
  }
  const Findings after = judgeClass(input, {}, nullptr, RunControl{}).findings;
  ASSERT_EQ(after.pairs.size(), before.findings.pairs.size());
  for (std::size_t k = 0; k < after.pairs.size(); ++k) {
    EXPECT_EQ(after.pairs[k].verdict, before.findings.pairs[k].verdict);
    EXPECT_EQ(after.pairs[k].score, before.findings.pairs[k].score);
  }
}

}  // namespace
}  // namespace veldra::evidence
