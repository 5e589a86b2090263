// The Reports and About pages, Print and the help windows through the real
// window.
#include <QImage>
#include <QLocale>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTabBar>
#include <QTextEdit>

#include "app/textfile.h"
#include "reports/print_job.h"
#include "ui/help_window.h"
#include "ui/qt_print_surface.h"
#include "ui/whatnext_window.h"
#include "window_fixture.h"

namespace veldra::testing {
namespace {

// Each printed copy goes to a PDF file of its own.
class PdfCopies : public QtPrintSurface {
 public:
  PdfCopies(QPrinter& printer, std::filesystem::path folder, std::vector<QString>& files)
      : QtPrintSurface(printer), printer_(printer), folder_(std::move(folder)), files_(files) {}
  bool beginDocument() override {
    files_.push_back(QString::fromStdString((folder_ / ("copy" + std::to_string(files_.size() + 1) + ".pdf")).string()));
    printer_.setOutputFormat(QPrinter::PdfFormat);
    printer_.setOutputFileName(files_.back());
    return QtPrintSurface::beginDocument();
  }

 private:
  QPrinter& printer_;
  std::filesystem::path folder_;
  std::vector<QString>& files_;
};

class ChosenCopies : public PrintDialog {
 public:
  ChosenCopies(std::optional<int> copies, int& asked) : copies_(copies), asked_(asked) {}
  std::optional<int> ask() override { return ++asked_, copies_; }

 private:
  std::optional<int> copies_;
  int& asked_;
};

class ReportsPage : public WindowTest {
 protected:
  // The window with Print's dialog answering `copies` and copies printed to PDF files.
  MainWindow& startPrinting() {
    MainWindowDeps deps;
    deps.messages = &messages;
    deps.host = &host;
    deps.volumes = &volumes;
    deps.splashDuration = std::chrono::milliseconds(0);
    deps.today = [] { return QDate(2026, 12, 5); };
    deps.installLoc = base.string();
    deps.printDialog = [this](QPrinter&) { return std::make_unique<ChosenCopies>(copies, asked); };
    deps.printSurface = [this](QPrinter& printer) {
      return std::make_unique<PdfCopies>(printer, dir.path(), pdfs);
    };
    window = std::make_unique<MainWindow>(deps);
    window->startUp();
    return *window;
  }
  void selectProject(const QString& name) {
    clickRow(window->lstProjects, static_cast<int>(texts(window->lstProjects).indexOf(name)));
  }
  std::string viewer() const { return window->RichTextBox1->toPlainText().toStdString(); }
  static std::string pdfText(const QString& pdf) {
    QProcess run;
    run.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    run.waitForFinished(30000);
    return QString::fromUtf8(run.readAllStandardOutput()).toStdString();
  }

