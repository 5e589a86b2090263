// The evidence window on classes written as real drawings: the run off the
// GUI thread, the groups and the pairs table with its filters, the pair view,
// the class map, the problem drawings, the settings, cancel and the exports.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
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
#include <numeric>
#include <random>
#include <set>
#include <thread>

#include "app/textfile.h"
#include "evidence/run/evidence_run.h"
#include "platform/platform.h"
#include "projects/project_store.h"
#include "reports/print_job.h"
#include "support/recorders.h"
#include "support/temp_dir.h"
#include "ui/class_map.h"
#include "classes/class_files.h"
#include "ui/evidence_pairs_model.h"
#include "ui/evidence_window.h"
#include "ui/named_evidence_window.h"
#include "ui/program_arguments.h"
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
// saved no preview.
testing::ClassPlan smallClass() {
  testing::ClassPlan plan;
  plan.seed = 7;
  plan.students = 8;
  plan.copies = {{CopyKind::kFileCopy, 0, 1}, {CopyKind::kPastedMoved, 2, 3}};
  plan.sameSecond = {4, 6};
  return plan;
}

class EvidenceWindowTest : public ::testing::Test {
 protected:
  EvidenceWindowTest() : base(dir.makeWorkspace()), ws(base.string()) {
    const std::string error = testing::writeClass(ws, "CAD1", smallClass(), dir.path() / "class", written, 3);
    EXPECT_EQ(error, "");
  }

