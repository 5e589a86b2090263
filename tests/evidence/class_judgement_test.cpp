#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
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
  bool mentions(int a, int b, const std::string& words) const {
    const auto* p = pair(a, b);
    if (!p) return false;
    for (const auto& r : p->reasons)
      if (r.find(words) != std::string::npos) return true;
    return false;
  }
};

Judged judge(const ClassPlan& plan, const EvidenceSettings& settings = {}) {
  Judged j{veldra::testing::makeClass(plan), {}};
  ClassInput input;
  input.project = "CAD1";
  input.drawings = j.model.drawings;
  if (plan.teacherTemplate) input.templates.push_back(j.model.templateDrawing);
  j.findings = judgeClass(input, settings, nullptr, RunControl{}).findings;
  return j;
}

// The class the issue describes, in many draws: every copy, however it was
// made, is a copy; no honest pair is a copy or a likely copy, and the
// students who pressed New in the same second or share a lab login are
// told apart as coincidences.
TEST(ClassJudgement, TellsEveryKindOfCopyFromHonestWorkAcrossManyClasses) {
  int truePositives = 0, falsePositives = 0, falseNegatives = 0;
  std::map<std::string, std::pair<int, int>> byKind;  // copies called a copy, of all
  std::pair<int, int> explained;                      // innocent look-alikes called a coincidence, of all
  for (unsigned seed = 1; seed <= 12; ++seed) {
    for (const int exercise : {40, 120}) {
      ClassPlan plan = veldra::testing::typicalClass(seed);
      plan.exerciseEntities = exercise;
      // Half the draws without the teacher naming the template: the check
      // finds what most of the class shares by itself.
      plan.teacherTemplate = seed % 2 == 0;
      plan.loginOnMost = seed % 3 == 0;
      const Judged j = judge(plan);
      for (int a = 0; a < plan.students; ++a) {
        for (int b = a + 1; b < plan.students; ++b) {
          const bool copied = j.model.linked(a, b);
          const bool called = isCopy(j.verdict(a, b));
          truePositives += copied && called;
          falsePositives += !copied && called;
          falseNegatives += copied && !called;
          EXPECT_EQ(called, copied) << "seed " << seed << ", exercise " << exercise << ", students " << a << " and "
                                    << b << ": " << verdictText(j.verdict(a, b))
                                    << (called && !copied ? " / " + j.pair(a, b)->reasons.front() : std::string());
        }
      }
      for (const auto& c : plan.copies) {
        const bool copy = j.verdict(c.source, c.copier) == Verdict::kCopy;
        EXPECT_TRUE(copy) << copyKindName(c.kind) << ", seed " << seed;
        auto& [found, all] = byKind[copyKindName(c.kind)];
        found += copy;
        ++all;
      }
      for (const auto* innocent : {&plan.sameSecond, &plan.labAccount})
        for (const int a : *innocent)
          for (const int b : *innocent)
            if (a < b) {
              explained.first += j.verdict(a, b) == Verdict::kCoincidence;
              ++explained.second;
            }
    }
  }
  EXPECT_EQ(explained.first, explained.second);
  std::cout << "[ precision " << truePositives << "/" << truePositives + falsePositives << ", recall " << truePositives
            << "/" << truePositives + falseNegatives << "; coincidences explained " << explained.first << "/"
            << explained.second << " ]\n";
  for (const auto& [kind, n] : byKind) std::cout << "[   " << kind << ": " << n.first << "/" << n.second << " ]\n";
}

TEST(ClassJudgement, NamesGroupsAndTheirLikelySource) {
  const ClassPlan plan = veldra::testing::typicalClass(3);
  const Judged j = judge(plan);
  // Student 10's drawing was copied twice: one group of three.
  ASSERT_EQ(j.findings.groups.size(), 6u);
  bool foundTriple = false;
  for (const auto& g : j.findings.groups) {
    if (g.members.size() != 3) continue;
    foundTriple = true;
    EXPECT_EQ(g.members, (std::vector<std::size_t>{10, 11, 12}));
    ASSERT_TRUE(g.likelySource);
    EXPECT_EQ(*g.likelySource, 10u);
  }
  EXPECT_TRUE(foundTriple);
  // Pastes are newer and hold little editing time; an edited copy names its
  // source's student as author.
  for (const auto& [source, copier] : {std::pair{4, 5}, {6, 7}, {8, 9}, {2, 3}}) {
    const auto* p = j.pair(source, copier);
    ASSERT_TRUE(p);
    ASSERT_TRUE(p->likelySource) << p->direction;
    EXPECT_EQ(*p->likelySource, static_cast<std::size_t>(source)) << p->direction;
    EXPECT_NE(p->group, 0);
  }
  EXPECT_TRUE(j.mentions(0, 1, "same drawing identity"));
  EXPECT_TRUE(j.mentions(6, 7, "neither the template nor most of the class"));
  // Drawings are named by their folder, not by the file name all share.
  EXPECT_EQ(displayName(j.findings.drawings[5]), "felix/drawing.dwg");
  // Pairs come grouped first, strongest first.
  EXPECT_NE(j.findings.pairs.front().group, 0);
}

