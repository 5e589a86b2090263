#pragma once

// The evidence window: shows the last result kept for one project at once,
// runs the evidence check again off the GUI thread and shows what it found
// on its pages (groups and pairs, one pair, the class map, the problem
// drawings, the settings, each drawing with its pairs). Exports the
// spreadsheet and the HTML report, and prints the report and a pair's case
// sheet. The pages own their controls; the window holds the run, the tabs
// and the keys, and carries what one page chooses to the others.

#include <QWidget>

#include <atomic>
#include <memory>
#include <string>

#include "app/workspace.h"
#include "evidence/run/evidence_run.h"
#include "ui/evidence_window_deps.h"

class QLabel;
class QPrinter;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QThread;

namespace veldra {

class ClassMap;
class EvidenceDrawingsPage;
class EvidencePairPage;
class EvidencePairsPage;
class EvidenceProblemsPage;
class EvidenceSettingsPage;

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
  int shownPair() const;

 public slots:
  void startRun();
  void cancelRun();
  void showPair(int pair);
  void exportCsv();
  void exportHtml();
  void printReport();
  void printCaseSheet();

 signals:
  // A run ended: done, cancelled or failed.
  void runEnded();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  void connectPages();
  // False when the saved settings could not be read: the settings page then
  // holds none and the window says so.
  bool loadSettings();
  void showFindings();
  void showKeptRun();
  void markChanged(int pair);
  // Why the project cannot be judged as its locations stand; empty when it can.
  QString locationProblem() const;
  void fitToScreen();
  void keepSize();
  void showProgress(const QString& stage, qint64 done, qint64 total);
  void finishRun();
  void stopRun();
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
  // The run in progress: its thread, its stop flag and its result.
  QThread* thread_ = nullptr;
  std::shared_ptr<std::atomic<bool>> cancel_;
  std::shared_ptr<evidence::RunResult> result_;

  QPushButton* runButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* runStatus_ = nullptr;
  QPushButton* exportCsvButton_ = nullptr;
  QPushButton* exportHtmlButton_ = nullptr;
  QPushButton* printButton_ = nullptr;
  QPushButton* closeButton_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  EvidencePairsPage* pairsPage_ = nullptr;
  EvidencePairPage* pairPage_ = nullptr;
  ClassMap* classMap_ = nullptr;
  EvidenceProblemsPage* problemsPage_ = nullptr;
  EvidenceSettingsPage* settingsPage_ = nullptr;
  EvidenceDrawingsPage* drawingsPage_ = nullptr;
};

}  // namespace veldra
