#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "app/textfile.h"
#include "dwgwrite/dwg_writer.h"
#include "dwgwrite/plan_edits.h"
#include "evidence/run/evidence_run.h"
#include "evidence/store/evidence_store.h"
#include "evidence/run/project_drawings.h"
#include "platform/platform.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

#include <sqlite3.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace veldra::evidence {
namespace {

using veldra::dwgwrite::DrawingSpec;

// A student's drawing: lines and circles from the template's seed upwards,
// shifted by `own` where the student's work differs.
DrawingSpec student(std::int32_t ms, std::uint64_t own) {
  DrawingSpec plan;
  plan.days = 2460375;
  plan.milliseconds = ms;
  for (std::uint64_t k = 0; k < 40; ++k) plan.entities.push_back({k % 3 ? "LINE" : "CIRCLE", 0x200 + own + k, false});
  plan.entities.push_back({"TEXT", 0x30, true});
  return plan;
}

// A workspace with project CAD1: folder "class" with a sub-folder per
// student, a stray drawing in the folder itself and one that is no drawing.
class EvidenceRunTest : public ::testing::Test {
 protected:
  EvidenceRunTest() : base(dir.makeWorkspace()), workspace(base) {
    EXPECT_TRUE(replaceFile(base / "projects" / "projects.fil", "\"OTHER\"\r\n\"CAD1\"\r\n"));
    classFolder = dir.path() / "class";
    EXPECT_TRUE(replaceFile(base / "projects" / "CAD1.prj", quotedLine("+" + utf8FromPath(classFolder))));
    write("anna/drawing.dwg", student(36000123, 0));
    write("ben/drawing.dwg", student(36000123, 0));  // anna's file, copied
    write("carla/drawing.dwg", student(39000456, 0x400));
    write("dora/drawing.DWG", student(41000789, 0x800));
    write("loose.dwg", student(42000001, 0xC00));
    dir.write("class/emil/drawing.dwg", "not a drawing at all");
    dir.write("class/emil/notes.txt", "x");
  }
  void write(const std::string& relative, const DrawingSpec& plan) {
    std::filesystem::create_directories((classFolder / relative).parent_path());
    ASSERT_EQ(veldra::dwgwrite::writeDrawingFile(classFolder / relative, plan), "");
  }
  ProgramRun cli(std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), {"--workspace", utf8FromPath(base)});
    return veldra::testing::runTool(pathFromUtf8(VELDRA_CLI), arguments);
  }
  // Each call refused as a mistake in its use (exit 2), with the reason.
  void expectRefused(const std::vector<std::vector<std::string>>& calls) const {
    for (const auto& call : calls) {
      const ProgramRun r = cli(call);
      EXPECT_EQ(r.exitCode, 2) << call.back();
      EXPECT_FALSE(r.err.empty()) << call.back();
    }
  }
  veldra::testing::TempDir dir;
  std::filesystem::path base;
  Workspace workspace;
  std::filesystem::path classFolder;
};

TEST_F(EvidenceRunTest, JudgesTheProjectsDrawingsAndKeepsItsEvidence) {
  std::vector<std::string> stages;
  RunControl control;
  control.progress = [&](const Progress& p) {
    if (stages.empty() || stages.back() != p.stage) stages.push_back(p.stage);
  };
  const RunResult r = runEvidenceCheck(workspace, "CAD1", {}, control);
  ASSERT_EQ(r.outcome, RunOutcome::kDone) << r.error;
  EXPECT_TRUE(r.warnings.empty());
  const Findings& f = r.findings;
  std::vector<std::string> names;
  for (std::size_t i = 0; i < f.projectDrawings; ++i) names.push_back(displayName(f.drawings[i]));
  EXPECT_EQ(names, (std::vector<std::string>{"loose.dwg", "anna/drawing.dwg", "ben/drawing.dwg", "carla/drawing.dwg",
                                             "dora/drawing.DWG", "emil/drawing.dwg"}));
  EXPECT_EQ(f.drawings[2].path, classFolder / "ben" / "drawing.dwg");
  ASSERT_EQ(f.problemDrawings(), (std::vector<std::size_t>{5}));
  EXPECT_EQ(f.drawings[5].problem->kind, ProblemKind::kNotDrawing);
  ASSERT_EQ(f.groups.size(), 1u);
  EXPECT_EQ(f.groups[0].members, (std::vector<std::size_t>{1, 2}));
  EXPECT_EQ(f.pairs.front().verdict, Verdict::kCopy);
  EXPECT_EQ(stages.front(), "Reading drawings");
  EXPECT_EQ(stages.back(), "Saving the evidence");

  const std::string report = veldra::testing::slurp(reportFile(workspace, "CAD1"));
  EXPECT_NE(report.find("copy, score"), std::string::npos);
  EXPECT_NE(report.find("emil/drawing.dwg: not a drawing"), std::string::npos);
  const auto projects = storedProjects(workspace).value();
  ASSERT_EQ(projects.size(), 1u);
  EXPECT_EQ(projects[0].drawings, 6u);
}

