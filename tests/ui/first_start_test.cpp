#include "ui/first_start.h"

#include <gtest/gtest.h>

#include <deque>

#include "platform/platform.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// Answers the first start's questions from a script and keeps what it was told.
class ScriptedPrompts : public FirstStartPrompts {
 public:
  Answer offer() override {
    ++offers;
    return answer;
  }
  std::optional<fs::path> chooseFolder(const fs::path& suggested) override {
    openedAt.push_back(suggested);
    if (folders.empty()) return std::nullopt;
    auto next = folders.front();
    folders.pop_front();
    return next;
  }
  void tell(const std::string& text, bool problem) override { told.push_back({text, problem}); }

  Answer answer{true, true};
  std::deque<std::optional<fs::path>> folders;
  int offers = 0;
  std::vector<fs::path> openedAt;
  std::vector<std::pair<std::string, bool>> told;
};

class FirstStart : public ::testing::Test {
 protected:
  FirstStart() {
    dir.write("shipped/veldralogo.jpg", "logo");
    dir.write("shipped/quorvix.rtf", "{\\rtf1 help}");
    steps.suggested = dir.path() / "home";
    steps.resources = dir.path() / "shipped";
    steps.record = [this](const fs::path& base) {
      recorded.push_back(base);
      return recordWorks;
    };
    steps.addSample = [this](const Workspace& workspace) {
      sampled.push_back(workspace.installLoc());
      return sampleError;
    };
  }
  TempDir dir;
  FirstStartSteps steps;
  ScriptedPrompts prompts;
  std::vector<fs::path> recorded, sampled;
  bool recordWorks = true;
  std::string sampleError;
};

TEST_F(FirstStart, DecliningOrCancellingCreatesAndRecordsNothing) {
  prompts.answer = {false, true};
  EXPECT_EQ(runFirstStart(prompts, steps), std::nullopt);
  EXPECT_TRUE(prompts.openedAt.empty());

  prompts.answer = {true, true};
  prompts.folders = {std::nullopt};
  EXPECT_EQ(runFirstStart(prompts, steps), std::nullopt);
  EXPECT_EQ(prompts.openedAt, std::vector<fs::path>{dir.path() / "home"});
  EXPECT_TRUE(recorded.empty());
  EXPECT_TRUE(sampled.empty());
  EXPECT_TRUE(prompts.told.empty());
  EXPECT_FALSE(fs::exists(dir.path() / "home"));
}

TEST_F(FirstStart, LaysDownRecordsAndAddsTheSampleInANewFolderBesideTheUsersFiles) {
  dir.write("home/letter.txt", "mine");
  prompts.folders = {dir.path() / "home"};
  const auto base = runFirstStart(prompts, steps);
  const fs::path expected = dir.path() / "home" / "VELDRA";
  ASSERT_EQ(base, expected);
  EXPECT_TRUE(fs::is_directory(expected / "date conflicts"));
  EXPECT_EQ(testing::slurp(expected / "resources" / "veldralogo.jpg"), "logo");
  EXPECT_EQ(recorded, std::vector<fs::path>{expected});
  EXPECT_EQ(sampled, std::vector<fs::path>{expected});
  EXPECT_TRUE(prompts.told.empty());
  EXPECT_EQ(testing::slurp(dir.path() / "home" / "letter.txt"), "mine");

  // Without the sample chosen the class is not added.
  prompts.answer = {true, false};
  prompts.folders = {dir.path() / "other"};
  EXPECT_EQ(runFirstStart(prompts, steps), dir.path() / "other");
  EXPECT_EQ(sampled.size(), 1u);
}

TEST_F(FirstStart, AFolderThatCannotBeMadeIsToldAndTheChooserOpensAgain) {
  dir.write("taken", "a file");
  prompts.folders = {dir.path() / "taken", dir.path() / pathFromUtf8("ωμέγα")};
  EXPECT_EQ(runFirstStart(prompts, steps), dir.path() / pathFromUtf8("ωμέγα"));
  ASSERT_EQ(prompts.told.size(), 1u);
  EXPECT_TRUE(prompts.told[0].second);
  EXPECT_NE(prompts.told[0].first.find(utf8FromPath(dir.path() / "taken" / "VELDRA")), std::string::npos)
      << prompts.told[0].first;
  EXPECT_EQ(prompts.openedAt, (std::vector<fs::path>{dir.path() / "home", dir.path() / "taken"}));
  EXPECT_EQ(recorded, std::vector<fs::path>{dir.path() / pathFromUtf8("ωμέγα")});
  EXPECT_EQ(testing::slurp(dir.path() / "taken"), "a file");
}

TEST_F(FirstStart, AWorkspaceThatCannotBeRecordedOrFilledStillOpensAndSaysWhy) {
  recordWorks = false;
  sampleError = "cannot write sample class/week1/a.dwg: disk full";
  steps.resources = dir.path() / "absent";
  prompts.folders = {dir.path() / "ws"};
  EXPECT_EQ(runFirstStart(prompts, steps), dir.path() / "ws");
  ASSERT_EQ(prompts.told.size(), 1u);
  const std::string& text = prompts.told[0].first;
  EXPECT_TRUE(prompts.told[0].second);
  for (const std::string& part : {std::string("no resources found"), std::string("this time only"),
                                 "--workspace " + utf8FromPath(dir.path() / "ws"), sampleError})
    EXPECT_NE(text.find(part), std::string::npos) << part << " in " << text;
}

}  // namespace
}  // namespace veldra
