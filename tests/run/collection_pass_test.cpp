#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <map>

#include "app/textfile.h"
#include "collect/drawing_record.h"
#include "collect/native_source.h"
#include "platform/platform.h"
#include "run/collected_type.h"
#include "run/collection_pass.h"
#include "run/driver.h"
#include "run/run_fakes.h"
#include "run/run_mark.h"
#include "sample/sample_class.h"
#include "support/filling_disk.h"
#include "support/recorders.h"
#include "support/submissions.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

using testing::RunFixture;
using testing::slurp;
using testing::TempDir;

// A source that serves drawings from a script keyed by file name; a drawing
// not in the script cannot be read.
class ScriptedSource : public DrawingSource {
 public:
  struct Drawing {
    std::vector<std::pair<std::string, std::string>> entities;  // class name, handle ("" for none)
    double date = 0;
  };
  std::map<std::string, Drawing> drawings;
  std::vector<std::string> asked;

  std::shared_ptr<const DrawingFacts> read(const std::filesystem::path& file) override {
    asked.push_back(utf8FromPath(file));
    auto facts = std::make_shared<DrawingFacts>();
    facts->path = file;
    const auto it = drawings.find(utf8FromPath(file.filename()));
    if (it == drawings.end()) {
      facts->status.kind = veldra::dwg::ErrorKind::kIo;
      facts->status.message = "not in the script";
      return facts;
    }
    for (const auto& [name, handle] : it->second.entities) {
      veldra::dwg::Entity entity;
      entity.className = name;
      entity.hasHandle = !handle.empty();
      if (entity.hasHandle) entity.handle = std::stoull(handle, nullptr, 16);
      facts->drawing.summary.entities.push_back(entity);
    }
    facts->created = it->second.date;
    return facts;
  }
};

class PassTest : public ::testing::Test {
 protected:
  PassTest() : base(dir.makeWorkspace()), run(base) {}
  PassResult pass() {
    auto context = run.context();
    return runCollectionPass(context, source, messages);
  }
  std::string folder(const std::string& relative) { return utf8FromPath(dir.path() / pathFromUtf8(relative)); }
  // A pass of the drawing reader over the folder "class", collecting `entity`.
  PassResult readClass(const std::string& entity, DrawingFactsSink* sink = nullptr) {
    run.options.entity = entity;
    run.options.locations = {"-" + folder("class")};
    NativeDrawingSource native([](std::int64_t) { return 0L; });
    auto context = run.context();
    return runCollectionPass(context, native, messages, sink);
  }

  TempDir dir;
  std::filesystem::path base;
  RunFixture run;
  ScriptedSource source;
  testing::RecordingMessages messages;
};

TEST_F(PassTest, VisitsFoldersInListingOrderAndRecordsEveryDrawing) {
  for (const char* f : {"proj/b.dwg", "proj/A.dwg", "proj/notes.txt", "proj/y/c.dwg", "proj/X/d.DWG",
                        "proj/X/deeper/e.dwg", "flat/f.dwg", "flat/sub/g.dwg"})
    dir.write(f, "");
  source.drawings["A.dwg"] = {{{"AcDbLine", "1"}, {"AcDbLine", "2"}}, 2453585.5};
  source.drawings["b.dwg"] = {{{"AcDbLine", "1"}, {"AcDbLine", "2"}}, 2453585.5};
  source.drawings["d.DWG"] = {{{"AcDbArc", "7"}}, 2453000.25};
  source.drawings["f.dwg"] = {{}, 2453001.75};
  // c.dwg cannot be opened: it must not take over d.DWG's date.
  EXPECT_TRUE(replaceFile(run.workspace.recordFile("P"), "\"OLD,1,,END\"\r\n"));
  run.options.entity = "LINE";
  run.options.locations = {"+" + folder("proj"), "-" + folder("flat")};

  const PassResult result = pass();
  EXPECT_EQ(result.visited, 5);
  EXPECT_EQ(result.driver, DriverOutcome::Complete);
  const char sep = static_cast<char>(std::filesystem::path::preferred_separator);
  EXPECT_EQ(run.view.files, (std::vector<std::string>{"A.dwg", "b.dwg", std::string() + sep + "X" + sep + "d.DWG",
                                                      std::string() + sep + "y" + sep + "c.dwg", "f.dwg", ""}));
  EXPECT_EQ(source.asked.front(), folder("proj") + sep + "A.dwg");
  EXPECT_EQ(slurp(run.workspace.recordFile("P")),
            "\"A,2453585.5,1$2$,END\"\r\n"
            "\"B,2453585.5,1$2$,END\"\r\n"
            "\"D,2453000.25,,END\"\r\n"
            "\"C,,,END\"\r\n"
            "\"F,2453001.75,,END\"\r\n");
  EXPECT_EQ(run.view.totalFiles, "0005");
  EXPECT_EQ(run.view.progressValues, (std::vector<int>{20, 40, 60, 80, 100, 0}));
  EXPECT_EQ(run.view.statuses.front(), "Opening Files...");
  EXPECT_EQ(run.view.location, "");
  EXPECT_EQ(slurp(run.workspace.timeReport("P")),
            "\"A vs. B at 12 hours, 0 minutes, 0 seconds [2453585.5 as Julian]\"\r\n");
  EXPECT_TRUE(messages.shown.empty());
  // c.dwg could not be read: the pass names it, the window tells the user.
  ASSERT_EQ(result.problems.size(), 1u);
  EXPECT_EQ(result.problems[0].path, std::filesystem::path(folder("proj") + sep + "y" + sep + "c.dwg"));
  EXPECT_EQ(readCollectedType(run.workspace, "P"), "LINE");
}

