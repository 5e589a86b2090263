// The evidence window as the teacher's desk: the last result shown at once
// without reading a drawing, marks and notes kept with their pairs and
// shown in the table, its filter, the map and each drawing's pairs,
// thresholds per project, the overlay of a pair, the keys, and a location
// that cannot be listed refused before a run.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <map>

#include "app/textfile.h"
#include "classes/class_files.h"
#include "evidence/run/evidence_run.h"
#include "support/recorders.h"
#include "support/temp_dir.h"
#include "ui/class_map.h"
#include "ui/evidence_pairs_model.h"
#include "ui/evidence_window.h"
#include "ui/named_evidence_window.h"
#include "ui/sketch_picture.h"
#include "ui/window_fixture.h"

namespace veldra {
namespace {

// The settings kept for a project, failing the test when they cannot be read.
evidence::EvidenceSettings savedSettings(const Workspace& workspace, const std::string& project) {
  const auto saved = evidence::loadProjectSettings(workspace, project);
  EXPECT_TRUE(saved) << saved.message();
  return saved ? *saved : evidence::EvidenceSettings{};
}

using testing::CopyKind;
using testing::NamedEvidenceWindow;

class TeachersDeskWindowTest : public ::testing::Test {
 protected:
  TeachersDeskWindowTest() : base(dir.makeWorkspace()), ws(base.string()) {
    testing::ClassPlan plan;
    plan.seed = 19;
    plan.students = 7;
    plan.copies = {{CopyKind::kFileCopy, 0, 1}, {CopyKind::kPastedMoved, 2, 3}};
    plan.sameSecond = {4, 6};
    EXPECT_EQ(testing::writeClass(ws, "CAD1", plan, dir.path() / "class", written, 2), "");
  }

  std::unique_ptr<NamedEvidenceWindow> open() {
    EvidenceWindowDeps deps;
    deps.runCheck = [this](const Workspace& workspace, const std::string& project,
                           const evidence::EvidenceSettings& settings, const evidence::RunControl& control) {
      ++checks;
      return evidence::runEvidenceCheck(workspace, project, settings, control);
    };
    deps.messages = &messages;
    deps.chooseSaveFile = [this](const QString&, const QString&) { return saveAs; };
    deps.runOnOpen = false;
    auto w = std::make_unique<NamedEvidenceWindow>(ws, "CAD1", deps);
    w->show();
    return w;
  }

  bool run(NamedEvidenceWindow& w) {
    QTest::mouseClick(w.runButton, Qt::LeftButton);
    return QTest::qWaitFor([&] { return !w.running(); }, 60000);
  }

  // The shown pair's row in the table as it is sorted and filtered, -1 when hidden.
  static int visibleRows(const NamedEvidenceWindow& w) { return w.pairsTable->model()->rowCount(); }