TEST_F(EvidenceRunTest, CancelledOrRefusedRunsWriteNothing) {
  std::atomic<bool> cancel{false};
  for (const char* stage : {"Reading drawings", "Judging pairs"}) {
    RunControl control;
    control.cancel = &cancel;
    cancel = false;
    control.progress = [&](const Progress& p) {
      if (p.stage == stage) cancel = true;
    };
    EXPECT_EQ(runEvidenceCheck(workspace, "CAD1", {}, control).outcome, RunOutcome::kCancelled) << stage;
    EXPECT_FALSE(std::filesystem::exists(storeFile(workspace)));
    EXPECT_FALSE(std::filesystem::exists(reportFile(workspace, "CAD1")));
  }
  EvidenceSettings against;
  against.against = {"CAD0"};
  const RunResult noStore = runEvidenceCheck(workspace, "CAD1", against, {});
  EXPECT_EQ(noStore.outcome, RunOutcome::kError);
  EXPECT_FALSE(noStore.error.empty());
  against.against = {"CAD1"};
  EXPECT_EQ(runEvidenceCheck(workspace, "CAD1", against, {}).outcome, RunOutcome::kError);
  EXPECT_EQ(runEvidenceCheck(workspace, "../CAD1", {}, {}).outcome, RunOutcome::kError);
  EXPECT_FALSE(std::filesystem::exists(base / "evidence reports"));
}

// A location per student, each holding its drawing.dwg: the drawings are
// told apart by their folders, never all called "drawing.dwg"; locations
// that overlap do not make a drawing a copy of itself.
#if !defined(_WIN32)
// A pipe named like a drawing is a drawing that cannot be read, told at
// once: nothing waits for a writer that never comes.
TEST_F(EvidenceRunTest, APipeNamedLikeADrawingIsToldWithoutWaiting) {
  ASSERT_EQ(::mkfifo((classFolder / "ben" / "pipe.dwg").c_str(), 0600), 0);
  const RunResult r = runEvidenceCheck(workspace, "CAD1", {}, {});
  ASSERT_EQ(r.outcome, RunOutcome::kDone) << r.error;
  const auto& drawings = r.findings.drawings;
  const auto pipe = std::find_if(drawings.begin(), drawings.end(),
                                 [](const DrawingFacts& d) { return d.path.filename() == "pipe.dwg"; });
  ASSERT_NE(pipe, drawings.end());
  ASSERT_TRUE(pipe->problem);
  EXPECT_NE(pipe->problem->detail.find("pipe"), std::string::npos) << pipe->problem->detail;
}
#endif

TEST(ProjectDrawings, NamesDrawingsOfOneNameByTheFoldersAboveThem) {
  veldra::testing::TempDir dir;
  for (const char* file : {"2024/a/anna/drawing.dwg", "2024/a/ben/Drawing.dwg", "2025/a/anna/drawing.dwg",
                           "2024/a/ben/extra.dwg", "2024/a/carla/drawing.dwg", "2024/a/dana/drawing.DXF",
                           "2024/a/emil/drawing.dxf.bak", "2024/a/emil/drawing.dx", "2024/a/frida/notes.txt"})
    dir.write(file, "x");
  const auto at = [&](const char* folder) { return "-" + (dir.path() / folder).string(); };
  const VisitList list =
      listProjectDrawings({at("2024/a/anna"), at("2024/a/ben"), at("2025/a/anna"), "+" + (dir.path() / "2024/a").string()});
  std::vector<std::string> names;
  for (const auto& d : list.drawings) names.push_back(utf8Name(d.name));
  EXPECT_EQ(names, (std::vector<std::string>{"2024/a/anna/drawing.dwg", "ben/Drawing.dwg", "extra.dwg",
                                             "2025/a/anna/drawing.dwg", "carla/drawing.dwg", "dana/drawing.DXF"}));
  // DXF counts beside DWG whatever the case of its name. The last location lists three drawings again: each is judged once, not
  // found a copy of itself, and the teacher is told.
  EXPECT_EQ(list.notes.size(), 3u);
}

