#include <gtest/gtest.h>

#include <sqlite3.h>

#include <atomic>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/textfile.h"
#include "dwgwrite/dwg_writer.h"
#include "evidence/judging/pair_judgement.h"
#include "evidence/run/evidence_run.h"
#include "evidence/store/evidence_store.h"
#include "evidence/reports/report_writers.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace veldra::evidence {
namespace {

using veldra::dwgwrite::DrawingSpec;

// A class laid out by seed: drawings of the test writer in several
// releases, some copied from others with a few entities changed, a file
// that is no drawing, and the real drawings of other programs beside the
// repository, so that what the store keeps is checked on what others write
// too (previews, authors, identities).
class UnchangedDrawingsTest : public ::testing::TestWithParam<unsigned> {
 protected:
  UnchangedDrawingsTest() : base(dir.makeWorkspace()), workspace(base), random(GetParam()) {
    EXPECT_TRUE(replaceFile(base / "projects" / "projects.fil", "\"CAD1\"\r\n"));
    classFolder = dir.path() / "class";
    EXPECT_TRUE(replaceFile(base / "projects" / "CAD1.prj", quotedLine("+" + utf8FromPath(classFolder))));
    const std::vector<std::string> versions = {"AC1015", "AC1018", "AC1024", "AC1032"};
    std::vector<DrawingSpec> written;
    const int students = 4 + pick(5);
    for (int s = 0; s < students; ++s) {
      DrawingSpec plan;
      if (!written.empty() && pick(3) == 0) {
        plan = written[static_cast<std::size_t>(pick(static_cast<int>(written.size())))];
        plan.entities.erase(plan.entities.begin() + pick(static_cast<int>(plan.entities.size())));
      } else {
        plan.days = 2460000 + pick(400);
        plan.milliseconds = pick(86400000);
        const std::uint64_t own = static_cast<std::uint64_t>(pick(4000)) << 4;
        for (int k = 10 + pick(40); k > 0; --k)
          plan.entities.push_back({pick(3) ? "LINE" : "CIRCLE", 0x200 + own + static_cast<std::uint64_t>(k), false});
      }
      plan.version = versions[static_cast<std::size_t>(pick(4))];
      written.push_back(plan);
      const auto file = classFolder / ("student" + std::to_string(s)) / "drawing.dwg";
      std::filesystem::create_directories(file.parent_path());
      EXPECT_EQ(veldra::dwgwrite::writeDrawingFile(file, plan), "");
    }
    dir.write("class/zed/drawing.dwg", "not a drawing at all");
    const auto shared = veldra::testing::sharedDrawings();
    if (!shared.empty())
      for (const auto& e : std::filesystem::directory_iterator(shared))
        if (e.path().extension() == ".dwg" && pick(2) == 0)
          std::filesystem::copy_file(e.path(), classFolder / e.path().filename());
  }
  int pick(int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); }

  // A run through a reader that counts.
  RunResult run(const EvidenceSettings& settings = {}) {
    reads = 0;
    const RunResult r = runEvidenceCheck(workspace, "CAD1", settings, {},
                                         [&](const std::filesystem::path& path, const std::filesystem::path& name) {
                                           ++reads;
                                           return readDrawingEvidence(path, name);
                                         });
    EXPECT_EQ(r.outcome, RunOutcome::kDone) << r.error;
    // Drawings read again only to lay copies onto one another are not
    // drawings read to know them.
    reads -= static_cast<int>(r.readForCopies);
    return r;
  }
  // Every form the findings are written in, at one moment.
  static std::string reports(Findings f) {
    f.runAtUnixMs = 0;
    return plainReport(f) + csvReport(f) + htmlReport(f);
  }
  std::string freshReports() {
    std::filesystem::remove(storeFile(workspace));
    return reports(run().findings);
  }

  veldra::testing::TempDir dir;
  std::filesystem::path base;
  Workspace workspace;
  std::filesystem::path classFolder;
  std::mt19937 random;
  std::atomic<int> reads{0};
};

