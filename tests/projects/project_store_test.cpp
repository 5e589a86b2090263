#include <gtest/gtest.h>

#include "app/textfile.h"
#include "projects/project_store.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

using testing::slurp;
using testing::TempDir;

TEST(ProjectStore, ListLinesLoseFirstAndLastCharacterAndShortLinesAreSkipped) {
  EXPECT_EQ(parseQuotedList("\"BRIDGE A\"\r\n\"\r\n\r\nHOUSE\r\n\"X\"\n\"Q\"\""),
            (std::vector<std::string>{"BRIDGE A", "OUS", "X", "Q\""}));
  EXPECT_TRUE(parseQuotedList("").empty());
}

TEST(ProjectStore, AppendAndRewriteWriteQuotedLinesWithCrLf) {
  TempDir dir;
  const Workspace ws(dir.makeWorkspace().string());
  EXPECT_FALSE(readProjects(ws).has_value());
  ASSERT_TRUE(ensureProjectsFile(ws));
  EXPECT_EQ(slurp(ws.projectsFile()), "");
  ASSERT_TRUE(appendProject(ws, "BRIDGE A"));
  ASSERT_TRUE(appendProject(ws, "SAY \"HI\""));
  EXPECT_EQ(slurp(ws.projectsFile()), "\"BRIDGE A\"\r\n\"SAY \"HI\"\"\r\n");
  EXPECT_EQ(*readProjects(ws), (std::vector<std::string>{"BRIDGE A", "SAY \"HI\""}));
  ASSERT_TRUE(rewriteProjects(ws, {"HOUSE"}));
  EXPECT_EQ(slurp(ws.projectsFile()), "\"HOUSE\"\r\n");
  ASSERT_TRUE(rewriteProjects(ws, {}));
  EXPECT_EQ(slurp(ws.projectsFile()), "");

  ASSERT_TRUE(appendLocation(ws, "HOUSE", "+/data/a b"));
  ASSERT_TRUE(appendLocation(ws, "HOUSE", "-/data/c"));
  EXPECT_EQ(slurp(ws.locationFile("HOUSE")), "\"+/data/a b\"\r\n\"-/data/c\"\r\n");
  ASSERT_TRUE(rewriteLocations(ws, "HOUSE", {}));
  EXPECT_TRUE(std::filesystem::exists(ws.locationFile("HOUSE")));
  EXPECT_EQ(std::filesystem::file_size(ws.locationFile("HOUSE")), 0u);
}

TEST(ProjectStore, WritesIntoAMissingFolderFailAndCreateNothing) {
  TempDir dir;
  const Workspace ws((dir.path() / "bare").string());
  std::filesystem::create_directories(dir.path() / "bare");
  EXPECT_FALSE(ensureProjectsFile(ws));
  EXPECT_FALSE(appendProject(ws, "A"));
  EXPECT_FALSE(rewriteProjects(ws, {"A"}));
  EXPECT_FALSE(appendLocation(ws, "A", "-/x"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "bare" / "projects"));
}

TEST(ProjectStore, RemovalDeletesAllFiveFilesAndRecordsNeedOneByte) {
  TempDir dir;
  const Workspace ws(dir.makeWorkspace().string());
  for (const auto& file : {ws.locationFile("P 1"), ws.recordFile("P 1"), ws.timeReport("P 1"),
                           ws.handleReport("P 1"), ws.ageReport("P 1"), ws.recordFile("P 2")}) {
    ASSERT_TRUE(replaceFile(file, "x"));
  }
  EXPECT_TRUE(hasRecords(ws, "P 1"));
  deleteProjectFiles(ws, "P 1");
  for (const auto& file : {ws.locationFile("P 1"), ws.recordFile("P 1"), ws.timeReport("P 1"),
                           ws.handleReport("P 1"), ws.ageReport("P 1")}) {
    EXPECT_FALSE(std::filesystem::exists(file)) << file;
  }
  EXPECT_TRUE(std::filesystem::exists(ws.recordFile("P 2")));
  EXPECT_FALSE(hasRecords(ws, "P 1"));
  ASSERT_TRUE(replaceFile(ws.recordFile("P 2"), ""));
  EXPECT_FALSE(hasRecords(ws, "P 2"));
  deleteProjectFiles(ws, "NEVER THERE");  // absent files are passed over
}

TEST(ProjectNames, NamesThatWouldLeaveTheWorkspaceOrMakeNoFileAreRefused) {
  for (const char* good : {"BRIDGE A", "A.B", "X-1 (2006)", "ÄRGER", "#1 & CO."}) {
    EXPECT_EQ(projectNameProblem(good), std::nullopt) << good;
  }
  for (const char* bad : {"", "A/B", "A\\B", "..", "A..B", "...", "   ", " . ", "TAB\tX", "A:B", "A*", "Q?",
                          "<X>", "A|B", "SAY \"HI\""}) {
    EXPECT_NE(projectNameProblem(bad), std::nullopt) << bad;
  }
  EXPECT_NE(projectNameProblem("A/B")->find("separator"), std::string::npos);
}

}  // namespace
}  // namespace veldra
