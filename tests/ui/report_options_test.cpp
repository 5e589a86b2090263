#include "compare/checks.h"
#include "reports/report_options.h"
#include "ui/check_controls.h"
#include "window_fixture.h"

namespace veldra::testing {
namespace {

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
