#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

// Blanks, quotes, backslashes before quotes and at the end, an empty
// argument and letters of no single-byte code page: on Windows each must
// survive the one command line a program gets.
TEST(RunProgram, ArgumentsArriveOneByOneAsWritten) {
  const std::vector<std::string> arguments = {
      "plain", "two words", "", "say \"hi\"", "trailing\\", "C:\\a b\\", "back\\\\\"slash", "Ελληνικά 学生 ü"};
  const ProgramRun run = runProgram(pathFromUtf8(VELDRA_ECHO_ARGUMENTS), arguments);
  ASSERT_TRUE(run.started);
  EXPECT_EQ(run.exitCode, 3);
  std::string expected;
  for (const auto& argument : arguments) expected += "[" + argument + "]\n";
  EXPECT_EQ(testing::unixLines(run.out), expected);
  EXPECT_EQ(testing::unixLines(run.err), "done\n");

  testing::TempDir dir;
  EXPECT_FALSE(runProgram(dir.path() / "no-such-program", {}).started);
}

TEST(Paths, Utf8TextAndPathsConvertBothWaysWithoutLoss) {
  testing::TempDir dir;
  for (const std::string name : {"plain.dwg", "Überprüfung.dwg", "Σχέδιο 学生.dwg"}) {
    EXPECT_EQ(utf8FromPath(pathFromUtf8(name)), name);
    dir.write(name, "x");
    ASSERT_TRUE(std::filesystem::exists(dir.path() / pathFromUtf8(name))) << name;
  }
  std::vector<std::string> listed;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    listed.push_back(utf8FromPath(entry.path().filename()));
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (std::vector<std::string>{"plain.dwg", "Überprüfung.dwg", "Σχέδιο 学生.dwg"}));
#ifdef _WIN32
  EXPECT_EQ(pathFromUtf8("Σ\xFF").native(), L"\u03a3\ufffd");
  // A lone surrogate is a valid Windows name but no text: it shows as U+FFFD.
  EXPECT_EQ(utf8FromPath(std::filesystem::path(std::wstring{L'a', wchar_t(0xD800)})), "a\xEF\xBF\xBD");
#else
  // A name in another encoding keeps its bytes, so the file is found again.
  EXPECT_EQ(utf8FromPath(pathFromUtf8("Sch\xFCler")), "Sch\xFCler");
#endif
}

TEST(SystemDrive, IsTheRootOfAFolderThatExists) {
  const std::filesystem::path drive = systemDrive();
  EXPECT_EQ(drive, drive.root_path());
  EXPECT_TRUE(std::filesystem::is_directory(drive));
#ifdef _WIN32
  ASSERT_EQ(drive.native().size(), 3u);
  EXPECT_EQ(drive.native().substr(1), L":\\");
  EXPECT_TRUE(std::filesystem::is_directory(drive / "Windows"));
#endif
}

}  // namespace
}  // namespace veldra