  testing::TempDir dir;
  std::filesystem::path base;
  Workspace ws;
  testing::WrittenClass written;
  testing::RecordingMessages messages;
  QString saveAs;
  int checks = 0;
};

TEST_F(TeachersDeskWindowTest, OpensOnTheLastResultAndKeepsMarksAcrossWindows) {
  {
    auto w = open();
    EXPECT_EQ(w->findings(), nullptr);
    ASSERT_TRUE(run(*w));
    ASSERT_NE(w->findings(), nullptr);
    EXPECT_FALSE(w->showingKeptRun());
    // Mark the strongest pair a confirmed copy, with a note.
    w->showPair(0);
    w->reviewMark->setCurrentIndex(2);
    w->reviewNote->setPlainText(QStringLiteral("admitted in the talk"));
    QTest::mouseClick(w->saveReviewButton, Qt::LeftButton);
    EXPECT_EQ(w->reviewStatus->text(), QStringLiteral("Kept."));
    const auto* model = w->pairsTable->model();
    int confirmedRows = 0;
    for (int r = 0; r < model->rowCount(); ++r)
      confirmedRows += model->index(r, EvidencePairsModel::kMark).data().toString() == QStringLiteral("confirmed copy");
    EXPECT_EQ(confirmedRows, 1);
    const int all = visibleRows(*w);
    w->reviewFilter->setCurrentIndex(2);  // confirmed copy
    EXPECT_EQ(visibleRows(*w), 1);
    w->reviewFilter->setCurrentIndex(4);  // no mark
    EXPECT_EQ(visibleRows(*w), all - 1);
    w->reviewFilter->setCurrentIndex(0);
  }
  EXPECT_EQ(checks, 1);
  // A new window shows the kept result at once, with its date and settings
  // and the mark, reading no drawing.
  auto w = open();
  ASSERT_NE(w->findings(), nullptr);
  EXPECT_TRUE(w->showingKeptRun());
  EXPECT_EQ(checks, 1);
  EXPECT_TRUE(w->runStatus->text().startsWith(QStringLiteral("Last run ")));
  EXPECT_NE(w->runStatus->text().indexOf(QStringLiteral("copy from score 75")), -1);
  const auto& pairs = w->findings()->pairs;
  ASSERT_TRUE(pairs[0].review);
  EXPECT_EQ(pairs[0].review->mark, evidence::ReviewMark::kConfirmed);
  EXPECT_EQ(pairs[0].review->note, "admitted in the talk");
  w->showPair(0);
  EXPECT_EQ(w->reviewMark->currentIndex(), 2);
  EXPECT_EQ(w->reviewNote->toPlainText(), QStringLiteral("admitted in the talk"));
  // Each drawing of the pair lists it with its mark.
  int markedDrawings = 0;
  for (int k = 0; k < w->drawingsTree->topLevelItemCount(); ++k)
    markedDrawings += w->drawingsTree->topLevelItem(k)->text(3) == QStringLiteral("1 marked");
  EXPECT_EQ(markedDrawings, 2);

  // A drawing saved again since is pointed out.
  std::filesystem::last_write_time(w->findings()->drawings[0].path,
                                   std::filesystem::file_time_type::clock::now() + std::chrono::hours(2));
  w.reset();
  w = open();
  EXPECT_NE(w->runStatus->text().indexOf(QStringLiteral("Changed or gone since: ")), -1);
  // Taking the mark away leaves the pair unmarked in the next window.
  w->showPair(0);
  w->reviewMark->setCurrentIndex(0);
  QTest::mouseClick(w->saveReviewButton, Qt::LeftButton);
  w.reset();
  w = open();
  EXPECT_FALSE(w->findings()->pairs[0].review);
  ASSERT_TRUE(run(*w));
  EXPECT_EQ(checks, 2);
  EXPECT_FALSE(w->showingKeptRun());
}

TEST_F(TeachersDeskWindowTest, ThresholdsAreKeptPerProjectAndJudgeTheRun) {
  auto w = open();
  EXPECT_EQ(w->copyThreshold->value(), 75);
  EXPECT_EQ(w->likelyThreshold->value(), 45);
  w->copyThreshold->setValue(99);
  w->likelyThreshold->setValue(98);
  w->copyThreshold->setValue(60);  // a likely copy stays below a copy
  EXPECT_EQ(w->likelyThreshold->value(), 59);
  ASSERT_TRUE(run(*w));
  EXPECT_EQ(savedSettings(ws, "CAD1").thresholds, (evidence::Thresholds{60, 59}));
  for (const auto& p : w->findings()->pairs)
    EXPECT_EQ(p.verdict == evidence::Verdict::kCopy, p.score >= 60) << p.score;
  w.reset();
  EXPECT_EQ(open()->copyThreshold->value(), 60);
}

// The overlay of a file copy: every part of one lies on a part of the
// other; the picture saved is a PNG with both colours of its legend.
TEST_F(TeachersDeskWindowTest, OverlayOfAFileCopySharesEverythingAndSavesAsPng) {
  auto w = open();
  ASSERT_TRUE(run(*w));
  const auto& f = *w->findings();
  int fileCopy = -1;
  for (std::size_t k = 0; k < f.pairs.size(); ++k)
    if (f.pairs[k].evidence.sameIdentity) fileCopy = static_cast<int>(k);
  ASSERT_GE(fileCopy, 0);
  w->showPair(fileCopy);
  const auto a = f.drawings[f.pairs[static_cast<std::size_t>(fileCopy)].a].drawnPicture.unpack();
  ASSERT_FALSE(a.empty());
  EXPECT_EQ(w->overlay->shared().shared(), a.strokes.size() + a.labels.size());
  // Zoom about a point keeps it in place; fit goes back.
  const QPointF at(40, 30);
  w->overlay->zoomBy(2, at);
  EXPECT_DOUBLE_EQ(w->overlay->zoom(), 2);
  QTest::mouseClick(w->fitOverlayButton, Qt::LeftButton);
  EXPECT_DOUBLE_EQ(w->overlay->zoom(), 1);
  saveAs = QString::fromStdU16String((dir.path() / "overlay.png").u16string());
  QTest::mouseClick(w->exportOverlayButton, Qt::LeftButton);
  const QImage saved(saveAs);
  ASSERT_FALSE(saved.isNull());
  bool sharedInk = false;
  for (int y = 0; y < saved.height() && !sharedInk; ++y)
    for (int x = 0; x < saved.width() && !sharedInk; ++x) sharedInk = saved.pixelColor(x, y) == OverlayView::kSharedColour;
  EXPECT_TRUE(sharedInk);
}

// On every page, no access key is used twice among what shows; Alt+M puts
// the keys into the map; Escape and Ctrl+W close the window.
TEST_F(TeachersDeskWindowTest, AccessKeysAreUniqueAndKeysClose) {
  auto w = open();
  ASSERT_TRUE(run(*w));
  for (int page = 0; page < w->tabs->count(); ++page) {
    w->tabs->setCurrentIndex(page);
    QApplication::processEvents();
    std::map<QChar, QString> used;
    auto take = [&](const QString& text) {
      const qsizetype at = text.indexOf(QLatin1Char('&'));
      if (at < 0 || at + 1 >= text.size()) return;
      const QChar key = text.at(at + 1).toLower();
      EXPECT_TRUE(used.emplace(key, text).second) << "page " << page << ": " << text.toStdString() << " and "
                                                   << used[key].toStdString();
    };
    for (int t = 0; t < w->tabs->count(); ++t) take(w->tabs->tabText(t));
    for (const auto* b : w->findChildren<QAbstractButton*>())
      if (b->isVisible()) take(b->text());
    for (const auto* l : w->findChildren<QLabel*>())
      if (l->isVisible() && l->buddy()) take(l->text());
  }
  w->tabs->setCurrentIndex(0);
  auto activate = [&] {
    w->show();
    w->activateWindow();
    return QTest::qWaitForWindowActive(w.get());
  };
  ASSERT_TRUE(activate());
  QTest::keyClick(w.get(), Qt::Key_M, Qt::AltModifier);
  EXPECT_EQ(w->tabs->currentWidget(), w->classMap);
  EXPECT_TRUE(w->classMap->hasFocus());
  QTest::keyClick(w.get(), Qt::Key_Escape);
  EXPECT_FALSE(w->isVisible());
  ASSERT_TRUE(activate());
  QTest::keyClick(w.get(), Qt::Key_W, Qt::ControlModifier);
  EXPECT_FALSE(w->isVisible());
  ASSERT_TRUE(activate());
  QTest::mouseClick(w->closeButton, Qt::LeftButton);
  EXPECT_FALSE(w->isVisible());
}

TEST_F(TeachersDeskWindowTest, ALocationThatCannotBeListedOrNoneIsRefusedBeforeARun) {
  EXPECT_TRUE(replaceFile(base / "projects" / "CAD1.prj", quotedLine("+" + utf8FromPath(dir.path() / "no such folder"))));
  auto w = open();
  QTest::mouseClick(w->runButton, Qt::LeftButton);
  EXPECT_FALSE(w->running());
  EXPECT_EQ(checks, 0);
  EXPECT_NE(w->runStatus->text().indexOf(QStringLiteral("cannot be listed")), -1);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_TRUE(replaceFile(base / "projects" / "CAD1.prj", ""));
  QTest::mouseClick(w->runButton, Qt::LeftButton);
  EXPECT_EQ(checks, 0);
  EXPECT_NE(w->runStatus->text().indexOf(QStringLiteral("Locations page")), -1);
}

TEST_F(TeachersDeskWindowTest, FitsTheScreensFreeArea) {
  auto w = open();
  const QRect free = w->screen()->availableGeometry();
  EXPECT_LE(w->width(), free.width());
  EXPECT_LE(w->height(), free.height());
}

class EvidenceButtonOnceTest : public testing::WindowTest {};

TEST_F(EvidenceButtonOnceTest, ASecondClickBringsTheProjectsWindowForward) {
  put("projects/projects.fil", "\"CAD1\"\r\n\"CAD2\"\r\n");
  adjustDeps = [](MainWindowDeps& deps) { deps.evidence.runOnOpen = false; };
  auto& w = start();
  w.lstProjects->setCurrentRow(0);
  QTest::mouseClick(w.cmdEvidence, Qt::LeftButton);
  QTest::mouseClick(w.cmdEvidence, Qt::LeftButton);
  EXPECT_EQ(w.findChildren<EvidenceWindow*>().size(), 1);
  w.lstProjects->setCurrentRow(1);
  QTest::mouseClick(w.cmdEvidence, Qt::LeftButton);
  EXPECT_EQ(w.findChildren<EvidenceWindow*>().size(), 2);
}

// Mends on the main window: Enter in the project's name adds the project,
// and typing in the entity box replaces the type shown.
TEST_F(EvidenceButtonOnceTest, EnterAddsTheProjectAndTypingReplacesTheEntityShown) {
  auto& w = start();
  w.txtProject->setFocus();
  QTest::keyClicks(w.txtProject, QStringLiteral("Cad9"));
  QTest::keyClick(w.txtProject, Qt::Key_Return);
  ASSERT_EQ(w.lstProjects->count(), 1);
  EXPECT_EQ(w.lstProjects->item(0)->text(), QStringLiteral("CAD9"));
  EXPECT_TRUE(w.txtProject->text().isEmpty());

  w.cmbEntity->setCurrentText(QStringLiteral("RAY"));
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  w.txtProject->setFocus(Qt::MouseFocusReason);
  w.cmbEntity->setFocus(Qt::MouseFocusReason);
  QApplication::processEvents();
  QTest::keyClicks(w.cmbEntity, QStringLiteral("LINE"));
  EXPECT_EQ(w.cmbEntity->currentText(), QStringLiteral("LINE"));
}

}  // namespace
}  // namespace veldra
