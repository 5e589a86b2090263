#include <gtest/gtest.h>

#include "projects/project_store.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

using testing::TempDir;

TEST(ProjectStore, ListLinesLoseFirstAndLastCharacterAndShortLinesAreSkipped) {
  EXPECT_EQ(parseQuotedList("\"BRIDGE A\"\r\n\"\r\n\r\nHOUSE\r\n\"X\"\n\"Q\"\""),
            (std::vector<std::string>{"BRIDGE A", "OUS", "X", "Q\""}));
  EXPECT_TRUE(parseQuotedList("").empty());
}

TEST(ProjectStore, WritesIntoAMissingFolderFailAndCreateNothing) {
  TempDir dir;
  const Workspace ws(dir.path() / "bare");
  std::filesystem::create_directories(dir.path() / "bare");
  EXPECT_FALSE(ensureProjectsFile(ws));
  EXPECT_FALSE(appendProject(ws, "A"));
  EXPECT_FALSE(rewriteProjects(ws, {"A"}));
  EXPECT_FALSE(appendLocation(ws, "A", "-/x"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "bare" / "projects"));
}

TEST(ProjectNames, NamesThatWouldLeaveTheWorkspaceOrMakeNoFileAreRefused) {
  for (const char* good : {"BRIDGE A", "A.B", "X-1 (2006)", "ÄRGER", "#1 & CO."}) {
    EXPECT_TRUE(checkProjectName(good)) << good;
  }
  for (const char* bad : {"", "A/B", "A\\B", "..", "A..B", "...", "   ", " . ", "TAB\tX", "A:B", "A*", "Q?",
                          "<X>", "A|B", "SAY \"HI\""}) {
    const Status named = checkProjectName(bad);
    ASSERT_FALSE(named) << bad;
    EXPECT_EQ(named.kind(), Failure::Kind::kRefused) << bad;
  }
  EXPECT_NE(checkProjectName("A/B").message().find("separator"), std::string::npos);
}

// On Windows "CON.prj" is the console and "NUL.cmp" swallows the record:
// device names are refused on every system, whatever follows the first dot.
TEST(ProjectNames, WindowsDeviceNamesAreRefused) {
  for (const char* device : {"CON", "con", "PRN", "AUX", "NUL", "COM1", "com9", "LPT1", "LPT9", "COM0", "CON.X",
                             "NUL.TAR.GZ", "AUX ", "CON .A", "CONIN$", "COM\u00b9", "LPT\u00b3"}) {
    const Status named = checkProjectName(device);
    ASSERT_FALSE(named) << device;
    EXPECT_EQ(named.kind(), Failure::Kind::kRefused) << device;
    EXPECT_NE(named.message().find("device"), std::string::npos) << device;
  }
  for (const char* name : {"CONSOLE", "ICON", "NULL", "COM", "COM10", "LPT", "A.CON", "AUXILIARY", "COMX"}) {
    EXPECT_TRUE(checkProjectName(name)) << name;
  }
}

// A name read from projects.fil that breaks the rules reaches no file: not
// its locations, not its records, and removing it deletes nothing.
TEST(ProjectNames, NoFileIsTouchedUnderANameThatBreaksTheRules) {
  TempDir dir;
  const Workspace ws(dir.makeWorkspace().string());
  const std::string escaped = "../../escaped";
  const auto outside = dir.write("escaped.prj", "\"-/somewhere\"\r\n");
  dir.write("escaped.cmp", "\"A,1,,END\"\r\n");
  ASSERT_EQ(ws.locationFile(escaped).lexically_normal(), outside.lexically_normal());
  EXPECT_EQ(readLocations(ws, escaped), std::nullopt);
  EXPECT_FALSE(hasRecords(ws, escaped));
  EXPECT_TRUE(projectFiles(ws, escaped).empty());
  const Status appended = appendLocation(ws, escaped, "-/x");
  ASSERT_FALSE(appended);
  EXPECT_EQ(appended.kind(), Failure::Kind::kRefused);
  EXPECT_NE(appended.message().find("separator"), std::string::npos);
  const Status rewritten = rewriteLocations(ws, escaped, {});
  ASSERT_FALSE(rewritten);
  EXPECT_EQ(rewritten.message(), appended.message());
  deleteProjectFiles(ws, escaped);
  EXPECT_EQ(testing::slurp(outside), "\"-/somewhere\"\r\n");
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "escaped.cmp"));
}

}  // namespace
}  // namespace veldra
