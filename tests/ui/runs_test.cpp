#include <QImage>
#include <QPixmap>
#include <QProgressBar>

#include "collect/native_host.h"
#include "compare/driver.h"
#include "dwgwrite/dwg_writer.h"
#include "projects/project_store.h"
#include "window_fixture.h"

namespace veldra::testing {
namespace {

using dwgwrite::DrawingSpec;

class RecordingSound : public AlarmSound {
 public:
  bool start(const std::filesystem::path& file) override {
    started.push_back(file.filename().string());
    return true;
  }
  std::vector<std::string> started;
};

// One second passes between any two time marks; today is December 2026.
class SteppingClock : public RunClock {
 public:
  TimePoint now() override {
    moment += std::chrono::seconds(1);
    if (!first) first = moment;
    return last = moment;
  }
  YearMonth today() override { return {2026, 12}; }
  long long secondsMarked() const {
    return first ? std::chrono::duration_cast<std::chrono::seconds>(last - *first).count() : 0;
  }
  TimePoint moment{std::chrono::seconds(1'000'000)};
  std::optional<TimePoint> first;
  TimePoint last{};
};

DrawingSpec circles(std::int32_t days, std::int32_t ms, std::vector<std::uint64_t> handles) {
  DrawingSpec spec{days, ms, {}};
  for (const auto h : handles) spec.entities.push_back({"CIRCLE", h, false});
  spec.entities.push_back({"LINE", 0x900, false});  // another type: never recorded
  return spec;
}

class Runs : public WindowTest {
 protected:
  // Writes a drawing under the temporary area, making its folders.
  std::string drawing(const std::string& relative, const DrawingSpec& spec) const {
    const auto file = dir.path() / relative;
    std::filesystem::create_directories(file.parent_path());
    return dwgwrite::writeDrawingFile(file, spec);
  }

  // The window with a drawing host on universal time, a recorded sound and
  // the stepping clock; the three pictures in distinct colours.
  MainWindow& startRuns() {
    const std::pair<const char*, Qt::GlobalColor> pictures[] = {
        {"veldralogo.jpg", Qt::blue}, {"veldracheck.jpg", Qt::green}, {"veldrawrong.jpg", Qt::red}};
    for (const auto& [name, colour] : pictures) {
      QImage image(40, 30, QImage::Format_RGB32);
      image.fill(colour);
      image.save(QString::fromStdString(ws.resource(name).string()), "JPG");
    }
    MainWindowDeps deps;
    deps.messages = &messages;
    deps.host = &native;
    deps.volumes = &volumes;
    deps.splashDuration = std::chrono::milliseconds(0);
    deps.installLoc = base.string();
    deps.endProgram = [this] { ++ended; };
    deps.sound = &sound;
    deps.runClock = &clock;
    window = std::make_unique<MainWindow>(deps);
    window->startUp();
    return *window;
  }

  QRgb pictureCentre() const {
    const QImage image = window->Picture1->pixmap().toImage();
    return image.isNull() ? 0 : image.pixel(image.width() / 2, image.height() / 2);
  }
  static bool mostly(QRgb c, int r, int g, int b) {
    return std::abs(qRed(c) - r) < 60 && std::abs(qGreen(c) - g) < 60 && std::abs(qBlue(c) - b) < 60;
  }