// Keeps what a pass hands over, and asks for the evidence besides the summary.
struct KeepingSink : DrawingFactsSink {
  veldra::dwg::ReadRequest request() const override { return {true, false}; }
  void take(std::shared_ptr<const DrawingFacts> facts) override { taken.push_back(std::move(facts)); }
  std::vector<std::shared_ptr<const DrawingFacts>> taken;
};

// A fake submission, an empty file, a drawing cut short and one of a version
// not read, among real drawings: each is named with its reason, keeps its
// classic record line, and its facts (the failure) reach the sink.
TEST_F(PassTest, DrawingsThatCannotBeReadAreNamedWithTheirReason) {
  testing::writeDrawing(dir, "class/anna.dwg", testing::circlesDrawing(2461000, 43200000, {0x1A0, 0x1A1}));
  testing::writeDrawing(dir, "class/ben.dwg", testing::circlesDrawing(2461000, 43200000, {0x1A0, 0x1A1}));
  testing::writeUnreadableSubmissions(dir, "class");
  KeepingSink sink;
  const PassResult result = readClass("CIRCLE", &sink);

  EXPECT_EQ(result.visited, 6);
  ASSERT_EQ(result.problems.size(), 4u);
  const auto& reasons = testing::unreadableReasons();
  const char* names[] = {"cut.dwg", "empty.dwg", "homework.dwg", "old.dwg"};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(result.problems[i].path, std::filesystem::path(folder("class")) / names[i]);
    EXPECT_TRUE(problemReason(result.problems[i]).starts_with(reasons[i])) << problemReason(result.problems[i]);
  }
  EXPECT_GT(problemReason(result.problems[0]).size(), reasons[0].size());  // the reader says what is wrong
  EXPECT_EQ(slurp(run.workspace.recordFile("P")),
            "\"ANNA,2461000.5,1A0$1A1$,END\"\r\n\"BEN,2461000.5,1A0$1A1$,END\"\r\n"
            "\"CUT,,,END\"\r\n\"EMPTY,,,END\"\r\n\"HOMEWORK,,,END\"\r\n\"OLD,,,END\"\r\n");
  EXPECT_EQ(result.comparison.outcome, DriverOutcome::Complete);
  EXPECT_FALSE(result.comparison.entityTypeAbsent);
  EXPECT_TRUE(messages.shown.empty());  // telling the user is the caller's part

  ASSERT_EQ(sink.taken.size(), 6u);
  EXPECT_TRUE(sink.taken[0]->read() && sink.taken[1]->read());
  EXPECT_EQ(sink.taken[0]->drawing.summary.version, "AC1015");
  EXPECT_EQ(sink.taken[0]->drawing.summary.entities.size(), 3u);
  EXPECT_EQ(sink.taken[3]->status.kind, veldra::dwg::ErrorKind::kNotDwg);
  EXPECT_EQ(sink.taken[3]->fileSize, 0u);
  EXPECT_EQ(sink.taken[5]->status.kind, veldra::dwg::ErrorKind::kUnsupported);
}

