#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "platform/file_facts.h"
#include "platform/platform.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

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

// An opened file tells what it is and how large, and is read to its end
// in pieces; what is no file is closed unread, and a pipe never waits.
TEST(OpenedFile, ReadsAFileAndTurnsAwayWhatIsNone) {
  testing::TempDir dir;
  const std::string text(70000, 'x');
  std::ofstream(dir.path() / "drawing.dwg", std::ios::binary) << text << "end";
  OpenedFile file(dir.path() / "drawing.dwg");
  ASSERT_TRUE(file.kind() && file.isOpen());
  EXPECT_EQ(file.kind()->type, std::filesystem::file_type::regular);
  EXPECT_EQ(file.kind()->size, text.size() + 3);
  std::string read(text.size() + 10, '\0');
  EXPECT_EQ(file.read(read.data(), 65536), 65536u);
  EXPECT_EQ(file.read(read.data() + 65536, read.size() - 65536), text.size() + 3 - 65536);
  read.resize(text.size() + 3);
  EXPECT_EQ(read, text + "end");
  EXPECT_EQ(file.read(read.data(), 1), 0u);

  const OpenedFile folder(dir.path());
  ASSERT_TRUE(folder.kind());
  EXPECT_EQ(folder.kind()->type, std::filesystem::file_type::directory);
  EXPECT_FALSE(folder.isOpen());
  EXPECT_FALSE(OpenedFile(dir.path() / "gone.dwg").kind());
#if !defined(_WIN32)
  ASSERT_EQ(::mkfifo((dir.path() / "pipe.dwg").c_str(), 0600), 0);
  const OpenedFile pipe(dir.path() / "pipe.dwg");
  ASSERT_TRUE(pipe.kind());
  EXPECT_EQ(pipe.kind()->type, std::filesystem::file_type::fifo);
  EXPECT_FALSE(pipe.isOpen());
#endif
}

}  // namespace
}  // namespace veldra
