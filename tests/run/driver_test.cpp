#include <gtest/gtest.h>

#include <cerrno>
#include <random>

#include "app/textfile.h"
#include "run/collected_type.h"
#include "run/driver.h"
#include "run/run_fakes.h"
#include "support/filling_disk.h"
#include "support/recorders.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

using testing::kPurple;
using testing::kRed;
using testing::RunFixture;
using testing::slurp;
using testing::TempDir;

std::string lines(std::initializer_list<std::string> texts) {
  std::string out;
  for (const auto& t : texts) out += quotedLine(t);
  return out;
}

class DriverTest : public ::testing::Test {
 protected:
  DriverTest() : base(dir.makeWorkspace()), run(base) {}

  void records(std::initializer_list<std::string> texts) {
    EXPECT_TRUE(replaceFile(run.workspace.recordFile("P"), lines(texts)));
  }
  ComparisonResult compare(int totfiles) {
    auto context = run.context();
    run.state.totfiles = totfiles;
    context.resetDisplay(false);
    return runComparison(context);
  }
  DriverOutcome drive(int totfiles) { return compare(totfiles).outcome; }
  std::string timeReport() { return slurp(run.workspace.timeReport("P")); }
  std::string handleReport() { return slurp(run.workspace.handleReport("P")); }
  std::string ageReport() { return slurp(run.workspace.ageReport("P")); }

  TempDir dir;
  std::filesystem::path base;
  RunFixture run;
};

TEST_F(DriverTest, TimeCheckReportsEveryPairWithTheSameDateInPairOrder) {
  handleCheck().setSwitchedOn(run.options, false);
  records({"A,2453585.5,,END", "B,2453585.5,,END", "Z,0,,END", "Y,,,END", "C,2453585.5,,END",
           "D,2453585.50000001,,END", "E,2453585.00052083,,END", "F,2453585.00052083,,END"});
  EXPECT_EQ(drive(9), DriverOutcome::Complete);
  const std::string tail = " at 12 hours, 0 minutes, 0 seconds [2453585.5 as Julian]";
  // Whole seconds are not cut short: 45, not 44.
  EXPECT_EQ(timeReport(), lines({"A vs. B" + tail, "A vs. C" + tail, "B vs. C" + tail,
                                 "E vs. F at 0 hours, 0 minutes, 45 seconds [2453585.00052083 as Julian]"}));
  EXPECT_EQ(run.view.timeConflicts, "0004");
  EXPECT_EQ(run.view.status, "Complete!");
  EXPECT_EQ(run.view.verdict, "VELDRA!!!");
  EXPECT_EQ(run.view.colour, kRed);
  EXPECT_EQ(run.view.picture, "veldrawrong.jpg");
  EXPECT_EQ(run.alarm.starts, 1);
  EXPECT_TRUE(run.state.alarmGiven);
  EXPECT_EQ(handleReport(), lines({"Handle conflicts not reported due to option selection."}));
  EXPECT_EQ(ageReport(), lines({"DWG date conflicts not reported due to option selection."}));
  // The next run sounds again; without the sound file the picture still tells.
  drive(9);
  EXPECT_EQ(run.alarm.starts, 2);
  std::filesystem::remove(run.workspace.resource("conflict.wav"));
  drive(9);
  EXPECT_EQ(run.view.verdict, "VELDRA!!!");
  EXPECT_EQ(run.view.picture, "veldrawrong.jpg");
}

TEST_F(DriverTest, CleanRunEndsWithTheAllClearAndReplacesOldReports) {
  EXPECT_TRUE(replaceFile(run.workspace.timeReport("P"), std::string(500, 'x')));
  run.options.entity = "LINE";
  run.options.percent = "90";
  records({"A,2453585.5,1$2$,END", "B,2453585.6,3$4$,END"});
  EXPECT_EQ(drive(1 + 1), DriverOutcome::Complete);
  EXPECT_EQ(timeReport(), lines({"No time conflicts!"}));
  EXPECT_EQ(handleReport(), lines({"No entity [LINE] conflicts >= 90% match!"}));
  EXPECT_EQ(run.view.verdict, "NO VELDRA's");
  EXPECT_EQ(run.view.colour, kPurple);
  EXPECT_EQ(run.view.picture, "veldracheck.jpg");
  EXPECT_EQ(run.view.timeConflicts, "0000");
  EXPECT_EQ(run.alarm.starts, 0);
  EXPECT_FALSE(run.state.alarmGiven);
}

