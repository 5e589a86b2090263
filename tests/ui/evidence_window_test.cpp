// The evidence window on a class written as real drawings, for what the
// window adds to the check: the run off the GUI thread with cancel, the
// table and its filters, the pair view with its pictures and mark,
// the class map and its keys, the problem drawings, the settings, the last
// result shown at once, the exports and printing, the keys and the screen.
// How pairs are judged is tested beside the check.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <set>
#include <thread>

#include "app/textfile.h"
#include "classes/class_files.h"
#include "evidence/run/evidence_run.h"
#include "platform/platform.h"
#include "projects/project_store.h"
#include "reports/print_job.h"
#include "support/recorders.h"
#include "support/temp_dir.h"
#include "ui/class_map.h"
#include "ui/evidence_pairs_model.h"
#include "ui/evidence_window.h"
#include "ui/named_evidence_window.h"
#include "ui/program_arguments.h"
#include "ui/sketch_picture.h"
#include "ui/window_fixture.h"

namespace veldra {
namespace {

using testing::CopyKind;
using testing::NamedEvidenceWindow;

class RecordingFolders : public FolderOpener {
 public:
  bool openFolder(const QString& folder) override {
    opened << folder;
    return true;
  }
  QStringList opened;
};

// Prints to a PDF file instead of asking.
class PdfDialog : public PrintDialog {
 public:
  PdfDialog(QPrinter& printer, QString file) : printer_(printer), file_(std::move(file)) {}
  std::optional<int> ask() override {
    if (file_.isEmpty()) return std::nullopt;
    printer_.setOutputFormat(QPrinter::PdfFormat);
    printer_.setOutputFileName(file_);
    printer_.setPageSize(QPageSize(QPageSize::A4));
    return 1;
  }

 private:
  QPrinter& printer_;
  QString file_;
};

// Eight students: a file copy (0 -> 1), a paste moved elsewhere (2 -> 3),
// two honest students who pressed New in the same second; students 3 and 6
// saved no preview, odd ones a BMP, even ones a PNG.
class EvidenceWindowTest : public ::testing::Test {
 protected:
  EvidenceWindowTest() : base(dir.makeWorkspace()), ws(base.string()) {
    testing::ClassPlan plan;
    plan.seed = 7;
    plan.students = 8;
    plan.copies = {{CopyKind::kFileCopy, 0, 1}, {CopyKind::kPastedMoved, 2, 3}};
    plan.sameSecond = {4, 6};
    EXPECT_EQ(testing::writeClass(ws, "CAD1", plan, dir.path() / "class", written, 3), "");
  }

  NamedEvidenceWindow& open() {
    EvidenceWindowDeps deps;
    // With `holdUntilCancelled` set, a check waits for the cancel however
    // fast it would be.
    deps.runCheck = [this](const Workspace& workspace, const std::string& project,
                           const evidence::EvidenceSettings& settings, const evidence::RunControl& control) {
      ++checks;
      while (holdUntilCancelled && !control.cancelled()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return evidence::runEvidenceCheck(workspace, project, settings, control);
    };
    deps.messages = &messages;
    deps.folders = &folders;
    deps.chooseSaveFile = [this](const QString&, const QString&) { return saveAs; };
    deps.chooseDrawings = [this](const QString&) { return chosenDrawings; };
    deps.printDialog = [this](QPrinter& printer) { return std::make_unique<PdfDialog>(printer, pdfFile); };
    deps.runOnOpen = false;
    window.reset();
    window = std::make_unique<NamedEvidenceWindow>(ws, "CAD1", deps);
    window->show();
    return *window;
  }

  // Runs the check and waits for its end.
  bool run(NamedEvidenceWindow& w) {
    QTest::mouseClick(w.runButton, Qt::LeftButton);
    return QTest::qWaitFor([&] { return !w.running(); }, 60000);
  }

  // The student number of a drawing name such as "anna/drawing.dwg".
  int studentOf(const QString& name) const {
    for (std::size_t k = 0; k < written.model.drawings.size(); ++k)
      if (QString::fromStdString(evidence::utf8Name(written.model.drawings[k].facts.name)) == name)
        return static_cast<int>(k);
    return -1;
  }

  static int rows(const NamedEvidenceWindow& w) { return w.pairsTable->model()->rowCount(); }
  static QVariant cell(const NamedEvidenceWindow& w, int row, int column, int role = Qt::DisplayRole) {
    return w.pairsTable->model()->index(row, column).data(role);
  }
  static bool activate(NamedEvidenceWindow& w) {
    w.show();
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w);
  }
  // Sets `file` (what a dialog would choose) to `name` in the test's folder,
  // clicks `button` and gives what was written there.
  std::string saveBy(QAbstractButton* button, QString& file, const std::filesystem::path& name) {
    file = QString::fromStdString((dir.path() / name).string());
    QTest::mouseClick(button, Qt::LeftButton);
    return testing::slurp(dir.path() / name);
  }

