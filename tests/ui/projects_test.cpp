#include "window_fixture.h"
#include "platform/platform.h"

namespace veldra::testing {
namespace {

using Projects = WindowTest;

TEST_F(Projects, AddingToAnEmptyListStoresTheUpperCaseNameAndSelectsIt) {
  NamedMainWindow& w = start();
  w.txtProject->setText("bridge a");
  EXPECT_TRUE(w.cmdAddproj->isEnabled());
  QTest::mouseClick(w.cmdAddproj, Qt::LeftButton);
  EXPECT_EQ(texts(w.lstProjects), QStringList{"BRIDGE A"});
  EXPECT_EQ(file("projects/projects.fil"), "\"BRIDGE A\"\r\n");
  EXPECT_EQ(w.selectedProject(), "BRIDGE A");
  EXPECT_EQ(w.findChild<QLabel*>("lblProject_1")->text(), "Project: BRIDGE A");
  EXPECT_EQ(w.lstLocations->count(), 0);
  EXPECT_EQ(w.lblTotalFiles->text(), "0000");
  EXPECT_TRUE(w.txtProject->text().isEmpty());
  for (QPushButton* b : {w.cmdRemproj, w.cmdAddloc, w.cmdCollect}) EXPECT_TRUE(b->isEnabled());
  for (QPushButton* b : {w.cmdAddproj, w.cmdCompare, w.cmdRemloc, w.cmdJump}) EXPECT_FALSE(b->isEnabled());
}

TEST_F(Projects, DuplicateNameIsRefusedClearedAndTheLastProjectSelected) {
  put("projects/projects.fil", "\"BRIDGE A\"\r\n\"HOUSE\"\r\n");
  NamedMainWindow& w = start();
  clickRow(w.lstProjects, 0);
  addProject("Bridge a");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "Duplicate project name!");
  EXPECT_EQ(messages.shown[0].title, "VELDRA Error");
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Information);
  EXPECT_TRUE(w.txtProject->text().isEmpty());
  EXPECT_EQ(w.selectedProject(), "HOUSE");
  EXPECT_EQ(w.findChild<QLabel*>("lblProject_0")->text(), "Project: HOUSE");
  EXPECT_EQ(file("projects/projects.fil"), "\"BRIDGE A\"\r\n\"HOUSE\"\r\n");
}

// Which names break the rules is the project store's; the window refuses
// them and keeps the name for the user to correct.
TEST_F(Projects, AnUnsafeNameIsRefusedAndKeptForCorrecting) {
  NamedMainWindow& w = start();
  addProject("../evil");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Critical);
  EXPECT_EQ(w.txtProject->text(), "../evil");
  EXPECT_EQ(w.lstProjects->count(), 0);
}

// A name edited into projects.fil that would lead outside the workspace is
// listed, but nothing is read or written under it: selecting it says why,
// and removing it takes only its line.
TEST_F(Projects, AListedNameThatBreaksTheRulesCanOnlyBeRemoved) {
  put("projects/projects.fil", "\"HOUSE\"\r\n\"../../escaped\"\r\n");
  dir.write("escaped.prj", "\"-/somewhere\"\r\n");
  dir.write("escaped.cmp", "\"A,1,,END\"\r\n");
  NamedMainWindow& w = start();
  EXPECT_EQ(texts(w.lstProjects), QStringList({"HOUSE", "../../escaped"}));
  clickRow(w.lstProjects, 1);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_TRUE(messages.shown[0].text.starts_with("The project name ../../escaped in " + utf8FromPath(ws.projectsFile()) +
                                                 " cannot be used: "))
      << messages.shown[0].text;
  EXPECT_EQ(messages.shown[0].title, "VELDRA Error");
  EXPECT_EQ(w.selectedProject(), "");
  EXPECT_EQ(w.lstLocations->count(), 0);
  EXPECT_TRUE(w.cmdRemproj->isEnabled());
  for (QPushButton* b : {w.cmdAddloc, w.cmdCollect, w.cmdCompare}) EXPECT_FALSE(b->isEnabled());
  w.chkOpt[2]->click();  // a switch turned on does not offer a run either
  EXPECT_FALSE(w.cmdCollect->isEnabled());
  w.runPanel->collect();
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "escaped.ent"));

  messages.answer = true;
  w.cmdRemproj->click();
  ASSERT_EQ(messages.asked.size(), 1u);
  EXPECT_NE(messages.asked[0].text.find("no file is deleted"), std::string::npos);
  EXPECT_EQ(file("projects/projects.fil"), "\"HOUSE\"\r\n");
}

