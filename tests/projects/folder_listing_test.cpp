#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "projects/folder_listing.h"
#include "projects/folder_plan.h"
#include "projects/folder_walk.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

TEST(FolderListing, DrawingsAndSubfoldersInCaseInsensitiveOrder) {
  testing::TempDir dir;
  dir.write("proj/b.dwg", "");
  dir.write("proj/A.DWG", "");
  dir.write("proj/notes.txt", "");
  dir.write("proj/y/c.dwg", "");
  dir.write("proj/X/d.dwg", "");
  const auto drawings = listDrawings(dir.path() / "proj");
  ASSERT_TRUE(drawings);
  EXPECT_EQ(*drawings, (std::vector<std::string>{"A.DWG", "b.dwg"}));
  const auto subs = listSubfolders(dir.path() / "proj");
  ASSERT_TRUE(subs);
  ASSERT_EQ(subs->size(), 2u);
  EXPECT_EQ((*subs)[0].filename(), "X");
  EXPECT_EQ((*subs)[1].filename(), "y");
  EXPECT_FALSE(listDrawings(dir.path() / "absent"));
}

// Names outside every single-byte code page come back as they were written,
// ordered with the case of accented letters ignored too, and a location
// file's UTF-8 text finds their folder.
TEST(FolderListing, NamesBeyondAsciiComeBackAsWrittenInCaseInsensitiveOrder) {
  testing::TempDir dir;
  for (const char* f : {"Ωμέγα 学生/Émile.dwg", "Ωμέγα 学生/ärger.DWG", "Ωμέγα 学生/zoë.dwg", "Ωμέγα 学生/Äpfel.dwg",
                        "Ωμέγα 学生/ΣΧΈΔΙΟ.dwg", "Ωμέγα 学生/Ölbild/a.dwg", "Ωμέγα 学生/élan/b.dwg",
                        "Ωμέγα 学生/Zeta/c.dwg"})
    dir.write(f, "");
  const auto folder = dir.path() / pathFromUtf8("Ωμέγα 学生");
  const auto drawings = listDrawings(folder);
  ASSERT_TRUE(drawings);
  EXPECT_EQ(*drawings, (std::vector<std::string>{"zoë.dwg", "Äpfel.dwg", "ärger.DWG", "Émile.dwg", "ΣΧΈΔΙΟ.dwg"}));
  const auto subs = listSubfolders(folder);
  ASSERT_TRUE(subs && subs->size() == 3u);
  EXPECT_EQ(utf8FromPath((*subs)[0].filename()), "Zeta");
  EXPECT_EQ(utf8FromPath((*subs)[1].filename()), "élan");
  EXPECT_EQ(utf8FromPath((*subs)[2].filename()), "Ölbild");
  EXPECT_EQ(countDrawingsOrStop({"+" + utf8FromPath(folder)}), 8);
  EXPECT_TRUE(lessIgnoringCase("émile", "ÉMILIE") && !lessIgnoringCase("ÉMILE", "émile"));
}

TEST(DrawingCount, PlusCountsOneLevelOfSubfoldersAndFailuresDiffer) {
  testing::TempDir dir;
  for (auto f : {"top/1.dwg", "top/2.dwg", "top/s1/a.dwg", "top/s1/b.dwg", "top/s1/c.dwg", "top/s2/a.dwg",
                 "top/s2/b.dwg", "top/s2/c.dwg", "top/s2/d.dwg", "top/s2/deep/x.dwg"}) {
    dir.write(f, "");
  }
  const std::string top = (dir.path() / "top").string();
  EXPECT_EQ(countDrawingsOrStop({"+" + top}), 9);
  EXPECT_EQ(countDrawingsOrStop({"-" + top}), 2);
  const std::string gone = (dir.path() / "gone").string();
  EXPECT_FALSE(countDrawingsOrStop({"-" + top, "-" + gone}));
}

