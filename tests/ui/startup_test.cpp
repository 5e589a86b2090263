#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>

#include "window_fixture.h"

namespace veldra::testing {
namespace {

using StartUp = WindowTest;

TEST_F(StartUp, FirstStartShowsDefaultsAndCreatesAnEmptyProjectList) {
  std::filesystem::remove(base / "projects" / "projects.fil");
  NamedMainWindow& w = start();
  EXPECT_EQ(w.windowTitle(), "Veldra Main Control Centre - 2006");
  EXPECT_EQ(w.cmbEntity->currentText(), "RAY");
  EXPECT_EQ(w.chkLine->checkState(), Qt::Checked);
  EXPECT_EQ(w.chkSub->checkState(), Qt::Checked);
  EXPECT_TRUE(std::filesystem::exists(base / "projects" / "projects.fil"));
  EXPECT_EQ(file("projects/projects.fil"), "");
  EXPECT_EQ(w.lstProjects->count(), 0);
  EXPECT_TRUE(messages.shown.empty());
  // Unchanged boxes write nothing.
  EXPECT_FALSE(std::filesystem::exists(base / "warning.fil"));
  EXPECT_FALSE(std::filesystem::exists(base / "folders.fil"));
  EXPECT_EQ(w.findChild<QLabel*>("Date")->text(), "Saturday, December 5 2026");
  for (const char* name : {"cmdAddproj", "cmdRemproj", "cmdAddloc", "cmdRemloc", "cmdJump", "cmdCollect",
                           "cmdCompare", "cmdPrint"}) {
    EXPECT_FALSE(w.findChild<QPushButton*>(name)->isEnabled()) << name;
  }
  for (const char* name : {"cmdExit", "cmdHelp", "cmdWhatnext"}) {
    EXPECT_TRUE(w.findChild<QPushButton*>(name)->isEnabled()) << name;
  }
}

TEST_F(StartUp, RestoringLineWarnsBecauseTheWindowIsAlreadyShown) {
  // The warning is judged with the box as it stands before warning.fil is
  // applied, so even a stored 0 warns once at start-up.
  put("default.fil", "9\r\n");
  put("warning.fil", "0\r\n");
  put("folders.fil", "0\r\n");
  NamedMainWindow& w = start();
  EXPECT_EQ(w.cmbEntity->currentText(), "LINE");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "Entity Selection");
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Information);
  EXPECT_EQ(messages.shown[0].text,
            "Warning! LINES often result in large quantities,\rtherefore comparison times may be lengthy...");
  EXPECT_EQ(w.chkLine->checkState(), Qt::Unchecked);
  EXPECT_EQ(w.chkSub->checkState(), Qt::Unchecked);
  EXPECT_EQ(file("folders.fil"), "0\r\n");
  EXPECT_EQ(file("warning.fil"), "0\r\n");
  // Clicking the box twice leaves 1, then 0, each time the whole file.
  w.chkSub->click();
  EXPECT_EQ(file("folders.fil"), "1\r\n");
  w.chkSub->click();
  EXPECT_EQ(file("folders.fil"), "0\r\n");
}

TEST_F(StartUp, MalformedSettingsLeaveTheControlsAsTheyWere) {
  put("default.fil", "abc\r\n");
  put("warning.fil", "7\r\n");
  put("folders.fil", "2\r\n");
  NamedMainWindow& w = start();
  EXPECT_EQ(w.cmbEntity->currentIndex(), 0);  // start-up selected the first entry
  EXPECT_EQ(w.chkLine->checkState(), Qt::Checked);
  EXPECT_EQ(w.chkSub->checkState(), Qt::PartiallyChecked);  // 2 shows the box greyed
  EXPECT_EQ(file("warning.fil"), "7\r\n");
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(StartUp, ExitAndCloseBothSaveTheEntityPositionAndEnd) {
  NamedMainWindow& w = start();
  w.cmbEntity->setCurrentIndex(3);
  w.cmdExit->click();
  EXPECT_EQ(file("default.fil"), "3\r\n");
  EXPECT_EQ(ended, 1);

  window.reset();
  NamedMainWindow& again = start();
  EXPECT_EQ(again.cmbEntity->currentText(), "BLOCKREFERENCE");
  // Free text that is no item of the list is stored as no position.
  again.cmbEntity->setEditText("WIDGET");
  again.close();
  EXPECT_EQ(file("default.fil"), "-1\r\n");
  EXPECT_EQ(ended, 2);

  // Without a base folder nothing is saved, and the program ends all the same.
  window.reset();
  start();
  std::filesystem::remove_all(base);
  window->cmdExit->click();
  EXPECT_EQ(ended, 3);
  EXPECT_TRUE(messages.shown.empty());
}

// On a screen whose free area is smaller than the window (a large display
// scale on a small screen) the window opens smaller and every control can
// still be scrolled to; where it fits, it keeps its designed size and shows
// no scroll bar.
TEST_F(StartUp, TheWindowShrinksToAFreeAreaTooSmallAndItsControlsScroll) {
  auto& w = start();
  QApplication::processEvents();
  EXPECT_EQ(w.size(), QSize(506, 561));
  auto* scroller = w.findChild<QScrollArea*>(QStringLiteral("frmMainScroller"));
  ASSERT_NE(scroller, nullptr);
  EXPECT_FALSE(scroller->verticalScrollBar()->isVisible());
  EXPECT_FALSE(scroller->horizontalScrollBar()->isVisible());

  w.fitInto(QSize(1600, 400));
  QApplication::processEvents();
  EXPECT_EQ(w.height(), 400);
  EXPECT_GT(w.width(), 506);  // room for the scroll bar, the sheet not cut
  EXPECT_TRUE(scroller->verticalScrollBar()->isVisible());
  EXPECT_FALSE(scroller->horizontalScrollBar()->isVisible());
  scroller->ensureWidgetVisible(w.cmdExit);
  QApplication::processEvents();
  const QRect exit(w.cmdExit->mapTo(scroller->viewport(), QPoint(0, 0)), w.cmdExit->size());
  EXPECT_TRUE(scroller->viewport()->rect().contains(exit));

  w.fitInto(QSize(1600, 1200));
  QApplication::processEvents();
  EXPECT_EQ(w.size(), QSize(506, 561));
  EXPECT_FALSE(scroller->verticalScrollBar()->isVisible());
}

}  // namespace
}  // namespace veldra::testing
