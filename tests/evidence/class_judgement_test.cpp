// Classes of students judged whole: kinds of class drawn by seed, judged in
// memory, through the writer and the reader, and crowded into one lab. No
// honest pair may be accused; every copy must be found.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <random>
#include <set>

#include "evidence/features/rules.h"
#include "judged_class.h"
#include "platform/platform.h"
#include "dwgwrite/r12_writer.h"

namespace veldra::evidence {
namespace {

using veldra::testing::ClassModel;
using veldra::testing::ClassPlan;
using veldra::testing::CopyKind;
using veldra::testing::JudgedClass;
using veldra::testing::judgeModel;
using veldra::testing::makeClass;

JudgedClass judged(const ClassPlan& plan, const EvidenceSettings& settings = {}) {
  return JudgedClass(judgeModel(makeClass(plan), plan.teacherTemplate, settings).findings);
}

// A kind of class, in draws by seed, and what its judgement must show.
struct ClassKind {
  const char* name;
  std::function<ClassPlan(unsigned)> plan;
  std::vector<unsigned> seeds;
  // Of each kind of copy, how many tenths at least must be called copies.
  int leastTenths = 10;
  // Every copy called a copy outright, every pair its copies link called
  // one, and the same second and the lab login told as coincidences.
  bool strict = false;
};

std::ostream& operator<<(std::ostream& out, const ClassKind& kind) { return out << kind.name; }

ClassPlan clicked(unsigned seed, int students) {
  ClassPlan plan = veldra::testing::everyKindClass(seed);
  plan.students = students;
  plan.clickedMeasures = true;
  plan.exerciseEntities = 60;
  return plan;
}

const ClassKind kKinds[] = {
    // The class the evidence check was first built for, 24 students, 40 or
    // 120 entities; half the draws without the template named, a third with
    // a login on most drawings.
    {"typical",
     [](unsigned draw) {
       const unsigned seed = (draw + 1) / 2;
       ClassPlan plan = veldra::testing::typicalClass(seed);
       plan.exerciseEntities = draw % 2 ? 40 : 120;
       plan.teacherTemplate = seed % 2 == 0;
       plan.loginOnMost = seed % 3 == 0;
       return plan;
     },
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}, 10, true},
    // Every kind of paste with its vector, angle, factor, share and order
    // drawn by seed, and honest look-alikes. A copy of a drawing that holds
    // almost nothing of its own (every number typed from the sheet) can be
    // too thin to tell from honest work, and so can a part of one pasted.
    {"every kind",
     [](unsigned seed) {
       ClassPlan plan = veldra::testing::everyKindClass(seed);
       plan.exerciseEntities = seed % 2 ? 60 : 120;
       plan.exactNumbers = seed % 3 == 0;
       plan.teacherTemplate = seed % 4 != 1;
       return plan;
     },
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 9},
    // Measures two students click agree at the thousandth now and then, and
    // a class of 2,000 compares two million pairs: what chance gives there
    // accuses no one.
    {"clicked, 30 students", [](unsigned seed) { return clicked(seed, 30); }, {1, 2, 3}},
    {"clicked, 300 students", [](unsigned seed) { return clicked(seed, 300); }, {1, 2, 3}},
    {"clicked, 2000 students", [](unsigned seed) { return clicked(seed, 2000); }, {1}},
};

class ClassKinds : public ::testing::TestWithParam<ClassKind> {};

TEST_P(ClassKinds, EveryCopyFoundAndNoHonestPairAccused) {
  const ClassKind& kind = GetParam();
  veldra::testing::Tally tally;
  for (const unsigned seed : kind.seeds) {
    SCOPED_TRACE(std::string(kind.name) + ", seed " + std::to_string(seed));
    const ClassPlan plan = kind.plan(seed);
    const ClassModel model = makeClass(plan);
    const JudgedClass j(judgeModel(model, plan.teacherTemplate).findings);
    veldra::testing::tallyClass(plan, model, j, tally);
    if (!kind.strict) continue;
    for (const auto& c : plan.copies)
      EXPECT_EQ(j.verdict(c.source, c.copier), Verdict::kCopy) << copyKindName(c.kind) << j.said(c.source, c.copier);
    // Every pair the copies link called a copy, and the students of the same
    // second or of one lab login told as a coincidence.
    for (int a = 0; a < plan.students; ++a)
      for (int b = a + 1; b < plan.students; ++b)
        if (model.linked(a, b)) {
          EXPECT_TRUE(j.called(a, b)) << "students " << a << " and " << b << j.said(a, b);
        }
    for (const auto* innocent : {&plan.sameSecond, &plan.labAccount})
      for (const int a : *innocent)
        for (const int b : *innocent)
          if (a < b) {
            EXPECT_EQ(j.verdict(a, b), Verdict::kCoincidence) << a << " " << b << j.said(a, b);
          }
  }
  tally.report(std::string("classes ") + kind.name);
  for (const auto& [name, n] : tally.copies) {
    const int least = name == copyKindName(CopyKind::kPartial) ? std::min(kind.leastTenths, 7) : kind.leastTenths;
    EXPECT_GE(n.first * 10, n.second * least) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ClassKinds, ::testing::ValuesIn(kKinds), [](const ::testing::TestParamInfo<ClassKind>& kind) {
  std::string name;
  for (const char c : std::string(kind.param.name))
    if (std::isalnum(static_cast<unsigned char>(c))) name += c;
  return name;
});

TEST(ClassJudgement, NamesGroupsTheirLikelySourceAndTheWordsAgree) {
  const JudgedClass j = judged(veldra::testing::typicalClass(3));
  // Student 10's drawing was copied twice: one group of three.
  ASSERT_EQ(j.findings.groups.size(), 6u);
  const auto triple = std::find_if(j.findings.groups.begin(), j.findings.groups.end(),
                                   [](const CopyGroup& g) { return g.members.size() == 3; });
  ASSERT_NE(triple, j.findings.groups.end());
  EXPECT_EQ(triple->members, (std::vector<std::size_t>{10, 11, 12}));
  EXPECT_EQ(triple->likelySource, std::optional<std::size_t>(10));
  // Pastes are newer and hold little editing time; an edited copy names its
  // source's student as author.
  for (const auto& [source, copier] : {std::pair{4, 5}, {6, 7}, {8, 9}, {2, 3}}) {
    const auto* p = j.pair(source, copier);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->likelySource, std::optional<std::size_t>(source)) << p->direction;
    EXPECT_NE(p->group, 0);
  }
  EXPECT_TRUE(j.mentions(0, 1, "same drawing identity"));
  EXPECT_TRUE(j.mentions(6, 7, "neither the template nor most of the class"));
  // Drawings are named by their folder, not by the file name all share.
  EXPECT_EQ(displayName(j.findings.drawings[5]), "felix/drawing.dwg");
  EXPECT_NE(j.findings.pairs.front().group, 0);  // grouped pairs first

  // A coincidence names no source and the words never call a copy chance;
  // a chain is one group from its first source; a turned paste says so.
  const JudgedClass every = judged(veldra::testing::everyKindClass(5));
  int coincidences = 0;
  for (const auto& p : every.findings.pairs) {
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
  EXPECT_GT(coincidences, 0);
  const auto* chain = every.pair(20, 21);
  ASSERT_TRUE(chain && chain->group != 0);
  for (const auto& g : every.findings.groups)
    if (g.number == chain->group) {
      EXPECT_EQ(g.members.size(), 3u);
      EXPECT_EQ(g.likelySource, std::optional<std::size_t>(20));
    }
  EXPECT_TRUE(every.mentions(10, 11, "turned "));
}

TEST(ClassJudgement, ExplainsInnocentCoincidences) {
  ClassPlan plan = veldra::testing::typicalClass(4);
  const auto sharing = [](const std::vector<int>& students, const std::function<void(int, int)>& check) {
    for (const int a : students)
      for (const int b : students)
        if (a < b) check(a, b);
  };
  // The same second and the login are told as coincidences by the class
  // kinds; listed by the teacher, that login is no evidence at all.
  EvidenceSettings ignoring;
  ignoring.ignoredAuthors = {" LAB3 "};
  const JudgedClass ignored = judged(plan, ignoring);
  sharing(plan.labAccount, [&](int a, int b) { EXPECT_EQ(ignored.verdict(a, b), Verdict::kNone) << a << " " << b; });
  // A login on most drawings is found and set aside by itself.
  plan.loginOnMost = true;
  plan.labAccount.clear();
  const JudgedClass most = judged(plan);
  EXPECT_TRUE(std::any_of(most.findings.notes.begin(), most.findings.notes.end(),
                          [](const std::string& n) { return n.find("\"student\"") != std::string::npos; }));
  for (const auto& p : most.findings.pairs)
    if (p.evidence.sharedName == "student") {
      EXPECT_TRUE(p.evidence.nameIgnored);
    }
  // Honest students drawing the same sheet: almost no pair needs a word.
  EXPECT_LT(most.findings.counts().coincidence, 24);
}

TEST(ClassJudgement, SubtractsTheTeachersTemplateWhereFewUsedIt) {
  // Only two honest students started from the teacher's template; the rest
  // drew their own frame. The title block is then rare in the class, and
  // only the teacher's naming of the template tells it from a copy.
  ClassPlan plan = veldra::testing::typicalClass(6);
  plan.copies.clear();
  plan.labAccount.clear();
  ClassModel model = makeClass(plan);
  for (std::size_t k = 2; k < model.drawings.size(); ++k)
    std::erase_if(model.drawings[k].entities, [](const EntityFacts& e) { return e.paperSpace && e.handle < 0x200; });
  EXPECT_TRUE(JudgedClass(judgeModel(model, false).findings).called(0, 1));
  EXPECT_EQ(JudgedClass(judgeModel(model, true).findings).verdict(0, 1), Verdict::kNone);
}

// Without a template named, what the drawings were started from is taken
// as the template: the title block every student's drawing holds under the
// template's handles, not the first lines most students draw in the same
// order. Every pair is judged as with the template named, and the notes say
// where the template came from.
TEST(ClassJudgement, WithoutATemplateNamedTakesWhatTheDrawingsStartedFrom) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const ClassModel model = makeClass(veldra::testing::everyKindClass(seed));
    const Findings named = judgeModel(model, true).findings, estimated = judgeModel(model, false).findings;
    std::map<std::pair<std::size_t, std::size_t>, std::pair<Verdict, int>> a, b;
    for (const auto& p : named.pairs) a[{p.a, p.b}] = {p.verdict, p.score};
    for (const auto& p : estimated.pairs) b[{p.a, p.b}] = {p.verdict, p.score};
    EXPECT_EQ(a, b);
    const auto& notes = estimated.notes;
    EXPECT_TRUE(std::any_of(notes.begin(), notes.end(), [&](const std::string& note) {
      return note.starts_with("No template was named: ") && note.find("held by 27 of the") != std::string::npos;
    })) << (notes.empty() ? std::string("no notes") : notes.back());
  }
}