  testing::TempDir dir;
  std::filesystem::path base;
  Workspace ws;
  testing::WrittenClass written;
  testing::RecordingMessages messages;
  RecordingFolders folders;
  QString saveAs;
  QString pdfFile;
  QStringList chosenDrawings;
  int checks = 0;
  std::atomic<bool> holdUntilCancelled{false};  // before the window, which waits for its check
  std::unique_ptr<NamedEvidenceWindow> window;
};

// The groups come first in their tree, then one row per pair; the slider by
// keyboard, the verdict filter, the mark filter and the header's sorting
// narrow and order the table at once.
TEST_F(EvidenceWindowTest, ShowsGroupsAndPairsAndTheFiltersNarrowTheTable) {
  auto& w = open();
  EXPECT_FALSE(w.exportCsvButton->isEnabled());
  ASSERT_TRUE(run(w));
  ASSERT_NE(w.findings(), nullptr) << w.runStatus->text().toStdString();
  const auto& f = *w.findings();
  EXPECT_EQ(w.groupsTree->topLevelItemCount(), static_cast<int>(f.groups.size()));
  EXPECT_EQ(rows(w), static_cast<int>(f.pairs.size()));
  EXPECT_TRUE(w.runStatus->text().contains(QStringLiteral("8 drawings")));
  EXPECT_TRUE(w.exportCsvButton->isEnabled());

  const auto atLeast = [&](int score) {
    int n = 0;
    for (const auto& p : f.pairs) n += p.score >= score;
    return n;
  };
  w.thresholdSlider->setFocus();
  for (int k = 0; k < 20; ++k) QTest::keyClick(w.thresholdSlider, Qt::Key_PageUp);
  EXPECT_EQ(w.thresholdValue->text(), QStringLiteral("100"));
  EXPECT_EQ(rows(w), atLeast(100));
  w.thresholdSlider->setValue(f.pairs.back().score + 1);
  EXPECT_EQ(rows(w), atLeast(f.pairs.back().score + 1));
  w.thresholdSlider->setValue(0);
  w.verdictFilter->setCurrentIndex(1);  // copy
  EXPECT_EQ(rows(w), f.counts().copy);
  w.verdictFilter->setCurrentIndex(0);
  w.pairsTable->sortByColumn(EvidencePairsModel::kScore, Qt::AscendingOrder);
  for (int r = 1; r < rows(w); ++r)
    EXPECT_LE(cell(w, r - 1, EvidencePairsModel::kScore).toInt(), cell(w, r, EvidencePairsModel::kScore).toInt());

  w.showPair(0);
  w.reviewMark->setCurrentIndex(2);  // confirmed copy
  QTest::mouseClick(w.saveReviewButton, Qt::LeftButton);
  w.reviewFilter->setCurrentIndex(2);
  EXPECT_EQ(rows(w), 1);
  w.reviewFilter->setCurrentIndex(4);  // no mark
  EXPECT_EQ(rows(w), static_cast<int>(f.pairs.size()) - 1);
}

// Return on a row opens the pair: both names and pictures, the evidence in
// words and the likely source; a folder is opened, one gone is said.
TEST_F(EvidenceWindowTest, PairViewShowsBothPicturesTheEvidenceAndOpensFolders) {
  auto& w = open();
  ASSERT_TRUE(run(w));
  const auto& f = *w.findings();
  int row = -1;
  for (int r = 0; r < rows(w); ++r) {
    const int a = studentOf(cell(w, r, 0).toString()), b = studentOf(cell(w, r, 1).toString());
    if (std::min(a, b) == 0 && std::max(a, b) == 1) row = r;
  }
  ASSERT_GE(row, 0);
  w.pairsTable->setFocus();
  w.pairsTable->setCurrentIndex(w.pairsTable->model()->index(row, 0));
  QTest::keyClick(w.pairsTable, Qt::Key_Return);
  EXPECT_EQ(w.tabs->currentIndex(), 1);
  const auto& pair = f.pairs[cell(w, row, 0, EvidencePairsModel::kPairRole).toUInt()];
  EXPECT_TRUE(w.nameA->text().endsWith(drawingText(f, pair.a)));
  EXPECT_TRUE(w.nameB->text().endsWith(drawingText(f, pair.b)));
  // The file copy carries its source's picture.
  EXPECT_EQ(w.previewA->image().size(), QSize(320, 240));
  EXPECT_EQ(w.previewA->image(), w.previewB->image());
  EXPECT_TRUE(w.pairEvidence->toPlainText().contains(QString::fromStdString(pair.reasons.at(0))));
  EXPECT_TRUE(w.pairSource->text().startsWith(QStringLiteral("Likely source: ")));

  QTest::mouseClick(w.openFolderB, Qt::LeftButton);
  ASSERT_EQ(folders.opened.size(), 1);
  EXPECT_EQ(std::filesystem::path(folders.opened[0].toStdString()), f.drawings[pair.b].path.parent_path());
  std::filesystem::remove_all(f.drawings[pair.a].path.parent_path());
  QTest::mouseClick(w.openFolderA, Qt::LeftButton);
  EXPECT_EQ(folders.opened.size(), 1);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_NE(messages.shown[0].text.find("no longer there"), std::string::npos);
}

// The class map lists the groups first; a click, or the keys from the
// square clicked (stopping at the edges, Enter on the diagonal choosing
// nothing), opens a pair. Student 3 stored no preview: the pair view draws
// it from the drawing, and says so.
TEST_F(EvidenceWindowTest, ClassMapOpensPairsByClickAndKeysAndAPictureIsDrawnWhereNoneIsStored) {
  auto& w = open();
  ASSERT_TRUE(run(w));
  const auto& f = *w.findings();
  w.tabs->setCurrentIndex(2);
  const auto& order = w.classMap->order();
  ASSERT_EQ(order.size(), 8u);
  std::set<int> firstFour;
  for (int k = 0; k < 4; ++k) firstFour.insert(studentOf(drawingText(f, order[static_cast<std::size_t>(k)])));
  EXPECT_EQ(firstFour, (std::set<int>{0, 1, 2, 3}));
  int row3 = -1;
  for (std::size_t k = 0; k < order.size(); ++k)
    if (studentOf(drawingText(f, order[k])) == 3) row3 = static_cast<int>(k);
  const int column = row3 % 2 == 0 ? row3 + 1 : row3 - 1;  // student 2, beside it in its group
  ASSERT_TRUE(w.classMap->pairAt(row3, column));
  QTest::mouseClick(w.classMap, Qt::LeftButton, {}, w.classMap->squareCentre(row3, column));
  EXPECT_EQ(w.tabs->currentIndex(), 1);
  const bool threeIsA = studentOf(w.nameA->text().mid(3)) == 3;
  EXPECT_EQ((threeIsA ? w.captionA : w.captionB)->text().left(22), QStringLiteral("drawn from the drawing"));
  EXPECT_EQ((threeIsA ? w.captionB : w.captionA)->text(), QStringLiteral("stored preview"));
  EXPECT_TRUE((threeIsA ? w.previewA : w.previewB)->drawn());

  w.tabs->setCurrentIndex(2);
  w.classMap->setFocus();
  EXPECT_EQ(w.classMap->current(), std::make_pair(row3, column));
  for (int k = 0; k < 9; ++k) QTest::keyClick(w.classMap, Qt::Key_Up);
  QTest::keyClick(w.classMap, Qt::Key_Home);
  EXPECT_EQ(w.classMap->current(), std::make_pair(0, 0));
  QTest::keyClick(w.classMap, Qt::Key_Return);
  EXPECT_EQ(w.tabs->currentIndex(), 2);
  QTest::keyClick(w.classMap, Qt::Key_Right);
  EXPECT_TRUE(w.classMap->accessibleDescription().contains(drawingText(f, order[0])));
  QTest::keyClick(w.classMap, Qt::Key_Return);
  EXPECT_EQ(w.tabs->currentIndex(), 1);
  const auto& first = f.pairs[*w.classMap->pairAt(0, 1)];
  EXPECT_TRUE(w.pairTitle->text().contains(drawingText(f, first.a)));
}

TEST_F(EvidenceWindowTest, CancelOrClosingDuringARunLeavesTheLastRunsFilesWhole) {
  auto& w = open();
  ASSERT_TRUE(run(w));
  const auto files = [&] {
    return testing::slurp(evidence::reportFile(ws, "CAD1")) + testing::slurp(evidence::storeFile(ws));
  };
  const std::string before = files();
  const auto* shown = w.findings();
  holdUntilCancelled = true;
  QTest::mouseClick(w.runButton, Qt::LeftButton);
  EXPECT_TRUE(w.running());
  EXPECT_FALSE(w.runButton->isEnabled());
  QTest::keyClick(w.cancelButton, Qt::Key_Space);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.running(); }, 60000));
  EXPECT_EQ(w.progress->format(), QStringLiteral("Cancelled"));
  EXPECT_EQ(w.findings(), shown);
  EXPECT_EQ(files(), before);
  EXPECT_TRUE(w.runButton->isEnabled());

  QTest::mouseClick(w.runButton, Qt::LeftButton);
  window.reset();
  EXPECT_EQ(files(), before);
}