// Reading creates nothing: a workspace without a store gives defaults. A
// store that is no store gives a failure, not an empty list: the projects,
// the last run and a mark alike, and the file stays as it is.
TEST_F(EvidenceRunTest, AMissingStoreGivesDefaultsAndABrokenOneAFailure) {
  const EvidenceSettings none = loadProjectSettings(workspace, "CAD1").value();
  EXPECT_TRUE(none.templates.empty() && none.against.empty() && none.ignoredAuthors.empty());
  const auto noStore = storedProjects(workspace);
  ASSERT_TRUE(noStore) << noStore.message();
  EXPECT_TRUE(noStore->empty());
  EXPECT_FALSE(std::filesystem::exists(storeFile(workspace)));

  std::filesystem::create_directories(storeFile(workspace).parent_path());
  EXPECT_TRUE(replaceFile(storeFile(workspace), "not a database"));
  const auto unread = storedProjects(workspace);
  ASSERT_FALSE(unread);
  EXPECT_EQ(unread.kind(), Failure::Kind::kCannotRead);
  const auto lastRun = loadLastRun(workspace, "CAD1");
  ASSERT_FALSE(lastRun);
  EXPECT_EQ(lastRun.kind(), Failure::Kind::kCannotRead);
  EXPECT_EQ(lastRun.message(), unread.message());
  const Status marked = saveMark(workspace, "CAD1", StoredMark{});
  ASSERT_FALSE(marked);
  EXPECT_EQ(marked.kind(), Failure::Kind::kCannotRead);
  EXPECT_NE(marked.message().find(utf8Path(storeFile(workspace))), std::string::npos) << marked.message();
  EXPECT_EQ(veldra::testing::slurp(storeFile(workspace)), "not a database");
}


TEST_F(EvidenceRunTest, CommandLineExitsByWhatItFound) {
  const auto csv = dir.path() / "out.csv", html = dir.path() / "out.html";
  const ProgramRun found = cli({"evidence", "cad1", "--ignore-author", "lab3", "--csv", utf8FromPath(csv),
                                       "--html", utf8FromPath(html)});
  EXPECT_EQ(found.exitCode, 1) << found.err;
  for (const char* said : {"Drawings: 6 (5 read, 1 could not be read)\n", "Pairs: 1 copy,", "Groups: 1\n",
                           "  emil/drawing.dwg: not a drawing\n"})
    EXPECT_NE(found.out.find(said), std::string::npos) << said << found.out;
  EXPECT_NE(veldra::testing::slurp(csv).find("anna/drawing.dwg"), std::string::npos);
  EXPECT_NE(veldra::testing::slurp(html).find("<svg"), std::string::npos);

  // The teacher marks the copy from a script, lists and exports the marks;
  // a pair the check did not judge, or a mark it does not know, is refused.
  const ProgramRun set = cli({"mark", "CAD1", "set", "ben/drawing.dwg", "anna/drawing.dwg", "confirmed",
                                     "--note", "admitted, 3 May"});
  EXPECT_EQ(set.exitCode, 0) << set.err;
  const ProgramRun list = cli({"mark", "CAD1", "list"});
  EXPECT_EQ(list.exitCode, 0) << list.err;
  EXPECT_TRUE(list.out.starts_with("confirmed\tanna/drawing.dwg\tben/drawing.dwg\tcopy ")) << list.out;
  EXPECT_TRUE(list.out.ends_with("\tadmitted, 3 May\n")) << list.out;
  const auto marksFile = dir.path() / "marks.csv";
  EXPECT_EQ(cli({"mark", "CAD1", "export", utf8FromPath(marksFile)}).exitCode, 0);
  EXPECT_NE(veldra::testing::slurp(marksFile).find("confirmed copy,\"admitted, 3 May\","), std::string::npos);
  expectRefused({{"mark", "CAD1", "set", "anna/drawing.dwg", "carla/drawing.dwg", "confirmed"},
                 {"mark", "CAD1", "set", "anna/drawing.dwg", "ben/drawing.dwg", "maybe"},
                 {"mark", "CAD1", "set", "anna/drawing.dwg", "nobody.dwg", "confirmed"},
                 {"mark", "CAD1", "list", "extra"}});
  EXPECT_EQ(cli({"evidence", "cad1"}).exitCode, 1);
  EXPECT_NE(veldra::testing::slurp(reportFile(workspace, "CAD1")).find("Teacher's mark: confirmed copy: admitted, 3 May"),
            std::string::npos);

  // Without the copy, nothing is found.
  std::filesystem::remove(classFolder / "ben" / "drawing.dwg");
  EXPECT_EQ(cli({"evidence", "CAD1"}).exitCode, 0);
  expectRefused({{"evidence", "CAD1", "--against", "NOSUCH"},
                 {"evidence", "CAD1", "--csv"},
                 {"evidence"},
                 {"evidence", "CAD1", "--template", "no such template.dwg"}});
}

