#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <string>
#include <vector>

#include "app/textfile.h"
#include "app/workspace.h"
#include "platform/platform.h"
#include "support/program_run.h"
#include "support/submissions.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

using testing::slurp;

class CliTest : public ::testing::Test {
 protected:
  CliTest() : base(dir.makeWorkspace()) {
    EXPECT_TRUE(replaceFile(base / "projects" / "projects.fil", "\"OTHER\"\r\n\"Sample Set\"\r\n"));
  }
  ProgramRun cli(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--workspace", utf8FromPath(base)});
    return testing::runTool(pathFromUtf8(VELDRA_CLI), arguments);
  }
  std::string folder(const std::string& relative) const { return utf8FromPath(dir.path() / pathFromUtf8(relative)); }
  testing::TempDir dir;
  std::filesystem::path base;
};

TEST_F(CliTest, ErrorsExitWithTwoAndAReason) {
  EXPECT_EQ(cli({"collect", "NOSUCH"}).exitCode, 2);
  const ProgramRun bad = cli({"collect", "OTHER", "--time", "maybe"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("--time"), std::string::npos);
  EXPECT_EQ(cli({"frobnicate", "OTHER"}).exitCode, 2);
  const ProgramRun missing = testing::runTool(pathFromUtf8(VELDRA_CLI), {"--workspace", folder("nowhere"), "collect", "OTHER"});
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_FALSE(missing.err.empty());

  // An empty record is refused and nothing is changed.
  EXPECT_TRUE(replaceFile(base / "compares" / "OTHER.cmp", ""));
  const ProgramRun empty = cli({"recompare", "other"});
  EXPECT_EQ(empty.exitCode, 2);
  EXPECT_NE(empty.err.find("XXXXXXavailable due to no entity matches - turning OFF."), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(base / "time conflicts" / "OTHER.tim"));
}

TEST_F(CliTest, AThresholdThatIsNoPercentageIsRefused) {
  for (const std::string& percent : {std::string(401, '9'), std::string("150"), std::string("-1"), std::string("abc"),
                                    std::string("90%")}) {
    const ProgramRun result = cli({"collect", "other", "--percent", percent});
    EXPECT_EQ(result.exitCode, 2) << percent;
    EXPECT_NE(result.err.find("--percent takes a number from 0 to 100"), std::string::npos) << percent;
  }
  EXPECT_FALSE(std::filesystem::exists(base / "handle conflicts" / "OTHER.hnd"));
}

// A report that cannot be written is an error with its reason and exit
// status 2, though the checks judged (the reasons for every failure, and that
// no earlier file is lost, are the run's tests').
TEST_F(CliTest, FailuresExitWithTwoAndLoseNothing) {
  testing::writeDrawing(dir, "class/anna.dwg", testing::circlesDrawing(2461000, 43200000, {0x1A0}));
  testing::writeDrawing(dir, "class/ben.dwg", testing::circlesDrawing(2461001, 43200000, {0x2A0}));
  EXPECT_TRUE(replaceFile(base / "projects" / "OTHER.prj", quotedLine("-" + folder("class"))));
  std::filesystem::remove_all(base / "date conflicts");
  EXPECT_TRUE(replaceFile(base / "date conflicts", "a file where a folder should be"));
  const ProgramRun noReport = cli({"collect", "other", "--age", "1 year", "--entity", "CIRCLE"});
  EXPECT_EQ(noReport.exitCode, 2);
  EXPECT_NE(noReport.err.find("VELDRA Error: The report " + utf8FromPath(base / "date conflicts" / "OTHER.dat") +
                              " could not be written"),
            std::string::npos)
      << noReport.err;
  EXPECT_NE(noReport.out.find("Status: Complete!\n"), std::string::npos);  // the checks judged
  EXPECT_EQ(slurp(base / "date conflicts"), "a file where a folder should be");

}

// A class of drawings none of which could be read is no all-clear for
// either check, and a folder's name cannot fake a line of what is printed.
TEST_F(CliTest, NothingReadIsUncheckedAndNamesCannotFakeLines) {
#ifdef _WIN32
  const std::string student = "class/anna";
#else
  const std::string student = "class/anna\nVerdict: NO VELDRA's\nProject: X";
#endif
  testing::writeUnreadableSubmissions(dir, student);
  ASSERT_TRUE(replaceFile(base / "projects" / "OTHER.prj", quotedLine("+" + folder("class"))));
  const ProgramRun collect = cli({"collect", "other"});
  EXPECT_EQ(collect.exitCode, 2);
  EXPECT_NE(collect.out.find("Verdict: UNCHECKED\n"), std::string::npos) << collect.out;
  EXPECT_NE(collect.err.find("None of the 4 drawings found could be read"), std::string::npos) << collect.err;
  const ProgramRun evidence = cli({"evidence", "other"});
  EXPECT_EQ(evidence.exitCode, 2);
  EXPECT_NE(evidence.err.find("no two drawings could be compared (0 of 4 read)"), std::string::npos) << evidence.err;
  const std::string report = slurp(base / "evidence reports" / "OTHER.txt");
  for (const std::string& text : {collect.out, evidence.out, report}) {
    EXPECT_EQ(text.find("\nVerdict: NO"), std::string::npos) << text;
    EXPECT_EQ(text.find("\nProject: X"), std::string::npos) << text;
  }
}

// A link named as a drawing that leads round in a loop or nowhere is a
// drawing that cannot be opened, told like any other, and so is a pipe,
// never waited on; a link to a folder is no drawing.
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
  std::vector<std::string> unreadable = {"a.dwg", "b.dwg", "gone.dwg", "loop.dwg"};
#if !defined(_WIN32)
  ASSERT_EQ(::mkfifo((classFolder / "pipe.dwg").c_str(), 0600), 0);
  unreadable.push_back("pipe.dwg");
#endif
  EXPECT_TRUE(replaceFile(base / "projects" / "OTHER.prj", quotedLine("-" + utf8FromPath(classFolder))));
  const ProgramRun result = cli({"collect", "other", "--entity", "CIRCLE"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("Files: 000" + std::to_string(unreadable.size() + 1) + "\n"), std::string::npos)
      << result.out;
  for (const std::string& name : unreadable)
    EXPECT_NE(result.out.find("Unreadable: " + utf8FromPath(classFolder / name) + " ("), std::string::npos)
        << name << "\n" << result.out;
  EXPECT_EQ(result.out.find("folder.dwg"), std::string::npos) << result.out;
  EXPECT_NE(slurp(base / "compares" / "OTHER.cmp").find("\"LOOP,,,END\"\r\n"), std::string::npos);
}

TEST_F(CliTest, CollectsTheSampleDrawingsAndFindsTheCopies) {
  const auto drawings = testing::sharedDrawings();
  if (drawings.empty()) GTEST_SKIP() << "no sample drawings";
  EXPECT_TRUE(replaceFile(base / "projects" / "Sample Set.prj", quotedLine("-" + utf8FromPath(drawings))));
  EXPECT_TRUE(replaceFile(base / "default.fil", "12\r\n"));  // POINT
  const ProgramRun result = cli({"collect", "sample set", "--percent", "90"});
  // The copies saved in AC1015 and later keep one stored date and the same handles.
  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_EQ(result.out.substr(0, 12), "Files: 0012\n");
  EXPECT_EQ(result.out.find("Time Conflicts: 0000\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("Status: Complete!\nVerdict: VELDRA!!!\n"), std::string::npos) << result.out;
  const std::string records = slurp(base / "compares" / "Sample Set.cmp");
  EXPECT_EQ(splitLines(records).size(), 12u);
  EXPECT_NE(records.find("\"SAMPLE_AC1015,"), std::string::npos);
  EXPECT_NE(slurp(base / "handle conflicts" / "Sample Set.hnd").find("** SAMPLE_AC1014 vs. SAMPLE_AC1015 has a 100% POINT handle match"),
            std::string::npos);

  // Recompare over the same record gives the same captions.
  const ProgramRun again = cli({"recompare", "SAMPLE SET", "--entity", "POINT", "--percent", "90"});
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_EQ(again.out, result.out);
}

}  // namespace
}  // namespace veldra