// The exports write where the teacher chose, a cancelled dialog writes
// nothing and a folder that cannot be written says so; the report prints,
// and the case sheet of the pair shown fits one page.
TEST_F(EvidenceWindowTest, ExportsAndPrintsTheReport) {
  auto& w = open();
  ASSERT_TRUE(run(w));
  EXPECT_NE(saveBy(w.exportCsvButton, saveAs, "pairs.csv").find("drawing_a"), std::string::npos);
  EXPECT_NE(saveBy(w.exportHtmlButton, saveAs, "report.html").find("data:image/png;base64,"), std::string::npos);
  saveAs.clear();
  QTest::mouseClick(w.exportCsvButton, Qt::LeftButton);
  saveBy(w.exportCsvButton, saveAs, std::filesystem::path("missing") / "pairs.csv");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_NE(messages.shown[0].text.find("was not written"), std::string::npos);

  EXPECT_EQ(saveBy(w.printButton, pdfFile, "report.pdf").rfind("%PDF", 0), 0u);
  const std::string sheet = saveBy(w.printCaseSheetButton, pdfFile, "case.pdf");
  EXPECT_EQ(sheet.rfind("%PDF", 0), 0u);
  std::size_t pages = 0;
  for (std::size_t at = 0; (at = sheet.find("/Type /Page", at)) != std::string::npos; at += 11)
    pages += sheet.compare(at + 11, 1, "s") != 0;
  EXPECT_EQ(pages, 1u);
}