// The command line starts from what the evidence window saved for the
// project; an option given replaces that one choice for the run only.
TEST_F(EvidenceRunTest, CommandLineTakesTheChoicesSavedForTheProject) {
  EvidenceSettings chosen;
  chosen.term = "autumn";
  chosen.against = {"NOSUCH"};
  ASSERT_TRUE(saveProjectSettings(workspace, "CAD1", chosen).ok());
  EXPECT_EQ(saveProjectSettings(workspace, "../CAD1", chosen).kind(), Failure::Kind::kRefused);
  EXPECT_TRUE(storedProjects(workspace).value().empty());  // settings alone make no earlier project
  // The saved earlier project does not exist: refused as if it were given.
  const ProgramRun refused = cli({"evidence", "CAD1"});
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_NE(refused.err.find("NOSUCH"), std::string::npos) << refused.err;

  chosen.against.clear();
  ASSERT_TRUE(saveProjectSettings(workspace, "CAD1", chosen).ok());
  ASSERT_EQ(cli({"evidence", "CAD1"}).exitCode, 1);
  auto stored = storedProjects(workspace).value();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].term, "autumn");
  ASSERT_EQ(cli({"evidence", "CAD1", "--term", "spring"}).exitCode, 1);
  stored = storedProjects(workspace).value();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].term, "spring");
  EXPECT_EQ(loadProjectSettings(workspace, "CAD1").value().term, "autumn");
}

// Folders, drawings, the project and the reports named beyond ASCII: the
// names reach the findings, the store and every report as they are, on
// Windows too, where a name outside the ANSI code page would otherwise be
// lost on the way from the location file to the folder.
TEST_F(EvidenceRunTest, NamesBeyondAsciiReachTheStoreAndEveryReport) {
  const std::string project = "ΤΕΧΝΙΚΟ 学生";
  const std::filesystem::path folder = dir.path() / pathFromUtf8("Klasse Ω");
  for (const char* name : {"José/Σχέδιο.dwg", "学生/Σχέδιο.dwg"}) {
    const std::filesystem::path file = folder / pathFromUtf8(name);
    std::filesystem::create_directories(file.parent_path());
    ASSERT_EQ(veldra::dwgwrite::writeDrawingFile(file, student(36000123, 0)), "");
  }
  dir.write("Klasse Ω/Zoë/übung.dwg", "not a drawing");
  EXPECT_TRUE(replaceFile(base / "projects" / "projects.fil", quotedLine(project)));
  EXPECT_TRUE(replaceFile(workspace.locationFile(project), quotedLine("+" + utf8FromPath(folder))));
  const auto csv = dir.path() / pathFromUtf8("Ergebnis ü.csv"), html = dir.path() / pathFromUtf8("结果.html");

  const ProgramRun r = cli({"evidence", "τεχνικο 学生", "--csv",
                              utf8FromPath(csv), "--html", utf8FromPath(html)});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  for (const std::string& said : std::vector<std::string>{
           "Project: " + project + "\n", "Drawings: 3 (2 read, 1 could not be read)\n", "  Group 1 (likely source ",
           " José/Σχέδιο.dwg 学生/Σχέδιο.dwg\n", "  Zoë/übung.dwg: not a drawing\n",
           "Report: " + utf8FromPath(reportFile(workspace, project)) + "\n"})
    EXPECT_NE(r.out.find(said), std::string::npos) << said << r.out;
  EXPECT_NE(veldra::testing::slurp(reportFile(workspace, project)).find("Zoë/übung.dwg: not a drawing"),
            std::string::npos);

  const std::string sheet = veldra::testing::slurp(csv);
  EXPECT_NE(sheet.find(utf8FromPath(folder / pathFromUtf8("学生") / pathFromUtf8("Σχέδιο.dwg"))), std::string::npos)
      << sheet;
  EXPECT_NE(sheet.find("José/Σχέδιο.dwg"), std::string::npos);
  EXPECT_NE(veldra::testing::slurp(html).find("学生/Σχέδιο.dwg"), std::string::npos);

  const auto projects = storedProjects(workspace).value();
  ASSERT_EQ(projects.size(), 1u);
  EXPECT_EQ(projects[0].name, project);
  EXPECT_EQ(projects[0].drawings, 3u);
}