// The second run on an unchanged class reads no drawing at all and says
// what the first said, in every form. Other settings judge the class anew
// (reading only the drawings of pairs laid onto one another, each once, for
// their entities), as a run without a store would.
TEST_P(UnchangedDrawingsTest, AnUnchangedClassIsNotReadAgain) {
  const RunResult first = run();
  const int drawings = static_cast<int>(first.findings.projectDrawings);
  EXPECT_EQ(reads, drawings);
  std::set<std::size_t> ofPairsLaid;
  ClassContext layingAll;  // as many pairs as any class lays
  layingAll.ownNumbers = true;
  for (const auto& p : first.findings.pairs)
    if (worthLaying(p, layingAll)) ofPairsLaid.insert({p.a, p.b});
  const RunResult second = run();
  EXPECT_EQ(reads, 0);
  EXPECT_EQ(second.readForCopies, 0u);
  EXPECT_GE(second.findings.runAtUnixMs, first.findings.runAtUnixMs);
  EXPECT_EQ(reports(second.findings), reports(first.findings));

  EvidenceSettings lenient;
  lenient.thresholds = {2, 1};
  const RunResult other = run(lenient);
  EXPECT_EQ(reads, 0);
  EXPECT_LE(other.readForCopies, ofPairsLaid.size());
  const std::string judged = reports(other.findings);
  EXPECT_EQ(reports(run(lenient).findings), judged);
  std::filesystem::remove(storeFile(workspace));
  EXPECT_EQ(reports(run(lenient).findings), judged);
}

// A drawing written again, or replaced by another file of the same size and
// time, is read again; the others are not. What is then said is what a
// run without a store says.
TEST_P(UnchangedDrawingsTest, AChangedDrawingIsReadAgain) {
  run();
  DrawingSpec plan;
  plan.days = 2460100;
  plan.milliseconds = pick(86400000);
  for (std::uint64_t k = 0; k < 30; ++k) plan.entities.push_back({"LINE", 0x900 + k, false});
  ASSERT_EQ(veldra::dwgwrite::writeDrawingFile(classFolder / "student1" / "drawing.dwg", plan), "");
  RunResult changed = run();
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(reports(changed.findings), freshReports());

  // Another file in the place of one, with its size and time: its identity tells.
  const auto zed = classFolder / "zed" / "drawing.dwg";
  const auto written = std::filesystem::last_write_time(zed);
  dir.write("other.bin", "NOT A DRAWING AT ALL");
  std::filesystem::rename(dir.path() / "other.bin", zed);
  std::filesystem::last_write_time(zed, written);
  run();
  EXPECT_EQ(reads, 1);
  run();
  EXPECT_EQ(reads, 0);
}

// A drawing that could not be opened is tried again though its file looks
// unchanged (its permissions mended), by a run on an unchanged class too.
TEST_P(UnchangedDrawingsTest, ADrawingThatCouldNotBeOpenedIsTriedAgain) {
  const auto locked = classFolder / "student0" / "drawing.dwg";
  const RunResult first = runEvidenceCheck(workspace, "CAD1", {}, {}, [&](const auto& path, const auto& name) {
    if (path != locked) return readDrawingEvidence(path, name);
    DrawingEvidence e;
    e.facts.path = path;
    e.facts.name = name;
    e.facts.problem = ProblemDrawing{path, ProblemKind::kCannotOpen, "permission denied", false};
    return e;
  });
  ASSERT_EQ(first.outcome, RunOutcome::kDone);
  const std::string again = reports(run().findings);
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(again, freshReports());
  run();
  EXPECT_EQ(reads, 0);
}

// Features made by another scheme (another tolerance here, another version
// of the fingerprints alike) are made afresh from the drawings.
TEST_P(UnchangedDrawingsTest, AnotherFeatureSchemeReadsEverythingAgain) {
  const RunResult first = run();
  EvidenceSettings coarse;
  coarse.tolerance.length = 0.01;
  EXPECT_NE(featureScheme(coarse.tolerance), featureScheme(Tolerance{}));
  run(coarse);
  EXPECT_EQ(reads, static_cast<int>(first.findings.projectDrawings));
  run(coarse);
  EXPECT_EQ(reads, 0);
}