  NamedEvidenceWindow& open() {
    EvidenceWindowDeps deps;
    // With `holdUntilCancelled` set, a check waits for the cancel however
    // fast it would be.
    deps.runCheck = [this](const Workspace& workspace, const std::string& project,
                           const evidence::EvidenceSettings& settings, const evidence::RunControl& control) {
      while (holdUntilCancelled && !control.cancelled()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return evidence::runEvidenceCheck(workspace, project, settings, control);
    };
    deps.messages = &messages;
    deps.folders = &folders;
    deps.chooseSaveFile = [this](const QString&, const QString&) { return saveAs; };
    deps.chooseDrawings = [this](const QString&) { return chosenDrawings; };
    deps.printDialog = [this](QPrinter& printer) { return std::make_unique<PdfDialog>(printer, pdfFile); };
    deps.runOnOpen = false;
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

  // The pairs of students in the table's visible rows.
  std::set<std::pair<int, int>> shownPairs(const NamedEvidenceWindow& w) const {
    std::set<std::pair<int, int>> out;
    const auto* model = w.pairsTable->model();
    for (int r = 0; r < model->rowCount(); ++r) {
      const int a = studentOf(model->index(r, EvidencePairsModel::kDrawingA).data().toString());
      const int b = studentOf(model->index(r, EvidencePairsModel::kDrawingB).data().toString());
      out.insert({std::min(a, b), std::max(a, b)});
    }
    return out;
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
  std::atomic<bool> holdUntilCancelled{false};  // before the window, which waits for its check
  std::unique_ptr<NamedEvidenceWindow> window;
};

TEST_F(EvidenceWindowTest, ShowsGroupsFirstThenEveryJudgedPairOffTheGuiThread) {
  auto& w = open();
  EXPECT_FALSE(w.exportCsvButton->isEnabled());
  ASSERT_TRUE(run(w));
  ASSERT_NE(w.findings(), nullptr) << w.runStatus->text().toStdString();
  const auto& f = *w.findings();
  EXPECT_EQ(f.projectDrawings, 8u);
  // Both copies form a group of their own, named in the tree.
  ASSERT_EQ(w.groupsTree->topLevelItemCount(), 2);
  std::set<std::set<int>> groups;
  for (int g = 0; g < 2; ++g) {
    std::set<int> members;
    for (int m = 0; m < w.groupsTree->topLevelItem(g)->childCount(); ++m)
      members.insert(studentOf(w.groupsTree->topLevelItem(g)->child(m)->text(1)));
    groups.insert(members);
  }
  EXPECT_EQ(groups, (std::set<std::set<int>>{{0, 1}, {2, 3}}));
  // One row per pair found, the copies first, and the honest students
  // accused of nothing.
  EXPECT_EQ(w.pairsTable->model()->rowCount(), static_cast<int>(f.pairs.size()));
  const auto pairs = shownPairs(w);
  EXPECT_TRUE(pairs.count({0, 1}));
  EXPECT_TRUE(pairs.count({2, 3}));
  for (int r = 0; r < w.pairsTable->model()->rowCount(); ++r) {
    const QString verdict = w.pairsTable->model()->index(r, EvidencePairsModel::kVerdict).data().toString();
    const bool copy = verdict == QStringLiteral("copy") || verdict == QStringLiteral("likely copy");
    EXPECT_EQ(copy, r < 2) << r << " " << verdict.toStdString();
  }
  EXPECT_TRUE(w.runStatus->text().contains(QStringLiteral("8 drawings")));
  EXPECT_TRUE(w.exportCsvButton->isEnabled());
  // The run kept its plain report and its store, and touched no classic file.
  EXPECT_TRUE(std::filesystem::exists(evidence::reportFile(ws, "CAD1")));
  EXPECT_TRUE(std::filesystem::exists(evidence::storeFile(ws)));
  EXPECT_FALSE(std::filesystem::exists(base / "compares" / "CAD1.cmp"));
}

TEST_F(EvidenceWindowTest, SliderAndVerdictFilterNarrowTheTableAsTheyMove) {
  auto& w = open();
  ASSERT_TRUE(run(w));
  const auto& f = *w.findings();
  auto atLeast = [&](int score) {
    int n = 0;
    for (const auto& p : f.pairs) n += p.score >= score;
    return n;
  };
  const int lowest = f.pairs.empty() ? 0 : f.pairs.back().score;
  const int rows = w.pairsTable->model()->rowCount();
  // Each step of the slider by keyboard filters at once.
  w.thresholdSlider->setFocus();
  for (int k = 0; k < 20; ++k) QTest::keyClick(w.thresholdSlider, Qt::Key_PageUp);
  EXPECT_EQ(w.thresholdSlider->value(), 100);
  EXPECT_EQ(w.thresholdValue->text(), QStringLiteral("100"));
  EXPECT_EQ(w.pairsTable->model()->rowCount(), atLeast(100));
  w.thresholdSlider->setValue(lowest + 1);
  EXPECT_EQ(w.pairsTable->model()->rowCount(), atLeast(lowest + 1));
  EXPECT_LT(w.pairsTable->model()->rowCount(), rows);
  w.thresholdSlider->setValue(0);
  EXPECT_EQ(w.pairsTable->model()->rowCount(), rows);

  w.verdictFilter->setCurrentIndex(1);  // copy
  const int copies = f.counts().copy;
  EXPECT_EQ(w.pairsTable->model()->rowCount(), copies);
  for (int r = 0; r < copies; ++r)
    EXPECT_EQ(w.pairsTable->model()->index(r, EvidencePairsModel::kVerdict).data().toString(), QStringLiteral("copy"));
  w.verdictFilter->setCurrentIndex(0);

  // Sorting by score, lowest first, through the header.
  w.pairsTable->sortByColumn(EvidencePairsModel::kScore, Qt::AscendingOrder);
  for (int r = 1; r < rows; ++r)
    EXPECT_LE(w.pairsTable->model()->index(r - 1, EvidencePairsModel::kScore).data().toInt(),
              w.pairsTable->model()->index(r, EvidencePairsModel::kScore).data().toInt());
}

TEST_F(EvidenceWindowTest, PairViewShowsBothPicturesTheEvidenceAndOpensFolders) {
  auto& w = open();
  ASSERT_TRUE(run(w));
  const auto& f = *w.findings();
  // Return on a row of the table opens it.
  int row = -1;
  for (int r = 0; r < w.pairsTable->model()->rowCount(); ++r) {
    const int a = studentOf(w.pairsTable->model()->index(r, 0).data().toString());
    const int b = studentOf(w.pairsTable->model()->index(r, 1).data().toString());
    if (std::min(a, b) == 0 && std::max(a, b) == 1) row = r;
  }
  ASSERT_GE(row, 0);
  w.tabs->setCurrentIndex(0);
  w.pairsTable->setFocus();
  w.pairsTable->setCurrentIndex(w.pairsTable->model()->index(row, 0));
  QTest::keyClick(w.pairsTable, Qt::Key_Return);
  EXPECT_EQ(w.tabs->currentIndex(), 1);
  const int pairIndex = w.pairsTable->model()->index(row, 0).data(EvidencePairsModel::kPairRole).toInt();
  const auto& pair = f.pairs[static_cast<std::size_t>(pairIndex)];
  const QString a = drawingText(f, pair.a), b = drawingText(f, pair.b);
  EXPECT_TRUE(w.nameA->text().endsWith(a));
  EXPECT_TRUE(w.nameB->text().endsWith(b));
  // Student 0's preview is a PNG, the file copy carries the same picture.
  ASSERT_FALSE(w.previewA->image().isNull());
  ASSERT_FALSE(w.previewB->image().isNull());
  EXPECT_EQ(w.previewA->image().size(), QSize(320, 240));
  EXPECT_EQ(w.previewA->image(), w.previewB->image());
  ASSERT_FALSE(pair.reasons.empty());
  EXPECT_TRUE(w.pairEvidence->toPlainText().contains(QString::fromStdString(pair.reasons.front())));
  EXPECT_TRUE(w.pairSource->text().startsWith(QStringLiteral("Likely source: ")));

  QTest::mouseClick(w.openFolderB, Qt::LeftButton);
  ASSERT_EQ(folders.opened.size(), 1);
  EXPECT_EQ(std::filesystem::path(folders.opened[0].toStdString()),
            f.drawings[pair.b].path.parent_path());
  // A folder that has gone is said, not opened.
  std::filesystem::remove_all(f.drawings[pair.a].path.parent_path());
  QTest::mouseClick(w.openFolderA, Qt::LeftButton);
  EXPECT_EQ(folders.opened.size(), 1);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_NE(messages.shown[0].text.find("no longer there"), std::string::npos);
}

TEST_F(EvidenceWindowTest, PicturesAsBmpAndMissingOnesAreShownAsSuch) {
  auto& w = open();
  ASSERT_TRUE(run(w));
  const auto& f = *w.findings();
  // Every drawing: students 3 and 6 stored none; odd students a BMP, even
  // ones a PNG, and the file copy its source's.
  for (std::size_t d = 0; d < f.projectDrawings; ++d) {
    const QImage image = previewImage(f.drawings[d].preview);
    const int student = studentOf(drawingText(f, d));
    const int picture = student == 1 ? 0 : student;
    if (picture == 3 || picture == 6) {
      EXPECT_TRUE(image.isNull());
    } else {
      EXPECT_EQ(image.size(), QSize(320, 240)) << student;
      EXPECT_EQ(f.drawings[d].preview.format,
                picture % 2 ? veldra::dwg::PreviewFormat::kBmp : veldra::dwg::PreviewFormat::kPng)
          << student;
    }
  }
  // The class map opens the pair of student 3, who copied from 2.
  const auto& order = w.classMap->order();
  int row3 = -1;
  for (std::size_t k = 0; k < order.size(); ++k)
    if (studentOf(drawingText(f, order[k])) == 3) row3 = static_cast<int>(k);
  ASSERT_GE(row3, 0);
  int column = -1;
  for (int c = 0; c < static_cast<int>(order.size()) && column < 0; ++c)
    if (w.classMap->pairAt(row3, c)) column = c;
  ASSERT_GE(column, 0);
  w.tabs->setCurrentIndex(2);
  QTest::mouseClick(w.classMap, Qt::LeftButton, {}, w.classMap->squareCentre(row3, column));
  EXPECT_EQ(w.tabs->currentIndex(), 1);
  // Student 3 stored no preview: the picture is drawn from the drawing, and
  // says so.
  const bool threeIsA = studentOf(w.nameA->text().mid(3)) == 3;
  const PreviewPicture* drawn = threeIsA ? w.previewA : w.previewB;
  EXPECT_FALSE((threeIsA ? w.previewB : w.previewA)->image().isNull());
  EXPECT_FALSE(drawn->image().isNull());
  EXPECT_EQ((threeIsA ? w.captionA : w.captionB)->text().left(22), QStringLiteral("drawn from the drawing"));
  EXPECT_EQ((threeIsA ? w.captionB : w.captionA)->text(), QStringLiteral("stored preview"));
  int ink = 0;
  for (int y = 0; y < drawn->image().height(); y += 2)
    for (int x = 0; x < drawn->image().width(); x += 2) ink += drawn->image().pixel(x, y) != qRgb(255, 255, 255);
  EXPECT_GT(ink, 100);
}

TEST_F(EvidenceWindowTest, ClassMapListsGroupsFirstAndAClickOrTheKeysOpenThatPair) {
  auto& w = open();
  ASSERT_TRUE(run(w));
  const auto& f = *w.findings();
  w.tabs->setCurrentIndex(2);
  const auto& order = w.classMap->order();
  ASSERT_EQ(order.size(), 8u);
  // The four students of the two groups come first, each group together.
  std::set<int> firstTwo{studentOf(drawingText(f, order[0])), studentOf(drawingText(f, order[1]))};
  std::set<int> nextTwo{studentOf(drawingText(f, order[2])), studentOf(drawingText(f, order[3]))};
  EXPECT_TRUE((firstTwo == std::set<int>{0, 1} && nextTwo == std::set<int>{2, 3}) ||
              (firstTwo == std::set<int>{2, 3} && nextTwo == std::set<int>{0, 1}));
  ASSERT_TRUE(w.classMap->pairAt(2, 3));
  EXPECT_FALSE(w.classMap->pairAt(2, 2));
  QTest::mouseClick(w.classMap, Qt::LeftButton, {}, w.classMap->squareCentre(3, 2));
  EXPECT_EQ(w.tabs->currentIndex(), 1);
  const auto& pair = f.pairs[*w.classMap->pairAt(2, 3)];
  EXPECT_TRUE(w.pairTitle->text().contains(drawingText(f, pair.a)));
  EXPECT_TRUE(w.pairTitle->text().contains(drawingText(f, pair.b)));

  // By the keys: they start from the square clicked, stop at the edges, and
  // Enter on the first group's pair opens it.
  w.tabs->setCurrentIndex(2);
  w.classMap->setFocus();
  EXPECT_EQ(w.classMap->current(), std::make_pair(3, 2));
  for (int k = 0; k < 5; ++k) QTest::keyClick(w.classMap, Qt::Key_Up);
  QTest::keyClick(w.classMap, Qt::Key_Home);
  EXPECT_EQ(w.classMap->current(), std::make_pair(0, 0));
  QTest::keyClick(w.classMap, Qt::Key_Return);  // the diagonal chooses nothing
  EXPECT_EQ(w.tabs->currentIndex(), 2);
  QTest::keyClick(w.classMap, Qt::Key_Right);
  EXPECT_TRUE(w.classMap->accessibleDescription().contains(drawingText(f, order[0])));
  QTest::keyClick(w.classMap, Qt::Key_Return);
  EXPECT_EQ(w.tabs->currentIndex(), 1);
  const auto& first = f.pairs[*w.classMap->pairAt(0, 1)];
  EXPECT_TRUE(w.pairTitle->text().contains(drawingText(f, first.a)));
  EXPECT_TRUE(w.pairTitle->text().contains(drawingText(f, first.b)));
}

TEST_F(EvidenceWindowTest, CancelLeavesTheLastRunsFilesWhole) {
  auto& w = open();
  ASSERT_TRUE(run(w));
  const std::string report = testing::slurp(evidence::reportFile(ws, "CAD1"));
  const std::string store = testing::slurp(evidence::storeFile(ws));
  ASSERT_FALSE(report.empty());
  const auto* before = w.findings();

  holdUntilCancelled = true;
  QTest::mouseClick(w.runButton, Qt::LeftButton);
  EXPECT_TRUE(w.running());
  EXPECT_FALSE(w.runButton->isEnabled());
  EXPECT_TRUE(w.cancelButton->isEnabled());
  QTest::keyClick(w.cancelButton, Qt::Key_Space);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.running(); }, 60000));
  EXPECT_EQ(w.progress->format(), QStringLiteral("Cancelled"));
  EXPECT_TRUE(w.runStatus->text().contains(QStringLiteral("cancelled")));
  // The findings shown stay those of the last finished run; its files too.
  EXPECT_EQ(w.findings(), before);
  EXPECT_EQ(testing::slurp(evidence::reportFile(ws, "CAD1")), report);
  EXPECT_EQ(testing::slurp(evidence::storeFile(ws)), store);
  EXPECT_TRUE(w.runButton->isEnabled());
}