// Removing a project deletes the evidence of its past runs: the window asks
// first, naming the files that would go; No changes nothing, Yes deletes
// them and empties what the window showed of the project.
TEST_F(Projects, RemovalAsksFirstAndNoKeepsEverything) {
  put("projects/projects.fil", "\"HOUSE\"\r\n\"P 1\"\r\n");
  put("projects/P 1.prj", "\"-/nowhere\"\r\n");
  put("compares/P 1.cmp", "\"record\"\r\n");
  put("compares/P 1.ent", "\"LINE\"\r\n");
  put("handle conflicts/P 1.hnd", "x");
  NamedMainWindow& w = start();
  clickRow(w.lstProjects, 1);
  w.cmdRemproj->click();
  ASSERT_EQ(messages.asked.size(), 1u);
  const std::string& question = messages.asked[0].text;
  EXPECT_TRUE(question.starts_with("Remove the project P 1?")) << question;
  for (const char* named : {"projects/P 1.prj", "compares/P 1.cmp", "compares/P 1.ent", "handle conflicts/P 1.hnd"})
    EXPECT_NE(question.find((base / named).string()), std::string::npos) << named;
  EXPECT_EQ(question.find("P 1.tim"), std::string::npos);  // only files that exist are named
  EXPECT_EQ(texts(w.lstProjects), QStringList({"HOUSE", "P 1"}));
  EXPECT_EQ(file("projects/projects.fil"), "\"HOUSE\"\r\n\"P 1\"\r\n");
  for (const char* kept : {"projects/P 1.prj", "compares/P 1.cmp", "compares/P 1.ent", "handle conflicts/P 1.hnd"})
    EXPECT_TRUE(std::filesystem::exists(base / kept)) << kept;
  EXPECT_EQ(w.selectedProject(), "P 1");
  EXPECT_TRUE(w.cmdRemproj->isEnabled() && w.cmdCompare->isEnabled());

  messages.answer = true;
  w.cmdRemproj->click();
  EXPECT_EQ(texts(w.lstProjects), QStringList({"HOUSE"}));
  EXPECT_EQ(file("projects/projects.fil"), "\"HOUSE\"\r\n");
  for (const char* gone : {"projects/P 1.prj", "compares/P 1.cmp", "compares/P 1.ent", "handle conflicts/P 1.hnd"})
    EXPECT_FALSE(std::filesystem::exists(base / gone)) << gone;
  EXPECT_EQ(w.lstLocations->count(), 0);
  for (QPushButton* b : {w.cmdRemproj, w.cmdAddloc, w.cmdRemloc, w.cmdCollect, w.cmdCompare})
    EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(Projects, RemovalRewritesHandEditedNamesInUpperCaseWithQuotes) {
  put("projects/projects.fil", "xbridgex\r\n\"HOUSE\"\r\n");
  NamedMainWindow& w = start();
  clickRow(w.lstProjects, 1);
  messages.answer = true;
  w.cmdRemproj->click();
  EXPECT_EQ(file("projects/projects.fil"), "\"BRIDGE\"\r\n");
}

TEST_F(Projects, CompareNeedsANonEmptyRecordFile) {
  put("projects/projects.fil", "\"EMPTY\"\r\n\"FULL\"\r\n");
  put("compares/EMPTY.cmp", "");
  put("compares/FULL.cmp", "x");
  NamedMainWindow& w = start();
  clickRow(w.lstProjects, 0);
  EXPECT_FALSE(w.cmdCompare->isEnabled());
  clickRow(w.lstProjects, 1);
  EXPECT_TRUE(w.cmdCompare->isEnabled());
}

TEST_F(Projects, FailedWritesKeepTheListAndTheFileAlike) {
  put("projects/projects.fil", "\"HOUSE\"\r\n");
  put("compares/HOUSE.cmp", "x");
  NamedMainWindow& w = start();
  // The projects folder goes away while the program runs.
  const auto saved = dir.path() / "saved-projects";
  std::filesystem::rename(base / "projects", saved);

  addProject("new");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "VELDRA Error");
  EXPECT_NE(messages.shown[0].text.find("projects.fil"), std::string::npos);
  EXPECT_EQ(texts(w.lstProjects), QStringList{"HOUSE"});

  clickRow(w.lstProjects, 0);
  messages.answer = true;
  w.cmdRemproj->click();
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_NE(messages.shown[1].text.find("projects.fil"), std::string::npos);
  EXPECT_EQ(texts(w.lstProjects), QStringList{"HOUSE"});
  EXPECT_TRUE(std::filesystem::exists(base / "compares" / "HOUSE.cmp"));  // nothing deleted
  EXPECT_EQ(slurp(saved / "projects.fil"), "\"HOUSE\"\r\n");
}

}  // namespace
}  // namespace veldra::testing
