#include "reports/print_job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "app/textfile.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

using namespace print_layout;

class CannedDialog : public PrintDialog {
 public:
  explicit CannedDialog(std::optional<int> copies) : copies_(copies) {}
  std::optional<int> ask() override { return copies_; }

 private:
  std::optional<int> copies_;
};

// Logs every operation and moves like a printer: a line is 1.2 x the font
// size high. Fails at the n-th printed line or at the end when told to.
class RecordingSurface : public PrintSurface {
 public:
  bool beginDocument() override { return log("begin"); }
  void setFont(const std::string& name, double points, bool bold) override {
    size_ = points;
    log("font " + name + " " + num(points) + (bold ? " bold" : ""));
  }
  void moveTo(double x, double y) override {
    y_ = y;
    log("move " + num(x) + " " + num(y));
  }
  double currentY() const override { return y_; }
  double lineHeight() const override { return size_ * 1.2 / 72; }
  bool printLine(const std::string& text) override {
    if (++printed == failAtLine) return false;
    lineBottoms.push_back(y_ + lineHeight());
    y_ += lineHeight();
    return log("print " + text);
  }
  bool drawPicture(const std::string& bytes, double x, double y, double w, double h) override {
    return bytes == "JPEG" && log("picture " + num(x) + " " + num(y) + " " + num(w) + " " + num(h));
  }
  bool newPage() override { return log("page"); }
  bool endDocument() override { return !failEnd && log("end"); }
  void abortDocument() override { log("abort"); }

  static std::string num(double v) {
    std::ostringstream out;
    out << v;
    return out.str();
  }
  int count(const std::string& entry) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), entry));
  }

  std::vector<std::string> calls;
  std::vector<double> lineBottoms;
  int printed = 0, failAtLine = -1;
  bool failEnd = false;

 private:
  bool log(const std::string& entry) {
    calls.push_back(entry);
    return true;
  }
  double size_ = 10, y_ = 0;
};

class PrintJobTest : public ::testing::Test {
 protected:
  PrintRequest request(const std::string& report, const std::string& logo = "JPEG") {
    return {dir.write("P.tim", report), "Time Conflicts", dir.write("logo.jpg", logo), "06/12/2026"};
  }
  testing::TempDir dir;
  RecordingSurface surface;
};

TEST_F(PrintJobTest, OneCopyPrintsThePageInOrderWithItemsUnquoted) {
  CannedDialog dialog(1);
  const auto outcome = printReport(request(quotedLine("A.dwg, B.dwg") + quotedLine("C.dwg")), dialog, surface);
  EXPECT_EQ(outcome.status, PrintStatus::Printed);
  const std::string pitch1 = RecordingSurface::num(1.8 + 8 * 1.2 / 72 + 0.125);
  const std::string pitch2 = RecordingSurface::num(1.8 + 2 * (8 * 1.2 / 72 + 0.125));
  EXPECT_EQ(surface.calls, (std::vector<std::string>{
      "begin", "picture 0.25 0.25 1.25 1", "font ARIAL BLACK 16", "move 1.5 0.65",
      "print VELDRA [Ostrivane] - Results", "font ARIAL 12 bold", "move 0.5 1.5", "print Time Conflicts",
      "font COURIER 8", "move 0.5 1.8", "print A.dwg, B.dwg", "move 0.5 " + pitch1, "print C.dwg",
      "move 0.5 " + pitch2, "font ARIAL 5", "move 0.5 10.425",
      "print Printed 06/12/2026      VELDRA 2006 by Veldra Software - www.veldra.example  info@veldra.example",
      "end"}));
}

TEST_F(PrintJobTest, LongReportBreaksPagesRepeatingTopAndFooter) {
  std::string report;
  for (int i = 1; i <= 100; ++i) report += quotedLine("line " + std::to_string(i));
  CannedDialog dialog(1);
  EXPECT_EQ(printReport(request(report), dialog, surface).status, PrintStatus::Printed);
  const int pages = surface.count("page") + 1;
  EXPECT_GE(pages, 3);
  for (const char* perPage : {"picture 0.25 0.25 1.25 1", "print VELDRA [Ostrivane] - Results",
                              "print Time Conflicts", "move 0.5 10.425"})
    EXPECT_EQ(surface.count(perPage), pages) << perPage;
  std::vector<std::string> lines;
  for (const auto& c : surface.calls)
    if (c.rfind("print line ", 0) == 0) lines.push_back(c.substr(6));
  ASSERT_EQ(lines.size(), 100u);
  EXPECT_EQ(lines.back(), "line 100");
  for (double bottom : surface.lineBottoms) EXPECT_LE(bottom, kFooterY + 0.1);  // 0.1: the footer
  const auto page = std::find(surface.calls.begin(), surface.calls.end(), "page");
  EXPECT_EQ(page[-1].rfind("print Printed ", 0), 0u);  // footer before the break
}

TEST_F(PrintJobTest, EachCopyIsAJobOfItsOwnAndCancelPrintsNothing) {
  CannedDialog three(3);
  EXPECT_EQ(printReport(request(quotedLine("X")), three, surface).copiesSent, 3);
  for (const char* perCopy : {"begin", "print X", "move 0.5 10.425", "end"}) EXPECT_EQ(surface.count(perCopy), 3);
  surface.calls.clear();
  CannedDialog cancel(std::nullopt), none(0);
  EXPECT_EQ(printReport(request("x"), cancel, surface).status, PrintStatus::Cancelled);
  EXPECT_EQ(printReport(request("x"), none, surface).copiesSent, 0);
  EXPECT_TRUE(surface.calls.empty());
}

TEST_F(PrintJobTest, FailuresEndTheJobCleanly) {
  CannedDialog dialog(3);
  PrintRequest noReport = request("x");
  noReport.reportFile = dir.path() / "missing.tim";
  EXPECT_EQ(printReport(noReport, dialog, surface).status, PrintStatus::Failed);
  EXPECT_TRUE(surface.calls.empty());  // no job started
  EXPECT_EQ(printReport(request("x", "not a picture"), dialog, surface).status, PrintStatus::Failed);
  EXPECT_EQ(surface.calls, (std::vector<std::string>{"begin", "abort"}));

  RecordingSurface failing;
  failing.failAtLine = 6;  // the second copy's heading
  const auto outcome = printReport(request(quotedLine("X")), dialog, failing);
  EXPECT_EQ(outcome.status, PrintStatus::Failed);
  EXPECT_EQ(outcome.copiesSent, 1);
  EXPECT_EQ(failing.calls.back(), "abort");
  RecordingSurface failingEnd;
  failingEnd.failEnd = true;
  EXPECT_EQ(printReport(request("x"), dialog, failingEnd).copiesSent, 0);
  EXPECT_EQ(failingEnd.calls.back(), "abort");
}

}  // namespace
}  // namespace veldra