TEST_F(EvidenceWindowTest, ClosingDuringARunStopsItAndWritesNothing) {
  auto& w = open();
  QTest::mouseClick(w.runButton, Qt::LeftButton);
  window.reset();
  EXPECT_FALSE(std::filesystem::exists(evidence::reportFile(ws, "CAD1")));
  // The settings are kept before a run starts; no judged project is.
  const auto stored = evidence::storedProjects(ws);
  ASSERT_TRUE(stored) << stored.message();
  EXPECT_TRUE(stored->empty());
}

TEST_F(EvidenceWindowTest, ExportsAndPrintsTheReport) {
  auto& w = open();
  ASSERT_TRUE(run(w));
  saveAs = QString::fromStdString((dir.path() / "pairs.csv").string());
  QTest::mouseClick(w.exportCsvButton, Qt::LeftButton);
  const std::string csv = testing::slurp(dir.path() / "pairs.csv");
  EXPECT_EQ(csv.rfind("\xEF\xBB\xBF", 0), 0u);
  EXPECT_NE(csv.find("drawing_a"), std::string::npos);
  EXPECT_NE(csv.find("copy"), std::string::npos);

  saveAs = QString::fromStdString((dir.path() / "report.html").string());
  QTest::mouseClick(w.exportHtmlButton, Qt::LeftButton);
  const std::string html = testing::slurp(dir.path() / "report.html");
  EXPECT_NE(html.find("data:image/png;base64,"), std::string::npos);
  EXPECT_NE(html.find("CAD1"), std::string::npos);

  // A cancelled file dialog writes nothing; a folder that cannot be written says so.
  saveAs.clear();
  QTest::mouseClick(w.exportCsvButton, Qt::LeftButton);
  saveAs = QString::fromStdString((dir.path() / "missing" / "pairs.csv").string());
  QTest::mouseClick(w.exportCsvButton, Qt::LeftButton);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_NE(messages.shown[0].text.find("was not written"), std::string::npos);

  pdfFile = QString::fromStdString((dir.path() / "report.pdf").string());
  QTest::mouseClick(w.printButton, Qt::LeftButton);
  EXPECT_EQ(testing::slurp(dir.path() / "report.pdf").rfind("%PDF", 0), 0u);

  // The pair shown, on a sheet of its own.
  ASSERT_TRUE(w.printCaseSheetButton->isEnabled());
  pdfFile = QString::fromStdString((dir.path() / "case.pdf").string());
  QTest::mouseClick(w.printCaseSheetButton, Qt::LeftButton);
  const std::string sheet = testing::slurp(dir.path() / "case.pdf");
  EXPECT_EQ(sheet.rfind("%PDF", 0), 0u);
  EXPECT_LT(sheet.size(), testing::slurp(dir.path() / "report.pdf").size());
  EXPECT_TRUE(w.runStatus->text().contains(QStringLiteral("case sheet")));
  // It fits one page, the overlay of both drawings included.
  std::size_t pages = 0;
  for (std::size_t at = 0; (at = sheet.find("/Type /Page", at)) != std::string::npos; at += 11)
    pages += sheet.compare(at + 11, 1, "s") != 0;
  EXPECT_EQ(pages, 1u);
}

