#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/textfile.h"
#include "app/workspace.h"
#include "platform/platform.h"
#include "support/submissions.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

using testing::slurp;

struct CliResult {
  int status = -1;
  std::string out, err;
};

// Line ends as written on Linux: a program's standard output on Windows ends
// its lines with CR LF.
std::string unixLines(std::string text) {
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  return text;
}

// Runs the built program with these arguments, no shell in between.
CliResult runCli(const std::vector<std::string>& arguments) {
  const ProgramRun run = runProgram(pathFromUtf8(VELDRA_CLI), arguments);
  EXPECT_TRUE(run.started) << VELDRA_CLI;
  return {run.exitCode, unixLines(run.out), unixLines(run.err)};
}

class CliTest : public ::testing::Test {
 protected:
  CliTest() : base(dir.makeWorkspace()) {
    EXPECT_TRUE(replaceFile(base / "projects" / "projects.fil", "\"OTHER\"\r\n\"Sample Set\"\r\n"));
  }
  CliResult cli(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--workspace", utf8FromPath(base)});
    return runCli(arguments);
  }
  std::string folder(const std::string& relative) const { return utf8FromPath(dir.path() / pathFromUtf8(relative)); }
  testing::TempDir dir;
  std::filesystem::path base;
};

TEST_F(CliTest, ErrorsExitWithTwoAndAReason) {
  EXPECT_EQ(cli({"collect", "NOSUCH"}).status, 2);
  const CliResult bad = cli({"collect", "OTHER", "--time", "maybe"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("--time"), std::string::npos);
  EXPECT_EQ(cli({"frobnicate", "OTHER"}).status, 2);
  const CliResult missing = runCli({"--workspace", folder("nowhere"), "collect", "OTHER"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_FALSE(missing.err.empty());

  // An empty record is refused and nothing is changed.
  EXPECT_TRUE(replaceFile(base / "compares" / "OTHER.cmp", ""));
  const CliResult empty = cli({"recompare", "other"});
  EXPECT_EQ(empty.status, 2);
  EXPECT_NE(empty.err.find("XXXXXXavailable due to no entity matches - turning OFF."), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(base / "time conflicts" / "OTHER.tim"));
}

// Nothing compared is no all-clear: a script must not take it for one.
TEST_F(CliTest, CollectWithoutLocationsWarnsAndFindsNothing) {
  const CliResult result = cli({"collect", "other"});
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("Sorry, no locations to compare!"), std::string::npos);
  EXPECT_NE(result.err.find("Sorry, no drawings found!"), std::string::npos);
  EXPECT_NE(result.err.find("veldra-cli: no drawing was compared\n"), std::string::npos);
  EXPECT_EQ(result.out,
            "Files: 0000\nTime Conflicts: 0000\nEntity Conflicts: 0000\nAge Conflicts: 0000\n"
            "Status: Opening Files...\nVerdict: UNCHECKED\n");
}

TEST_F(CliTest, AThresholdThatIsNoPercentageIsRefused) {
  for (const std::string& percent : {std::string(401, '9'), std::string("150"), std::string("-1"), std::string("abc"),
                                    std::string("90%")}) {
    const CliResult result = cli({"collect", "other", "--percent", percent});
    EXPECT_EQ(result.status, 2) << percent;
    EXPECT_NE(result.err.find("--percent takes a number from 0 to 100"), std::string::npos) << percent;
  }
  EXPECT_FALSE(std::filesystem::exists(base / "handle conflicts" / "OTHER.hnd"));
}

// A damaged record file, a location that cannot be listed, a report that
// cannot be written, a project name that would leave the workspace: each is
// an error with its reason, exit status 2, and no earlier file is lost.
TEST_F(CliTest, FailuresExitWithTwoAndLoseNothing) {
  testing::writeDrawing(dir, "class/anna.dwg", testing::circlesDrawing(2461000, 43200000, {0x1A0}));
  testing::writeDrawing(dir, "class/ben.dwg", testing::circlesDrawing(2461001, 43200000, {0x2A0}));
  EXPECT_TRUE(replaceFile(base / "projects" / "OTHER.prj", quotedLine("-" + folder("class"))));
  const std::string record = "\"ANNA,2461000.5,1A0$,END\"\r\n\"BEN,2461001.5,2A\r\n";
  EXPECT_TRUE(replaceFile(base / "compares" / "OTHER.cmp", record));
  EXPECT_TRUE(replaceFile(base / "time conflicts" / "OTHER.tim", "old"));

  const CliResult damaged = cli({"recompare", "other"});
  EXPECT_EQ(damaged.status, 2);
  EXPECT_NE(damaged.err.find("VELDRA Error: The record file " + utf8FromPath(base / "compares" / "OTHER.cmp") +
                             " is damaged at line 2: it is cut short. Collect the drawings again"),
            std::string::npos)
      << damaged.err;
  EXPECT_NE(damaged.out.find("Status: Stopped!\nVerdict: UNCHECKED\n"), std::string::npos) << damaged.out;
  EXPECT_EQ(slurp(base / "time conflicts" / "OTHER.tim"), "old");

  const std::string gone = folder("unmounted");
  EXPECT_TRUE(replaceFile(base / "projects" / "OTHER.prj",
                          quotedLine("-" + folder("class")) + quotedLine("-" + gone)));
  const CliResult unlisted = cli({"collect", "other"});
  EXPECT_EQ(unlisted.status, 2);
  EXPECT_NE(unlisted.err.find("VELDRA Error: The folder " + gone + " cannot be listed"), std::string::npos)
      << unlisted.err;
  EXPECT_EQ(slurp(base / "compares" / "OTHER.cmp"), record);

  EXPECT_TRUE(replaceFile(base / "projects" / "OTHER.prj", quotedLine("-" + folder("class"))));
  std::filesystem::remove_all(base / "date conflicts");
  EXPECT_TRUE(replaceFile(base / "date conflicts", "a file where a folder should be"));
  const CliResult noReport = cli({"collect", "other", "--age", "1 year", "--entity", "CIRCLE"});
  EXPECT_EQ(noReport.status, 2);
  EXPECT_NE(noReport.err.find("VELDRA Error: The report " + utf8FromPath(base / "date conflicts" / "OTHER.dat") +
                              " could not be written"),
            std::string::npos)
      << noReport.err;
  EXPECT_NE(noReport.out.find("Status: Complete!\n"), std::string::npos);  // the checks judged
  EXPECT_EQ(slurp(base / "date conflicts"), "a file where a folder should be");

  EXPECT_TRUE(replaceFile(base / "projects" / "projects.fil", "\"OTHER\"\r\n\"../../escaped\"\r\n"));
  EXPECT_TRUE(replaceFile(base / "projects" / "../../escaped.prj", quotedLine("-" + folder("class"))));
  const CliResult escaped = cli({"collect", "../../escaped"});
  EXPECT_EQ(escaped.status, 2);
  EXPECT_NE(escaped.err.find("the project name ../../escaped cannot be used"), std::string::npos) << escaped.err;
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "escaped.cmp"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "escaped.ent"));
}

