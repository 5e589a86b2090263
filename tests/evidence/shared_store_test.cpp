// A department's shared store on a PostgreSQL server of the test's own:
// two teachers judging at once, each seeing the other's work as earlier
// work and keeping every mark, the same verdicts as the workspace's own
// store, and every failure told with exit status 2 and nothing local lost.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "app/textfile.h"
#include "dwgwrite/dwg_writer.h"
#include "evidence/run/evidence_run.h"
#include "platform/platform.h"
#include "support/postgres_server.h"
#include "support/temp_dir.h"
#ifdef VELDRA_POSTGRESQL
#include "evidence/store/postgres_store.h"
#endif

namespace veldra::evidence {
namespace {

#ifdef VELDRA_POSTGRESQL

// A class of five: `copied` hands in `source`'s drawing as it is; `seed`
// makes each class's work its own, except a drawing named in `shared`.
void writeClass(const std::filesystem::path& folder, std::uint64_t seed, std::uint64_t shared) {
  for (std::uint64_t k = 0; k < 5; ++k) {
    veldra::dwgwrite::DrawingSpec plan;
    plan.days = 2460375;
    plan.milliseconds = static_cast<std::int32_t>(36000000 + 1000 * (seed * 10 + k));
    const std::uint64_t own = k == 4 ? 0x1000 * shared : 0x1000 * (seed * 10 + (k == 1 ? 0 : k));
    if (k == 1) plan.milliseconds = static_cast<std::int32_t>(36000000 + 1000 * seed * 10);
    for (std::uint64_t e = 0; e < 40; ++e) plan.entities.push_back({e % 3 ? "LINE" : "CIRCLE", 0x200 + own + e, false});
    const auto file = folder / ("s" + std::to_string(k)) / "drawing.dwg";
    std::filesystem::create_directories(file.parent_path());
    ASSERT_EQ(veldra::dwgwrite::writeDrawingFile(file, plan), "");
  }
}

Workspace teacherDesk(const veldra::testing::TempDir& dir, std::uint64_t seed, std::uint64_t shared) {
  const auto base = dir.makeWorkspace();
  const Workspace workspace(base);
  EXPECT_TRUE(replaceFile(workspace.projectsFile(), "\"CAD1\"\r\n"));
  EXPECT_TRUE(replaceFile(base / "projects" / "CAD1.prj", quotedLine("+" + utf8FromPath(base / "class"))));
  writeClass(base / "class", seed, shared);
  return workspace;
}

std::vector<std::pair<Verdict, int>> verdicts(const Findings& f) {
  std::vector<std::pair<Verdict, int>> out;
  for (const auto& p : f.pairs) out.emplace_back(p.verdict, p.score);
  std::sort(out.begin(), out.end());
  return out;
}

class SharedStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!server.running()) GTEST_SKIP() << server.skipReason();
    ASSERT_TRUE(server.sql("CREATE DATABASE department"));
    ASSERT_TRUE(server.sql("GRANT ALL ON SCHEMA public TO PUBLIC", "department"));
    for (const char* teacher : {"anna", "ben"}) ASSERT_TRUE(server.addTeacher(teacher, "department"));
  }
  veldra::testing::PostgresServer server;
  veldra::testing::TempDir dir, annaDir, benDir;
};

TEST_F(SharedStoreTest, TwoTeachersJudgeAtOnceAndKeepEveryMark) {
  // Ben's class holds a drawing of Anna's class, handed down.
  const Workspace anna = teacherDesk(annaDir, 1, 12), ben = teacherDesk(benDir, 2, 12);
  std::filesystem::remove(ben.installLoc() / "class" / "s4" / "drawing.dwg");
  std::filesystem::copy_file(anna.installLoc() / "class" / "s4" / "drawing.dwg",
                             ben.installLoc() / "class" / "s4" / "drawing.dwg");
  // The workspace's own store first: the shared one must judge alike.
  const RunResult local = runEvidenceCheck(anna, "CAD1", {}, {});
  ASSERT_EQ(local.outcome, RunOutcome::kDone) << local.error;
  ASSERT_TRUE(chooseSharedStore(anna, server.uri("department", "anna")));
  ASSERT_TRUE(chooseSharedStore(ben, server.uri("department", "ben")));

  // Both judge at once, then mark every pair they found at once.
  RunResult results[2];
  std::size_t marked[2] = {0, 0};
  auto teach = [&](int k, const Workspace& workspace) {
    results[k] = runEvidenceCheck(workspace, "CAD1", {}, {});
    for (const auto& p : results[k].findings.pairs)
      marked[k] += saveMark(workspace, "CAD1", markOf(results[k].findings, p, ReviewMark::kConfirmed,
                                                       "marked by " + std::to_string(k), 1000))
                       .ok();
  };
  std::thread first(teach, 0, std::cref(anna)), second(teach, 1, std::cref(ben));
  first.join();
  second.join();
  for (const auto& r : results) ASSERT_EQ(r.outcome, RunOutcome::kDone) << r.error;
  EXPECT_EQ(verdicts(results[0].findings), verdicts(local.findings));
  ASSERT_GT(marked[0], 0u);
  EXPECT_EQ(marked[0], results[0].findings.pairs.size());
  EXPECT_EQ(marked[1], results[1].findings.pairs.size());

  // Each sees the other's project as earlier work, named with its teacher.
  const auto projects = storedProjects(ben).value();
  ASSERT_EQ(projects.size(), 2u);
  EXPECT_EQ(projects[0].name, "CAD1");
  EXPECT_EQ(projects[1].name, "anna/CAD1");
  EvidenceSettings against;
  against.against = {"anna/CAD1"};
  against.term = "spring";
  const RunResult judged = runEvidenceCheck(ben, "CAD1", against, {});
  ASSERT_EQ(judged.outcome, RunOutcome::kDone) << judged.error;
  const Findings& f = judged.findings;
  const auto across = std::find_if(f.pairs.begin(), f.pairs.end(), [&](const PairFinding& p) {
    return p.b >= f.projectDrawings && isCopy(p.verdict);
  });
  ASSERT_NE(across, f.pairs.end());
  EXPECT_TRUE(displayName(f.drawings[across->b]).starts_with("CAD1 (anna)")) << displayName(f.drawings[across->b]);
  // Every mark kept, each teacher's own.
  for (const auto& [workspace, k] : {std::pair{&anna, 0}, std::pair{&ben, 1}}) {
    const auto marks = storedMarks(*workspace, "CAD1").value();
    EXPECT_EQ(marks.size(), marked[k]);
    for (const auto& m : marks) EXPECT_EQ(m.note, "marked by " + std::to_string(k));
  }
}