TEST_F(EvidenceWindowTest, ShowsDrawingsThatCouldNotBeReadWithTheirReasons) {
  dir.write("class/zoe/drawing.dwg", "not a drawing at all");
  dir.write("class/yann/drawing.dwg", "");
  auto& w = open();
  ASSERT_TRUE(run(w));
  ASSERT_EQ(w.problemTable->rowCount(), 2);
  QStringList names;
  for (int r = 0; r < 2; ++r) {
    names << w.problemTable->item(r, 0)->text();
    EXPECT_EQ(w.problemTable->item(r, 1)->text(), QStringLiteral("NO"));
    EXPECT_FALSE(w.problemTable->item(r, 2)->text().isEmpty());
  }
  names.sort();
  EXPECT_EQ(names, (QStringList{QStringLiteral("yann/drawing.dwg"), QStringLiteral("zoe/drawing.dwg")}));
  EXPECT_TRUE(w.tabs->tabText(3).contains(QStringLiteral("(2)")));
}

TEST_F(EvidenceWindowTest, SettingsAreKeptPerProjectAndUsedByTheRun) {
  const std::string projects = testing::slurp(ws.projectsFile());
  EXPECT_TRUE(appendProject(ws, "CAD0"));
  {
    auto& w = open();
    chosenDrawings = {QString::fromStdString(written.templateFile.string())};
    QTest::mouseClick(w.addTemplate, Qt::LeftButton);
    QTest::mouseClick(w.addTemplate, Qt::LeftButton);  // listed once
    EXPECT_EQ(w.templateList->count(), 1);
    ASSERT_EQ(w.againstList->count(), 1);  // every project but this one
    EXPECT_EQ(w.againstList->item(0)->text(), QStringLiteral("CAD0"));
    w.ignoredAuthors->setPlainText(QStringLiteral("lab3\n  \nstudent\t1\n"));
    w.termEdit->setText(QStringLiteral("autumn 2026"));
    QTest::mouseClick(w.saveSettingsButton, Qt::LeftButton);
    EXPECT_EQ(w.settingsStatus->text(), QStringLiteral("Saved."));
  }
  const auto kept = evidence::loadProjectSettings(ws, "CAD1").value();
  ASSERT_EQ(kept.templates.size(), 1u);
  EXPECT_EQ(kept.templates[0], written.templateFile);
  EXPECT_EQ(kept.ignoredAuthors, (std::vector<std::string>{"lab3", "student 1"}));
  EXPECT_EQ(kept.term, "autumn 2026");
  // Another window on the project finds them, and its run judges with them.
  auto& w = open();
  EXPECT_EQ(w.templateList->count(), 1);
  EXPECT_EQ(w.ignoredAuthors->toPlainText(), QStringLiteral("lab3\nstudent 1"));
  ASSERT_TRUE(run(w));
  ASSERT_NE(w.findings(), nullptr);
  EXPECT_EQ(w.findings()->settings.templates, kept.templates);
  EXPECT_EQ(w.findings()->term, "autumn 2026");
  // An earlier project not in the store is refused with the reason.
  w.againstList->item(0)->setCheckState(Qt::Checked);
  ASSERT_TRUE(run(w));
  EXPECT_TRUE(w.runStatus->text().startsWith(QStringLiteral("The check failed")));
  // Nothing classic was rewritten.
  EXPECT_EQ(testing::slurp(ws.projectsFile()), projects + "\"CAD0\"\r\n");
}

