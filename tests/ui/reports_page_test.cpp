// The Reports and About pages, the report options and the help windows
// through the real window; printing the report is print_job's.
#include <QRadioButton>
#include <QTabBar>
#include <QTextEdit>

#include "app/textfile.h"
#include "compare/checks.h"
#include "reports/report_options.h"
#include "ui/check_controls.h"
#include "ui/help_window.h"
#include "ui/whatnext_window.h"
#include "window_fixture.h"

namespace veldra::testing {
namespace {

class ReportsPage : public WindowTest {
 protected:
  void select(const QString& name) { clickRow(window->lstProjects, static_cast<int>(texts(window->lstProjects).indexOf(name))); }
  std::string shown() const { return window->RichTextBox1->toPlainText().toStdString(); }
};

// Which text each option gives is the report viewer's; here, that the page
// shows it for the selected project and Print follows.
TEST_F(ReportsPage, OptionsShowTheSelectedProjectsReportAndPrintFollows) {
  put("projects/projects.fil", "\"SAMPLE CLASS 2\"\r\n");
  put("time conflicts/SAMPLE CLASS.tim", quotedLine("another project's report"));
  NamedMainWindow& w = start();
  w.optReport[0]->click();  // no project: nothing changes
  EXPECT_EQ(shown(), "");
  select("SAMPLE CLASS 2");
  w.optReport[2]->click();
  EXPECT_EQ(shown(), "No available DWG Date CONFLICTS for Project: SAMPLE CLASS 2");
  EXPECT_FALSE(w.cmdPrint->isEnabled());
  put("date conflicts/SAMPLE CLASS 2.dat", quotedLine("A.dwg, B.dwg"));
  w.optReport[2]->click();
  EXPECT_EQ(shown(), "\"A.dwg, B.dwg\"\n");
  EXPECT_TRUE(w.cmdPrint->isEnabled());
  w.lstProjects->clearSelection();
  w.optReport[0]->click();  // the report shown and Print stay
  EXPECT_EQ(shown(), "\"A.dwg, B.dwg\"\n");
  EXPECT_TRUE(w.cmdPrint->isEnabled());
}

TEST_F(ReportsPage, TabsReloadTheLastReportOptionAndTheAboutDocument) {
  put("projects/projects.fil", "\"HOUSE\"\r\n");
  NamedMainWindow& w = start();
  select("HOUSE");
  w.optReport[1]->click();
  w.TabStrip1->setCurrentIndex(3);
  EXPECT_EQ(w.RichTextBox2->toPlainText(), "About document not found...");
  put("handle conflicts/HOUSE.hnd", quotedLine("90%"));
  put("resources/about.rtf", "{\\rtf1 VELDRA 2006}");
  w.TabStrip1->setCurrentIndex(2);
  EXPECT_EQ(shown(), "\"90%\"\n");
  EXPECT_TRUE(w.cmdPrint->isEnabled());
  w.TabStrip1->setCurrentIndex(3);
  EXPECT_EQ(w.RichTextBox2->toPlainText(), "VELDRA 2006");
}

// What each window shows on a click is the help windows' own test's.
TEST_F(ReportsPage, HelpAndAdviceAreOneWindowEach) {
  NamedMainWindow& w = start();
  w.cmdHelp->click();
  w.cmdHelp->click();
  ASSERT_EQ(w.findChildren<HelpWindow*>().size(), 1);
  w.cmdWhatnext->click();
  w.cmdWhatnext->click();
  ASSERT_EQ(w.findChildren<WhatNextWindow*>().size(), 1);
  // The advice stays open whichever page comes to the front.
  for (int tab : {0, 1, 3}) {
    w.TabStrip1->setCurrentIndex(tab);
    EXPECT_TRUE(w.findChild<WhatNextWindow*>()->isVisible()) << tab;
  }
}

// The report options and the checks' switches beside them.
using ReportOptions = WindowTest;

TEST_F(ReportOptions, RunButtonsFollowTheSwitches) {
  put("projects/projects.fil", "\"HOUSE\"\r\n");
  NamedMainWindow& w = start();
  // Without a project: all off disables, one on leaves them disabled.
  for (QCheckBox* box : w.chkOpt)
    if (box->isChecked()) box->click();
  EXPECT_FALSE(w.cmdCollect->isEnabled());
  w.chkOpt[2]->click();
  EXPECT_FALSE(w.cmdCollect->isEnabled());
  EXPECT_FALSE(w.cmdCompare->isEnabled());

  clickRow(w.lstProjects, 0);
  EXPECT_TRUE(w.cmdCollect->isEnabled());
  w.chkOpt[2]->click();
  EXPECT_FALSE(w.cmdCollect->isEnabled());
  EXPECT_FALSE(w.cmdCompare->isEnabled());
  w.chkOpt[0]->click();
  EXPECT_TRUE(w.cmdCollect->isEnabled());
  EXPECT_TRUE(w.cmdCompare->isEnabled());
}

// A check of the comparison that the window holds no controls for would run
// unseen, as its default says.
TEST_F(ReportOptions, EveryCheckHasItsSwitchCounterAndReportOption) {
  NamedMainWindow& w = start();
  for (const Check* check : comparisonChecks()) {
    const CheckControls* controls = checkControls(check->name());
    ASSERT_NE(controls, nullptr) << check->name();
    const QCheckBox* box = namedChild<QCheckBox>(w, controls->switchName);
    EXPECT_TRUE(box && box->isChecked() == check->face().onByDefault) << check->name();
    EXPECT_TRUE(namedChild<QLabel>(w, controls->counterName) && namedChild<QRadioButton>(w, controls->reportOptionName));
  }
}

TEST_F(ReportOptions, HandleSwitchCaptionFollowsTheThreshold) {
  NamedMainWindow& w = start();
  EXPECT_EQ(w.cmbPercent->currentText(), "100");
  EXPECT_EQ(w.cmbdate->currentText(), "1 month");
  EXPECT_EQ(w.cmbPercent->count(), 11);
  EXPECT_EQ(w.cmbdate->count(), 11);
  w.cmbPercent->setCurrentIndex(3);
  emit w.cmbPercent->activated(3);
  EXPECT_EQ(w.chkOpt[1]->text(), "Entities >");
  w.cmbPercent->setCurrentIndex(0);
  emit w.cmbPercent->activated(0);
  EXPECT_EQ(w.chkOpt[1]->text(), "Entities =");
}

TEST_F(ReportOptions, OnlyLineWithTheWarningSwitchOnWarns) {
  NamedMainWindow& w = start();
  ASSERT_EQ(w.cmbEntity->count(), 22);
  auto choose = [&](const char* item) {
    const int index = w.cmbEntity->findText(item);
    w.cmbEntity->setCurrentIndex(index);
    emit w.cmbEntity->activated(index);
  };
  choose("MLINE");
  choose("XLINE");
  EXPECT_TRUE(messages.shown.empty());
  choose("LINE");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(std::count(messages.shown[0].text.begin(), messages.shown[0].text.end(), '\r'), 1);
  EXPECT_EQ(messages.shown[0].text.find('\n'), std::string::npos);
  w.chkLine->click();
  EXPECT_EQ(file("warning.fil"), "0\r\n");
  choose("LINE");
  EXPECT_EQ(messages.shown.size(), 1u);
  // A hidden window does not warn.
  EXPECT_FALSE(shouldWarnAboutLines("LINE", 1, false));
}

}  // namespace
}  // namespace veldra::testing