TEST_F(DriverTest, HandleCheckWritesTheThreeFormsAgainstTheThreshold) {
  timeCheck().setSwitchedOn(run.options, false);
  run.options.entity = "LINE";
  run.options.percent = "70";
  records({"ABCD,1,A$B$C$D$,END", "ABC,2,A$B$C$,END", "ABC2,3,A$B$C$,END", "NONE,4,,END",
           "XY,5,X$Y$Z$,END", "XW,6,X$W$Q$,END"});
  drive(6);
  EXPECT_EQ(handleReport(), lines({
                                "ABCD vs. ABC has a 75% / 100% LINE handle match.",
                                "ABCD vs. ABC2 has a 75% / 100% LINE handle match.",
                                "** ABC vs. ABC2 has a 100% LINE handle match [3 total].",
                            }));
  EXPECT_EQ(run.view.entityConflicts, "0003");
  EXPECT_EQ(run.view.status, "Complete!");
  EXPECT_EQ(run.alarm.starts, 1);

  // 2 of 3 is 66.67%, shown as 67 and below 70; the reverse order names the
  // smaller side first as 100%.
  run.options.percent = "66";
  records({"XY,5,X$Y$Z$,END", "XW,6,X$Y$Q$,END", "AB,1,A$B$C$,END", "ABCD,1,A$B$C$D$,END"});
  drive(4);
  EXPECT_EQ(handleReport(), lines({"XY vs. XW has a 100% / 67% LINE handle match.",
                                   "AB vs. ABCD has a 100% / 75% LINE handle match."}));
}

TEST_F(DriverTest, HandleCheckSkipsFirstDrawingsWithoutHandlesAndReadsTheThresholdPrefix) {
  timeCheck().setSwitchedOn(run.options, false);
  run.options.entity = "ARC";
  run.options.percent = "zero";
  records({"EMPTY,1,,END", "A,2,a$,END", "B,3,A$,END", "C,4,,END"});
  drive(4);
  EXPECT_EQ(handleReport(), lines({"A vs. B has a 100% / 0% ARC handle match.",
                                   "A vs. C has a 0% / 100% ARC handle match.",
                                   "B vs. C has a 0% / 100% ARC handle match."}));
}

TEST_F(DriverTest, AgeCheckFlagsByCalendarMonths) {
  timeCheck().setSwitchedOn(run.options, false);
  handleCheck().setSwitchedOn(run.options, false);
  ageCheck().setSwitchedOn(run.options, true);
  run.options.age = "6 months";
  // Today is March 2006 (the fixed clock).
  records({"SEPT2005,2453629,,END", "OCT2005,2453659,,END", "JAN2004,2453006,,END",
           "NEXTMONTH,2453827,,END", "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMN,2453006,,END",
           "ZEICHNUNG_MÜLLER,2453006,,END"});
  drive(7);
  EXPECT_EQ(ageReport(), lines({
                             "SEPT2005........................ [over 6 months old] :0 year(s) & 6 month(s).",
                             "JAN2004......................... [over 6 months old] :2 year(s) & 2 month(s).",
                             "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMN [over 6 months old] :2 year(s) & 2 month(s).",
                             // Dots count characters: Ü is one, though two bytes.
                             "ZEICHNUNG_MÜLLER................ [over 6 months old] :2 year(s) & 2 month(s).",
                         }));
  EXPECT_EQ(run.view.ageConflicts, "0004");
  EXPECT_EQ(run.alarm.starts, 1);

  run.options.age = "over 5 years";
  drive(7);
  EXPECT_EQ(ageReport(), lines({"No DWG date check conflicts!"}));
  EXPECT_EQ(run.view.picture, "veldracheck.jpg");
}

