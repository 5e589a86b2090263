#include <gtest/gtest.h>

#include "app/textfile.h"
#include "collect/native_source.h"
#include "run/collection_pass.h"
#include "run/run_fakes.h"
#include "sample/sample_class.h"
#include "support/recorders.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

using testing::slurp;

// The sample class, collected with the age check on, shows conflicts in all
// three reports and gives the alarm once; making it again changes nothing.
TEST(SampleClass, FirstCollectionFindsConflictsInAllThreeChecks) {
  testing::TempDir dir;
  testing::RunFixture run(dir.makeWorkspace());
  const std::int32_t today = 2453800;  // 3 March 2006, the fixed clock's month
  ASSERT_EQ(sample::makeSampleClass(run.workspace, today), "");
  const std::string projects = slurp(run.workspace.projectsFile());
  EXPECT_EQ(projects, "\"SAMPLE CLASS\"\r\n");
  ASSERT_EQ(sample::makeSampleClass(run.workspace, today), "");
  EXPECT_EQ(slurp(run.workspace.projectsFile()), projects);
  EXPECT_EQ(slurp(run.workspace.settingsFile("default.fil")), "4\r\n");

  run.options.project = "SAMPLE CLASS";
  run.options.entity = "CIRCLE";
  ageCheck().setSwitchedOn(run.options, true);
  for (const auto& line : splitLines(slurp(run.workspace.locationFile("SAMPLE CLASS"))))
    run.options.locations.push_back(line.substr(1, line.size() - 2));
  NativeDrawingSource source([](std::int64_t) { return 3600L; });
  testing::RecordingMessages messages;
  auto context = run.context();
  const PassResult result = runCollectionPass(context, source, messages);
  EXPECT_EQ(result.visited, 7);
  EXPECT_EQ(result.driver, DriverOutcome::Complete);
  EXPECT_EQ(run.view.timeConflicts, "0001");
  EXPECT_EQ(run.view.entityConflicts, "0001");
  EXPECT_EQ(run.view.ageConflicts, "0001");
  EXPECT_EQ(run.alarm.starts, 1);
  EXPECT_EQ(run.view.verdict, "VELDRA!!!");
  EXPECT_EQ(slurp(run.workspace.handleReport("SAMPLE CLASS")),
            "\"** ANNA vs. BEN has a 100% CIRCLE handle match [20 total].\"\r\n");
  EXPECT_EQ(slurp(run.workspace.timeReport("SAMPLE CLASS")),
            "\"ANNA vs. BEN at 13 hours, 0 minutes, 1 seconds [2453800.54167824 as Julian]\"\r\n");

  // At 80% the near-copy is reported too.
  run.options.percent = "80";
  timeCheck().setSwitchedOn(run.options, false);
  recompare(context, messages);
  EXPECT_EQ(slurp(run.workspace.handleReport("SAMPLE CLASS")),
            "\"** ANNA vs. BEN has a 100% CIRCLE handle match [20 total].\"\r\n"
            "\"ANNA vs. CARL has a 100% / 85% CIRCLE handle match.\"\r\n"
            "\"BEN vs. CARL has a 100% / 85% CIRCLE handle match.\"\r\n");
}

}  // namespace
}  // namespace veldra