TEST_F(EvidenceWindowTest, ShowsDrawingsThatCouldNotBeReadWithTheirReasons) {
  dir.write("class/zoe/drawing.dwg", "not a drawing at all");
  auto& w = open();
  ASSERT_TRUE(run(w));
  ASSERT_EQ(w.problemTable->rowCount(), 1);
  EXPECT_EQ(w.problemTable->item(0, 0)->text(), QStringLiteral("zoe/drawing.dwg"));
  EXPECT_FALSE(w.problemTable->item(0, 2)->text().isEmpty());
  EXPECT_TRUE(w.tabs->tabText(3).contains(QStringLiteral("(1)")));
}

// The settings page keeps the project's templates (each listed once), its
// authors to ignore, the term and its thresholds (a likely copy staying
// below a copy); another window finds them and its run uses them.
TEST_F(EvidenceWindowTest, SettingsAreKeptPerProjectAndUsedByTheRun) {
  EXPECT_TRUE(appendProject(ws, "CAD0"));
  auto& first = open();
  chosenDrawings = {QString::fromStdString(written.templateFile.string())};
  QTest::mouseClick(first.addTemplate, Qt::LeftButton);
  QTest::mouseClick(first.addTemplate, Qt::LeftButton);
  EXPECT_EQ(first.templateList->count(), 1);
  ASSERT_EQ(first.againstList->count(), 1);  // every project but this one
  first.ignoredAuthors->setPlainText(QStringLiteral("lab3\n  \nstudent\t1\n"));
  first.termEdit->setText(QStringLiteral("autumn 2026"));
  first.copyThreshold->setValue(99);
  first.likelyThreshold->setValue(98);
  first.copyThreshold->setValue(60);
  EXPECT_EQ(first.likelyThreshold->value(), 59);
  QTest::mouseClick(first.saveSettingsButton, Qt::LeftButton);
  EXPECT_EQ(first.settingsStatus->text(), QStringLiteral("Saved."));

  auto& w = open();
  EXPECT_EQ(w.templateList->count(), 1);
  EXPECT_EQ(w.ignoredAuthors->toPlainText(), QStringLiteral("lab3\nstudent 1"));
  EXPECT_EQ(w.copyThreshold->value(), 60);
  ASSERT_TRUE(run(w));
  ASSERT_NE(w.findings(), nullptr);
  EXPECT_EQ(w.findings()->settings.templates, std::vector<std::filesystem::path>{written.templateFile});
  EXPECT_EQ(w.findings()->settings.thresholds, (evidence::Thresholds{60, 59}));
  EXPECT_EQ(w.findings()->term, "autumn 2026");
}

