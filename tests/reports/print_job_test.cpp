#include "reports/print_job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "app/textfile.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

using testing::TempDir;
using namespace print_layout;

std::string num(double v) {
  std::ostringstream out;
  out << v;
  return out.str();
}

class CannedDialog : public PrintDialog {
 public:
  explicit CannedDialog(std::optional<int> copies) : copies_(copies) {}
  std::optional<int> ask() override {
    ++asked;
    return copies_;
  }
  int asked = 0;

 private:
  std::optional<int> copies_;
};

// Records every operation as a line of text and keeps the position the way a
// printer does; line height is 1.2 times the font size. It can be told to
// fail at the n-th printed line or when ending a document.
class RecordingSurface : public PrintSurface {
 public:
  struct Text {
    std::string text, font;
    double size, x, y;
    bool bold;
  };

  bool beginDocument() override { return log("begin"); }
  void setFont(const std::string& name, double points, bool bold) override {
    font_ = name;
    size_ = points;
    bold_ = bold;
    log("font " + name + " " + num(points) + (bold ? " bold" : ""));
  }
  void moveTo(double x, double y) override {
    x_ = x;
    y_ = y;
    log("move " + num(x) + " " + num(y));
  }
  double currentY() const override { return y_; }
  double lineHeight() const override { return size_ * 1.2 / 72.0; }
  bool printLine(const std::string& text) override {
    if (++linesPrinted == failAtLine) return false;
    texts.push_back({text, font_, size_, x_, y_, bold_});
    log("print " + text);
    x_ = 0;
    y_ += lineHeight();
    return true;
  }
  bool drawPicture(const std::string& encoded, double x, double y, double w, double h) override {
    if (encoded != "JPEG") return false;
    return log("picture " + num(x) + " " + num(y) + " " + num(w) + " " + num(h));
  }
  bool newPage() override { return log("page"); }
  bool endDocument() override { return !failEnd && log("end"); }
  void abortDocument() override { log("abort"); }

  int count(const std::string& entry) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), entry));
  }

  std::vector<std::string> calls;
  std::vector<Text> texts;
  int linesPrinted = 0;
  int failAtLine = -1;
  bool failEnd = false;

 private:
  bool log(const std::string& entry) {
    calls.push_back(entry);
    return true;
  }
  std::string font_;
  double size_ = 10, x_ = 0, y_ = 0;
  bool bold_ = false;
};

class PrintJobTest : public ::testing::Test {
 protected:
  PrintRequest request(const std::string& report) {
    return {dir.write("time conflicts/P.tim", report), "Time Conflicts",
            dir.write("resources/veldralogo-print.jpg", "JPEG"), "06/12/2026"};
  }
  TempDir dir;
  RecordingSurface surface;
};

TEST_F(PrintJobTest, OneCopyPrintsThePageInOrderWithItemsUnquoted) {
  CannedDialog dialog(1);
  const auto outcome =
      printReport(request(quotedLine("A.dwg, B.dwg") + quotedLine("C.dwg")), dialog, surface);
  EXPECT_EQ(outcome.status, PrintStatus::Printed);
  EXPECT_EQ(outcome.copiesSent, 1);
  const std::string footer = "Printed 06/12/2026" + std::string(kCredit);
  const double pitch = 8 * 1.2 / 72 + 0.125;
  const std::vector<std::string> expected = {
      "begin",
      "picture 0.25 0.25 1.25 1",
      "font ARIAL BLACK 16",
      "move 1.5 0.65",
      "print VELDRA [Ostrivane] - Results",
      "font ARIAL 12 bold",
      "move 0.5 1.5",
      "print Time Conflicts",
      "font COURIER 8",
      "move 0.5 1.8",
      "print A.dwg, B.dwg",
      "move 0.5 " + num(1.8 + pitch),
      "print C.dwg",
      "move 0.5 " + num(1.8 + 2 * pitch),
      "font ARIAL 5",
      "move 0.5 10.425",
      "print " + footer,
      "end"};
  EXPECT_EQ(surface.calls, expected);
  EXPECT_EQ(footer.substr(18, 7), "      V");  // the credit starts with six spaces
}

TEST_F(PrintJobTest, LinePitchIsOneLineHeightPlusAnEighthInch) {
  CannedDialog dialog(1);
  printReport(request(quotedLine("1") + quotedLine("2") + quotedLine("3")), dialog, surface);
  ASSERT_GE(surface.texts.size(), 5u);
  const double pitch = 8 * 1.2 / 72 + 0.125;
  EXPECT_NEAR(surface.texts[2].y, 1.8, 1e-9);
  EXPECT_NEAR(surface.texts[3].y, 1.8 + pitch, 1e-9);
  EXPECT_NEAR(surface.texts[4].y, 1.8 + 2 * pitch, 1e-9);
  EXPECT_NEAR(surface.texts.back().y, 10.425, 1e-9);
  for (const auto& t : surface.texts) EXPECT_EQ(t.bold, t.text == "Time Conflicts") << t.text;
}