// A check that could not look at what it was asked to judge is an error
// (exit 2), and the evidence and report of the last check stay as they were.
TEST_F(EvidenceRunTest, CommandLineExitsTwoWhenItCouldNotLook) {
  ASSERT_EQ(cli({"evidence", "CAD1"}).exitCode, 1);
  const std::string report = veldra::testing::slurp(reportFile(workspace, "CAD1"));
  ASSERT_FALSE(report.empty());

  // A template that is there but is no drawing, or cannot be read at all.
  const auto notDrawing = dir.write("template.dwg", "not a drawing at all");
  const auto folderTemplate = dir.path() / "class";
  for (const auto& t : {notDrawing, folderTemplate}) {
    const ProgramRun r = cli({"evidence", "CAD1", "--template", utf8FromPath(t)});
    EXPECT_EQ(r.exitCode, 2) << utf8FromPath(t);
    EXPECT_NE(r.err.find(utf8Path(t)), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }

  // One of two locations is a file: nothing is judged, the last report stays.
  dir.write("a file", "x");
  EXPECT_TRUE(replaceFile(base / "projects" / "CAD1.prj", quotedLine("+" + utf8FromPath(classFolder)) +
                                                           quotedLine("-" + utf8FromPath(dir.path() / "a file"))));
  EXPECT_EQ(cli({"evidence", "CAD1"}).exitCode, 2);
  EXPECT_EQ(veldra::testing::slurp(reportFile(workspace, "CAD1")), report);
  EXPECT_TRUE(replaceFile(base / "projects" / "CAD1.prj", quotedLine("+" + utf8FromPath(dir.path() / "gone"))));
  const RunResult direct = runEvidenceCheck(workspace, "CAD1", {}, {});
  EXPECT_EQ(direct.outcome, RunOutcome::kError);
  EXPECT_NE(direct.error.find("gone"), std::string::npos) << direct.error;
}

// Saved settings that cannot be read are no settings: the check stops
// before judging rather than judge without the teacher's template.
TEST_F(EvidenceRunTest, SettingsThatCannotBeReadStopTheCheck) {
  EvidenceSettings chosen;
  chosen.ignoredAuthors = {"lab3"};
  chosen.term = "autumn";
  ASSERT_TRUE(saveProjectSettings(workspace, "CAD1", chosen).ok());
  ASSERT_EQ(cli({"evidence", "CAD1"}).exitCode, 1);
  const std::string report = veldra::testing::slurp(reportFile(workspace, "CAD1"));

  // The table of settings is gone: a damaged store (one that is no database
  // at all is the evidence window's test).
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(utf8FromPath(storeFile(workspace)).c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "DROP TABLE project_settings", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }
  const std::string store = veldra::testing::slurp(storeFile(workspace));
  const auto unread = loadProjectSettings(workspace, "CAD1");
  ASSERT_FALSE(unread);
  EXPECT_EQ(unread.kind(), Failure::Kind::kCannotRead);
  const ProgramRun r = cli({"evidence", "CAD1", "--term", "spring"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("settings"), std::string::npos) << r.err;
  EXPECT_EQ(veldra::testing::slurp(reportFile(workspace, "CAD1")), report);
  EXPECT_EQ(veldra::testing::slurp(storeFile(workspace)), store);
}

}  // namespace
}  // namespace veldra::evidence