// A damaged record file (cut mid-record, a date that is no number, junk)
// ends the run before any check: the reports stay, no all-clear is shown,
// and the result names the damaged line and says to collect again.
TEST_F(DriverTest, ADamagedRecordFileNamesItsLineAndTouchesNoReport) {
  EXPECT_TRUE(replaceFile(run.workspace.timeReport("P"), "old"));
  const std::string good = quotedLine("B,2453585.5,1F$,END");
  const struct {
    std::string content;
    std::string said;
  } damaged[] = {
      {good + "\"A,2453585.5,1F$2", "line 2: it is cut short"},
      {good + good + "\"A,2453585.5,1F$2$,EN", "line 3: it is cut short"},
      {quotedLine("A,abc,,END") + good, "line 1: its date is not a number"},
      {good + "Hello, this is not a record\r\n", "line 2: it is not the record of a drawing"},
      {good + "\r\n" + good, "line 2: it is empty"},
      {good + quotedLine("A,2453585.5,END"), "line 2: it is not the record of a drawing"},
      {good + quotedLine("A," + std::string(401, '9') + ",,END"), "line 2: its date is out of range"},
  };
  for (const auto& bad : damaged) {
    EXPECT_TRUE(replaceFile(run.workspace.recordFile("P"), bad.content));
    const ComparisonResult result = compare(3);
    EXPECT_EQ(result.outcome, DriverOutcome::EndedEarly) << bad.content;
    ASSERT_EQ(result.errors.size(), 1u);
    EXPECT_EQ(result.errors[0], "The record file " + run.workspace.recordFile("P").string() + " is damaged at " +
                                    bad.said + ". Collect the drawings again to make a new record file.");
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(timeReport(), "old");
    EXPECT_EQ(run.view.status, "Stopped!");
    EXPECT_EQ(run.view.verdict, "UNCHECKED");
    EXPECT_EQ(run.view.colour, testing::kGrey);
  }
  // More records than drawings counted.
  records({"A,1,,END", "B,2,,END", "C,3,,END"});
  const ComparisonResult result = compare(2);
  EXPECT_EQ(result.outcome, DriverOutcome::EndedEarly);
  ASSERT_EQ(result.errors.size(), 1u);
  EXPECT_NE(result.errors[0].find("holds more records than the 2 drawings"), std::string::npos) << result.errors[0];
  EXPECT_EQ(timeReport(), "old");
  // The record file was released: it can be replaced at once.
  EXPECT_TRUE(replaceFile(run.workspace.recordFile("P"), ""));
}

// A record line past any drawing's is refused by its number without being
// read whole, and a record with more lines than drawings is refused at the
// first line too many, whatever follows it.
TEST_F(DriverTest, RecordLinesAreReadWithinBounds) {
  EXPECT_TRUE(replaceFile(run.workspace.timeReport("P"), "old"));
  ageCheck().setSwitchedOn(run.options, false);
  const std::string huge = "H,2,1$" + std::string(5u << 20, 'F') + "$,END";
  for (unsigned seed = 1; seed <= 3; ++seed) {
    std::mt19937 random(seed);
    const std::size_t count = std::uniform_int_distribution<std::size_t>(2, 9)(random);
    const std::size_t at = std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
    std::string content;
    for (std::size_t k = 0; k < count; ++k)
      content += k == at ? quotedLine(huge) : quotedLine("D" + std::to_string(k) + ",2453585.5,A$B$,END");
    EXPECT_TRUE(replaceFile(run.workspace.recordFile("P"), content));
    const ComparisonResult result = compare(static_cast<int>(count));
    EXPECT_EQ(result.outcome, DriverOutcome::EndedEarly);
    ASSERT_EQ(result.errors.size(), 1u);
    EXPECT_EQ(result.errors[0], "The record file " + run.workspace.recordFile("P").string() + " is damaged at line " +
                                    std::to_string(at + 1) +
                                    ": it is longer than 4 MB, more than any drawing's record. Collect the drawings "
                                    "again to make a new record file.");
    EXPECT_EQ(timeReport(), "old");
  }
  // A long record of a real size is read: its handles are judged.
  const std::string manyHandles = [] {
    std::string h;
    for (int k = 0; k < 150000; ++k) h += std::to_string(100000 + k) + "$";
    return h;
  }();
  records({"A,1," + manyHandles + ",END", "B,2," + manyHandles + ",END"});
  timeCheck().setSwitchedOn(run.options, false);
  run.options.entity = "LINE";
  run.options.percent = "90";
  EXPECT_EQ(drive(2), DriverOutcome::Complete);
  EXPECT_NE(handleReport().find("A vs. B has a 100% LINE handle match"), std::string::npos) << handleReport();

  // Two drawings and a surplus of lines ending in one past the bound: the
  // surplus is found first.
  EXPECT_TRUE(replaceFile(run.workspace.recordFile("P"),
              lines({"A,1,,END", "B,2,,END", "C,3,,END", "D,4,,END"}) + quotedLine(huge)));
  const ComparisonResult result = compare(2);
  ASSERT_EQ(result.errors.size(), 1u);
  EXPECT_NE(result.errors[0].find("holds more records than the 2 drawings"), std::string::npos) << result.errors[0];
}

