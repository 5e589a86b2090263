#include <QTabBar>

#include "window_fixture.h"

namespace veldra::testing {
namespace {

class Locations : public WindowTest {
 protected:
  // Starts with one project selected and the Locations page in front.
  NamedMainWindow& startWithProject() {
    put("projects/projects.fil", "\"HOUSE\"\r\n");
    NamedMainWindow& w = start();
    clickRow(w.lstProjects, 0);
    w.TabStrip1->setCurrentIndex(1);
    return w;
  }
  void touch(const std::string& relative) const { dir.write(relative, ""); }
  // `count` drawings named 0.dwg, 1.dwg, ... in a folder.
  void drawings(const std::string& folderName, int count) const {
    for (int i = 0; i < count; ++i) touch(folderName + "/" + std::to_string(i) + (i % 2 ? ".DWG" : ".dwg"));
  }
};

TEST_F(Locations, MarksFollowTheSubfolderBoxAndAListedPathIsRefused) {
  const QString a = folder("draw/a");
  const QString b = folder("draw/b");
  NamedMainWindow& w = startWithProject();
  ASSERT_TRUE(w.openFolder(a));
  w.chkSub->setChecked(true);
  QTest::mouseClick(w.cmdAddloc, Qt::LeftButton);
  ASSERT_TRUE(w.openFolder(b));
  w.chkSub->setChecked(false);
  w.cmdAddloc->click();
  EXPECT_EQ(texts(w.lstLocations), (QStringList{"+" + a, "-" + b}));
  const std::string expected = "\"+" + a.toStdString() + "\"\r\n\"-" + b.toStdString() + "\"\r\n";
  EXPECT_EQ(file("projects/HOUSE.prj"), expected);
  EXPECT_TRUE(messages.shown.empty());

  // The same folder again, with either mark, changes nothing.
  ASSERT_TRUE(w.openFolder(a));
  w.cmdAddloc->click();
  w.chkSub->setChecked(true);
  w.cmdAddloc->click();
  ASSERT_EQ(messages.texts(), (std::vector<std::string>{"Path already exists!", "Path already exists!"}));
  EXPECT_EQ(messages.shown[0].title, "VELDRA Error");
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Critical);
  EXPECT_EQ(w.lstLocations->count(), 2);
  EXPECT_EQ(file("projects/HOUSE.prj"), expected);
}

// What is counted is the folder listing's; the label shows it, and keeps
// 0000 where a location cannot be listed.
TEST_F(Locations, TheCountOfDrawingsFollowsTheLocations) {
  drawings("top", 2);
  drawings("top/s1", 3);
  drawings("top/s2", 4);
  const QString top = folder("top");
  NamedMainWindow& w = startWithProject();
  ASSERT_TRUE(w.openFolder(top));
  w.chkSub->setChecked(true);
  w.cmdAddloc->click();
  EXPECT_EQ(w.lblTotalFiles->text(), "0009");

  // A location that cannot be listed stops the count; the label keeps 0000.
  put("projects/HOUSE.prj", "\"-" + top.toStdString() + "\"\r\n\"-/no/such/folder\"\r\n");
  w.lstProjects->clearSelection();
  clickRow(w.lstProjects, 0);
  EXPECT_EQ(w.lblTotalFiles->text(), "0000");
  EXPECT_TRUE(w.cmdCollect->isEnabled());
}

TEST_F(Locations, RemovingSelectsTheFirstAndTheLastLeavesAnEmptyFile) {
  const QString a = folder("a");
  const QString b = folder("b");
  touch("a/x.dwg");
  put("projects/HOUSE.prj", "\"-" + a.toStdString() + "\"\r\n\"-" + b.toStdString() + "\"\r\n");
  NamedMainWindow& w = startWithProject();
  EXPECT_EQ(w.lblTotalFiles->text(), "0001");
  clickRow(w.lstLocations, 1);
  EXPECT_TRUE(w.cmdJump->isEnabled());
  w.cmdRemloc->click();
  EXPECT_EQ(texts(w.lstLocations), QStringList{"-" + a});
  EXPECT_EQ(w.lstLocations->currentRow(), 0);
  EXPECT_TRUE(w.cmdRemloc->isEnabled());
  EXPECT_EQ(file("projects/HOUSE.prj"), "\"-" + a.toStdString() + "\"\r\n");

  w.cmdRemloc->click();
  EXPECT_EQ(w.lstLocations->count(), 0);
  EXPECT_TRUE(std::filesystem::exists(base / "projects" / "HOUSE.prj"));
  EXPECT_EQ(file("projects/HOUSE.prj"), "");
  EXPECT_FALSE(w.cmdRemloc->isEnabled());
  EXPECT_FALSE(w.cmdJump->isEnabled());
  EXPECT_EQ(w.lblTotalFiles->text(), "0000");
}

TEST_F(Locations, JumpOpensTheFolderOrSaysWhyItCannot) {
  const QString there = folder("there");
  const QString gone = folder("gone");
  volumes.list = {QStringLiteral("/"), QStringLiteral("/media/offline")};
  volumes.notReady = {QStringLiteral("/media/offline")};
  put("projects/HOUSE.prj", "\"-" + there.toStdString() + "\"\r\n\"+" + gone.toStdString() +
                                "\"\r\n\"-Q:\\drawings\"\r\n\"-/media/offline/x\"\r\n");
  std::filesystem::remove(gone.toStdString());
  NamedMainWindow& w = startWithProject();

  clickRow(w.lstLocations, 0);
  w.cmdJump->click();
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(w.currentFolder(), there);

  clickRow(w.lstLocations, 1);
  w.cmdJump->click();
  EXPECT_EQ(messages.texts(), std::vector<std::string>{"Path does not exist - CANNOT jump to this location!"});
  EXPECT_EQ(messages.shown[0].title, kAppTitle);
  EXPECT_EQ(w.currentFolder(), there);

  messages.shown.clear();
  clickRow(w.lstLocations, 2);
  w.cmdJump->click();
  EXPECT_EQ(messages.texts(), (std::vector<std::string>{"Drive does not exist - CANNOT jump to this location!",
                                                         "Path does not exist - CANNOT jump to this location!"}));

  messages.shown.clear();
  clickRow(w.lstLocations, 3);
  w.cmdJump->click();
  EXPECT_EQ(messages.texts(), (std::vector<std::string>{"Drive not ready!",
                                                         "Path does not exist - CANNOT jump to this location!"}));
  EXPECT_EQ(messages.shown[0].title, "Drive Error");
  EXPECT_EQ(w.drvMain->currentData().toString(), "/");
}

TEST_F(Locations, PickingADriveThatIsNotReadyReturnsToTheRootVolume) {
  volumes.list = {QStringLiteral("/"), QStringLiteral("/media/cdrom")};
  volumes.notReady = {QStringLiteral("/media/cdrom")};
  NamedMainWindow& w = start();
  EXPECT_EQ(w.drvMain->count(), 2);
  w.drvMain->setCurrentIndex(1);
  EXPECT_EQ(messages.texts(), std::vector<std::string>{"Drive not ready!"});
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Critical);
  EXPECT_EQ(w.drvMain->currentIndex(), 0);
}

TEST_F(Locations, DoubleClickOpensAFolderAndHighlightingDoesNot) {
  const QString top = folder("browse");
  folder("browse/inner");
  NamedMainWindow& w = startWithProject();
  ASSERT_TRUE(w.openFolder(top));
  QListWidgetItem* inner = nullptr;
  for (int i = 0; i < w.dirMain->count(); ++i)
    if (w.dirMain->item(i)->text().trimmed() == "inner") inner = w.dirMain->item(i);
  ASSERT_NE(inner, nullptr);
  clickRow(w.dirMain, w.dirMain->row(inner));
  EXPECT_EQ(w.currentFolder(), top);
  QTest::mouseDClick(w.dirMain->viewport(), Qt::LeftButton, {}, w.dirMain->visualItemRect(inner).center());
  EXPECT_EQ(w.currentFolder(), top + "/inner");
  // The parent chain above the open folder leads back up, also by keyboard.
  ASSERT_GT(w.dirMain->currentRow(), 0);
  w.dirMain->setCurrentRow(w.dirMain->currentRow() - 1);
  QTest::keyClick(w.dirMain, Qt::Key_Return);
  EXPECT_EQ(w.currentFolder(), top);
}

}  // namespace
}  // namespace veldra::testing