// Settings the store cannot give are not taken for none: the window says
// so, and neither judges nor overwrites the last report (a location that
// cannot be listed is the run's to refuse).
TEST_F(EvidenceWindowTest, WhatARunNeedsIsCheckedBeforeItStarts) {
  std::filesystem::create_directories(evidence::storeFile(ws).parent_path());
  EXPECT_TRUE(replaceFile(evidence::storeFile(ws), "not a database"));
  const auto report = evidence::reportFile(ws, "CAD1");
  std::filesystem::create_directories(report.parent_path());
  EXPECT_TRUE(replaceFile(report, "the last report"));
  auto& w = open();
  EXPECT_TRUE(w.settingsStatus->text().startsWith(QStringLiteral("The saved settings could not be read")));
  QTest::mouseClick(w.runButton, Qt::LeftButton);
  EXPECT_FALSE(w.running());
  EXPECT_TRUE(w.runStatus->text().startsWith(QStringLiteral("The saved settings could not be read")));
  EXPECT_EQ(testing::slurp(report), "the last report");
  EXPECT_EQ(testing::slurp(evidence::storeFile(ws)), "not a database");
  EXPECT_EQ(checks, 0);
}

// A new window shows the last result kept at once, reading no drawing, with
// the marks and notes kept on it, and points out a drawing saved again
// since. A mark shows on the pages only once the store kept it.
TEST_F(EvidenceWindowTest, OpensOnTheLastResultWithItsMarks) {
  auto& w = open();
  ASSERT_TRUE(run(w));
  EXPECT_FALSE(w.showingKeptRun());
  w.showPair(0);
  w.reviewMark->setCurrentIndex(2);  // confirmed copy
  w.reviewNote->setPlainText(QStringLiteral("admitted in the talk"));
  QTest::mouseClick(w.saveReviewButton, Qt::LeftButton);
  EXPECT_EQ(w.reviewStatus->text(), QStringLiteral("Kept."));

  auto& kept = open();
  ASSERT_NE(kept.findings(), nullptr);
  EXPECT_TRUE(kept.showingKeptRun());
  EXPECT_EQ(checks, 1);
  EXPECT_TRUE(kept.runStatus->text().startsWith(QStringLiteral("Last run ")));
  kept.showPair(0);
  EXPECT_EQ(kept.reviewMark->currentIndex(), 2);
  EXPECT_EQ(kept.reviewNote->toPlainText(), QStringLiteral("admitted in the talk"));
  const auto marked = [&] {
    int n = 0;
    for (int k = 0; k < kept.drawingsTree->topLevelItemCount(); ++k)
      n += kept.drawingsTree->topLevelItem(k)->text(3) != QStringLiteral("0 marked");
    return n;
  };
  EXPECT_EQ(marked(), 2);

  EXPECT_TRUE(replaceFile(evidence::storeFile(ws), "not a database"));
  kept.showPair(1);
  kept.reviewMark->setCurrentIndex(3);
  QTest::mouseClick(kept.saveReviewButton, Qt::LeftButton);
  EXPECT_TRUE(kept.reviewStatus->text().startsWith(QStringLiteral("Not kept: ")));
  EXPECT_FALSE(kept.findings()->pairs[1].review);
  EXPECT_EQ(marked(), 2);

  window.reset();
  std::filesystem::remove(evidence::storeFile(ws));
  auto& fresh = open();
  ASSERT_TRUE(run(fresh));
  std::filesystem::last_write_time(fresh.findings()->drawings[0].path,
                                   std::filesystem::file_time_type::clock::now() + std::chrono::hours(2));
  EXPECT_NE(open().runStatus->text().indexOf(QStringLiteral("Changed or gone since: ")), -1);
}

