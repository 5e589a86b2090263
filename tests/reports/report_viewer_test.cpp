#include "reports/report_viewer.h"

#include <gtest/gtest.h>

#include "app/textfile.h"
#include "compare/checks.h"
#include "reports/print_job.h"
#include "reports/rtf/rtf_reader.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

// Shows what it was given; loading fails like a real viewer's when the file
// cannot be read.
class RecordingViewer : public TextViewer {
 public:
  bool loadFile(const std::filesystem::path& file) override {
    calls.push_back("load " + file.filename().string());
    const auto content = readWholeFile(file);
    if (content) shown = *content;
    return content.has_value();
  }
  void setText(const std::string& text) override { shown = text; }
  void resetFileName() override { calls.push_back("reset"); }

  std::string shown = "previous";
  std::vector<std::string> calls;
};

class ReportViewerTest : public ::testing::Test {
 protected:
  testing::TempDir dir;
  Workspace ws{dir.makeWorkspace()};
  RecordingViewer viewer;
};

TEST_F(ReportViewerTest, MissingReportsShowTheirExactMessageAndDisablePrinting) {
  const std::pair<int, const char*> cases[] = {{0, "No available TIME CONFLICTS for Project: BRIDGE A"},
                                               {1, "No available HANDLE [Entity] CONFLICTS for Project: BRIDGE A"},
                                               {2, "No available DWG Date CONFLICTS for Project: BRIDGE A"}};
  for (const auto& [option, message] : cases) {
    EXPECT_EQ(loadChosenReport(ws, reportCheckFromOption(option), "BRIDGE A", viewer), PrintButtonState::Disabled);
    EXPECT_EQ(viewer.shown, message);
  }
  EXPECT_EQ(viewer.calls,
            (std::vector<std::string>{"load BRIDGE A.tim", "load BRIDGE A.hnd", "load BRIDGE A.dat"}));
}

TEST_F(ReportViewerTest, ReportWrittenLaterLoadsOnTheNextClickWithNameUnchanged) {
  const std::string project = "ROAD, PHASE 2 (old)";
  EXPECT_EQ(reportOptionClicked(ws, handleCheck(), project, viewer), PrintButtonState::Disabled);
  const std::string report = quotedLine("A.dwg vs. B.dwg");
  dir.write("ws/handle conflicts/ROAD, PHASE 2 (old).hnd", report);
  EXPECT_EQ(reportOptionClicked(ws, handleCheck(), project, viewer), PrintButtonState::Enabled);
  EXPECT_EQ(viewer.shown, report);  // quotes and line ends as the file holds them
  EXPECT_EQ(viewer.calls.back(), "load ROAD, PHASE 2 (old).hnd");
  EXPECT_EQ(printRequestFor(ws, &handleCheck(), project, "d")->sectionTitle, "Handle Conflicts");
}

TEST_F(ReportViewerTest, NoProjectOrNoOptionChangesNothing) {
  dir.write("ws/time conflicts/.tim", quotedLine("should not show"));
  EXPECT_EQ(loadChosenReport(ws, &timeCheck(), "", viewer), PrintButtonState::Unchanged);
  EXPECT_EQ(loadChosenReport(ws, reportCheckFromOption(std::nullopt), "P", viewer),
            PrintButtonState::Unchanged);
  EXPECT_EQ(reportOptionClicked(ws, ageCheck(), "", viewer), PrintButtonState::Unchanged);
  EXPECT_EQ(viewer.shown, "previous");
  EXPECT_EQ(viewer.calls, std::vector<std::string>{"reset"});
  EXPECT_FALSE(printRequestFor(ws, &timeCheck(), "", "d"));
}

TEST(Resources, DocumentsReadCompletelyWithoutLeftOverMarkup) {
  const auto folder = std::filesystem::path(VELDRA_SOURCE_DIR) / "resources";
  for (const char* name : {"Veldra2006.rtf", "about.rtf", "whatnext.rtf", "quorvix.rtf"}) {
    const rtf::Document doc = rtf::parse(testing::slurp(folder / name));
    EXPECT_TRUE(doc.complete) << name;
    ASSERT_FALSE(doc.paragraphs.empty()) << name;
    EXPECT_EQ(rtf::plainText(doc).find_first_of("\\{}"), std::string::npos) << name;
    // Every document opens with a bold heading, larger than its last line.
    const rtf::Run& first = doc.paragraphs.front().runs.front();
    EXPECT_TRUE(first.format.bold) << name;
    EXPECT_GT(first.format.halfPoints, doc.paragraphs.back().runs.front().format.halfPoints) << name;
  }
}

}  // namespace
}  // namespace veldra
