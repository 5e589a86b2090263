// The Reports and About pages and the help windows through the real window;
// printing the report is print_job's.
#include <QRadioButton>
#include <QTabBar>
#include <QTextEdit>

#include "app/textfile.h"
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

}  // namespace
}  // namespace veldra::testing
