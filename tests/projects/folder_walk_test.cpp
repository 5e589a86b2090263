#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "projects/folder_plan.h"
#include "projects/folder_walk.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

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