// A save that fails part-way leaves the store as the last run left it, and
// the next run still takes the unchanged drawings from there.
TEST_P(UnchangedDrawingsTest, AFailedSaveChangesNothingStored) {
  const RunResult first = run();
  {
    auto opened = SqliteStore::open(storeFile(workspace));
    ASSERT_TRUE(opened) << opened.message();
    const auto& store = *opened;
    char* message = nullptr;
    ASSERT_EQ(sqlite3_exec(store->handle(),
                           "CREATE TRIGGER full BEFORE INSERT ON drawings WHEN "
                           "(SELECT COUNT(*) FROM drawings) >= 3 BEGIN SELECT RAISE(ABORT, 'the disk is full'); END",
                           nullptr, nullptr, &message),
              SQLITE_OK)
        << (message ? message : "");
  }
  // The class changed: the save replaces the project's drawings.
  std::filesystem::remove_all(classFolder / "student0");
  const RunResult failed = run();
  ASSERT_EQ(failed.warnings.size(), 1u);
  EXPECT_NE(failed.warnings[0].find("the disk is full"), std::string::npos);
  auto opened = SqliteStore::open(storeFile(workspace));
  ASSERT_TRUE(opened) << opened.message();
  const auto& store = *opened;
  const auto kept = store->keptDrawings("CAD1", featureScheme(Tolerance{})).value();
  EXPECT_EQ(kept.size(), first.findings.projectDrawings);
  EXPECT_EQ(kept.count(utf8Path(classFolder / "student0" / "drawing.dwg")), 1u);
  ASSERT_EQ(sqlite3_exec(store->handle(), "DROP TRIGGER full", nullptr, nullptr, nullptr), SQLITE_OK);
  run();
  EXPECT_EQ(reads, 0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, UnchangedDrawingsTest, ::testing::Values(1u, 2u, 3u));

// A store of the first form, without file stamps, is brought up to date on
// opening and keeps what it held; its drawings are read once more.
TEST(EvidenceStoreForm, AStoreWithoutStampsIsBroughtUpToDate) {
  veldra::testing::TempDir dir;
  const auto file = dir.path() / "evidence.sqlite";
  {
    auto opened = SqliteStore::open(file);
    ASSERT_TRUE(opened) << opened.message();
    const auto& store = *opened;
    DrawingFacts facts;
    facts.path = dir.path() / "a.dwg";
    facts.name = "a.dwg";
    const Status saved = store->saveProject("OLD", "", 1, std::span<const DrawingFacts>(&facts, 1), {}, {});
    ASSERT_TRUE(saved) << saved.message();
    for (const char* column : {"file_size", "file_modified", "file_identity", "feature_scheme", "picture", "digest"})
      ASSERT_EQ(sqlite3_exec(store->handle(), ("ALTER TABLE drawings DROP COLUMN " + std::string(column)).c_str(),
                             nullptr, nullptr, nullptr),
                SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(store->handle(), "DROP TABLE last_runs", nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(store->handle(), "PRAGMA user_version = 1", nullptr, nullptr, nullptr), SQLITE_OK);
  }
  auto opened = SqliteStore::open(file);
  ASSERT_TRUE(opened) << opened.message();
  const auto& store = *opened;
  const auto projects = store->projects();
  ASSERT_TRUE(projects) << projects.message();
  ASSERT_EQ(projects->size(), 1u);
  EXPECT_EQ(projects.value()[0].drawings, 1u);
  const auto kept = store->keptDrawings("OLD", featureScheme(Tolerance{}));
  ASSERT_TRUE(kept) << kept.message();
  EXPECT_TRUE(kept->empty());
  // Saved again, the drawing written by the older form is written anew.
  DrawingFacts facts;
  facts.path = dir.path() / "a.dwg";
  facts.name = "a.dwg";
  const Status saved = store->saveProject("OLD", "", 2, std::span<const DrawingFacts>(&facts, 1), {}, {});
  ASSERT_TRUE(saved) << saved.message();
  EXPECT_EQ(store->projects().value()[0].drawings, 1u);
  Findings none;
  none.project = "OLD";
  EXPECT_TRUE(store->saveLastRun("OLD", none).ok());
}

}  // namespace
}  // namespace veldra::evidence
