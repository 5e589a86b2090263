#include <QImage>
#include <QProgressBar>

#include <cerrno>
#include <system_error>

#include "collect/native_source.h"
#include "projects/project_store.h"
#include "run/driver.h"
#include "support/filling_disk.h"
#include "support/submissions.h"
#include "window_fixture.h"

namespace veldra::testing {
namespace {

struct RecordingSound : AlarmSound {
  bool start(const std::filesystem::path& file) override {
    started.push_back(file.filename().string());
    return true;
  }
  std::vector<std::string> started;
};

// One second passes per time mark; today is December 2026.
struct SteppingClock : RunClock {
  TimePoint now() override { return last = (moment += std::chrono::seconds(1)); }
  YearMonth today() override { return {2026, 12}; }
  TimePoint moment{}, last{};
};

// The window with a drawing source on universal time, a recorded sound, the
// stepping clock and only the alarm picture installed.
class Runs : public WindowTest {
 protected:
  NamedMainWindow& startRuns() {
    QImage red(40, 30, QImage::Format_RGB32);
    red.fill(Qt::red);
    red.save(QString::fromStdString(ws.resource("veldrawrong.jpg").string()), "JPG");
    MainWindowDeps deps;
    deps.messages = &messages;
    deps.source = &native;
    deps.volumes = &volumes;
    deps.splashDuration = std::chrono::milliseconds(0);
    deps.installLoc = base;
    deps.endProgram = [this] { ++ended; };
    deps.sound = &sound;
    deps.runClock = &clock;
    deps.files = files;
    window = std::make_unique<NamedMainWindow>(deps);
    window->startUp();
    clickRow(window->lstProjects, 0);
    return *window;
  }
  void drawing(const std::string& relative, std::int32_t days, std::int32_t ms, std::vector<std::uint64_t> circles) {
    writeDrawing(dir, relative, circlesDrawing(days, ms, circles));
  }

