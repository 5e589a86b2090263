#include "app/workspace_setup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "platform/platform.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

namespace fs = std::filesystem;
using testing::slurp;
using testing::TempDir;

const char* const kFolders[] = {"projects", "compares", "time conflicts", "handle conflicts", "date conflicts",
                                "resources"};

// Shipped resources of random names and sizes (empty ones among them), the
// help start document and a sub-folder that is no resource.
std::map<std::string, std::string> shipResources(const TempDir& dir, unsigned seed) {
  std::mt19937 random(seed);
  std::map<std::string, std::string> files;
  const int count = 1 + static_cast<int>(random() % 6);
  for (int i = 0; i < count; ++i) {
    std::string content(random() % 3 == 0 ? 0 : random() % 200000, '\0');
    for (char& c : content) c = static_cast<char>(random());
    files["res" + std::to_string(random() % 1000) + (i % 2 ? ".jpg" : ".rtf")] = content;
  }
  files["quorvix.rtf"] = "{\\rtf1 help " + std::to_string(seed) + "}";
  for (const auto& [name, content] : files) dir.write("shipped/" + name, content);
  dir.write("shipped/man/veldra.1", ".TH VELDRA 1");
  return files;
}

TEST(WorkspaceSetup, LaysDownTheFoldersCopiesTheResourcesAndKeepsWhatIsThere) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    TempDir dir;
    const auto files = shipResources(dir, seed);
    // A name in another script, one level deeper than the folder chosen.
    const fs::path base = dir.path() / pathFromUtf8("Εργασίες") / "ws";
    const WorkspaceSetup first = layDownWorkspace(base, dir.path() / "shipped");
    ASSERT_TRUE(first.ok()) << (first.problems.empty() ? "" : first.problems.front());
    for (const char* folder : kFolders) EXPECT_TRUE(fs::is_directory(base / folder)) << folder;
    for (const auto& [name, content] : files) EXPECT_EQ(slurp(base / "resources" / name), content) << name;
    EXPECT_EQ(slurp(base / "quorvix.rtf"), files.at("quorvix.rtf"));
    EXPECT_FALSE(fs::exists(base / "resources" / "man"));

    // Again over a workspace in use: its projects stay, a changed resource
    // is shipped afresh, and no temporary file is left behind.
    dir.write(utf8FromPath(fs::relative(base, dir.path())) + "/projects/projects.fil", "\"HOUSE\"\r\n");
    dir.write(utf8FromPath(fs::relative(base, dir.path())) + "/resources/" + files.begin()->first, "edited");
    const WorkspaceSetup again = layDownWorkspace(base, dir.path() / "shipped");
    EXPECT_TRUE(again.ok());
    EXPECT_EQ(slurp(base / "projects" / "projects.fil"), "\"HOUSE\"\r\n");
    EXPECT_EQ(slurp(base / "resources" / files.begin()->first), files.begin()->second);
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(base / "resources")) ++entries;
    EXPECT_EQ(entries, files.size());
  }
}

TEST(WorkspaceSetup, SaysWhatStoodInTheWayAndWhatIsMissing) {
  TempDir dir;
  dir.write("file", "x");
  const WorkspaceSetup blocked = layDownWorkspace(dir.path() / "file", dir.path());
  EXPECT_FALSE(blocked.folders);
  ASSERT_EQ(blocked.problems.size(), 1u);
  EXPECT_EQ(blocked.problems[0].rfind("cannot create " + utf8FromPath(dir.path() / "file"), 0), 0u)
      << blocked.problems[0];

  // A file where a sub-folder belongs: nothing after it is made.
  dir.write("ws/compares", "not a folder");
  const WorkspaceSetup halfway = layDownWorkspace(dir.path() / "ws", dir.path());
  EXPECT_FALSE(halfway.folders);
  ASSERT_EQ(halfway.problems.size(), 1u);
  EXPECT_NE(halfway.problems[0].find("compares"), std::string::npos);
  EXPECT_EQ(slurp(dir.path() / "ws" / "compares"), "not a folder");

  // Without resources the folders are there and the lack is told.
  for (const fs::path& resources : {fs::path(), dir.path() / "absent"}) {
    const WorkspaceSetup bare = layDownWorkspace(dir.path() / "bare", resources);
    EXPECT_TRUE(bare.folders);
    EXPECT_FALSE(bare.ok());
    EXPECT_EQ(bare.problems, std::vector<std::string>{"no resources found; the workspace has none"});
  }
}

TEST(WorkspaceSetup, ChosenFolderIsUsedOnlyWhenEmptyMissingOrAWorkspace) {
  TempDir dir;
  EXPECT_EQ(workspaceFolderFor(dir.path() / "new"), dir.path() / "new");
  fs::create_directories(dir.path() / "empty");
  EXPECT_EQ(workspaceFolderFor(dir.path() / "empty"), dir.path() / "empty");
  fs::create_directories(dir.path() / "old" / "projects");
  EXPECT_EQ(workspaceFolderFor(dir.path() / "old"), dir.path() / "old");
  dir.write("home/notes.txt", "mine");
  EXPECT_EQ(workspaceFolderFor(dir.path() / "home"), dir.path() / "home" / "VELDRA");
}

TEST(WorkspaceSetup, ShippedResourcesPreferTheInstalledOnes) {
  TempDir dir;
  fs::create_directories(dir.path() / "usr" / "bin");
  fs::create_directories(dir.path() / "source" / "resources");
  const fs::path source = dir.path() / "source" / "resources";
  EXPECT_EQ(shippedResources(dir.path() / "usr" / "bin", source), source);
  fs::create_directories(dir.path() / "usr" / "share" / "veldra" / "resources");
  EXPECT_EQ(shippedResources(dir.path() / "usr" / "bin", source),
            dir.path() / "usr" / "share" / "veldra" / "resources");
  EXPECT_EQ(shippedResources(dir.path() / "elsewhere", dir.path() / "nothing"), fs::path());
}

}  // namespace
}  // namespace veldra