// A date of 1e11 or more in a record (or as far before) must not overflow
// the age check; such a drawing is simply very old, or not old at all.
TEST_F(DriverTest, AgeCheckCopesWithDatesFarOff) {
  timeCheck().setSwitchedOn(run.options, false);
  handleCheck().setSwitchedOn(run.options, false);
  ageCheck().setSwitchedOn(run.options, true);
  run.options.age = "1 month";
  records({"FUTURE,100000000000,,END", "PAST,-100000000000,,END", "FARTHER,-" + std::string(300, '9') + ",,END"});
  EXPECT_EQ(drive(3), DriverOutcome::Complete);
  const auto lines = splitLines(ageReport());
  ASSERT_EQ(lines.size(), 2u) << ageReport();
  EXPECT_TRUE(lines[0].starts_with("\"PAST............................ [over 1 month old] :27379")) << lines[0];
  EXPECT_TRUE(lines[1].starts_with("\"FARTHER......................... [over 1 month old] :13689")) << lines[1];
  EXPECT_EQ(julianToDate(1e13).year, julianToDate(1e12).year);
  EXPECT_GT(julianToDate(1e13).year, 1000000000);
  EXPECT_LT(julianToDate(-1e13).year, -1000000000);
}

// Neither records with an empty date field nor the empty entries left by
// fewer records than drawings conflict with one another.
TEST_F(DriverTest, UndatedRecordsAndEmptyEntriesGiveNoConflicts) {
  ageCheck().setSwitchedOn(run.options, true);
  records({"A,,X$,END", "B,,Y$,END"});
  EXPECT_EQ(drive(4), DriverOutcome::Complete);
  EXPECT_EQ(timeReport(), lines({"No time conflicts!"}));
  EXPECT_EQ(handleReport(), lines({"No entity [RAY] conflicts >= 100% match!"}));
  EXPECT_EQ(ageReport(), lines({"No DWG date check conflicts!"}));
  // No drawing at all: nothing was compared, so no all-clear either.
  EXPECT_EQ(drive(0), DriverOutcome::NotRun);
  EXPECT_EQ(run.view.verdict, "UNCHECKED");
  EXPECT_EQ(ageReport(), lines({"No DWG date check conflicts!"}));
}

// A report folder that is a file, or a missing one: that report is named as
// not written, the other checks still run and write theirs.
TEST_F(DriverTest, AReportThatCannotBeWrittenIsAnErrorAndTheOthersAreWritten) {
  std::filesystem::remove_all(base / "handle conflicts");
  EXPECT_TRUE(replaceFile(base / "handle conflicts", "a file where the folder should be"));
  std::filesystem::remove_all(base / "date conflicts");
  records({"A,2453585.5,1$,END", "B,2453585.5,1$,END"});
  const ComparisonResult result = compare(2);
  EXPECT_EQ(result.outcome, DriverOutcome::Complete);
  ASSERT_EQ(result.errors.size(), 2u);
  EXPECT_TRUE(result.errors[0].starts_with("The report " + run.workspace.handleReport("P").string() +
                                           " could not be written ("))
      << result.errors[0];
  EXPECT_TRUE(result.errors[1].starts_with("The report " + run.workspace.ageReport("P").string()));
  EXPECT_FALSE(result.succeeded());
  EXPECT_EQ(timeReport(), lines({"A vs. B at 12 hours, 0 minutes, 0 seconds [2453585.5 as Julian]"}));
  EXPECT_EQ(run.view.verdict, "VELDRA!!!");  // the checks judged every drawing
  EXPECT_EQ(slurp(base / "handle conflicts"), "a file where the folder should be");
}

// A disk that fills up while a report is written keeps the old report whole.
TEST_F(DriverTest, AFullDiskKeepsTheOldReportsWhole) {
  for (const auto& report : {run.workspace.timeReport("P"), run.workspace.handleReport("P")})
    EXPECT_TRUE(replaceFile(report, "\"old report\"\r\n"));
  records({"A,2453585.5,1$,END", "B,2453585.5,1$,END", "C,2453585.5,1$,END"});
  testing::FillingDisk disk(100);  // room for the first time conflict, not the next
  RunContext context{run.workspace, run.options, run.state, run.view, run.clock, run.alarm, disk};
  run.state.totfiles = 3;
  const ComparisonResult result = runComparison(context);
  ASSERT_EQ(result.errors.size(), 3u);
  EXPECT_NE(result.errors[0].find(run.workspace.timeReport("P").string() + " could not be written (" +
                                  std::generic_category().message(ENOSPC) + ")"),
            std::string::npos)
      << result.errors[0];
  EXPECT_EQ(timeReport(), "\"old report\"\r\n");
  EXPECT_EQ(handleReport(), "\"old report\"\r\n");
  EXPECT_FALSE(std::filesystem::exists(run.workspace.ageReport("P")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(base / "time conflicts"), {}), 1);
}