// The folders of a pass in visiting order, each real folder once, with what
// stops the plan said in words.
TEST(FolderPlan, ListsEachRealFolderOnceAndSaysWhyItStops) {
  testing::TempDir dir;
  for (auto f : {"top/1.dwg", "top/s1/a.dwg", "top/s2/b.dwg", "other/c.dwg"}) dir.write(f, "");
  const std::string top = (dir.path() / "top").string();
  const std::string other = (dir.path() / "other").string();
  const char sep = static_cast<char>(std::filesystem::path::preferred_separator);

  FolderPlan plan = planFolders({"+" + top, "-" + top + sep + "s2", "-" + other});
  ASSERT_TRUE(plan.whole()) << plan.problem;
  EXPECT_EQ(plan.drawings, 4);
  ASSERT_EQ(plan.locations.size(), 3u);
  ASSERT_EQ(plan.locations[0].folders.size(), 3u);
  EXPECT_EQ(plan.locations[0].folders[0].shownAs, "");
  EXPECT_EQ(plan.locations[0].folders[1].shownAs, std::string(1, sep) + "s1" + sep);
  EXPECT_EQ(plan.locations[0].folders[2].drawings, std::vector<std::string>{"b.dwg"});
  EXPECT_TRUE(plan.locations[1].folders.empty());  // s2 was listed under top already
  EXPECT_EQ(plan.locations[2].folders[0].drawings, std::vector<std::string>{"c.dwg"});

  std::error_code ec;
  std::filesystem::create_directory_symlink(".", dir.path() / "top" / "self", ec);
  std::filesystem::create_directory_symlink(dir.path() / "other", dir.path() / "top" / "elsewhere", ec);
  if (!ec) {
    plan = planFolders({"+" + top, "-" + other});
    EXPECT_EQ(plan.drawings, 4);  // elsewhere is other, reached first there; self is top
    EXPECT_EQ(countDrawingsOrStop({"+" + top, "-" + other}), 4);
  }

  const std::string gone = (dir.path() / "gone").string();
  plan = planFolders({"-" + top, "+" + gone});
  EXPECT_FALSE(plan.whole());
  EXPECT_EQ(plan.problem, "The folder " + gone + " cannot be listed: it does not exist.");
  const auto file = dir.write("top/notes.txt", "");
  EXPECT_EQ(planFolders({"-" + file.string()}).problem, "The folder " + file.string() + " cannot be listed: it is not a folder.");
}

// A pass visits drawings and sub-folders with case ignored, as the lists
// show them.
TEST(FolderPlan, VisitsInOrderWithCaseIgnored) {
  testing::TempDir dir;
  for (auto f : {"top/b.dwg", "top/A.DWG", "top/C.dwg", "top/Sb/x.dwg", "top/sA/y.dwg", "top/sC/z.dwg"}) dir.write(f, "");
  const FolderPlan plan = planFolders({"+" + (dir.path() / "top").string()});
  ASSERT_TRUE(plan.whole() && plan.locations.size() == 1u && plan.locations[0].folders.size() == 4u) << plan.problem;
  const auto& folders = plan.locations[0].folders;
  EXPECT_EQ(folders[0].drawings, (std::vector<std::string>{"A.DWG", "b.dwg", "C.dwg"}));
  EXPECT_EQ(folders[1].drawings, std::vector<std::string>{"y.dwg"});
  EXPECT_EQ(folders[2].drawings, std::vector<std::string>{"x.dwg"});
  EXPECT_EQ(folders[3].drawings, std::vector<std::string>{"z.dwg"});
}

TEST(DrawingCount, JoinDoesNotDoubleTheSeparatorAtARoot) {
  const char sep = static_cast<char>(std::filesystem::path::preferred_separator);
  EXPECT_EQ(joinFolderAndName(std::string(1, sep), "a.dwg"), std::string(1, sep) + "a.dwg");
  EXPECT_EQ(joinFolderAndName("/w", "a.dwg"), std::string("/w") + sep + "a.dwg");
}

#ifdef _WIN32
// Locations as the folder browser writes them on Windows: a drive letter and
// backslashes, a drive's root ending in one; either separator, any case.
TEST(WindowsLocations, DriveLettersAndBackslashes) {
  EXPECT_EQ(joinFolderAndName("C:\\", "a.dwg"), "C:\\a.dwg");
  EXPECT_EQ(joinFolderAndName("C:\\work\\proj", "a.dwg"), "C:\\work\\proj\\a.dwg");
  EXPECT_EQ(parseLocation("+C:\\work\\proj").path().native(), L"C:\\work\\proj");

  testing::TempDir dir;
  dir.write("Proj/A.dwg", "");
  dir.write("Proj/sub/b.dwg", "");
  std::string native = utf8FromPath(dir.path() / "Proj");
  ASSERT_EQ(native[1], ':');
  EXPECT_EQ(countDrawingsOrStop({"+" + native}), 2);
  std::string slashed = native;
  for (char& c : slashed) c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(countDrawingsOrStop({"+" + slashed}), 2);
  EXPECT_TRUE(countDrawingsOrStop({"-" + native.substr(0, 3)}));  // "C:\\", the drive's root

  // The same folder named twice, in other letters and separators, is
  // visited once; a sub-folder is shown with backslashes, in any script.
  dir.write("Proj/Σχέδιο 学生/c.dwg", "");
  const FolderPlan plan = planFolders({"+" + native, "-" + slashed});
  ASSERT_TRUE(plan.whole()) << plan.problem;
  EXPECT_EQ(plan.drawings, 3);
  ASSERT_EQ(plan.locations.size(), 2u);
  ASSERT_EQ(plan.locations[0].folders.size(), 3u);
  EXPECT_EQ(plan.locations[0].folders[1].shownAs, "\\sub\\");
  EXPECT_EQ(plan.locations[0].folders[2].shownAs, "\\Σχέδιο 学生\\");
  EXPECT_EQ(plan.locations[0].folders[2].drawings, std::vector<std::string>{"c.dwg"});
  EXPECT_TRUE(plan.locations[1].folders.empty());
}
#endif

