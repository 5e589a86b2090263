#include "reports/report_viewer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/textfile.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

using testing::TempDir;

// Shows what it was given; loading fails like a real viewer's when the file
// cannot be read.
class RecordingViewer : public TextViewer {
 public:
  bool loadFile(const std::filesystem::path& file) override {
    calls.push_back("load " + file.filename().string());
    const auto content = readWholeFile(file);
    if (!content) return false;
    shown = *content;
    return true;
  }
  void setText(const std::string& text) override {
    calls.push_back("text");
    shown = text;
  }
  void resetFileName() override { calls.push_back("reset"); }

  std::string shown = "previous";
  std::vector<std::string> calls;
};

class ReportViewerTest : public ::testing::Test {
 protected:
  TempDir dir;
  Workspace ws{dir.makeWorkspace().string()};
  RecordingViewer viewer;
};

TEST_F(ReportViewerTest, MissingReportsShowTheirExactMessageAndDisablePrinting) {
  const struct {
    ReportKind kind;
    const char* file;
    const char* message;
  } cases[] = {
      {ReportKind::Time, "BRIDGE A.tim", "No available TIME CONFLICTS for Project: BRIDGE A"},
      {ReportKind::Handle, "BRIDGE A.hnd",
       "No available HANDLE [Entity] CONFLICTS for Project: BRIDGE A"},
      {ReportKind::Age, "BRIDGE A.dat", "No available DWG Date CONFLICTS for Project: BRIDGE A"},
  };
  for (const auto& c : cases) {
    viewer.calls.clear();
    EXPECT_EQ(loadChosenReport(ws, c.kind, "BRIDGE A", viewer), PrintButtonState::Disabled);
    EXPECT_EQ(viewer.shown, c.message);
    EXPECT_EQ(viewer.calls, (std::vector<std::string>{std::string("load ") + c.file, "text"}));
  }
}

TEST_F(ReportViewerTest, ReportWrittenLaterLoadsOnTheNextClickWithNameUnchanged) {
  const std::string project = "ROAD, PHASE 2 (old)";
  EXPECT_EQ(reportOptionClicked(ws, ReportKind::Handle, project, viewer),
            PrintButtonState::Disabled);
  const std::string report = quotedLine("A.dwg  B.dwg  100%");
  dir.write("ws/handle conflicts/ROAD, PHASE 2 (old).hnd", report);
  viewer.calls.clear();
  EXPECT_EQ(reportOptionClicked(ws, ReportKind::Handle, project, viewer),
            PrintButtonState::Enabled);
  EXPECT_EQ(viewer.shown, report);  // quotes and line ends as the file holds them
  EXPECT_EQ(viewer.calls,
            (std::vector<std::string>{"reset", "load ROAD, PHASE 2 (old).hnd"}));
}

TEST_F(ReportViewerTest, NoProjectOrNoOptionChangesNothing) {
  dir.write("ws/time conflicts/.tim", quotedLine("should not show"));
  EXPECT_EQ(loadChosenReport(ws, ReportKind::Time, "", viewer), PrintButtonState::Unchanged);
  EXPECT_EQ(loadChosenReport(ws, std::nullopt, "BRIDGE", viewer), PrintButtonState::Unchanged);
  EXPECT_EQ(reportOptionClicked(ws, ReportKind::Age, "", viewer), PrintButtonState::Unchanged);
  EXPECT_EQ(viewer.shown, "previous");
  EXPECT_EQ(viewer.calls, std::vector<std::string>{"reset"});
}

TEST(ReportChoice, OptionsMapToKindsAndPrintedTitles) {
  EXPECT_EQ(reportKindFromOption(0), ReportKind::Time);
  EXPECT_EQ(reportKindFromOption(2), ReportKind::Age);
  EXPECT_EQ(reportKindFromOption(3), std::nullopt);
  EXPECT_EQ(reportKindFromOption(std::nullopt), std::nullopt);
  const Workspace ws("base");
  EXPECT_EQ(chooseReport(ws, ReportKind::Time, "P")->sectionTitle, "Time Conflicts");
  EXPECT_EQ(chooseReport(ws, ReportKind::Handle, "P")->sectionTitle, "Handle Conflicts");
  EXPECT_EQ(chooseReport(ws, ReportKind::Age, "P")->sectionTitle, "DWG Date Conflicts");
  EXPECT_EQ(chooseReport(ws, ReportKind::Age, "P")->file, ws.ageReport("P"));
}

}  // namespace
}  // namespace veldra