TEST_F(PrintJobTest, LongReportBreaksPagesRepeatingTopAndFooter) {
  std::string report;
  for (int i = 1; i <= 100; ++i) report += quotedLine("line " + std::to_string(i));
  CannedDialog dialog(1);
  EXPECT_EQ(printReport(request(report), dialog, surface).status, PrintStatus::Printed);
  const int pages = surface.count("page") + 1;
  EXPECT_GE(pages, 3);
  EXPECT_EQ(surface.count("picture 0.25 0.25 1.25 1"), pages);
  EXPECT_EQ(surface.count("print VELDRA [Ostrivane] - Results"), pages);
  EXPECT_EQ(surface.count("print Time Conflicts"), pages);
  EXPECT_EQ(surface.count("move 0.5 10.425"), pages);
  int next = 1;
  for (const auto& t : surface.texts) {
    if (t.font != "COURIER") continue;
    EXPECT_EQ(t.text, "line " + std::to_string(next++));
    EXPECT_LE(t.y + 8 * 1.2 / 72, kFooterY + 1e-9);
  }
  EXPECT_EQ(next, 101);
  // Each new page starts after the previous page's footer.
  for (std::size_t i = 0; i < surface.calls.size(); ++i) {
    if (surface.calls[i] != "page") continue;
    EXPECT_EQ(surface.calls[i - 1].rfind("print Printed ", 0), 0u);
    EXPECT_EQ(surface.calls[i + 1], "picture 0.25 0.25 1.25 1");
  }
}

TEST_F(PrintJobTest, EachCopyIsAJobOfItsOwn) {
  CannedDialog dialog(3);
  const auto outcome = printReport(request(quotedLine("X")), dialog, surface);
  EXPECT_EQ(outcome.copiesSent, 3);
  EXPECT_EQ(surface.count("begin"), 3);
  EXPECT_EQ(surface.count("end"), 3);
  EXPECT_EQ(surface.count("print X"), 3);
  EXPECT_EQ(surface.count("move 0.5 10.425"), 3);
  EXPECT_EQ(surface.calls.back(), "end");
}

TEST_F(PrintJobTest, CancelOrNoCopyPrintsNothing) {
  CannedDialog cancel(std::nullopt);
  EXPECT_EQ(printReport(request(quotedLine("X")), cancel, surface).status, PrintStatus::Cancelled);
  CannedDialog none(0);
  EXPECT_EQ(printReport(request(quotedLine("X")), none, surface).status, PrintStatus::Printed);
  EXPECT_TRUE(surface.calls.empty());
}

TEST_F(PrintJobTest, MissingOrBrokenFilesStartNoJobOrAbortIt) {
  PrintRequest noReport = request("");
  noReport.reportFile = dir.path() / "time conflicts" / "missing.tim";
  CannedDialog dialog(2);
  EXPECT_EQ(printReport(noReport, dialog, surface).status, PrintStatus::Failed);
  PrintRequest noLogo = request("");
  noLogo.logoFile = dir.path() / "resources" / "missing.jpg";
  EXPECT_EQ(printReport(noLogo, dialog, surface).status, PrintStatus::Failed);
  EXPECT_TRUE(surface.calls.empty());

  PrintRequest badLogo = request(quotedLine("X"));
  dir.write("resources/veldralogo-print.jpg", "not a picture");
  EXPECT_EQ(printReport(badLogo, dialog, surface).status, PrintStatus::Failed);
  EXPECT_EQ(surface.calls, (std::vector<std::string>{"begin", "abort"}));
}

TEST_F(PrintJobTest, PrinterErrorAbortsTheCurrentCopyAndStops) {
  CannedDialog dialog(3);
  surface.failAtLine = 6;  // second copy, its heading
  const auto outcome = printReport(request(quotedLine("X")), dialog, surface);
  EXPECT_EQ(outcome.status, PrintStatus::Failed);
  EXPECT_EQ(outcome.copiesSent, 1);
  EXPECT_EQ(surface.count("end"), 1);
  EXPECT_EQ(surface.calls.back(), "abort");

  RecordingSurface failingEnd;
  failingEnd.failEnd = true;
  CannedDialog once(1);
  EXPECT_EQ(printReport(request(quotedLine("X")), once, failingEnd).copiesSent, 0);
  EXPECT_EQ(failingEnd.calls.back(), "abort");
}

TEST(PrintRequestFor, UsesTheChosenReportAndThePrintLogo) {
  const Workspace ws("base");
  const auto request = printRequestFor(ws, ReportKind::Handle, "P 1", "1/2/26");
  ASSERT_TRUE(request);
  EXPECT_EQ(request->reportFile, ws.handleReport("P 1"));
  EXPECT_EQ(request->sectionTitle, "Handle Conflicts");
  EXPECT_EQ(request->logoFile, ws.resource("veldralogo-print.jpg"));
  EXPECT_FALSE(printRequestFor(ws, std::nullopt, "P 1", "1/2/26"));
  EXPECT_FALSE(printRequestFor(ws, ReportKind::Time, "", "1/2/26"));
}

}  // namespace
}  // namespace veldra