// A fake submission, an empty file, a drawing cut short and an old version
// among real drawings: each is named on standard output after the counters.
TEST_F(CliTest, CollectNamesTheDrawingsItCouldNotRead) {
  testing::writeDrawing(dir, "class/anna.dwg", testing::circlesDrawing(2461000, 43200000, {0x1A0, 0x1A1}));
  testing::writeDrawing(dir, "class/ben.dwg", testing::circlesDrawing(2461001, 43200000, {0x2A0}));
  testing::writeUnreadableSubmissions(dir, "class");
  const std::string classFolder = folder("class");
  EXPECT_TRUE(replaceFile(base / "projects" / "OTHER.prj", quotedLine("-" + classFolder)));
  const CliResult result = cli({"collect", "other", "--entity", "CIRCLE"});
  EXPECT_EQ(result.status, 0) << result.err;
  const std::string counters =
      "Files: 0006\nTime Conflicts: 0000\nEntity Conflicts: 0000\nAge Conflicts: 0000\n"
      "Status: Complete!\nVerdict: NO VELDRA's\n";
  ASSERT_EQ(result.out.substr(0, counters.size()), counters);
  const auto lines = splitLines(result.out.substr(counters.size()));
  ASSERT_EQ(lines.size(), 4u) << result.out;
  const char* names[] = {"cut.dwg", "empty.dwg", "homework.dwg", "old.dwg"};
  for (std::size_t i = 0; i < 4; ++i) {
    const std::string start = "Unreadable: " + utf8FromPath(pathFromUtf8(classFolder) / names[i]) + " (" +
                              testing::unreadableReasons()[i];
    EXPECT_TRUE(lines[i].starts_with(start) && lines[i].ends_with(")")) << lines[i];
  }
  EXPECT_EQ(result.err.find("Warning:"), std::string::npos);
  EXPECT_NE(slurp(base / "compares" / "OTHER.cmp").find("\"HOMEWORK,,,END\"\r\n"), std::string::npos);
}

