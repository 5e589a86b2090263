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

// Classes laid out at random by seed: folders per student with names in
// mixed case, drawings among other files, a sub-folder of a sub-folder that
// is not visited, locations given in random order. The walk must find what
// a plain listing of each folder finds, in the order of the folder lists,
// and the collection's plan must see the same folders and drawings.
TEST(FolderWalk, FindsWhatAPlainListingFindsInListOrder) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    testing::TempDir dir;
    const std::vector<std::string> stems = {"Anna", "ben", "CARLA", "dora", "Émile", "zoë", "b2", "_x"};
    const std::vector<std::string> extensions = {".dwg", ".DWG", ".Dwg", ".dxf", ".dwg.bak", ".txt"};
    std::vector<std::string> entries;
    const int locations = 1 + pick(3);
    for (int l = 0; l < locations; ++l) {
      const std::string location = "loc" + std::to_string(l);
      const int subfolders = pick(4);
      for (int s = -1; s < subfolders; ++s) {
        const std::string folder = s < 0 ? location : location + "/" + stems[static_cast<std::size_t>(pick(8))] + std::to_string(s);
        for (int f = pick(6); f > 0; --f)
          dir.write(folder + "/" + stems[static_cast<std::size_t>(pick(8))] + std::to_string(pick(50)) +
                        extensions[static_cast<std::size_t>(pick(6))],
                    std::string(static_cast<std::size_t>(pick(64)), 'x'));
        if (pick(3) == 0) dir.write(folder + "/deeper/hidden.dwg", "");
      }
      std::filesystem::create_directories(dir.path() / location);
      entries.push_back((pick(2) ? "+" : "-") + utf8FromPath(dir.path() / location));
    }
    std::shuffle(entries.begin(), entries.end(), random);

    const FolderWalk walk = walkFolders(entries, evidenceRules());
    const FolderPlan plan = planFolders(entries);
    ASSERT_TRUE(plan.whole()) << plan.problem;
    ASSERT_TRUE(walk.unlisted.empty());
    ASSERT_EQ(walk.locations.size(), entries.size());
    EXPECT_EQ(walk.drawings, plan.drawings);
    for (std::size_t l = 0; l < entries.size(); ++l) {
      const auto& walked = walk.locations[l];
      const auto& planned = plan.locations[l];
      ASSERT_EQ(walked.folders.size(), planned.folders.size());
      std::vector<std::filesystem::path> expectedFolders = {walked.location.path()};
      if (walked.location.withSubfolders()) {
        std::vector<std::filesystem::path> subs;
        for (const auto& e : std::filesystem::directory_iterator(walked.location.path()))
          if (e.is_directory()) subs.push_back(e.path());
        std::sort(subs.begin(), subs.end(), [](const auto& a, const auto& b) {
          return lessIgnoringCase(utf8FromPath(a.filename()), utf8FromPath(b.filename()));
        });
        expectedFolders.insert(expectedFolders.end(), subs.begin(), subs.end());
      }
      ASSERT_EQ(walked.folders.size(), expectedFolders.size());
      for (std::size_t f = 0; f < expectedFolders.size(); ++f) {
        EXPECT_EQ(walked.folders[f].folder, expectedFolders[f]);
        EXPECT_EQ(walked.folders[f].key, realFolderKey(expectedFolders[f]));
        EXPECT_FALSE(walked.folders[f].repeat);
        std::vector<std::string> expected;
        for (const auto& e : std::filesystem::directory_iterator(expectedFolders[f])) {
          const std::string name = utf8FromPath(e.path().filename());
          std::string lower = name;
          for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
          if (e.is_regular_file() && lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".dwg") == 0)
            expected.push_back(name);
        }
        std::sort(expected.begin(), expected.end(), lessIgnoringCase);
        EXPECT_EQ(names(walked.folders[f]), expected);
        EXPECT_EQ(planned.folders[f].drawings, expected);
      }
    }
  }
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