  NativeDrawingSource native{[](std::int64_t) { return 0L; }};
  RecordingSound sound;
  SteppingClock clock;
  FileDevice* files = nullptr;  // the disk when not set
};

TEST_F(Runs, CollectionFindsCopiesNearCopiesAndOldDrawings) {
  drawing("class/a.dwg", 2461376, 43200000, {0x1A0, 0x1A1, 0x1A2, 0x1A3});
  drawing("class/b.dwg", 2461376, 43200000, {0x1A0, 0x1A1, 0x1A2, 0x1A3});
  drawing("class/OLD.dwg", 2460289, 21600000, {0x500, 0x501});
  drawing("class/sub/c.dwg", 2461365, 64800000, {0x1A0, 0x1A1, 0x1A2, 0x700});
  ASSERT_TRUE(appendProject(ws, "CLASS") && appendLocation(ws, "CLASS", "+" + (dir.path() / "class").string()));
  NamedMainWindow& w = startRuns();
  w.cmbEntity->setCurrentIndex(w.cmbEntity->findText("CIRCLE"));
  w.chkOpt[2]->click();
  w.cmbPercent->setCurrentText("70");
  w.cmbdate->setCurrentText("1 year");
  const TimePoint start = clock.moment + std::chrono::seconds(1);
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  QTest::keyClick(&w, Qt::Key_F5);  // "Start COLLECTING..."
  const QStringList shown{w.lblTotalFiles->text(), w.lblTotConflicts->text(), w.lblTotEntityConflicts->text(),
                          w.lblTotDateConflicts->text(), w.lblStatus->text(), w.lblVELDRAd->text(),
                          w.lblFileCur->text() + w.lblLocCur->text() + w.lblSubs->text(),
                          QString::number(w.ProgressBar1->value()), w.lblVELDRAd->palette().color(QPalette::WindowText).name()};
  EXPECT_EQ(shown, QStringList({"0004", "0001", "0003", "0001", "Complete!", "VELDRA!!!", "", "0", "#ff0000"}));
  EXPECT_FALSE(w.Picture1->pixmap().isNull());
  // The last time mark reaches the label although the run was throttled.
  EXPECT_EQ(w.lblTime->text().toStdString(),
            elapsedText(std::chrono::duration_cast<std::chrono::seconds>(clock.last - start).count()));
  EXPECT_TRUE(sound.started == std::vector<std::string>{"conflict.wav"} && messages.shown.empty());
  QTest::keyClick(&w, Qt::Key_F5, Qt::ShiftModifier);  // "Recompare...": each run gives its own alarm
  EXPECT_EQ(sound.started.size(), 2u);
}

TEST_F(Runs, RecompareOverAnEmptyRecordFileTurnsTimeMatchesOff) {
  ASSERT_TRUE(appendProject(ws, "P"));
  put("compares/P.cmp", "");
  NamedMainWindow& w = startRuns();
  w.runPanel->recompare();
  EXPECT_EQ(messages.texts(), std::vector<std::string>{kEmptyRecordMessage});
  EXPECT_EQ(messages.shown.back().icon, MessageIcon::Information);
  EXPECT_FALSE(w.chkOpt[0]->isChecked() || w.cmdCompare->isEnabled());
  EXPECT_TRUE(w.cmdCollect->isEnabled() && w.lblStatus->text().isEmpty());  // "Entities" is still on
  // With no switch left on, collecting is refused as well.
  w.chkOpt[0]->click();
  w.chkOpt[1]->click();
  w.runPanel->recompare();
  EXPECT_FALSE(w.chkOpt[0]->isChecked() || w.cmdCompare->isEnabled() || w.cmdCollect->isEnabled());
}

TEST_F(Runs, ARecordFileThatCannotBeDeletedEndsTheProgramWithoutSaving) {
  ASSERT_TRUE(appendProject(ws, "P"));
  put("compares/P.cmp/kept", "x");  // a folder cannot be removed as a file
  NamedMainWindow& w = startRuns();
  const std::string setting = file("default.fil");
  w.cmbEntity->setCurrentIndex(w.cmbEntity->findText("ARC"));
  w.cmdCollect->click();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_TRUE(messages.shown[0].title == "VELDRA Fatal Error" && messages.shown[0].icon == MessageIcon::Critical);
  EXPECT_TRUE(messages.shown[0].text.ends_with("not empty - Aborting VELDRA!")) << messages.shown[0].text;
  w.close();  // and closing saves nothing either
  EXPECT_TRUE(ended == 1 && file("default.fil") == setting && !w.cmdCompare->isEnabled());
}

// A disk that fills up while the record file is written stops the pass: the
// teacher is told why, the last record stays and no verdict is shown. A
// report that cannot be written is named, and the verdict of the checks
// that did judge stays.
TEST_F(Runs, FailedWritesAreToldAndTheLastFilesStayWhole) {
  drawing("class/anna.dwg", 2461376, 43200000, {0x1A0});
  drawing("class/ben.dwg", 2461376, 43200000, {0x1A0});
  ASSERT_TRUE(appendProject(ws, "CLASS") && appendLocation(ws, "CLASS", "-" + (dir.path() / "class").string()));
  const std::string record = "\"OLD,2461000.5,1$,END\"\r\n";
  put("compares/CLASS.cmp", record);
  put("time conflicts/CLASS.tim", "old");
  FillingDisk full(30);  // room for one record line, not two
  files = &full;
  NamedMainWindow& w = startRuns();
  w.cmbEntity->setCurrentIndex(w.cmbEntity->findText("CIRCLE"));
  w.cmdCollect->click();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "The record file " + ws.recordFile("CLASS").string() + " could not be written (" +
                                        std::generic_category().message(ENOSPC) +
                                        "). Nothing was compared. The record file and the reports are as they were.");
  EXPECT_TRUE(messages.shown[0].title == "VELDRA Error" && messages.shown[0].icon == MessageIcon::Critical);
  EXPECT_EQ(QStringList({w.lblStatus->text(), w.lblVELDRAd->text()}), QStringList({"Stopped!", "UNCHECKED"}));
  EXPECT_EQ(file("compares/CLASS.cmp"), record);
  EXPECT_EQ(file("time conflicts/CLASS.tim"), "old");
  EXPECT_TRUE(sound.started.empty());

  full.room = 1 << 20;
  std::filesystem::remove_all(base / "date conflicts");
  put("date conflicts", "a file where the folder should be");
  w.chkOpt[2]->click();
  messages.shown.clear();
  w.cmdCollect->click();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_TRUE(messages.shown[0].text.starts_with("The report " + ws.ageReport("CLASS").string() +
                                                 " could not be written ("))
      << messages.shown[0].text;
  EXPECT_TRUE(messages.shown[0].title == "VELDRA Error" && messages.shown[0].icon == MessageIcon::Critical);
  EXPECT_EQ(QStringList({w.lblStatus->text(), w.lblVELDRAd->text()}), QStringList({"Complete!", "VELDRA!!!"}));
}

}  // namespace
}  // namespace veldra::testing