// A link named as a drawing that leads round in a loop or nowhere is a
// drawing that cannot be opened, told like any other; a link to a folder is
// no drawing.
TEST_F(CliTest, LinksThatLeadNowhereAreUnreadableDrawings) {
  testing::writeDrawing(dir, "class/anna.dwg", testing::circlesDrawing(2461000, 43200000, {0x1A0}));
  const auto classFolder = pathFromUtf8(folder("class"));
  std::error_code ec;
  std::filesystem::create_symlink("loop.dwg", classFolder / "loop.dwg", ec);
  if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();
  std::filesystem::create_symlink("b.dwg", classFolder / "a.dwg");
  std::filesystem::create_symlink("a.dwg", classFolder / "b.dwg");
  std::filesystem::create_symlink(classFolder / "gone" / "c.dwg", classFolder / "gone.dwg");
  std::filesystem::create_directory_symlink(dir.path(), classFolder / "folder.dwg");
  EXPECT_TRUE(replaceFile(base / "projects" / "OTHER.prj", quotedLine("-" + utf8FromPath(classFolder))));
  const CliResult result = cli({"collect", "other", "--entity", "CIRCLE"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("Files: 0005\n"), std::string::npos) << result.out;
  for (const char* name : {"a.dwg", "b.dwg", "gone.dwg", "loop.dwg"})
    EXPECT_NE(result.out.find("Unreadable: " + utf8FromPath(classFolder / name) + " ("), std::string::npos)
        << name << "\n" << result.out;
  EXPECT_EQ(result.out.find("folder.dwg"), std::string::npos) << result.out;
  EXPECT_NE(slurp(base / "compares" / "OTHER.cmp").find("\"LOOP,,,END\"\r\n"), std::string::npos);
}

// A typing slip in the type is no all-clear; a recompare labels the handles
// with the type they were collected with and says when the choice differs.
TEST_F(CliTest, ATypeNoDrawingHoldsIsAWarningAndRecompareKeepsTheCollectedType) {
  testing::writeDrawing(dir, "class/anna.dwg", testing::circlesDrawing(2461000, 43200000, {0x1A0, 0x1A1}));
  testing::writeDrawing(dir, "class/ben.dwg", testing::circlesDrawing(2461001, 43200000, {0x1A0, 0x1A1}));
  EXPECT_TRUE(replaceFile(base / "projects" / "OTHER.prj", quotedLine("-" + folder("class"))));
  const CliResult slip = cli({"collect", "other", "--entity", "CIRLCE"});
  EXPECT_EQ(slip.status, 0);
  EXPECT_NE(slip.err.find("Warning: no drawing holds an entity of type CIRLCE\n"), std::string::npos) << slip.err;
  EXPECT_EQ(slip.out.find("Unreadable"), std::string::npos);

  const CliResult again = cli({"recompare", "other", "--entity", "CIRCLE"});
  EXPECT_EQ(again.status, 0);
  EXPECT_NE(again.err.find("Collected with CIRLCE: collect again to compare CIRCLE.\n"), std::string::npos) << again.err;
  EXPECT_NE(again.err.find("Warning: no drawing holds an entity of type CIRLCE\n"), std::string::npos);
  EXPECT_EQ(slurp(base / "handle conflicts" / "OTHER.hnd"), "\"No entity [CIRLCE] conflicts >= 100% match!\"\r\n");

  const CliResult right = cli({"collect", "other", "--entity", "CIRCLE"});
  EXPECT_EQ(right.status, 1);
  EXPECT_EQ(right.err.find("Warning:"), std::string::npos);
  const CliResult same = cli({"recompare", "other", "--entity", "CIRCLE"});
  EXPECT_EQ(same.status, 1);
  EXPECT_EQ(same.err.find("Collected with"), std::string::npos);
}

// A project, its folder and its drawings named in Greek, Chinese and with
// accents, the project asked for in small letters: the names reach the
// record, the reports and standard output in UTF-8 on every system.
TEST_F(CliTest, NamesBeyondAsciiPassFromTheCommandLineToTheReports) {
  const std::string project = "ÉCOLE ΩΜΈΓΑ 学生";
  EXPECT_TRUE(replaceFile(base / "projects" / "projects.fil", quotedLine(project)));
  testing::writeDrawing(dir, "Schüler 学生/zeichnung_müller.dwg", testing::circlesDrawing(2461000, 43200000, {0x1A0, 0x1A1}));
  testing::writeDrawing(dir, "Schüler 学生/Σχέδιο.dwg", testing::circlesDrawing(2461000, 43200000, {0x1A0, 0x1A1}));
  dir.write("Schüler 学生/Ελληνικά.dwg", "not a drawing");
  const Workspace ws(base);
  EXPECT_TRUE(replaceFile(ws.locationFile(project), quotedLine("-" + folder("Schüler 学生"))));

  const CliResult result = cli({"collect", "école ωμέγα 学生", "--entity", "CIRCLE"});
  EXPECT_EQ(result.status, 1) << result.err;
  EXPECT_EQ(result.out.substr(0, 12), "Files: 0003\n");
  const std::string unreadable = utf8FromPath(dir.path() / pathFromUtf8("Schüler 学生") / pathFromUtf8("Ελληνικά.dwg"));
  EXPECT_NE(result.out.find("Unreadable: " + unreadable + " (not a drawing)\n"), std::string::npos) << result.out;
  EXPECT_EQ(slurp(ws.recordFile(project)),
            "\"ZEICHNUNG_MÜLLER,2461000.5,1A0$1A1$,END\"\r\n\"ΕΛΛΗΝΙΚΆ,,,END\"\r\n\"ΣΧΈΔΙΟ,2461000.5,1A0$1A1$,END\"\r\n");
  EXPECT_EQ(slurp(ws.handleReport(project)),
            "\"** ZEICHNUNG_MÜLLER vs. ΣΧΈΔΙΟ has a 100% CIRCLE handle match [2 total].\"\r\n");
  EXPECT_NE(slurp(ws.timeReport(project)).find("\"ZEICHNUNG_MÜLLER vs. ΣΧΈΔΙΟ at "), std::string::npos);
}

// A project list edited by hand may name a device of Windows: its files
// would be the device, so the project is refused before anything is written.
TEST_F(CliTest, AListedDeviceNameIsRefused) {
  EXPECT_TRUE(replaceFile(base / "projects" / "projects.fil", "\"NUL\"\r\n"));
  const CliResult result = cli({"collect", "nul"});
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("device"), std::string::npos) << result.err;
  EXPECT_TRUE(std::filesystem::is_empty(base / "compares"));
}