  std::optional<int> copies;
  int asked = 0;
  std::vector<QString> pdfs;
};

TEST_F(ReportsPage, OptionClickWithoutAProjectChangesNothing) {
  put("projects/projects.fil", "\"HOUSE\"\r\n");
  put("time conflicts/HOUSE.tim", quotedLine("A.dwg and B.dwg"));
  MainWindow& w = start();
  w.optReport[0]->click();  // nothing selected yet
  EXPECT_EQ(viewer(), "");
  EXPECT_FALSE(w.cmdPrint->isEnabled());
  selectProject("HOUSE");
  w.optReport[0]->click();
  EXPECT_EQ(viewer(), "\"A.dwg and B.dwg\"\n");
  w.lstProjects->clearSelection();
  w.optReport[1]->click();  // the report stays and so does Print
  EXPECT_EQ(viewer(), "\"A.dwg and B.dwg\"\n");
  EXPECT_TRUE(w.cmdPrint->isEnabled());
}

TEST_F(ReportsPage, MissingReportsNameTheProjectAndAReportWrittenLaterLoadsOnTheNextClick) {
  put("projects/projects.fil", "\"SAMPLE CLASS 2\"\r\n");
  MainWindow& w = start();
  selectProject("SAMPLE CLASS 2");
  const char* messagesByOption[3] = {"No available TIME CONFLICTS for Project: SAMPLE CLASS 2",
                                     "No available HANDLE [Entity] CONFLICTS for Project: SAMPLE CLASS 2",
                                     "No available DWG Date CONFLICTS for Project: SAMPLE CLASS 2"};
  const char* files[3] = {"time conflicts/SAMPLE CLASS 2.tim", "handle conflicts/SAMPLE CLASS 2.hnd",
                          "date conflicts/SAMPLE CLASS 2.dat"};
  put("time conflicts/SAMPLE CLASS.tim", quotedLine("another project's report"));
  put("time conflicts/SAMPLE_CLASS_2.tim", quotedLine("another project's report"));
  for (int i = 0; i < 3; ++i) {
    w.optReport[i]->click();
    EXPECT_EQ(viewer(), messagesByOption[i]);
    EXPECT_FALSE(w.cmdPrint->isEnabled());
  }
  for (int i = 0; i < 3; ++i) {
    put(files[i], quotedLine(std::string("report ") + char('0' + i)));
    w.optReport[i]->click();
    EXPECT_EQ(viewer(), "\"report " + std::string(1, char('0' + i)) + "\"\n");
    EXPECT_TRUE(w.cmdPrint->isEnabled());
    EXPECT_EQ(w.RichTextBox1->font().family(), "Courier New");
  }
}

TEST_F(ReportsPage, ReportsTabReloadsTheLastOptionWithoutAClick) {
  put("projects/projects.fil", "\"HOUSE\"\r\n");
  MainWindow& w = start();
  w.TabStrip1->setCurrentIndex(2);  // no project: the page only
  EXPECT_TRUE(w.frmReports->isVisible());
  EXPECT_EQ(viewer(), "");
  selectProject("HOUSE");
  w.optReport[1]->click();
  EXPECT_FALSE(w.cmdPrint->isEnabled());
  w.TabStrip1->setCurrentIndex(0);
  put("handle conflicts/HOUSE.hnd", quotedLine("Handles of A.dwg match B.dwg: 90%"));
  w.TabStrip1->setCurrentIndex(2);
  EXPECT_EQ(viewer(), "\"Handles of A.dwg match B.dwg: 90%\"\n");
  EXPECT_TRUE(w.cmdPrint->isEnabled());
}

TEST_F(ReportsPage, AboutTabReadsTheDocumentOnEveryChoiceOrSaysItIsMissing) {
  MainWindow& w = start();
  w.TabStrip1->setCurrentIndex(3);
  EXPECT_EQ(w.RichTextBox2->toPlainText(), "About document not found...");
  put("resources/about.rtf", "{\\rtf1 VELDRA 2006}");
  w.TabStrip1->setCurrentIndex(0);
  w.TabStrip1->setCurrentIndex(3);
  EXPECT_EQ(w.RichTextBox2->toPlainText(), "VELDRA 2006");
}

TEST_F(ReportsPage, PrintCancelledPrintsNothingAndTwoCopiesAreTwoDocuments) {
  if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
    GTEST_SKIP() << "poppler-utils not installed";
  put("projects/projects.fil", "\"HOUSE\"\r\n\"SHED\"\r\n");
  put("time conflicts/HOUSE.tim", quotedLine("A.dwg, B.dwg: same creation time") + quotedLine("C.dwg and D.dwg"));
  put("time conflicts/SHED.tim", quotedLine("shed report"));
  QImage logo(125, 100, QImage::Format_RGB32);
  logo.fill(Qt::darkBlue);
  ASSERT_TRUE(logo.save(QString::fromStdString(ws.resource("veldralogo-print.jpg").string()), "JPG"));
  MainWindow& w = startPrinting();
  selectProject("HOUSE");
  w.optReport[0]->click();
  const std::string shown = viewer();

  w.cmdPrint->click();  // cancelled
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(pdfs.empty());

  copies = 2;
  selectProject("SHED");  // the viewer still shows the house's report, and Print prints it
  w.cmdPrint->click();
  EXPECT_EQ(asked, 2);
  ASSERT_EQ(pdfs.size(), 2u);
  const std::string date = QLocale::system().toString(QDate(2026, 12, 5), QLocale::ShortFormat).toStdString();
  for (const QString& pdf : pdfs) {
    const std::string text = pdfText(pdf);
    for (const std::string& expected : {std::string("VELDRA [Ostrivane] - Results"), std::string("Time Conflicts"),
                                        std::string("A.dwg, B.dwg: same creation time"),
                                        std::string("C.dwg and D.dwg"), "Printed " + date})
      EXPECT_NE(text.find(expected), std::string::npos) << expected << " in\n" << text;
    EXPECT_EQ(text.find('"'), std::string::npos);
    EXPECT_EQ(text.find("shed report"), std::string::npos);
  }
  EXPECT_EQ(viewer(), shown);
  EXPECT_TRUE(w.cmdPrint->isEnabled());
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ReportsPage, HelpIsOneWindowReloadedOnEveryClick) {
  put("quorvix.rtf", "{\\rtf1 Start}");
  put("resources/Veldra2006.rtf", "{\\rtf1 Full help}");
  MainWindow& w = start();
  w.cmdHelp->click();
  auto* help = w.findChild<HelpWindow*>("frmHelp");
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_EQ(help->findChild<QTextEdit*>("RichTextBox1")->toPlainText(), "Full help");
  help->hide();
  put("resources/Veldra2006.rtf", "{\\rtf1 Revised help}");
  w.cmdHelp->click();
  EXPECT_EQ(w.findChildren<HelpWindow*>().size(), 1);
  EXPECT_TRUE(help->isVisible());
  EXPECT_EQ(help->findChild<QTextEdit*>("RichTextBox1")->toPlainText(), "Revised help");
}

TEST_F(ReportsPage, WhatNextWithoutItsDocumentShowsTheWindowAndOneMessagePerClick) {
  MainWindow& w = start();
  w.cmdWhatnext->click();
  w.cmdWhatnext->click();
  auto* advice = w.findChild<WhatNextWindow*>("WhatNext");
  ASSERT_NE(advice, nullptr);
  EXPECT_TRUE(advice->isVisible());
  EXPECT_EQ(w.findChildren<WhatNextWindow*>().size(), 1);
  ASSERT_EQ(messages.texts(), (std::vector<std::string>{"Whatnext.rtf unavailable!", "Whatnext.rtf unavailable!"}));
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Critical);
  put("resources/whatnext.rtf", "{\\rtf1 Talk to the students.}");
  w.cmdWhatnext->click();
  EXPECT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(advice->findChild<QTextEdit*>("RichTextBox1")->toPlainText(), "Talk to the students.");
}

}  // namespace
}  // namespace veldra::testing