// The collection reads DWG drawings only: an exchange-form drawing named as a
// DWG is no drawing to it, as before the evidence check learned to read one.
TEST_F(PassTest, AnExchangeFormDrawingNamedAsADwgIsNotADrawingToTheCollection) {
  testing::writeDrawing(dir, "class/anna.dwg", testing::circlesDrawing(2461000, 43200000, {0x1A0}));
  dir.write("class/dana.dwg",
            "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  0\nENDSEC\n"
            "  0\nSECTION\n  2\nENTITIES\n  0\nCIRCLE\n  5\n1A0\n100\nAcDbEntity\n  8\n0\n"
            "100\nAcDbCircle\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 40\n1.0\n  0\nENDSEC\n  0\nEOF\n");
  const PassResult result = readClass("CIRCLE");

  ASSERT_EQ(result.problems.size(), 1u);
  EXPECT_EQ(problemReason(result.problems[0]), "not a drawing");
  EXPECT_EQ(slurp(run.workspace.recordFile("P")), "\"ANNA,2461000.5,1A0$,END\"\r\n\"DANA,,,END\"\r\n");
}

// A pass remembers the type it collected; whether any drawing holds it is
// the comparison's to tell.
TEST_F(PassTest, TheTypeCollectedIsRemembered) {
  testing::writeDrawing(dir, "class/anna.dwg", testing::circlesDrawing(2461000, 43200000, {0x1A0}));
  readClass("CIRCLE");
  EXPECT_EQ(readCollectedType(run.workspace, "P"), "CIRCLE");

  // A type that cannot be kept on one line is not remembered at all, rather
  // than leaving the last pass's type beside this pass's record.
  readClass("CIR\nCLE");
  EXPECT_EQ(readCollectedType(run.workspace, "P"), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(run.workspace.collectedTypeFile("P")));
}

TEST_F(PassTest, NoLocationsWarnsTwiceDeletesTheRecordAndStillRunsTheDriver) {
  EXPECT_TRUE(replaceFile(run.workspace.recordFile("P"), "\"OLD,1,,END\"\r\n"));
  const PassResult result = pass();
  EXPECT_EQ(result.driver, DriverOutcome::NotRun);
  EXPECT_FALSE(std::filesystem::exists(run.workspace.recordFile("P")));
  EXPECT_EQ(messages.texts(), (std::vector<std::string>{"Sorry, no locations to compare!", "Sorry, no drawings found!"}));
  EXPECT_EQ(messages.shown[0].title, "VELDRA Warning");
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(run.view.totalFiles, "0000");
  // Nothing was compared: no all-clear stands for it.
  EXPECT_EQ(run.view.verdict, "UNCHECKED");
}

TEST_F(PassTest, RecordFileThatCannotBeDeletedIsFatal) {
  dir.write("ws/compares/P.cmp/blocker", "");
  const PassResult result = pass();
  EXPECT_TRUE(result.fatal);
  EXPECT_NE(result.fatalText.find(" - Aborting VELDRA!"), std::string::npos);
  EXPECT_GT(result.fatalText.size(), std::string(" - Aborting VELDRA!").size());
  EXPECT_TRUE(source.asked.empty());
}

// The files of a workspace folder, by name.
std::vector<std::string> filesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// What a pass must leave as it was when it stops: the last record, the
// reports made from it and the type it was collected with.
struct EarlierRun {
  explicit EarlierRun(const Workspace& ws) : workspace(ws) {
    EXPECT_TRUE(replaceFile(ws.recordFile("P"), record));
    EXPECT_TRUE(replaceFile(ws.timeReport("P"), report));
    rememberCollectedType(ws, "P", "ARC");
  }
  void expectKept() const {
    EXPECT_EQ(slurp(workspace.recordFile("P")), record);
    EXPECT_EQ(slurp(workspace.timeReport("P")), report);
    EXPECT_EQ(readCollectedType(workspace, "P"), "ARC");
    EXPECT_EQ(filesIn(workspace.path({"compares"})), (std::vector<std::string>{"P.cmp", "P.ent"}));
  }
  const Workspace& workspace;
  std::string record = "\"OLD,2453585.5,7$,END\"\r\n\"OLDER,2453585.5,7$,END\"\r\n";
  std::string report = "\"OLD vs. OLDER at 12 hours, 0 minutes, 0 seconds [2453585.5 as Julian]\"\r\n";
};

