// What the teacher decides, kept across runs: marks on pairs found again by
// paths and identities (and told when the pair is judged otherwise since,
// or its drawing is another one now), thresholds per project used by the
// run and the command line, and the last result kept whole for the window.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "app/textfile.h"
#include "classes/class_model.h"
#include "classes/drawing_plan.h"
#include "dwgwrite/dwg_writer.h"
#include "evidence/run/evidence_run.h"
#include "evidence/store/evidence_store.h"
#include "evidence/store/findings_codec.h"
#include "evidence/reports/report_writers.h"
#include "evidence/store/review.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace veldra::evidence {
namespace {

// The settings kept for a project, failing the test when they cannot be read.
EvidenceSettings savedSettings(const Workspace& workspace, const std::string& project) {
  const auto saved = loadProjectSettings(workspace, project);
  EXPECT_TRUE(saved) << saved.message();
  return saved ? *saved : EvidenceSettings{};
}

using veldra::testing::CopyKind;

// Writes the class as drawings without previews (as many programs save
// them), each student in a folder of its own, listed as project CAD1.
std::string writeClass(const Workspace& workspace, const veldra::testing::ClassPlan& plan,
                       const std::filesystem::path& folder) {
  const veldra::testing::ClassModel model = veldra::testing::makeClass(plan);
  const char* const versions[] = {"AC1032", "AC1018", "AC1024", "AC1027"};
  for (std::size_t k = 0; k < model.drawings.size(); ++k) {
    const auto& d = model.drawings[k];
    const auto file = folder / d.facts.name;
    std::filesystem::create_directories(file.parent_path());
    if (auto error = dwgwrite::writeDrawingFile(file, veldra::testing::planOf(d, versions[k % 4])); !error.empty())
      return error;
  }
  EXPECT_TRUE(replaceFile(workspace.projectsFile(), "\"CAD1\"\r\n"));
  EXPECT_TRUE(replaceFile(workspace.projectsFile().parent_path() / "CAD1.prj", quotedLine("+" + utf8FromPath(folder))));
  return {};
}

class TeachersDeskTest : public ::testing::TestWithParam<unsigned> {
 protected:
  TeachersDeskTest() : base(dir.makeWorkspace()), workspace(base) {
    veldra::testing::ClassPlan plan;
    plan.seed = GetParam();
    plan.students = 9;
    std::mt19937 random(GetParam());
    // The copier and the kind of copy vary by seed; two honest students
    // press New in the same second.
    const CopyKind kinds[] = {CopyKind::kFileCopy, CopyKind::kCopyEdited, CopyKind::kPastedMoved};
    const int source = static_cast<int>(random() % 4), copier = 4 + static_cast<int>(random() % 3);
    plan.copies = {{kinds[random() % 3], source, copier}};
    plan.sameSecond = {7, 8};
    EXPECT_EQ(writeClass(workspace, plan, dir.path() / "class"), "");
  }

  Findings run(const EvidenceSettings& settings = {}) {
    const RunResult r = runEvidenceCheck(workspace, "CAD1", settings, {});
    EXPECT_EQ(r.outcome, RunOutcome::kDone) << r.error;
    EXPECT_TRUE(r.warnings.empty());
    return r.findings;
  }

  static std::size_t firstOf(const Findings& f, Verdict v) {
    for (std::size_t k = 0; k < f.pairs.size(); ++k)
      if (f.pairs[k].verdict == v) return k;
    return f.pairs.size();
  }