TEST(ClassJudgement, TwoDrawingsAreEnoughToFindACopy) {
  ClassPlan plan;
  plan.seed = 9;
  plan.students = 2;
  plan.exerciseEntities = 30;
  EXPECT_EQ(judged(plan).verdict(0, 1), Verdict::kNone);
  plan.copies = {{CopyKind::kPastedMoved, 0, 1}};
  EXPECT_EQ(judged(plan).verdict(0, 1), Verdict::kCopy);
}

// A leaked solution handed in by most of the class stays a copy, pair by
// pair, in one group; so do two thousand identical files.
TEST(ClassJudgement, ALeakedSolutionIsCopyingHoweverManyShareIt) {
  for (const auto& [students, sharing] : {std::pair{31, 17}, {12, 10}}) {
    ClassPlan plan;
    plan.seed = static_cast<unsigned>(students);
    plan.students = students;
    plan.exerciseEntities = 50;
    for (int k = 1; k < sharing; ++k) plan.copies.push_back({CopyKind::kFileCopy, 0, k});
    const JudgedClass j = judged(plan);
    for (int a = 0; a < students; ++a)
      for (int b = a + 1; b < students; ++b)
        EXPECT_EQ(j.called(a, b), b < sharing) << a << " " << b;
    ASSERT_EQ(j.findings.groups.size(), 1u);
    EXPECT_EQ(j.findings.groups[0].members.size(), static_cast<std::size_t>(sharing));
    EXPECT_TRUE(j.pair(0, 1)->evidence.sameCreatedInstant);  // one file keeps its creation instant
  }
  ClassPlan plan;
  plan.students = 1;
  plan.exerciseEntities = 20;
  ClassInput input;
  input.drawings.assign(2000, makeClass(plan).drawings[0]);
  for (std::size_t k = 0; k < input.drawings.size(); ++k)
    input.drawings[k].facts.name = "s" + std::to_string(k) + "/drawing.dwg";
  const Findings f = judgeClass(input, {}, nullptr, RunControl{}).findings;
  ASSERT_EQ(f.groups.size(), 1u);
  EXPECT_EQ(f.groups[0].members.size(), 2000u);
}