// On every page no access key is used twice among what shows; Alt+M puts
// the keys into the map; Escape, Ctrl+W and Close close the window, which
// fits the screen's free area, shrinks to a screen of 800x500 (1600x1000 at
// 200%) and opens again at the size it was left.
TEST_F(EvidenceWindowTest, AccessKeysAreUniqueKeysCloseAndTheWindowFitsAndKeepsItsSize) {
  auto& w = open();
  const QRect free = w.screen()->availableGeometry();
  EXPECT_LE(w.width(), free.width());
  EXPECT_LE(w.height(), free.height());
  ASSERT_TRUE(run(w));
  w.showPair(0);
  // Usable on 1600x1000 at 200% (800x500 for the window, less its frame
  // and the desktop's panel): every page scrolls or shrinks.
  EXPECT_LE(w.minimumSizeHint().width(), 780);
  EXPECT_LE(w.minimumSizeHint().height(), 440);
  for (int page = 0; page < w.tabs->count(); ++page) {
    w.tabs->setCurrentIndex(page);
    QApplication::processEvents();
    std::map<QChar, QString> used;
    auto take = [&](const QString& text) {
      const qsizetype at = text.indexOf(QLatin1Char('&'));
      if (at < 0 || at + 1 >= text.size()) return;
      const QChar key = text.at(at + 1).toLower();
      EXPECT_TRUE(used.emplace(key, text).second) << "page " << page << ": " << text.toStdString() << " and "
                                                   << used[key].toStdString();
    };
    for (int t = 0; t < w.tabs->count(); ++t) take(w.tabs->tabText(t));
    for (const auto* b : w.findChildren<QAbstractButton*>())
      if (b->isVisible()) take(b->text());
    for (const auto* l : w.findChildren<QLabel*>())
      if (l->isVisible() && l->buddy()) take(l->text());
  }
  w.tabs->setCurrentIndex(0);
  ASSERT_TRUE(activate(w));
  QTest::keyClick(&w, Qt::Key_M, Qt::AltModifier);
  EXPECT_TRUE(w.classMap->hasFocus());
  QTest::keyClick(&w, Qt::Key_Escape);
  EXPECT_FALSE(w.isVisible());
  ASSERT_TRUE(activate(w));
  QTest::keyClick(&w, Qt::Key_W, Qt::ControlModifier);
  EXPECT_FALSE(w.isVisible());
  ASSERT_TRUE(activate(w));
  w.resize(720, 450);
  QTest::mouseClick(w.closeButton, Qt::LeftButton);
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(open().size(), QSize(720, 450));  // as it was left
}