// An unmounted share or a typing slip in a location stops the pass before
// anything is written, and says which folder.
TEST_F(PassTest, ALocationThatCannotBeListedStopsThePassAndChangesNothing) {
  dir.write("class/a.dwg", "");
  source.drawings["a.dwg"] = {{}, 2453585.5};
  const EarlierRun earlier(run.workspace);
  run.options.entity = "LINE";
  run.options.locations = {"-" + folder("class"), "+" + folder("unmounted")};
  const PassResult result = pass();
  EXPECT_NE(result.stopped.find(folder("unmounted") + " cannot be listed: it does not exist."), std::string::npos)
      << result.stopped;
  EXPECT_FALSE(result.fatal);
  EXPECT_EQ(result.driver, DriverOutcome::NotRun);
  EXPECT_TRUE(source.asked.empty());
  earlier.expectKept();
  EXPECT_EQ(run.view.verdict, "UNCHECKED");
  EXPECT_EQ(run.view.status, "Stopped!");
  EXPECT_TRUE(messages.shown.empty());  // the caller shows the error

  // A file where a folder should be, or a sub-folder that cannot be read.
  run.options.locations = {"-" + dir.write("class/notes.txt", "").string()};
  EXPECT_NE(pass().stopped.find("it is not a folder"), std::string::npos);
  earlier.expectKept();
}

// A disk that fills up during the pass: the new record is dropped, the old
// one and its reports stay whole, and the user learns why.
TEST_F(PassTest, AFullDiskStopsThePassAndTheOldRecordStaysWhole) {
  for (const char* name : {"a", "b", "c", "d", "e"}) {
    dir.write(std::string("class/") + name + ".dwg", "");
    source.drawings[std::string(name) + ".dwg"] = {{{"AcDbLine", "1F"}}, 2453585.5};
  }
  const EarlierRun earlier(run.workspace);
  run.options.entity = "LINE";
  run.options.locations = {"-" + folder("class")};
  testing::FillingDisk disk(40);  // room for one line of 23 bytes, not two
  RunContext context{run.workspace, run.options, run.state, run.view, run.clock, run.alarm, disk};
  const PassResult result = runCollectionPass(context, source, messages);
  EXPECT_NE(result.stopped.find(run.workspace.recordFile("P").string() + " could not be written (" +
                                std::generic_category().message(ENOSPC) + ")"),
            std::string::npos)
      << result.stopped;
  EXPECT_EQ(source.asked.size(), 2u);  // no drawing is collected in vain
  EXPECT_EQ(result.driver, DriverOutcome::NotRun);
  earlier.expectKept();
  EXPECT_EQ(run.view.verdict, "UNCHECKED");

  // With room enough the same pass replaces the record whole.
  testing::FillingDisk roomy(1 << 20);
  RunContext enough{run.workspace, run.options, run.state, run.view, run.clock, run.alarm, roomy};
  EXPECT_TRUE(runCollectionPass(enough, source, messages).stopped.empty());
  EXPECT_EQ(splitLines(slurp(run.workspace.recordFile("P"))).size(), 5u);
  EXPECT_EQ(readCollectedType(run.workspace, "P"), "LINE");
}

// The program dies at a report, as a kill just after the new record is in
// place would stop it: the reports beside the record are then marked as not
// its own until a run writes them all.
struct Killed {};
class DyingDisk : public FileDevice {
 public:
  explicit DyingDisk(int reportsBefore) : reportsLeft(reportsBefore) {}
  std::unique_ptr<OpenFile> open(const std::filesystem::path& file, bool append) override {
    if (file.parent_path().filename() != "compares" && reportsLeft-- == 0) throw Killed{};
    return diskDevice().open(file, append);
  }
  int reportsLeft;
};