// Settings the store cannot give are not taken for none: the window says
// so, and a run neither judges nor overwrites the last report.
TEST_F(EvidenceWindowTest, SettingsThatCannotBeReadStopTheRun) {
  std::filesystem::create_directories(evidence::storeFile(ws).parent_path());
  EXPECT_TRUE(replaceFile(evidence::storeFile(ws), "not a database"));
  const auto report = evidence::reportFile(ws, "CAD1");
  std::filesystem::create_directories(report.parent_path());
  EXPECT_TRUE(replaceFile(report, "the last report"));
  auto& w = open();
  EXPECT_TRUE(w.settingsStatus->text().startsWith(QStringLiteral("The saved settings could not be read")))
      << w.settingsStatus->text().toStdString();
  QTest::mouseClick(w.runButton, Qt::LeftButton);
  EXPECT_FALSE(w.running());
  EXPECT_EQ(w.findings(), nullptr);
  EXPECT_TRUE(w.runStatus->text().startsWith(QStringLiteral("The saved settings could not be read")));
  EXPECT_EQ(testing::slurp(report), "the last report");
  EXPECT_EQ(testing::slurp(evidence::storeFile(ws)), "not a database");
}

// A mark kept on the pair page shows at once on the pages that show marks;
// one the store refuses is said on the pair page and shows nowhere. The
// pairs marked are drawn by seed.
TEST_F(EvidenceWindowTest, AMarkShowsOnThePagesOnlyOnceTheStoreKeptIt) {
  auto& w = open();
  ASSERT_TRUE(run(w));
  const auto& f = *w.findings();
  ASSERT_GE(f.pairs.size(), 2u);
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE(::testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  std::vector<int> order(f.pairs.size());
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), random);
  const int kept = order[0], refused = order[1];
  // The drawings whose line says they are marked, and the table's marks.
  auto markedDrawings = [&] {
    std::set<QString> out;
    for (int k = 0; k < w.drawingsTree->topLevelItemCount(); ++k)
      if (w.drawingsTree->topLevelItem(k)->text(3) != QStringLiteral("0 marked"))
        out.insert(w.drawingsTree->topLevelItem(k)->text(0));
    return out;
  };
  auto tableMark = [&](int pair) {
    const auto* model = w.pairsTable->model();
    for (int r = 0; r < model->rowCount(); ++r)
      if (model->index(r, 0).data(EvidencePairsModel::kPairRole).toInt() == pair)
        return model->index(r, EvidencePairsModel::kMark).data().toString();
    return QStringLiteral("(no row)");
  };
  EXPECT_TRUE(markedDrawings().empty());

  w.showPair(kept);
  w.reviewMark->setCurrentIndex(1);  // to review
  QTest::mouseClick(w.saveReviewButton, Qt::LeftButton);
  EXPECT_EQ(w.reviewStatus->text(), QStringLiteral("Kept."));
  const auto& pair = f.pairs[static_cast<std::size_t>(kept)];
  EXPECT_EQ(markedDrawings(), (std::set<QString>{drawingText(f, pair.a), drawingText(f, pair.b)}));
  EXPECT_EQ(tableMark(kept), QStringLiteral("to review"));

  EXPECT_TRUE(replaceFile(evidence::storeFile(ws), "not a database"));
  w.showPair(refused);
  w.reviewMark->setCurrentIndex(3);  // not a copy
  QTest::mouseClick(w.saveReviewButton, Qt::LeftButton);
  EXPECT_TRUE(w.reviewStatus->text().startsWith(QStringLiteral("Not kept: "))) << w.reviewStatus->text().toStdString();
  EXPECT_FALSE(f.pairs[static_cast<std::size_t>(refused)].review);
  EXPECT_EQ(markedDrawings(), (std::set<QString>{drawingText(f, pair.a), drawingText(f, pair.b)}));
  EXPECT_EQ(tableMark(refused), QString());
}