TEST(ClassJudgement, ExplainsInnocentCoincidences) {
  ClassPlan plan = veldra::testing::typicalClass(4);
  Judged j = judge(plan);
  // Four students pressed New in the same second.
  for (const int a : plan.sameSecond)
    for (const int b : plan.sameSecond)
      if (a < b) {
        EXPECT_EQ(j.verdict(a, b), Verdict::kCoincidence);
        EXPECT_TRUE(j.mentions(a, b, "same second")) << a << " " << b;
      }
  // Four honest students saved under one lab login: a coincidence, no copy.
  for (const int a : plan.labAccount)
    for (const int b : plan.labAccount)
      if (a < b) {
        EXPECT_EQ(j.verdict(a, b), Verdict::kCoincidence);
        EXPECT_TRUE(j.mentions(a, b, "\"lab3\"")) << a << " " << b;
      }
  // Listed by the teacher, that login is no evidence at all.
  EvidenceSettings ignoring;
  ignoring.ignoredAuthors = {" LAB3 "};
  j = judge(plan, ignoring);
  for (const int a : plan.labAccount)
    for (const int b : plan.labAccount)
      if (a < b) {
        EXPECT_EQ(j.verdict(a, b), Verdict::kNone);
      }
  // A login on most drawings is found and set aside by itself.
  plan.loginOnMost = true;
  plan.labAccount.clear();
  j = judge(plan);
  bool noted = false;
  for (const auto& n : j.findings.notes) noted = noted || n.find("\"student\"") != std::string::npos;
  EXPECT_TRUE(noted);
  for (const auto& p : j.findings.pairs)
    if (p.evidence.sharedName == "student") {
      EXPECT_TRUE(p.evidence.nameIgnored);
    }
  // Honest students drawing the same sheet: almost no pair needs a word.
  const auto counts = j.findings.counts();
  EXPECT_LT(counts.coincidence, 24);
}

TEST(ClassJudgement, SubtractsTheTeachersTemplateWhereFewUsedIt) {
  // Only two honest students started from the teacher's template; the rest
  // drew their own frame. The title block is then rare in the class, and
  // only the teacher's naming of the template tells it from a copy.
  ClassPlan plan = veldra::testing::typicalClass(6);
  plan.copies.clear();
  plan.labAccount.clear();
  ClassModel model = veldra::testing::makeClass(plan);
  for (std::size_t k = 2; k < model.drawings.size(); ++k) {
    auto& entities = model.drawings[k].entities;
    std::erase_if(entities, [](const EntityFacts& e) { return e.paperSpace && e.handle < 0x200; });
  }
  auto verdict = [&](bool withTemplate) {
    ClassInput input;
    input.project = "CAD1";
    input.drawings = model.drawings;
    if (withTemplate) input.templates.push_back(model.templateDrawing);
    const Findings f = judgeClass(input, {}, nullptr, RunControl{}).findings;
    for (const auto& p : f.pairs)
      if (p.a == 0 && p.b == 1) return p.verdict;
    return Verdict::kNone;
  };
  EXPECT_TRUE(isCopy(verdict(false)));
  EXPECT_EQ(verdict(true), Verdict::kNone);
}

// Without a template named, what the drawings were started from is taken
// as the template: the title block every student's drawing holds under the
// template's handles, not the first lines most students draw in the same
// order. Every pair is judged as with the template named, and the notes say
// where the template came from.
TEST(ClassJudgement, WithoutATemplateNamedTakesWhatTheDrawingsStartedFrom) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    ClassPlan plan = veldra::testing::everyKindClass(seed);
    plan.teacherTemplate = true;
    const Judged named = judge(plan);
    plan.teacherTemplate = false;
    const Judged estimated = judge(plan);
    std::map<std::pair<std::size_t, std::size_t>, std::pair<Verdict, int>> a, b;
    for (const auto& p : named.findings.pairs) a[{p.a, p.b}] = {p.verdict, p.score};
    for (const auto& p : estimated.findings.pairs) b[{p.a, p.b}] = {p.verdict, p.score};
    EXPECT_EQ(a, b);
    const auto& notes = estimated.findings.notes;
    EXPECT_TRUE(std::any_of(notes.begin(), notes.end(), [&](const std::string& note) {
      return note.starts_with("No template was named: ") &&
             note.find("held by " + std::to_string(plan.students) + " of the") != std::string::npos;
    })) << (notes.empty() ? std::string("no notes") : notes.back());
  }
}