  veldra::testing::TempDir dir;
  std::filesystem::path base;
  Workspace workspace;
};

TEST_P(TeachersDeskTest, MarksStayWithTheirPairAndTellWhatChanged) {
  Findings f = run();
  const std::size_t copy = firstOf(f, Verdict::kCopy), coincidence = firstOf(f, Verdict::kCoincidence);
  ASSERT_LT(copy, f.pairs.size());
  ASSERT_LT(coincidence, f.pairs.size());
  const Status confirmed =
      saveMark(workspace, "CAD1", markOf(f, f.pairs[copy], ReviewMark::kConfirmed, "admitted, 3 May", 1000));
  ASSERT_TRUE(confirmed) << confirmed.message();
  ASSERT_TRUE(saveMark(workspace, "cad1", markOf(f, f.pairs[coincidence], ReviewMark::kNotCopy, "", 2000)).ok());
  // The key does not depend on which drawing the run names first.
  PairFinding swapped = f.pairs[copy];
  std::swap(swapped.a, swapped.b);
  EXPECT_EQ(markOf(f, swapped, ReviewMark::kConfirmed, "", 0).pathA, markOf(f, f.pairs[copy], ReviewMark::kConfirmed, "", 0).pathA);

  // The next run finds them again, and so do the kept result and every writer.
  Findings again = run();
  const auto& [a, b] = std::pair{f.drawings[f.pairs[copy].a].path, f.drawings[f.pairs[copy].b].path};
  int marked = 0;
  for (const auto& p : again.pairs) {
    if (!p.review) continue;
    ++marked;
    EXPECT_FALSE(p.review->changed);
    if (p.review->mark == ReviewMark::kConfirmed) {
      EXPECT_TRUE((again.drawings[p.a].path == a && again.drawings[p.b].path == b) ||
                  (again.drawings[p.a].path == b && again.drawings[p.b].path == a));
      EXPECT_EQ(p.review->note, "admitted, 3 May");
    }
  }
  EXPECT_EQ(marked, 2);
  const auto kept = loadLastRun(workspace, "CAD1").value();
  ASSERT_TRUE(kept);
  EXPECT_EQ(std::count_if(kept->pairs.begin(), kept->pairs.end(), [](const PairFinding& p) { return p.review.has_value(); }), 2);
  const std::string csv = csvReport(again), html = htmlReport(again);
  EXPECT_NE(csv.find(",confirmed copy,\"admitted, 3 May\",no"), std::string::npos);
  EXPECT_NE(csv.find(",not a copy,,no"), std::string::npos);
  EXPECT_NE(html.find("Teacher's mark: confirmed copy: admitted, 3 May"), std::string::npos);

  // Judged with a copy threshold above its score, the confirmed pair is a
  // likely copy now: the mark stays, and says it was made on a copy.
  EvidenceSettings stricter;
  const int score = f.pairs[copy].score;
  stricter.thresholds = {std::min(100, score + 1), std::min(score, 45)};
  if (score < 100) {
    const Findings strict = run(stricter);
    bool told = false;
    for (const auto& p : strict.pairs)
      if (p.review && p.review->mark == ReviewMark::kConfirmed) {
        EXPECT_TRUE(p.review->changed);
        EXPECT_EQ(p.review->markedVerdict, Verdict::kCopy);
        EXPECT_NE(reviewSummary(*p.review, false).find("marked when copy"), std::string::npos);
        told = true;
      }
    EXPECT_TRUE(told);
  }

  // A mark taken away where it is shown is gone
  // from the next run.
  const Findings back = run();
  const auto shown = std::find_if(back.pairs.begin(), back.pairs.end(), [](const PairFinding& p) {
    return p.review && p.review->mark == ReviewMark::kNotCopy;
  });
  ASSERT_NE(shown, back.pairs.end());
  ASSERT_TRUE(removeMark(workspace, "CAD1", markOf(back, *shown, ReviewMark::kToReview, "", 0)).ok());
  for (const auto& p : run().pairs)
    if (p.review) {
      EXPECT_NE(p.review->mark, ReviewMark::kNotCopy);
    }
}

TEST_P(TeachersDeskTest, ThresholdsArePerProjectAndJudgeTheRunAndTheCommandLine) {
  EvidenceSettings chosen;
  chosen.thresholds = {90, 60};
  ASSERT_TRUE(saveProjectSettings(workspace, "CAD1", chosen).ok());
  EXPECT_EQ(savedSettings(workspace, "cad1").thresholds, (Thresholds{90, 60}));
  EXPECT_EQ(savedSettings(workspace, "OTHER").thresholds, Thresholds{});
  // Out of range, or a likely copy not below a copy, is mended when kept.
  chosen.thresholds = {150, 150};
  ASSERT_TRUE(saveProjectSettings(workspace, "CAD2", chosen).ok());
  EXPECT_EQ(savedSettings(workspace, "CAD2").thresholds, (Thresholds{100, 99}));
  EXPECT_EQ(checkedThresholds({-5, -9}), (Thresholds{2, 1}));

  const Findings f = run(savedSettings(workspace, "CAD1"));
  for (const auto& p : f.pairs) {
    EXPECT_EQ(p.verdict == Verdict::kCopy, p.score >= 90) << p.score;
    if (p.verdict == Verdict::kLikelyCopy) {
      EXPECT_GE(p.score, 60);
    }
  }
}

TEST_P(TeachersDeskTest, TheLastResultIsKeptWholeAndToldWhenADrawingChanged) {
  // No run kept is no failure.
  const auto none = loadLastRun(workspace, "CAD1");
  ASSERT_TRUE(none) << none.message();
  EXPECT_FALSE(none.value());
  const Findings f = run();
  const auto kept = loadLastRun(workspace, "CAD1").value();
  ASSERT_TRUE(kept);
  EXPECT_EQ(encodeFindings(*kept), encodeFindings(f));
  EXPECT_EQ(htmlReport(*kept), htmlReport(f));
  EXPECT_EQ(kept->drawings.size(), f.drawings.size());
  EXPECT_TRUE(changedSinceRun(*kept).empty());
  // Every drawing of the class carries a picture, stored or drawn.
  for (std::size_t d = 0; d < kept->projectDrawings; ++d)
    EXPECT_FALSE(kept->drawings[d].drawnPicture.empty()) << displayName(kept->drawings[d]);

  // A drawing saved again after the run, and one taken away, are pointed out.
  const auto touched = kept->drawings[1].path, gone = kept->drawings[2].path;
  std::filesystem::last_write_time(touched, std::filesystem::file_time_type::clock::now() + std::chrono::hours(1));
  std::filesystem::remove(gone);
  EXPECT_EQ(changedSinceRun(*kept), (std::vector<std::size_t>{1, 2}));

  // Every cut of the kept bytes is refused, never half read.
  const auto bytes = encodeFindings(f);
  for (std::size_t n = 0; n < bytes.size(); n += 1 + n / 64)
    EXPECT_FALSE(decodeFindings(std::span(bytes).first(n))) << n;
  std::mt19937 random(GetParam());
  for (int k = 0; k < 200; ++k) {
    auto damaged = bytes;
    damaged[random() % damaged.size()] ^= static_cast<std::uint8_t>(1 + random() % 255);
    (void)decodeFindings(damaged);  // may read or refuse; must not fault
  }
}

INSTANTIATE_TEST_SUITE_P(Classes, TeachersDeskTest, ::testing::Values(3u, 14u, 27u));

// Marks go with the files, not their paths: drawings without an identity
// (R12 DXF) tell one file from another only by their bytes.
TEST(TeachersDesk, AMarkFollowsItsFilesAndNeverPassesToAnother) {
  struct Case {
    const char* what;
    std::string pathA, pathB, digestA, digestB;  // of the mark
    bool shown, moved;
    const char* told;  // in the notes when not shown
  };
  const std::vector<Case> cases = {
      {"where it was made", "/c/a.dxf", "/c/b.dxf", "1a", "2b", true, false, ""},
      {"in a moved folder", "/old/b.dxf", "/old/a.dxf", "2b", "1a", true, true, ""},
      {"by an earlier version", "/c/a.dxf", "/c/b.dxf", "", "", true, false, ""},
      {"on a file replaced since", "/c/a.dxf", "/c/b.dxf", "9z", "2b", false, false, "is another file now"},
      {"on files gone", "/x/a.dxf", "/x/b.dxf", "7x", "8x", false, false, "not among the project's drawings"},
  };
  for (const Case& c : cases) {
    Findings f;
    for (const auto& [path, digest] : {std::pair{"/c/a.dxf", "1a"}, {"/c/b.dxf", "2b"}}) {
      DrawingFacts d;
      d.path = path;
      d.contentDigest = digest;
      f.drawings.push_back(d);
    }
    f.pairs.push_back({});
    f.pairs[0].b = 1;
    f.pairs[0].verdict = Verdict::kCopy;
    StoredMark m;
    m.id = 5;
    m.pathA = c.pathA, m.pathB = c.pathB, m.digestA = c.digestA, m.digestB = c.digestB;
    m.note = "seen in class";
    const auto moved = applyMarks(f, std::vector<StoredMark>{m});
    EXPECT_EQ(f.pairs[0].review.has_value(), c.shown) << c.what;
    EXPECT_EQ(moved.size(), c.moved ? 1u : 0u) << c.what;
    if (c.moved && !moved.empty()) {
      EXPECT_EQ(moved[0].pathA + moved[0].digestA + moved[0].pathB + moved[0].digestB, "/c/a.dxf1a/c/b.dxf2b");
      EXPECT_EQ(moved[0].id, 5);
    }
    ASSERT_EQ(f.notes.size(), c.shown ? 0u : 1u) << c.what;
    if (!c.shown) {
      EXPECT_NE(f.notes[0].find(c.told), std::string::npos) << f.notes[0];
      EXPECT_NE(f.notes[0].find("seen in class"), std::string::npos) << f.notes[0];
    }
  }
}

// A drawn picture is kept packed: unpacked it is the picture it was, to
// well under a drawing unit far from the origin, and bytes that are not a
// whole picture are refused.
TEST(TeachersDesk, APackedPictureUnpacksAsItWasAndRefusesWhatIsNone) {
  veldra::sketch::Sketch s;
  s.strokes.push_back({4, {{250000.0, -125000.5}, {250010.25, -125000.5}, {250010.25, -124990.0}}});
  s.strokes.push_back({7, {}});
  s.labels.push_back({9, {250001.0, -124999.0}, 2.5, 0.5, "Olga K."});
  s.drawn = 3;
  s.notDrawn = 1;
  const DrawnPicture packed(s);
  EXPECT_FALSE(packed.empty());
  const auto back = packed.unpack();
  ASSERT_EQ(back.strokes.size(), 2u);
  ASSERT_EQ(back.strokes[0].points.size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_NEAR(back.strokes[0].points[k].x, s.strokes[0].points[k].x, 1e-3);
    EXPECT_NEAR(back.strokes[0].points[k].y, s.strokes[0].points[k].y, 1e-3);
  }
  EXPECT_EQ(back.strokes[1].entity, 7u);
  ASSERT_EQ(back.labels.size(), 1u);
  EXPECT_EQ(back.labels[0].text, "Olga K.");
  EXPECT_EQ(back.labels[0].at, s.labels[0].at);
  EXPECT_EQ(back.drawn, 3u);
  EXPECT_EQ(back.notDrawn, 1u);

  const auto bytes = packed.packed();
  const auto again = DrawnPicture::fromPacked(bytes);
  ASSERT_TRUE(again);
  EXPECT_TRUE(std::ranges::equal(again->packed(), bytes));
  for (std::size_t n = 0; n < bytes.size(); ++n) EXPECT_FALSE(DrawnPicture::fromPacked(bytes.first(n))) << n;
  std::vector<std::uint8_t> longer(bytes.begin(), bytes.end());
  longer.push_back(0);
  EXPECT_FALSE(DrawnPicture::fromPacked(longer));

  // Nothing to draw, yet what was not drawn is still told.
  veldra::sketch::Sketch nothing;
  nothing.notDrawn = 5;
  const DrawnPicture blank(nothing);
  EXPECT_TRUE(blank.empty());
  EXPECT_EQ(blank.unpack().notDrawn, 5u);
  EXPECT_TRUE(DrawnPicture().empty());
  EXPECT_TRUE(DrawnPicture().unpack().empty());
}

}  // namespace
}  // namespace veldra::evidence
