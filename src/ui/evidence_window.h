#pragma once

// The evidence window: shows the last result kept for one project at once,
// runs the evidence check again off the GUI thread and shows what it found.
// Groups of copies over a sortable table of pairs, the pair view with both
// pictures, their overlay and the teacher's mark, each drawing with its
// pairs, the class map, the drawings that could not be read and the
// project's evidence settings. Exports the spreadsheet and the HTML report,
// and prints the report.

#include <QImage>
#include <QWidget>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "app/workspace.h"
#include "evidence/evidence_run.h"
#include "ui/evidence_window_deps.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPrinter;
class QProgressBar;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QTableView;
class QTableWidget;
class QTextBrowser;
class QThread;
class QTreeWidget;

namespace veldra {

class ClassMap;
class OverlayView;
class EvidencePairsFilter;
class EvidencePairsModel;

// A drawing's preview, scaled to fit and kept sharp at any scaling; says
// "no picture" when there is none to show.
class PreviewPicture : public QWidget {
  Q_OBJECT

 public:
  explicit PreviewPicture(QWidget* parent = nullptr);
  void setImage(const QImage& image, const QString& missing);
  const QImage& image() const { return image_; }
  const QString& missingText() const { return missing_; }
  QSize sizeHint() const override { return {360, 270}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
  QString missing_;
};

// The picture the reader gives as a QImage (BMP, PNG); a null image for
// none or a form Qt does not draw (WMF).
QImage previewImage(const veldra::dwg::Preview& preview);

class EvidenceWindow : public QWidget {
  Q_OBJECT

 public:
  EvidenceWindow(const Workspace& workspace, std::string project, EvidenceWindowDeps deps, QWidget* parent = nullptr);
  ~EvidenceWindow() override;

  const std::string& project() const { return project_; }
  // The findings shown: the last finished run, or the one kept in the store
  // when the window opened; null before either.
  const evidence::Findings* findings() const { return findings_.get(); }
  // The findings shown are the ones kept from an earlier run.
  bool showingKeptRun() const { return showingKept_; }
  bool running() const { return thread_ != nullptr; }
  // The pair the pair view shows (index into the findings' pairs), -1 for none.
  int shownPair() const { return shownPair_; }

 public slots:
  void startRun();
  void cancelRun();
  void showPair(int pair);
  void exportCsv();
  void exportHtml();
  void printReport();
  void printCaseSheet();
  void saveSettings();
  void saveReview();
  void exportOverlay();

 signals:
  // A run ended: done, cancelled or failed.
  void runEnded();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  QWidget* buildPairsPage();
  QWidget* buildPairPage();
  QWidget* buildProblemsPage();
  QWidget* buildSettingsPage();
  // False when the saved settings could not be read: the controls then
  // hold none and the window says so.
  bool loadSettings();
  evidence::EvidenceSettings settingsFromControls() const;
  void showFindings();
  void showKeptRun();
  void fillDrawingsTree();
  void showReview(const evidence::PairFinding& pair);
  QWidget* buildDrawingsPage();
  // Why the project cannot be judged as its locations stand; empty when it can.
  QString locationProblem() const;
  void fitToScreen();
  void showProgress(const QString& stage, qint64 done, qint64 total);
  void finishRun();
  void openDrawingFolder(int side);
  void writeExport(const QString& caption, const QString& suggested, const std::string& content);
  void printHtml(const std::string& html, const QString& done);
  void showError(const QString& text);
  void setRunning(bool running);

  Workspace workspace_;
  std::string project_;
  EvidenceWindowDeps deps_;
  std::unique_ptr<FolderOpener> ownFolders_;
  std::shared_ptr<evidence::Findings> findings_;
  bool showingKept_ = false;
  std::shared_ptr<QPrinter> printer_;
  int shownPair_ = -1;
  // The saved settings could not be read: a run reads them again first.
  bool settingsUnread_ = false;
  // The run in progress: its thread, its stop flag and its result.
  QThread* thread_ = nullptr;
  std::shared_ptr<std::atomic<bool>> cancel_;
  std::shared_ptr<evidence::RunResult> result_;
  EvidencePairsModel* pairsModel_ = nullptr;
  EvidencePairsFilter* pairsFilter_ = nullptr;

 public:
  // Controls, named as the window's objectNames.
  QPushButton* runButton = nullptr;
  QPushButton* cancelButton = nullptr;
  QProgressBar* progress = nullptr;
  QLabel* runStatus = nullptr;
  QPushButton* exportCsvButton = nullptr;
  QPushButton* exportHtmlButton = nullptr;
  QPushButton* printButton = nullptr;
  QPushButton* closeButton = nullptr;
  QTabWidget* tabs = nullptr;
  QTreeWidget* groupsTree = nullptr;
  QComboBox* verdictFilter = nullptr;
  QSlider* thresholdSlider = nullptr;
  QLabel* thresholdValue = nullptr;
  QComboBox* reviewFilter = nullptr;
  QTableView* pairsTable = nullptr;
  QLabel* pairTitle = nullptr;
  QLabel* nameA = nullptr;
  QLabel* nameB = nullptr;
  PreviewPicture* previewA = nullptr;
  PreviewPicture* previewB = nullptr;
  QLabel* captionA = nullptr;
  QLabel* captionB = nullptr;
  OverlayView* overlay = nullptr;
  QPushButton* fitOverlayButton = nullptr;
  QPushButton* exportOverlayButton = nullptr;
  QComboBox* reviewMark = nullptr;
  QPlainTextEdit* reviewNote = nullptr;
  QPushButton* saveReviewButton = nullptr;
  QLabel* reviewStatus = nullptr;
  QTreeWidget* drawingsTree = nullptr;
  QTextBrowser* pairEvidence = nullptr;
  QLabel* pairSource = nullptr;
  QPushButton* openFolderA = nullptr;
  QPushButton* openFolderB = nullptr;
  QPushButton* printCaseSheetButton = nullptr;
  ClassMap* classMap = nullptr;
  QTableWidget* problemTable = nullptr;
  QListWidget* templateList = nullptr;
  QPushButton* addTemplate = nullptr;
  QPushButton* removeTemplate = nullptr;
  QListWidget* againstList = nullptr;
  QPlainTextEdit* ignoredAuthors = nullptr;
  QLineEdit* termEdit = nullptr;
  QSpinBox* copyThreshold = nullptr;
  QSpinBox* likelyThreshold = nullptr;
  QPushButton* saveSettingsButton = nullptr;
  QLabel* settingsStatus = nullptr;
};

}  // namespace veldra