TEST(ClassJudgement, TwoDrawingsAreEnoughToFindACopy) {
  ClassPlan plan;
  plan.seed = 9;
  plan.students = 2;
  plan.exerciseEntities = 30;
  EXPECT_EQ(judge(plan).verdict(0, 1), Verdict::kNone);
  plan.copies = {{CopyKind::kPastedMoved, 0, 1}};
  EXPECT_EQ(judge(plan).verdict(0, 1), Verdict::kCopy);
}

TEST(ClassJudgement, ListsUnreadableDrawingsAndJudgesTheRest) {
  const Judged base = judge(veldra::testing::typicalClass(2));
  ClassInput input;
  input.project = "CAD1";
  input.drawings = base.model.drawings;
  DrawingEvidence broken;
  broken.facts.path = "/class/zeno/drawing.dwg";
  broken.facts.name = "zeno/drawing.dwg";
  broken.facts.problem = ProblemDrawing{broken.facts.path, ProblemKind::kNotDrawing, ""};
  input.drawings.insert(input.drawings.begin() + 3, broken);
  const Findings f = judgeClass(input, {}, nullptr, RunControl{}).findings;
  EXPECT_EQ(f.problemDrawings(), (std::vector<std::size_t>{3}));
  for (const auto& p : f.pairs) EXPECT_TRUE(p.a != 3 && p.b != 3);
  EXPECT_EQ(f.counts().copy, base.findings.counts().copy);
  EXPECT_EQ(f.pairsJudged, base.findings.pairsJudged);
}

TEST(ClassJudgement, StopsWhenCancelledAndReportsProgress) {
  ClassInput input;
  input.project = "CAD1";
  input.drawings = veldra::testing::makeClass(veldra::testing::typicalClass(1)).drawings;
  std::atomic<bool> cancel{false};
  RunControl control;
  std::vector<std::string> stages;
  control.cancel = &cancel;
  control.progress = [&](const Progress& p) {
    if (stages.empty() || stages.back() != p.stage) stages.push_back(p.stage);
    if (p.stage == "Judging pairs") cancel = true;
  };
  EXPECT_TRUE(judgeClass(input, {}, nullptr, control).cancelled);
  EXPECT_GE(stages.size(), 3u);
}

// A later run takes unchanged drawings from the store: features, no
// entities. Its copies are still laid onto one another, on entities read
// again for the drawings of copies only, and every pair is told as on the
// first run, turned and mirrored copies too.
TEST(ClassJudgement, CopiesTakenFromTheStoreAreLaidAsOnTheFirstRun) {
  for (const unsigned seed : {5u, 6u}) {
    SCOPED_TRACE("class of seed " + std::to_string(seed));
    const ClassPlan plan = veldra::testing::everyKindClass(seed);
    const ClassModel model = veldra::testing::makeClass(plan);
    ClassInput input;
    input.project = "CAD1";
    input.drawings = model.drawings;
    if (plan.teacherTemplate) input.templates.push_back(model.templateDrawing);
    const Judgement first = judgeClass(input, {}, nullptr, RunControl{});

    ClassInput kept = input;
    for (auto& d : kept.drawings) d.entities.clear();
    for (const auto& j : first.judged) kept.known.push_back(j.features);
    std::atomic<int> reads{0};
    kept.entitiesAgain = [&](std::size_t i) {
      ++reads;
      return input.drawings[i].entities;
    };
    const Judgement second = judgeClass(kept, {}, nullptr, RunControl{});

    int copies = 0, turned = 0;
    ASSERT_EQ(second.findings.pairs.size(), first.findings.pairs.size());
    for (std::size_t p = 0; p < first.findings.pairs.size(); ++p) {
      const PairFinding& was = first.findings.pairs[p];
      const PairFinding& is = second.findings.pairs[p];
      ASSERT_EQ(std::make_pair(is.a, is.b), std::make_pair(was.a, was.b));
      EXPECT_EQ(is.verdict, was.verdict);
      EXPECT_EQ(is.reasons, was.reasons);
      ASSERT_EQ(is.evidence.placement.has_value(), was.evidence.placement.has_value());
      if (was.evidence.placement) {
        EXPECT_EQ(is.evidence.placement->turnDegrees, was.evidence.placement->turnDegrees);
      }
      copies += isCopy(was.verdict);
      turned += was.evidence.placement && was.evidence.placement->turnDegrees != 0;
    }
    EXPECT_GT(turned, 0);
    EXPECT_GT(reads.load(), 0);
    EXPECT_LE(reads.load(), 2 * copies);
  }
}

}  // namespace
}  // namespace veldra::evidence
