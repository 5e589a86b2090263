#include <gtest/gtest.h>

#include "run/run_fakes.h"
#include "run/throttled_view.h"

namespace veldra {
namespace {

TEST(ThrottledRunView, ForwardsAtMostOncePerIntervalAndEverythingOnFlush) {
  testing::RecordingView target;
  std::chrono::steady_clock::time_point now{};
  ThrottledRunView view(target, [&] { return now; }, std::chrono::milliseconds(33));

  view.setStatus("Checking handles...");  // the first change goes through
  EXPECT_EQ(target.status, "Checking handles...");
  for (int j = 2; j < 1000; ++j) view.setComparing(1, j);
  view.setElapsed(5);
  view.setConflicts(handleCheck(), 1);
  view.setConflicts(timeCheck(), 2);
  view.setConflicts(handleCheck(), 3);  // only a check's latest count goes on
  EXPECT_EQ(target.status, "Checking handles...");
  EXPECT_EQ(target.comparingCalls, 0);

  now += std::chrono::milliseconds(40);
  view.setFile("a.dwg");
  EXPECT_EQ(target.status, "Comparing 1 vs. 999");
  EXPECT_EQ(target.comparingCalls, 1);
  EXPECT_EQ(target.time, "Elapsed Time: 00:00:05");
  EXPECT_EQ(target.entityConflicts, "0003");
  EXPECT_EQ(target.timeConflicts, "0002");
  EXPECT_EQ(target.ageConflicts, "");
  EXPECT_EQ(target.file, "a.dwg");

  view.setComparing(2, 3);
  view.setStatus("Complete!");  // a later text replaces the pending pair
  view.clearElapsed();
  view.setVerdict(Verdict::kAlarm);  // passed on at once
  EXPECT_EQ(target.verdict, "VELDRA!!!");
  EXPECT_EQ(target.comparingCalls, 1);
  view.flush();
  EXPECT_EQ(target.status, "Complete!");
  EXPECT_EQ(target.comparingCalls, 1);
  EXPECT_EQ(target.time, "");
  EXPECT_EQ(target.flushes, 1);
}

TEST(RunViewTexts, ElapsedTimeWrapsAfterADay) {
  EXPECT_EQ(elapsedText(0), "Elapsed Time: 00:00:00");
  EXPECT_EQ(elapsedText(3725), "Elapsed Time: 01:02:05");
  EXPECT_EQ(elapsedText(25 * 3600 + 1), "Elapsed Time: 01:00:01");
  EXPECT_EQ(comparingText(3, 7), "Comparing 3 vs. 7");
}

}  // namespace
}  // namespace veldra