// What the teacher types is kept without a button: a note on an unmarked
// pair marks it to review and is kept on leaving the pair by its keys or
// on Esc. The keys step through the pairs in the table's order, which
// follows the pair shown; a run leaves a current row in the table.
TEST_F(EvidenceWindowTest, TypedNotesAreKeptAndTheKeysStepThroughTheTable) {
  auto& w = open();
  ASSERT_TRUE(run(w));
  EXPECT_TRUE(w.pairsTable->currentIndex().isValid());
  ASSERT_TRUE(activate(w));
  const auto pairOfRow = [&](int row) { return cell(w, row, 0, EvidencePairsModel::kPairRole).toInt(); };
  w.pairsTable->sortByColumn(EvidencePairsModel::kScore, Qt::AscendingOrder);
  ASSERT_GE(rows(w), 3);
  w.showPair(pairOfRow(0));
  w.reviewNote->setFocus();
  QTest::keyClicks(w.reviewNote, QStringLiteral("asked on Monday"));
  EXPECT_EQ(w.reviewMark->currentIndex(), 1);  // to review
  QTest::keyClick(&w, Qt::Key_Right, Qt::AltModifier);
  EXPECT_EQ(w.shownPair(), pairOfRow(1));
  EXPECT_EQ(w.pairsTable->currentIndex().row(), 1);
  const auto& first = w.findings()->pairs[static_cast<std::size_t>(pairOfRow(0))];
  ASSERT_TRUE(first.review);
  EXPECT_EQ(first.review->note, "asked on Monday");
  QTest::keyClick(&w, Qt::Key_Left, Qt::AltModifier);
  EXPECT_EQ(w.shownPair(), pairOfRow(0));
  QTest::keyClick(&w, Qt::Key_Left, Qt::AltModifier);  // the first row has none before it
  EXPECT_EQ(w.shownPair(), pairOfRow(0));

  const int second = pairOfRow(1);
  w.showPair(second);
  w.reviewNote->setFocus();
  QTest::keyClicks(w.reviewNote, QStringLiteral("typed, then Esc"));
  QTest::keyClick(&w, Qt::Key_Escape);
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(w.findings()->pairs[static_cast<std::size_t>(second)].review);
  const auto& reopened = open();
  const auto& kept = reopened.findings()->pairs[static_cast<std::size_t>(second)];
  ASSERT_TRUE(kept.review);
  EXPECT_EQ(kept.review->note, "typed, then Esc");
  EXPECT_EQ(kept.review->mark, evidence::ReviewMark::kToReview);
}

// A window taken apart while its pages are in use: the tabs name a new
// current page as each page goes and the focus moves on from a half-typed
// note, and none of it may reach the window or a page already gone (the
// sanitizer build sees such a call). Settings not saved stay unsaved.
TEST_F(EvidenceWindowTest, GoesQuietlyWhileItsPagesAreInUse) {
  auto& w = open();
  ASSERT_TRUE(run(w));
  ASSERT_TRUE(activate(w));
  w.showPair(0);
  w.reviewNote->setFocus();
  QTest::keyClicks(w.reviewNote, QStringLiteral("half a note"));
  w.tabs->setCurrentIndex(2);
  EXPECT_TRUE(w.classMap->hasFocus());
  w.templateList->addItem(QStringLiteral("unsaved.dwg"));
  window.reset();
  const auto kept = evidence::loadProjectSettings(ws, "CAD1");
  ASSERT_TRUE(kept) << kept.message();
  EXPECT_TRUE(kept->templates.empty());
}