WalkRules collectionRules() {
  WalkRules rules;
  rules.isDrawing = isDwgName;
  rules.stopAtUnlisted = true;
  return rules;
}

WalkRules evidenceRules() {
  WalkRules rules;
  rules.isDrawing = isDwgName;
  rules.listRepeats = true;
  return rules;
}

std::vector<std::string> names(const WalkedFolder& folder) {
  std::vector<std::string> out;
  for (const auto& d : folder.drawings) out.push_back(utf8FromPath(d.name));
  return out;
}

// A folder reached twice (two locations naming it, one through a link, a
// link to "." inside a location) is one folder: the collection lists it
// once, the evidence check sees it again marked as a repeat. A drawing that
// is itself a link is marked, for the caller to resolve.
TEST(FolderWalk, OneRealFolderReachedTwiceIsARepeat) {
  testing::TempDir dir;
  dir.write("class/a.dwg", "a");
  dir.write("class/s/b.dwg", "b");
  std::error_code ec;
  std::filesystem::create_directory_symlink(dir.path() / "class", dir.path() / "alias", ec);
  std::filesystem::create_directory_symlink(".", dir.path() / "class" / "self", ec);
  std::filesystem::create_symlink(dir.path() / "class" / "a.dwg", dir.path() / "class" / "s" / "link.dwg", ec);
  if (ec) GTEST_SKIP() << "no links here: " << ec.message();
  const std::vector<std::string> entries = {"+" + utf8FromPath(dir.path() / "class"),
                                            "-" + utf8FromPath(dir.path() / "alias")};

  const FolderWalk once = walkFolders(entries, collectionRules());
  ASSERT_EQ(once.locations.size(), 2u);
  ASSERT_EQ(once.locations[0].folders.size(), 2u);  // class and s; self is class
  EXPECT_TRUE(once.locations[1].folders.empty());
  EXPECT_EQ(once.drawings, 3);
  EXPECT_EQ(names(once.locations[0].folders[1]), (std::vector<std::string>{"b.dwg", "link.dwg"}));
  EXPECT_FALSE(once.locations[0].folders[1].drawings[0].link);
  EXPECT_TRUE(once.locations[0].folders[1].drawings[1].link);

  const FolderWalk again = walkFolders(entries, evidenceRules());
  ASSERT_EQ(again.locations[0].folders.size(), 3u);
  EXPECT_TRUE(again.locations[0].folders[2].repeat);  // self
  ASSERT_EQ(again.locations[1].folders.size(), 1u);
  EXPECT_TRUE(again.locations[1].folders[0].repeat);
  EXPECT_EQ(again.drawings, 3);
  EXPECT_EQ(realFolderKey(dir.path() / "alias"), realFolderKey(dir.path() / "class" / "self"));
  // Each folder's key is that of the real folder it leads to, a link's too.
  for (const auto& location : again.locations)
    for (const auto& folder : location.folders) EXPECT_EQ(folder.key, realFolderKey(folder.folder)) << folder.folder;
}

// The collection stops at a folder it cannot list; the evidence check
// notes it and goes on with the next location.
TEST(FolderWalk, AFolderThatCannotBeListedStopsOnlyTheCollection) {
  testing::TempDir dir;
  dir.write("one/a.dwg", "");
  dir.write("two/b.dwg", "");
  const std::vector<std::string> entries = {"-" + utf8FromPath(dir.path() / "one"),
                                            "+" + utf8FromPath(dir.path() / "gone"),
                                            "-" + utf8FromPath(dir.path() / "two")};
  const FolderWalk stopped = walkFolders(entries, collectionRules());
  EXPECT_EQ(stopped.locations.size(), 2u);
  EXPECT_EQ(stopped.unlisted, std::vector<std::filesystem::path>{dir.path() / "gone"});
  const FolderWalk noted = walkFolders(entries, evidenceRules());
  EXPECT_EQ(noted.locations.size(), 3u);
  EXPECT_EQ(noted.drawings, 2);
  EXPECT_EQ(noted.unlisted, std::vector<std::filesystem::path>{dir.path() / "gone"});
}

}  // namespace
}  // namespace veldra