TEST_F(CliTest, CollectsTheSampleDrawingsAndFindsTheCopies) {
  const auto drawings = testing::sharedDrawings();
  if (drawings.empty()) GTEST_SKIP() << "no sample drawings";
  EXPECT_TRUE(replaceFile(base / "projects" / "Sample Set.prj", quotedLine("-" + utf8FromPath(drawings))));
  EXPECT_TRUE(replaceFile(base / "default.fil", "12\r\n"));  // POINT
  const CliResult result = cli({"collect", "sample set", "--percent", "90"});
  // The copies saved in AC1015 and later keep one stored date and the same handles.
  EXPECT_EQ(result.status, 1) << result.err;
  EXPECT_EQ(result.out.substr(0, 12), "Files: 0012\n");
  EXPECT_EQ(result.out.find("Time Conflicts: 0000\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("Status: Complete!\nVerdict: VELDRA!!!\n"), std::string::npos) << result.out;
  const std::string records = slurp(base / "compares" / "Sample Set.cmp");
  EXPECT_EQ(splitLines(records).size(), 12u);
  EXPECT_NE(records.find("\"SAMPLE_AC1015,"), std::string::npos);
  EXPECT_NE(slurp(base / "handle conflicts" / "Sample Set.hnd").find("** SAMPLE_AC1014 vs. SAMPLE_AC1015 has a 100% POINT handle match"),
            std::string::npos);

  // Recompare over the same record gives the same captions.
  const CliResult again = cli({"recompare", "SAMPLE SET", "--entity", "POINT", "--percent", "90"});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.out, result.out);
}

}  // namespace
}  // namespace veldra