// A window taken apart while its pages are in use: the tabs name a new
// current page as each page goes and the focus moves on from a half-typed
// note, and none of it may reach the window or a page already gone (the
// sanitizer build sees such a call).
TEST_F(EvidenceWindowTest, GoesQuietlyWhileItsPagesAreInUse) {
  auto& w = open();
  ASSERT_TRUE(run(w));
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  w.showPair(0);
  w.reviewNote->setFocus();
  QTest::keyClicks(w.reviewNote, QStringLiteral("half a note"));
  w.tabs->setCurrentIndex(2);
  EXPECT_TRUE(w.classMap->hasFocus());
  w.templateList->addItem(QStringLiteral("unsaved.dwg"));
  window.reset();
  // The settings not saved stay unsaved.
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
  EXPECT_FALSE(parseProgramArguments({"veldra", "--other"}).error.isEmpty());
  // Help and the version wherever they stand, after an error too.
  for (const QStringList& line : {QStringList{"veldra", "--help"}, QStringList{"veldra", "--workspace", "x", "-h"},
                                  QStringList{"veldra", "--other", "--help"}})
    EXPECT_TRUE(parseProgramArguments(line).help) << line.join(' ').toStdString();
  EXPECT_TRUE(parseProgramArguments({"veldra", "--evidence", "cad1", "--version"}).version);
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
  EXPECT_EQ(version.exitCode, 0) << version.err;
  EXPECT_EQ(version.out, std::string("veldra ") + VELDRA_PROJECT_VERSION + "\n");
  EXPECT_EQ(wrong.exitCode, 2);
  EXPECT_NE(wrong.err.find("unknown option --frobnicate"), std::string::npos) << wrong.err;
#else
  GTEST_SKIP() << "a window program on Windows prints to no console";
#endif
}

