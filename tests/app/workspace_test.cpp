#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>

#include "app/textfile.h"
#include "app/workspace.h"
#include "platform/platform.h"
#include "support/filling_disk.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

TEST(WorkspacePaths, JoinBaseFolderAndPartsWithTheNativeSeparator) {
  const std::string sep(1, static_cast<char>(std::filesystem::path::preferred_separator));
  Workspace ws("/srv/veldra");
  EXPECT_EQ(ws.projectsFile().string(), "/srv/veldra" + sep + "projects" + sep + "projects.fil");
  EXPECT_EQ(ws.handleReport("BRIDGE A").string(),
            "/srv/veldra" + sep + "handle conflicts" + sep + "BRIDGE A.hnd");
  EXPECT_EQ(ws.ageReport("P").filename().string(), "P.dat");
  // An empty base folder starts every path at the root.
  EXPECT_EQ(Workspace("").settingsFile("default.fil").string(), sep + "default.fil");
}

// Project names are UTF-8 text whatever the system's code page; the base
// folder is a path used as given.
TEST(WorkspacePaths, NamesBeyondAsciiAndWindowsForms) {
  const std::string sep(1, static_cast<char>(std::filesystem::path::preferred_separator));
  const Workspace ws(pathFromUtf8("/srv/Überprüfung 学生"));
  EXPECT_EQ(utf8FromPath(ws.ageReport("ΤΕΧΝΙΚΟ Ä")),
            "/srv/Überprüfung 学生" + sep + "date conflicts" + sep + "ΤΕΧΝΙΚΟ Ä.dat");
  EXPECT_EQ(ws.recordFile("ΤΕΧΝΙΚΟ").filename(), pathFromUtf8("ΤΕΧΝΙΚΟ.cmp"));
#ifdef _WIN32
  EXPECT_EQ(Workspace(L"C:\\VELDRA").projectsFile().native(), L"C:\\VELDRA\\projects\\projects.fil");
  EXPECT_EQ(Workspace(L"C:\\VELDRA").recordFile("\u03a3").native(), L"C:\\VELDRA\\compares\\\u03a3.cmp");
  // An empty base folder starts at the root of the current drive.
  EXPECT_EQ(Workspace().settingsFile("default.fil").native(), L"\\default.fil");
#endif
}

TEST(TextFiles, QuotedItemsKeepCommasAndLinesSplitOnAnyLineEnd) {
  EXPECT_EQ(quotedLine("A,B"), "\"A,B\"\r\n");
  EXPECT_EQ(splitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(splitLines("\"x\"\r\n\r\n"), (std::vector<std::string>{"\"x\"", ""}));
  EXPECT_EQ(splitItems("\"ALICE_ PART 1,2453585.5,2F$,END\"\r\n\"B\"\r\n"),
            (std::vector<std::string>{"ALICE_ PART 1,2453585.5,2F$,END", "B"}));
  EXPECT_EQ(splitItems("plain, two\r\n"), (std::vector<std::string>{"plain", "two"}));
}

TEST(TextFiles, ReplaceKeepsTheOldFileWhenTheWriteFails) {
  testing::TempDir dir;
  const auto file = dir.write("a.fil", "old\r\n");
  ASSERT_TRUE(replaceFile(file, "new\r\n"));
  EXPECT_EQ(testing::slurp(file), "new\r\n");
  const Status failed = replaceFile(dir.path() / "missing" / "b.fil", "x");
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.kind(), Failure::Kind::kCannotWrite);
  EXPECT_FALSE(failed.message().empty());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  // A folder in the file's place is not replaced: the rename fails, the
  // folder stays with what it holds and no temporary file is left.
  const auto folder = dir.path() / "c.fil";
  std::filesystem::create_directories(folder / "inside");
  FileReplacement overFolder(folder);
  overFolder.stream() << "x";
  const Status refused = overFolder.commit();
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.kind(), Failure::Kind::kCannotWrite);
  EXPECT_EQ(refused.message().rfind("cannot replace " + utf8FromPath(folder) + ": ", 0), 0u) << refused.message();
  EXPECT_TRUE(std::filesystem::is_directory(folder / "inside"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

// A disk that fills up while a file is replaced: the old file stays whole,
// no temporary file is left, and the failure names the file and the reason.
TEST(TextFiles, AFullDiskLeavesTheOldFileWholeAndSaysWhy) {
  testing::TempDir dir;
  const auto file = dir.write("P.tim", "old\r\n");
  testing::FillingDisk disk(10);
  const Status full = replaceFile(file, std::string(11, 'x'), disk);
  ASSERT_FALSE(full);
  EXPECT_EQ(full.message(), "cannot write " + file.string() + ": " + std::generic_category().message(ENOSPC));
  EXPECT_EQ(testing::slurp(file), "old\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  // Written in pieces: good() turns false at the first piece that does not fit.
  disk.room = 8;
  FileReplacement replacement(file, disk);
  replacement.stream() << "1234";
  EXPECT_TRUE(replacement.good());
  replacement.stream() << "56789";
  EXPECT_FALSE(replacement.good());
  EXPECT_EQ(replacement.reason(), std::generic_category().message(ENOSPC));
  const Status unwritten = replacement.commit();
  ASSERT_FALSE(unwritten);
  EXPECT_EQ(unwritten.kind(), Failure::Kind::kCannotWrite);
  EXPECT_EQ(unwritten.message(), full.message());
  EXPECT_EQ(testing::slurp(file), "old\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  // Dropped without commit, or committed whole.
  { FileReplacement dropped(file); dropped.stream() << "never"; }
  EXPECT_EQ(testing::slurp(file), "old\r\n");
  FileReplacement whole(file);
  whole.stream() << "new\r\n";
  const Status written = whole.commit();
  EXPECT_TRUE(written) << written.message();
  EXPECT_EQ(testing::slurp(file), "new\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// A program stopped while it wrote leaves its temporary file behind; the
// next replacement of the same file removes it once it is an hour old, and
// leaves a fresh one (a write that may still be going on) and other files.
TEST(TextFiles, AReplacementRemovesTemporariesAbandonedBeforeIt) {
  testing::TempDir dir;
  const auto file = dir.write("P.cmp", "old\r\n");
  const auto abandoned = dir.write("P.cmp.tmp~123-0", "half");
  const auto fresh = dir.write("P.cmp.tmp~456-1", "going on");
  const auto other = dir.write("Q.cmp.tmp~789-0", "another file's");
  for (const auto& old : {abandoned, other})
    std::filesystem::last_write_time(old, std::filesystem::file_time_type::clock::now() - std::chrono::hours(2));
  const Status replaced = replaceFile(file, "new\r\n");
  ASSERT_TRUE(replaced) << replaced.message();
  EXPECT_EQ(testing::slurp(file), "new\r\n");
  EXPECT_FALSE(std::filesystem::exists(abandoned));
  EXPECT_TRUE(std::filesystem::exists(fresh));
  EXPECT_TRUE(std::filesystem::exists(other));
}

}  // namespace
}  // namespace veldra