  NativeDrawingHost native{[](std::int64_t) { return 0L; }};
  RecordingSound sound;
  SteppingClock clock;
};

// Two copies, a near-copy in a sub-folder and an old drawing: every check
// finds its conflict, the alarm sounds once, and the labels end exactly.
TEST_F(Runs, CollectionFindsCopiesNearCopiesAndOldDrawings) {
  const auto folder = dir.path() / "class";
  const std::vector<std::uint64_t> shared{0x1A0, 0x1A1, 0x1A2, 0x1A3};
  ASSERT_EQ(drawing("class/a.dwg", circles(2461376, 43200000, shared)), "");
  ASSERT_EQ(drawing("class/b.dwg", circles(2461376, 43200000, shared)), "");
  ASSERT_EQ(drawing("class/OLD.dwg", circles(2460289, 21600000, {0x500, 0x501})), "");
  ASSERT_EQ(drawing("class/sub/c.dwg", circles(2461365, 64800000, {0x1A0, 0x1A1, 0x1A2, 0x700})), "");
  dir.write("class/notes.txt", "not a drawing");
  ASSERT_TRUE(appendProject(ws, "CLASS"));
  ASSERT_TRUE(appendLocation(ws, "CLASS", "+" + folder.string()));

  MainWindow& w = startRuns();
  clickRow(w.lstProjects, 0);
  w.cmbEntity->setCurrentIndex(w.cmbEntity->findText("CIRCLE"));
  w.chkOpt[2]->click();
  w.cmbPercent->setCurrentText("70");
  w.cmbdate->setCurrentText("1 year");
  ASSERT_TRUE(w.cmdCollect->isEnabled());
  w.cmdCollect->click();

  EXPECT_EQ(file("compares/CLASS.cmp"),
            "\"A,2461376.5,1A0$1A1$1A2$1A3$,END\"\r\n"
            "\"B,2461376.5,1A0$1A1$1A2$1A3$,END\"\r\n"
            "\"OLD,2460289.25,500$501$,END\"\r\n"
            "\"C,2461365.75,1A0$1A1$1A2$700$,END\"\r\n");
  EXPECT_EQ(file("time conflicts/CLASS.tim"),
            "\"A vs. B at 12 hours, 0 minutes, 0 seconds [2461376.5 as Julian]\"\r\n");
  EXPECT_EQ(file("handle conflicts/CLASS.hnd"),
            "\"** A vs. B has a 100% CIRCLE handle match [4 total].\"\r\n"
            "\"A vs. C has a 100% / 75% CIRCLE handle match.\"\r\n"
            "\"B vs. C has a 100% / 75% CIRCLE handle match.\"\r\n");
  EXPECT_EQ(file("date conflicts/CLASS.dat"),
            "\"OLD............................. [over 1 year old] :3 year(s) & 0 month(s).\"\r\n");

  auto expectVerdict = [&] {
    EXPECT_EQ(w.lblTotalFiles->text(), "0004");
    EXPECT_EQ(w.lblTotConflicts->text(), "0001");
    EXPECT_EQ(w.lblTotEntityConflicts->text(), "0003");
    EXPECT_EQ(w.lblTotDateConflicts->text(), "0001");
    EXPECT_EQ(w.lblStatus->text(), "Complete!");
    EXPECT_EQ(w.lblVELDRAd->text(), "VELDRA!!!");
    EXPECT_EQ(w.lblVELDRAd->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_TRUE(mostly(pictureCentre(), 255, 0, 0));
    // The last time mark reaches the label although the run was throttled.
    EXPECT_EQ(w.lblTime->text().toStdString(), elapsedText(clock.secondsMarked()));
    EXPECT_GT(clock.secondsMarked(), 4);
  };
  expectVerdict();
  EXPECT_EQ(w.lblFileCur->text(), "");
  EXPECT_EQ(w.lblLocCur->text(), "");
  EXPECT_EQ(w.lblSubs->text(), "");
  EXPECT_EQ(w.ProgressBar1->value(), 0);
  EXPECT_EQ(sound.started, std::vector<std::string>{"conflict.wav"});
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(w.cmdCompare->isEnabled());

  // A recompare gives the alarm again over the same records.
  const std::string handleReport = file("handle conflicts/CLASS.hnd");
  clock.first.reset();
  w.cmdCompare->click();
  expectVerdict();
  EXPECT_EQ(sound.started.size(), 2u);
  EXPECT_EQ(file("handle conflicts/CLASS.hnd"), handleReport);
}

TEST_F(Runs, ACleanRunShowsTheAllClearPicture) {
  const auto folder = dir.path() / "solo";
  ASSERT_EQ(drawing("solo/x.dwg", circles(2461376, 1000, {0x10})), "");
  ASSERT_TRUE(appendProject(ws, "SOLO"));
  ASSERT_TRUE(appendLocation(ws, "SOLO", "-" + folder.string()));
  MainWindow& w = startRuns();
  clickRow(w.lstProjects, 0);
  w.cmdCollect->click();
  EXPECT_EQ(w.lblStatus->text(), "Complete!");
  EXPECT_EQ(w.lblVELDRAd->text(), "NO VELDRA's");
  EXPECT_EQ(w.lblVELDRAd->palette().color(QPalette::WindowText), QColor(128, 0, 128));
  EXPECT_TRUE(mostly(pictureCentre(), 0, 255, 0));
  EXPECT_TRUE(sound.started.empty());
}

TEST_F(Runs, AProjectWithoutLocationsWarnsTwiceAndStillAllowsRecompare) {
  ASSERT_TRUE(appendProject(ws, "EMPTY"));
  MainWindow& w = startRuns();
  clickRow(w.lstProjects, 0);
  EXPECT_FALSE(w.cmdCompare->isEnabled());
  w.cmdCollect->click();
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0].text, "Sorry, no locations to compare!");
  EXPECT_EQ(messages.shown[1].text, "Sorry, no drawings found!");
  for (const auto& shown : messages.shown) {
    EXPECT_EQ(shown.title, "VELDRA Warning");
    EXPECT_EQ(shown.icon, MessageIcon::Exclamation);
  }
  EXPECT_EQ(w.lblTotalFiles->text(), "0000");
  EXPECT_TRUE(w.cmdCompare->isEnabled());
  EXPECT_TRUE(sound.started.empty());
}

TEST_F(Runs, RecompareOverAnEmptyRecordFileTurnsTimeMatchesOff) {
  ASSERT_TRUE(appendProject(ws, "P"));
  put("compares/P.cmp", "");
  MainWindow& w = startRuns();
  clickRow(w.lstProjects, 0);
  ASSERT_TRUE(w.chkOpt[0]->isChecked());
  ASSERT_TRUE(w.chkOpt[1]->isChecked());
  w.on_cmdCompare_clicked();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, kEmptyRecordMessage);
  EXPECT_EQ(messages.shown[0].title, kAppTitle);
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Information);
  EXPECT_FALSE(w.chkOpt[0]->isChecked());
  EXPECT_FALSE(w.cmdCompare->isEnabled());
  EXPECT_TRUE(w.cmdCollect->isEnabled());  // "Entities" is still on
  EXPECT_EQ(w.lblStatus->text(), "");
  EXPECT_FALSE(std::filesystem::exists(ws.timeReport("P")));

  // With no switch left on, collecting is refused as well.
  w.chkOpt[0]->click();
  w.chkOpt[1]->click();
  w.on_cmdCompare_clicked();
  EXPECT_EQ(messages.shown.size(), 2u);
  EXPECT_FALSE(w.chkOpt[0]->isChecked());
  EXPECT_FALSE(w.cmdCompare->isEnabled());
  EXPECT_FALSE(w.cmdCollect->isEnabled());
}

TEST_F(Runs, ARecordFileThatCannotBeDeletedEndsTheProgramWithoutSaving) {
  ASSERT_TRUE(appendProject(ws, "P"));
  // A folder in the record file's place cannot be removed as a file.
  dir.write("ws/compares/P.cmp/kept", "x");
  MainWindow& w = startRuns();
  const std::string settingBefore = file("default.fil");
  w.cmbEntity->setCurrentIndex(w.cmbEntity->findText("ARC"));
  clickRow(w.lstProjects, 0);
  w.cmdCollect->click();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "VELDRA Fatal Error");
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Critical);
  EXPECT_TRUE(messages.shown[0].text.ends_with(" - Aborting VELDRA!")) << messages.shown[0].text;
  EXPECT_GT(messages.shown[0].text.size(), std::string(" - Aborting VELDRA!").size());
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(file("default.fil"), settingBefore);
  EXPECT_FALSE(w.cmdCompare->isEnabled());
  // Closing the window afterwards saves nothing either.
  w.close();
  EXPECT_EQ(file("default.fil"), settingBefore);
  EXPECT_EQ(ended, 1);
}

}  // namespace
}  // namespace veldra::testing