// A class of identical copies gives a conflict for every pair: the reports
// go to the file line by line as they are formed, never built whole first.
TEST_F(DriverTest, ReportsAreWrittenLineByLine) {
  std::string record;
  for (int i = 0; i < 120; ++i) record += quotedLine("STUDENT" + std::to_string(i) + ",2453585.5,1$2$,END");
  EXPECT_TRUE(replaceFile(run.workspace.recordFile("P"), record));
  testing::FillingDisk disk(std::size_t{1} << 30);
  RunContext context{run.workspace, run.options, run.state, run.view, run.clock, run.alarm, disk};
  run.state.totfiles = 120;
  const ComparisonResult result = runComparison(context);
  EXPECT_TRUE(result.succeeded());
  const auto timeLines = splitLines(timeReport());
  const auto handleLines = splitLines(handleReport());
  ASSERT_EQ(timeLines.size(), 120u * 119 / 2);
  ASSERT_EQ(handleLines.size(), 120u * 119 / 2);
  EXPECT_EQ(timeLines.back(), "\"STUDENT118 vs. STUDENT119 at 12 hours, 0 minutes, 0 seconds [2453585.5 as Julian]\"");
  EXPECT_LT(disk.largestPiece, 1000u);  // a line or so at a time, of reports of some 600 KB together
}

TEST_F(DriverTest, RecompareRefusesAnEmptyOrMissingRecordWithTimeMatchesOn) {
  testing::RecordingMessages messages;
  auto context = run.context();
  run.options.locations = {"-" + (base / "none").string()};
  EXPECT_EQ(recompare(context, messages), RecompareOutcome::EmptyRecordRefused);
  records({});
  EXPECT_EQ(recompare(context, messages), RecompareOutcome::EmptyRecordRefused);
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0].text, "XXXXXXavailable due to no entity matches - turning OFF.");
  EXPECT_EQ(messages.shown[0].title, "VELDRA");
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Information);
  EXPECT_TRUE(run.view.statuses.empty());
  EXPECT_FALSE(std::filesystem::exists(run.workspace.timeReport("P")));

  // With "Time Matches" off an empty record file is compared like any other.
  timeCheck().setSwitchedOn(run.options, false);
  dir.write("drawings/a.dwg", "");
  run.options.locations = {"-" + (base.parent_path() / "drawings").string()};
  RecompareReport report;
  EXPECT_EQ(recompare(context, messages, &report), RecompareOutcome::Ran);
  EXPECT_EQ(report.comparison.outcome, DriverOutcome::Complete);
  EXPECT_EQ(run.view.totalFiles, "0001");
  EXPECT_EQ(run.view.statuses.front(), "Comparing...");
  EXPECT_EQ(timeReport(), lines({"Time conflicts not reported due to option selection."}));
}

// An all-clear about a type no drawing holds says nothing: the result tells.
TEST_F(DriverTest, ATypeNoReadDrawingHoldsIsTold) {
  run.options.entity = "BANANA";
  records({"ANNA,2453006.5,,END", "BEN,2453007.5,,END", "FAKE,,,END"});
  ComparisonResult result = compare(3);
  EXPECT_TRUE(result.entityTypeAbsent);
  EXPECT_EQ(result.entity, "BANANA");
  EXPECT_EQ(slurp(run.workspace.handleReport("P")), "\"No entity [BANANA] conflicts >= 100% match!\"\r\n");

  records({"ANNA,2453006.5,,END", "BEN,2453007.5,1F$,END"});
  EXPECT_FALSE(compare(2).entityTypeAbsent);
  // Nothing was read: the problem list speaks, not this warning.
  records({"FAKE,,,END", "EMPTY,,,END"});
  EXPECT_FALSE(compare(2).entityTypeAbsent);
  // With the handle check off the type plays no part.
  records({"ANNA,2453006.5,,END"});
  handleCheck().setSwitchedOn(run.options, false);
  EXPECT_FALSE(compare(1).entityTypeAbsent);
}

TEST_F(DriverTest, RecompareLabelsHandlesWithTheTypeTheyWereCollectedWith) {
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