// A drawing that could not be read is listed and judged with no other; a
// drawing without a preview, or whose preview is broken, is judged on the
// rest as before.
TEST(ClassJudgement, AnUnreadableDrawingOrABrokenPreviewChangesNoOtherJudgement) {
  const ClassModel model = makeClass(veldra::testing::everyKindClass(2));
  const Findings before = judgeModel(model, true).findings;
  ClassInput input;
  input.project = "CAD1";
  input.drawings = model.drawings;
  input.templates.push_back(model.templateDrawing);
  for (std::size_t k = 0; k < input.drawings.size(); k += 2) {
    auto& f = input.drawings[k].facts;
    f.preview = {};
    if (k % 4 == 0) f.problem = ProblemDrawing{f.path, ProblemKind::kDamaged, "preview block has no start sentinel", true};
  }
  DrawingEvidence broken;
  broken.facts.path = "/class/zeno9/drawing.dwg";
  broken.facts.name = "zeno9/drawing.dwg";
  broken.facts.problem = ProblemDrawing{broken.facts.path, ProblemKind::kNotDrawing, ""};
  input.drawings.push_back(broken);
  const Findings after = judgeClass(input, {}, nullptr, RunControl{}).findings;
  EXPECT_EQ(after.problemDrawings().back(), model.drawings.size());
  ASSERT_EQ(after.pairs.size(), before.pairs.size());
  for (std::size_t k = 0; k < after.pairs.size(); ++k) {
    EXPECT_EQ(std::tie(after.pairs[k].a, after.pairs[k].b), std::tie(before.pairs[k].a, before.pairs[k].b));
    EXPECT_EQ(after.pairs[k].verdict, before.pairs[k].verdict);
    EXPECT_EQ(after.pairs[k].score, before.pairs[k].score);
  }
  EXPECT_EQ(after.pairsJudged, before.pairsJudged);
}