TEST_F(PassTest, ARunStoppedBetweenTheRecordAndItsReportsIsMarked) {
  for (const char* name : {"a", "b", "c"}) {
    dir.write(std::string("class/") + name + ".dwg", "");
    source.drawings[std::string(name) + ".dwg"] = {{{"AcDbLine", "1F"}}, 2453585.5};
  }
  run.options.entity = "LINE";
  run.options.locations = {"-" + folder("class")};
  for (int reportsBefore = 0; reportsBefore < 3; ++reportsBefore) {
    const EarlierRun earlier(run.workspace);
    DyingDisk disk(reportsBefore);
    RunContext context{run.workspace, run.options, run.state, run.view, run.clock, run.alarm, disk};
    EXPECT_THROW(runCollectionPass(context, source, messages), Killed);
    EXPECT_NE(slurp(run.workspace.recordFile("P")), earlier.record);  // the new record is in place
    EXPECT_TRUE(runLeftUnfinished(run.workspace, "P")) << reportsBefore;

    // A recompare writes every report of the record: the mark goes.
    auto again = run.context();
    ASSERT_EQ(recompare(again, messages), RecompareOutcome::Ran);
    EXPECT_FALSE(runLeftUnfinished(run.workspace, "P")) << reportsBefore;
    EXPECT_NE(slurp(run.workspace.timeReport("P")).find("A vs. B"), std::string::npos);
  }
  // A pass that ends leaves no mark, nor one that stops before the record.
  EXPECT_TRUE(pass().stopped.empty());
  EXPECT_FALSE(runLeftUnfinished(run.workspace, "P"));
  EXPECT_EQ(filesIn(run.workspace.path({"compares"})), (std::vector<std::string>{"P.cmp", "P.ent"}));
}

// A project name read from a file goes through the rules of typed names.
TEST_F(PassTest, AProjectNameThatWouldLeaveTheWorkspaceIsRefused) {
  dir.write("class/a.dwg", "");
  run.options.project = "../../escaped";
  run.options.locations = {"-" + folder("class")};
  const PassResult result = pass();
  EXPECT_NE(result.stopped.find("The project name ../../escaped cannot be used"), std::string::npos);
  EXPECT_TRUE(source.asked.empty());
  EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"class", "ws"}));
  EXPECT_EQ(filesIn(base / "compares"), std::vector<std::string>{});
}

// The sample class, collected with the age check on, shows conflicts in all
// three reports and gives the alarm once; making it again changes nothing.
TEST(SampleClass, FirstCollectionFindsConflictsInAllThreeChecks) {
  testing::TempDir dir;
  testing::RunFixture run(dir.makeWorkspace());
  const std::int32_t today = 2453800;  // 3 March 2006, the fixed clock's month
  ASSERT_EQ(sample::makeSampleClass(run.workspace, today), "");
  const std::string projects = slurp(run.workspace.projectsFile());
  EXPECT_EQ(projects, "\"SAMPLE CLASS\"\r\n");
  ASSERT_EQ(sample::makeSampleClass(run.workspace, today), "");
  EXPECT_EQ(slurp(run.workspace.projectsFile()), projects);
  EXPECT_EQ(slurp(run.workspace.settingsFile("default.fil")), "4\r\n");

  run.options.project = "SAMPLE CLASS";
  run.options.entity = "CIRCLE";
  ageCheck().setSwitchedOn(run.options, true);
  for (const auto& line : splitLines(slurp(run.workspace.locationFile("SAMPLE CLASS"))))
    run.options.locations.push_back(line.substr(1, line.size() - 2));
  NativeDrawingSource source([](std::int64_t) { return 3600L; });
  testing::RecordingMessages messages;
  auto context = run.context();
  const PassResult result = runCollectionPass(context, source, messages);
  EXPECT_EQ(result.visited, 7);
  EXPECT_EQ(result.driver, DriverOutcome::Complete);
  EXPECT_EQ(run.view.timeConflicts, "0001");
  EXPECT_EQ(run.view.entityConflicts, "0001");
  EXPECT_EQ(run.view.ageConflicts, "0001");
  EXPECT_EQ(run.alarm.starts, 1);
  EXPECT_EQ(run.view.verdict, "VELDRA!!!");
  EXPECT_EQ(slurp(run.workspace.handleReport("SAMPLE CLASS")),
            "\"** ANNA vs. BEN has a 100% CIRCLE handle match [20 total].\"\r\n");
  EXPECT_EQ(slurp(run.workspace.timeReport("SAMPLE CLASS")),
            "\"ANNA vs. BEN at 13 hours, 0 minutes, 1 seconds [2453800.54167824 as Julian]\"\r\n");

  // At 80% the near-copy is reported too.
  run.options.percent = "80";
  timeCheck().setSwitchedOn(run.options, false);
  recompare(context, messages);
  EXPECT_EQ(slurp(run.workspace.handleReport("SAMPLE CLASS")),
            "\"** ANNA vs. BEN has a 100% CIRCLE handle match [20 total].\"\r\n"
            "\"ANNA vs. CARL has a 100% / 85% CIRCLE handle match.\"\r\n"
            "\"BEN vs. CARL has a 100% / 85% CIRCLE handle match.\"\r\n");
}

}  // namespace
}  // namespace veldra
