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
  template <typename T>
  static const T& findingsOf(const ComparisonResult& result, std::string_view check) {
    for (const auto& ran : result.checks)
      if (ran.check->name() == check) return dynamic_cast<const T&>(*ran.findings);
    throw std::logic_error("no such check");
  }

  TempDir dir;
  std::filesystem::path base;
  RunFixture run;
};

// The driver hands every check's findings on in the order the checks ran,
// with the evidence behind each line of the classic reports.
TEST_F(FindingsTest, EachCheckGivesItsEvidenceAsData) {
  run.options.ageCheck = true;
  run.options.age = "1 year";
  run.options.percent = "70";
  run.options.entity = "LINE";
  records({"ANNA,2453006.5,A$B$C$D$,END", "BEN,2453006.5,A$B$C$,END", "CARL,2453800.25,X$,END"});
  const ComparisonResult result = drive(3);
  ASSERT_EQ(result.outcome, DriverOutcome::Complete);
  ASSERT_EQ(result.checks.size(), 3u);
  EXPECT_EQ(result.checks[0].check->name(), "time");
  EXPECT_EQ(result.checks[1].check->name(), "handles");
  EXPECT_EQ(result.checks[2].check->name(), "age");
  ASSERT_TRUE(result.table);
  EXPECT_EQ(result.table->names[2], "CARL");

  const auto& times = findingsOf<TimeFindings>(result, "time");
  ASSERT_EQ(times.pairs.size(), 1u);
  EXPECT_EQ(times.pairs[0].first, 0u);
  EXPECT_EQ(times.pairs[0].second, 1u);
  EXPECT_DOUBLE_EQ(times.pairs[0].created, 2453006.5);

  const auto& handles = findingsOf<HandleFindings>(result, "handles");
  EXPECT_EQ(handles.entity, "LINE");
  ASSERT_EQ(handles.pairs.size(), 1u);
  const HandleMatch& match = handles.pairs[0];
  EXPECT_EQ(match.matched, 3);
  EXPECT_EQ(match.firstCount, 4);
  EXPECT_EQ(match.secondCount, 3);
  EXPECT_FALSE(match.full());
  EXPECT_DOUBLE_EQ(match.percentage(), 75.0);

  const auto& ages = findingsOf<AgeFindings>(result, "age");
  ASSERT_EQ(ages.drawings.size(), 2u);  // today is March 2006: January 2004 is 2 years 2 months ago
  EXPECT_EQ(ages.drawings[1].drawing, 1u);
  EXPECT_EQ(ages.drawings[1].years, 2);
  EXPECT_EQ(ages.drawings[1].months, 2);

  // The counters shown are the findings counted, through the run's state.
  EXPECT_EQ(run.state.conflictCount(timeCheck()), 1);
  EXPECT_EQ(run.state.conflictCount(handleCheck()), 1);
  EXPECT_EQ(run.state.conflictCount(ageCheck()), 2);
  EXPECT_EQ(run.view.ageConflicts, "0002");
  EXPECT_TRUE(run.state.conflictsFound());

  // A switched-off check is listed without findings.
  run.options.timeCheck = false;
  EXPECT_EQ(drive(3).checks[0].findings, nullptr);
}

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
  run.options.handleCheck = false;
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
