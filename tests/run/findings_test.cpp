#include <gtest/gtest.h>

#include "app/textfile.h"
#include "run/collected_type.h"
#include "run/driver.h"
#include "run/run_fakes.h"
#include "support/recorders.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

using testing::RunFixture;
using testing::slurp;
using testing::TempDir;

class FindingsTest : public ::testing::Test {
 protected:
  FindingsTest() : base(dir.makeWorkspace()), run(base) {}

  void records(std::initializer_list<std::string> texts) {
    std::string content;
    for (const auto& t : texts) content += quotedLine(t);
    EXPECT_TRUE(replaceFile(run.workspace.recordFile("P"), content));
  }
  ComparisonResult drive(int totfiles) {
    auto context = run.context();
    run.state.totfiles = totfiles;
    context.resetDisplay(false);
    return runComparison(context);
  }

  TempDir dir;
  std::filesystem::path base;
  RunFixture run;
};

// An all-clear about a type no drawing holds says nothing: the result tells.
TEST_F(FindingsTest, ATypeNoReadDrawingHoldsIsTold) {
  run.options.entity = "BANANA";
  records({"ANNA,2453006.5,,END", "BEN,2453007.5,,END", "FAKE,,,END"});
  ComparisonResult result = drive(3);
  EXPECT_TRUE(result.entityTypeAbsent);
  EXPECT_EQ(result.entity, "BANANA");
  EXPECT_EQ(slurp(run.workspace.handleReport("P")), "\"No entity [BANANA] conflicts >= 100% match!\"\r\n");

  records({"ANNA,2453006.5,,END", "BEN,2453007.5,1F$,END"});
  EXPECT_FALSE(drive(2).entityTypeAbsent);
  // Nothing was read: the problem list speaks, not this warning.
  records({"FAKE,,,END", "EMPTY,,,END"});
  EXPECT_FALSE(drive(2).entityTypeAbsent);
  // With the handle check off the type plays no part.
  records({"ANNA,2453006.5,,END"});
  handleCheck().setSwitchedOn(run.options, false);
  EXPECT_FALSE(drive(1).entityTypeAbsent);
}

TEST_F(FindingsTest, RecompareLabelsHandlesWithTheTypeTheyWereCollectedWith) {
  testing::RecordingMessages messages;
  run.options.entity = "CIRCLE";
  run.options.locations = {"-" + (base / "class").string()};
  dir.write("ws/class/a.dwg", "");
  dir.write("ws/class/b.dwg", "");
  records({"A,2453006.5,1A$1B$,END", "B,2453007.5,1A$1B$,END"});
  auto context = run.context();

  // No type remembered: as before, the chosen type labels the report.
  RecompareReport report;
  ASSERT_EQ(recompare(context, messages, &report), RecompareOutcome::Ran);
  EXPECT_EQ(report.collectedWith, std::nullopt);
  EXPECT_FALSE(report.typeDiffers("CIRCLE"));
  EXPECT_EQ(slurp(run.workspace.handleReport("P")), "\"** A vs. B has a 100% CIRCLE handle match [2 total].\"\r\n");

  ASSERT_TRUE(rememberCollectedType(run.workspace, "P", "LINE"));
  EXPECT_EQ(slurp(run.workspace.collectedTypeFile("P")), "\"LINE\"\r\n");
  ASSERT_EQ(recompare(context, messages, &report), RecompareOutcome::Ran);
  EXPECT_EQ(report.collectedWith, "LINE");
  EXPECT_TRUE(report.typeDiffers("CIRCLE"));
  EXPECT_EQ(report.comparison.entity, "LINE");
  EXPECT_EQ(slurp(run.workspace.handleReport("P")), "\"** A vs. B has a 100% LINE handle match [2 total].\"\r\n");
  EXPECT_EQ(collectedTypeNotice("LINE", "CIRCLE"), "Collected with LINE: collect again to compare CIRCLE.");
  EXPECT_TRUE(messages.shown.empty());  // the caller tells the user

  // A file that is not one quoted line remembers nothing.
  for (const char* bad : {"LINE\r\n", "\"LINE\"\r\n\"ARC\"\r\n", "", "\""}) {
    EXPECT_TRUE(replaceFile(run.workspace.collectedTypeFile("P"), bad));
    EXPECT_EQ(readCollectedType(run.workspace, "P"), std::nullopt) << bad;
  }
}

}  // namespace
}  // namespace veldra