class EvidenceButtonTest : public testing::WindowTest {};

TEST_F(EvidenceButtonTest, OpensTheEvidenceWindowOnTheSelectedProject) {
  put("projects/projects.fil", "\"CAD1\"\r\n");
  adjustDeps = [](MainWindowDeps& deps) { deps.evidence.runOnOpen = false; };
  auto& w = start();
  ASSERT_NE(w.cmdEvidence, nullptr);
  EXPECT_EQ(w.size(), QSize(506, 561));  // the classic window keeps its size
  w.lstProjects->setCurrentRow(-1);
  w.lstProjects->clearSelection();
  QTest::mouseClick(w.cmdEvidence, Qt::LeftButton);
  EXPECT_EQ(w.findChildren<EvidenceWindow*>().size(), 0);
  ASSERT_EQ(messages.shown.size(), 1u);
  w.lstProjects->setCurrentRow(0);
  QTest::mouseClick(w.cmdEvidence, Qt::LeftButton);
  const auto windows = w.findChildren<EvidenceWindow*>();
  ASSERT_EQ(windows.size(), 1);
  EXPECT_EQ(windows[0]->project(), "CAD1");
  EXPECT_TRUE(windows[0]->isWindow());
  EXPECT_TRUE(windows[0]->isVisible());
}

}  // namespace
}  // namespace veldra