TEST(ProgramArguments, TakeAWorkspaceAndAnEvidenceProject) {
  const auto both = parseProgramArguments({"veldra", "--workspace", "/tmp/ws/", "--evidence", "cad1"});
  EXPECT_TRUE(both.error.isEmpty());
  EXPECT_EQ(both.workspace, std::optional<std::filesystem::path>(fsPath(QDir::toNativeSeparators(QStringLiteral("/tmp/ws")))));
  EXPECT_EQ(both.evidenceProject, std::optional<QString>("cad1"));
  EXPECT_FALSE(parseProgramArguments({"veldra", "--evidence"}).error.isEmpty());
  EXPECT_FALSE(parseProgramArguments({"veldra", "--evidence", ""}).error.isEmpty());
  EXPECT_TRUE(parseProgramArguments({"veldra", "--other", "--help"}).help);
  EXPECT_FALSE(parseProgramArguments({"veldra", "--evidence", "--help"}).help);  // a project so named
  testing::TempDir dir;
  const Workspace ws(dir.makeWorkspace().string());
  EXPECT_TRUE(appendProject(ws, "CAD1"));
  EXPECT_EQ(listedProject(ws, "cad1"), "CAD1");
  EXPECT_EQ(listedProject(ws, "CAD2"), "");
}

// Help and the version need no window system: the program answers them
// before it asks for one (here, one that does not exist).
TEST(ProgramArguments, HelpAndVersionOpenNoWindow) {
#ifndef _WIN32
  const char* const before = std::getenv("QT_QPA_PLATFORM");
  const std::string kept = before ? before : "";
  ::setenv("QT_QPA_PLATFORM", "nosuchplatform", 1);
  const ProgramRun help = runProgram(pathFromUtf8(VELDRA_WINDOW), {"--workspace", "nowhere", "--help"});
  const ProgramRun version = runProgram(pathFromUtf8(VELDRA_WINDOW), {"--version"});
  if (before) ::setenv("QT_QPA_PLATFORM", kept.c_str(), 1);
  else ::unsetenv("QT_QPA_PLATFORM");
  const ProgramRun wrong = runProgram(pathFromUtf8(VELDRA_WINDOW), {"--frobnicate"});
  EXPECT_EQ(help.exitCode, 0) << help.err;
  EXPECT_TRUE(help.out.starts_with("usage: veldra [--workspace DIR]")) << help.out;
  EXPECT_EQ(version.out, std::string("veldra ") + VELDRA_PROJECT_VERSION + "\n");
  EXPECT_EQ(wrong.exitCode, 2);
#else
  GTEST_SKIP() << "a window program on Windows prints to no console";
#endif
}

class EvidenceButtonTest : public testing::WindowTest {};

// The button opens one window per project on the selected one, and a second
// click brings it forward; the classic window keeps its size.
TEST_F(EvidenceButtonTest, OpensOneEvidenceWindowPerSelectedProject) {
  put("projects/projects.fil", "\"CAD1\"\r\n\"CAD2\"\r\n");
  adjustDeps = [](MainWindowDeps& deps) { deps.evidence.runOnOpen = false; };
  auto& w = start();
  EXPECT_EQ(w.size(), QSize(506, 561));
  w.lstProjects->setCurrentRow(-1);
  w.lstProjects->clearSelection();
  QTest::mouseClick(w.cmdEvidence, Qt::LeftButton);
  EXPECT_EQ(w.findChildren<EvidenceWindow*>().size(), 0);
  ASSERT_EQ(messages.shown.size(), 1u);
  w.lstProjects->setCurrentRow(0);
  QTest::mouseClick(w.cmdEvidence, Qt::LeftButton);
  QTest::mouseClick(w.cmdEvidence, Qt::LeftButton);
  const auto windows = w.findChildren<EvidenceWindow*>();
  ASSERT_EQ(windows.size(), 1);
  EXPECT_EQ(windows[0]->project(), "CAD1");
  EXPECT_TRUE(windows[0]->isWindow() && windows[0]->isVisible());
  w.lstProjects->setCurrentRow(1);
  QTest::mouseClick(w.cmdEvidence, Qt::LeftButton);
  EXPECT_EQ(w.findChildren<EvidenceWindow*>().size(), 2);
}

// Mends on the main window: Enter in the project's name adds the project,
// and typing in the entity box replaces the type shown.
TEST_F(EvidenceButtonTest, EnterAddsTheProjectAndTypingReplacesTheEntityShown) {
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