// A later run takes unchanged drawings from the store: features, no
// entities. Its copies are still laid onto one another, on entities read
// again for the drawings of copies only, and every pair is told as on the
// first run, turned and mirrored copies too.
TEST(ClassJudgement, CopiesTakenFromTheStoreAreLaidAsOnTheFirstRun) {
  for (const unsigned seed : {5u, 6u}) {
    SCOPED_TRACE("class of seed " + std::to_string(seed));
    const ClassModel model = makeClass(veldra::testing::everyKindClass(seed));
    ClassInput input;
    input.project = "CAD1";
    input.drawings = model.drawings;
    input.templates.push_back(model.templateDrawing);
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
      const PairFinding &was = first.findings.pairs[p], &is = second.findings.pairs[p];
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

// Drawings older than R13 store no identity GUIDs, their dates are local
// time, and before R10 (or with HANDLING off) their entities have no
// handles: a copied R12 drawing is found by its geometry and dates, and
// drawings without handles are judged, named, and never matched through the
// handles they do not have.
TEST(ClassJudgement, OldDrawingsAreJudgedByWhatTheyStore) {
  const auto student = [](const std::string& version, int seed, bool handling = true) {
    dwgwrite::OldDrawingSpec wanted;
    wanted.version = version;
    wanted.handling = handling;
    wanted.created = {2448000 + seed, 30000000 + seed * 1000};
    wanted.updated = {2448010 + seed, 0};
    for (int k = 0; k < 30; ++k) {
      dwgwrite::OldEntitySpec e;
      e.handle = 0x20 + static_cast<std::uint64_t>(k);
      const double x = seed * 97.25 + k * 3.5, y = seed * 13.75 + k * k * 0.5;
      if (k % 3 == 0) e.kind = dwgwrite::OldEntitySpec::Kind::kCircle;
      e.numbers = k % 3 == 0 ? std::vector<double>{x, y, 1.0 + k * 0.25 + seed}
                             : std::vector<double>{x, y, 0, x + seed + k, y + 2 * k + 1, 0};
      wanted.entities.push_back(e);
    }
    const auto bytes = dwgwrite::writeOldDrawing(wanted);
    return std::string(bytes.begin(), bytes.end());
  };
  veldra::testing::TempDir dir;
  dir.write("class/anna.dwg", student("AC1009", 1));
  dir.write("class/ben.dwg", student("AC1009", 1));  // anna's file, copied
  dir.write("class/carla.dwg", student("AC1009", 2));
  dir.write("class/dora.dwg", student("AC1004", 3));         // no handles before R10
  dir.write("class/emil.dwg", student("AC1009", 4, false));  // HANDLING off
  const RunResult r = veldra::testing::runOnFolder(dir, dir.path() / "class");
  ASSERT_EQ(r.outcome, RunOutcome::kDone) << r.error;
  const Findings& f = r.findings;
  ASSERT_EQ(f.projectDrawings, 5u);
  for (const auto& d : f.drawings) {
    EXPECT_TRUE(d.readable && d.fingerprintGuid.empty() && d.entityCount == 30u) << displayName(d);
    ASSERT_TRUE(d.created.has_value());
    EXPECT_FALSE(d.created->universal);  // local time, as the old versions store it
  }
  EXPECT_EQ(f.drawings[0].version + f.drawings[3].version, "AC1009AC1004");
  EXPECT_TRUE(f.drawings[0].handseed.has_value() && f.drawings[0].updated.has_value());
  EXPECT_FALSE(f.drawings[3].handseed.has_value());
  ASSERT_EQ(f.problemDrawings(), (std::vector<std::size_t>{3, 4}));
  for (const std::size_t i : {3u, 4u})
    EXPECT_TRUE(f.drawings[i].problem->kind == ProblemKind::kNoHandles && f.drawings[i].problem->read);
  ASSERT_EQ(f.groups.size(), 1u);
  EXPECT_EQ(f.groups[0].members, (std::vector<std::size_t>{0, 1}));
  for (const PairFinding& pair : f.pairs)
    if (pair.a >= 3 && pair.b >= 3) {
      EXPECT_TRUE(pair.evidence.handlesShared == 0 && pair.evidence.rawHandleOverlap == 0);
    }
  const auto base = dir.path() / "ws";
  EXPECT_NE(veldra::testing::slurp(reportFile(Workspace(base), "CAD1")).find("dora.dwg: stores no entity handles"),
            std::string::npos);
}

// A class whose honest students all press New within `seconds` whole
// seconds of one lab (the copies keep their instants): the pairs sharing a
// second grow with the square of the class. Every copy is listed as in the
// same class spread over the lab; beyond a course's size only the strongest
// few coincidences of each drawing are, and a note counts those left out.
TEST(ClassJudgement, ACrowdedLabListsEveryCopyAndTheStrongestCoincidences) {
  const int large = static_cast<int>(rules::kCoincidencesAllListedUpTo) + 104;
  for (const auto& [students, seconds, seed] : {std::tuple{large, large / 14, 3u}, {large, large / 14, 8u},
                                               {600, 40, 4u}, {600, 40, 9u}}) {
    SCOPED_TRACE(std::to_string(students) + " students, seed " + std::to_string(seed));
    const ClassModel spread = veldra::testing::makeLargeClass(students, 40, seed);
    ClassModel crowded = spread;
    std::set<int> copying;
    for (const auto& g : crowded.groups) copying.insert(g.begin(), g.end());
    std::mt19937_64 random(seed * 7919u + static_cast<unsigned>(students));
    const std::int64_t lab = crowded.drawings.front().facts.created->unixMs / 1000 * 1000;
    std::map<std::int64_t, std::vector<int>> bySecond;
    for (int k = 0; k < students; ++k) {
      if (copying.count(k)) continue;
      const std::int64_t at = lab + static_cast<std::int64_t>(random() % static_cast<unsigned>(seconds)) * 1000;
      crowded.drawings[static_cast<std::size_t>(k)].facts.created = Instant{at, true};
      bySecond[at].push_back(k);
    }
    const JudgedClass j(judgeModel(crowded, false).findings);
    const auto copies = [](const Findings& f) {
      std::map<std::pair<std::size_t, std::size_t>, int> scores;
      for (const auto& p : f.pairs)
        if (isCopy(p.verdict)) scores[{std::min(p.a, p.b), std::max(p.a, p.b)}] = p.score;
      return scores;
    };
    EXPECT_EQ(copies(j.findings), copies(judgeModel(spread, false).findings));
    std::size_t found = 0;
    for (const auto& g : crowded.groups) found += j.called(g[0], g[1]);
    EXPECT_GE(found * 10, crowded.groups.size() * 9);

    const bool beyondACourse = students > static_cast<int>(rules::kCoincidencesAllListedUpTo);
    std::map<std::size_t, int> listedIn;
    for (const auto& p : j.findings.pairs)
      if (p.verdict == Verdict::kCoincidence) {
        ++listedIn[p.a], ++listedIn[p.b];
        EXPECT_FALSE(p.reasons.empty());
      }
    for (const auto& [drawing, count] : listedIn) EXPECT_TRUE(!beyondACourse || count <= rules::kCoincidencesPerDrawing) << drawing;
    std::size_t sameSecond = 0, leftOut = 0;
    for (const auto& [at, members] : bySecond)
      for (std::size_t x = 0; x < members.size(); ++x)
        for (std::size_t y = x + 1; y < members.size(); ++y) {
          const int a = members[x], b = members[y];
          ++sameSecond;
          if (j.pair(a, b)) continue;
          ++leftOut;
          // Left out only for a drawing listed in as many as it may be.
          EXPECT_TRUE(std::max(listedIn[static_cast<std::size_t>(a)], listedIn[static_cast<std::size_t>(b)]) ==
                      rules::kCoincidencesPerDrawing)
              << a << " and " << b;
        }
    std::size_t noted = 0;
    for (const auto& note : j.findings.notes)
      if (const auto at = note.find(" further pairs judged coincidences are not listed"); at != std::string::npos)
        noted = std::stoul(note.substr(0, at));
    if (beyondACourse) {
      ASSERT_GT(leftOut, sameSecond / 2);
      EXPECT_GE(noted, leftOut);
    } else {
      EXPECT_EQ(leftOut, 0u);
      EXPECT_EQ(noted, 0u);
    }
  }
}

}  // namespace
}  // namespace veldra::evidence