// Whatever keeps the shared store from the run, the teacher is told why,
// the command exits with 2, and the workspace's last report stands.
TEST_F(SharedStoreTest, FailuresAreToldAndLoseNothing) {
  const Workspace anna = teacherDesk(annaDir, 1, 12);
  ASSERT_TRUE(server.addTeacher("carl", "department", false));
  ASSERT_TRUE(server.sql("CREATE DATABASE older; CREATE DATABASE other"));
  ASSERT_TRUE(server.sql("CREATE TABLE veldra_schema (version BIGINT); INSERT INTO veldra_schema VALUES (0)", "older"));
  ASSERT_TRUE(server.sql("CREATE TABLE marks (student TEXT)", "other"));
  const auto report = reportFile(anna, "CAD1");
  std::filesystem::create_directories(report.parent_path());
  ASSERT_TRUE(replaceFile(report, "the last report"));
  const struct {
    std::string uri;
    const char* told;
  } cases[] = {
      {"postgresql:///department?host=" + (dir.path() / "nowhere").string() + "&user=anna", "cannot reach"},
      {server.uri("department", "carl"), "password authentication failed"},
      {server.uri("older", "veldra"), "cannot bring up to date"},
      {server.uri("other", "veldra"), "holds tables of another program"},
      {"postgresql://anna:secret@/department?host=" + server.folder().string(), "takes no password"},
  };
  for (const auto& c : cases) {
    const ProgramRun r = runProgram(pathFromUtf8(VELDRA_CLI),
                                    {"--workspace", utf8FromPath(anna.installLoc()), "evidence", "CAD1", "--store", c.uri});
    EXPECT_EQ(r.exitCode, 2) << c.uri;
    EXPECT_NE(r.err.find(c.told), std::string::npos) << c.uri << '\n' << r.err;
    EXPECT_EQ(veldra::testing::slurp(report), "the last report") << c.uri;
  }

  // The connection lost mid-run: the save fails as such, and what was kept
  // before is whole when the teacher comes back.
  ASSERT_TRUE(chooseSharedStore(anna, server.uri("department", "anna")));
  const RunResult first = runEvidenceCheck(anna, "CAD1", {}, {});
  ASSERT_EQ(first.outcome, RunOutcome::kDone) << first.error;
  ASSERT_FALSE(first.findings.pairs.empty());
  ASSERT_TRUE(saveMark(anna, "CAD1", markOf(first.findings, first.findings.pairs[0], ReviewMark::kNotCopy, "same lab", 1)));
  auto store = PostgresStore::open(server.uri("department", "anna"));
  ASSERT_TRUE(store) << store.message();
  auto archive = (*store)->archive({"CAD1"});
  ASSERT_TRUE(archive) << archive.message();
  ASSERT_TRUE(server.sql("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = 'anna'"));
  // A judgement that asked the archive in vain is no judgement.
  const std::uint64_t sketch[] = {1, 2};
  EXPECT_TRUE((*archive)->similar(sketch, 1).empty());
  EXPECT_NE((*archive)->failure().find("was lost"), std::string::npos) << (*archive)->failure();
  const Status lost = (*store)->saveMark("CAD1", markOf(first.findings, first.findings.pairs[0], ReviewMark::kConfirmed, "", 2));
  ASSERT_FALSE(lost);
  EXPECT_NE(lost.message().find("connection to the shared evidence store was lost"), std::string::npos) << lost.message();
  const auto marks = storedMarks(anna, "CAD1").value();
  ASSERT_EQ(marks.size(), 1u);
  EXPECT_EQ(marks[0].note, "same lab");
}

#else
TEST(SharedStoreTest, NeedsLibpq) { GTEST_SKIP() << "built without libpq: no shared store"; }
#endif

}  // namespace
}  // namespace veldra::evidence
