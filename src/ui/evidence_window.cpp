#include "ui/evidence_window.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QShortcut>
#include <QTabWidget>
#include <QTextDocument>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

#include "app/messages.h"
#include "app/settings_store.h"
#include "app/textfile.h"
#include "evidence/reports/report_writers.h"
#include "evidence/judging/words.h"
#include "projects/folder_plan.h"
#include "projects/project_store.h"
#include "reports/print_job.h"
#include "ui/class_map.h"
#include "ui/evidence_drawings_page.h"
#include "ui/evidence_pair_page.h"
#include "ui/evidence_pairs_model.h"
#include "ui/evidence_pairs_page.h"
#include "ui/evidence_problems_page.h"
#include "ui/evidence_settings_page.h"
#include "ui/qt_print_dialog.h"
#include "ui/qt_text.h"
#include "ui/quiet_teardown.h"
#include "ui/sketch_picture.h"

namespace veldra {

namespace {

class DesktopFolders : public FolderOpener {
 public:
  bool openFolder(const QString& folder) override { return QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); }
};

}  // namespace

EvidenceWindow::EvidenceWindow(const Workspace& workspace, std::string project, EvidenceWindowDeps deps,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), workspace_(workspace), project_(std::move(project)), deps_(std::move(deps)) {
  if (!deps_.folders) {
    ownFolders_ = std::make_unique<DesktopFolders>();
    deps_.folders = ownFolders_.get();
  }
  if (!deps_.chooseSaveFile)
    deps_.chooseSaveFile = [this](const QString& caption, const QString& suggested) {
      return QFileDialog::getSaveFileName(this, caption, suggested);
    };
  if (!deps_.chooseDrawings)
    deps_.chooseDrawings = [this](const QString& caption) {
      return QFileDialog::getOpenFileNames(this, caption, QString(), QStringLiteral("Drawings (*.dwg *.DWG)"));
    };
  if (!deps_.printDialog)
    deps_.printDialog = [this](QPrinter& printer) -> std::unique_ptr<PrintDialog> {
      return std::make_unique<QtPrintDialog>(printer, this);
    };
  buildControls();
  connectPages();
  loadSettings();
  showKeptRun();
  setRunning(false);
  fitToScreen();
}

namespace {

// Where the window's size is remembered: the evidence face's own settings,
// beside (never in) the program's.
QSettings sizeSettings() { return QSettings(QString::fromLatin1(kSettingsOrganization), QStringLiteral("VELDRA Evidence")); }

}  // namespace

void EvidenceWindow::fitToScreen() {
  // The size it had when last closed, else as large as it was made to be;
  // never past the screen's free area (at a large scale the screen holds
  // fewer logical pixels).
  QSize size(1100, 760);
  const QSettings settings = sizeSettings();
  if (const QSize kept = settings.value(QStringLiteral("window/size")).toSize(); kept.isValid() && !kept.isEmpty())
    size = kept;
  if (const QScreen* s = screen()) {
    const QRect free = s->availableGeometry();
    size = size.boundedTo(free.size() - QSize(16, 48));
    resize(size);
    move(free.topLeft() + QPoint((free.width() - size.width()) / 2, std::max(0, (free.height() - size.height()) / 3)));
  } else {
    resize(size);
  }
  if (settings.value(QStringLiteral("window/maximized")).toBool()) setWindowState(windowState() | Qt::WindowMaximized);
}

void EvidenceWindow::keepSize() {
  QSettings settings = sizeSettings();
  const bool maximized = isMaximized();
  settings.setValue(QStringLiteral("window/maximized"), maximized);
  if (!maximized && !isFullScreen()) settings.setValue(QStringLiteral("window/size"), size());
}

EvidenceWindow::~EvidenceWindow() {
  // Taken down without closing (with the main window): what was typed is kept.
  pairPage_->keepTyped();
  stopRun();
  // The pages and the tabs still speak while they are taken apart (the tabs
  // name a new current page as each goes); none of it may reach this window.
  stopListeningToChildren(this);
}

void EvidenceWindow::stopRun() {
  if (!thread_) return;
  cancel_->store(true);
  thread_->wait();
}

void EvidenceWindow::buildControls() {
  setObjectName(QStringLiteral("frmEvidence"));
  setWindowTitle(QStringLiteral("VELDRA Evidence - %1").arg(qtText(project_)));
  auto* layout = new QVBoxLayout(this);

  auto* bar = new QHBoxLayout;
  runButton_ = new QPushButton(QStringLiteral("&Run the check"), this);
  runButton_->setObjectName(QStringLiteral("runButton"));
  cancelButton_ = new QPushButton(QStringLiteral("&Cancel"), this);
  cancelButton_->setObjectName(QStringLiteral("cancelButton"));
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("progress"));
  progress_->setTextVisible(true);
  exportCsvButton_ = new QPushButton(QStringLiteral("E&xport CSV..."), this);
  exportCsvButton_->setObjectName(QStringLiteral("exportCsvButton"));
  exportHtmlButton_ = new QPushButton(QStringLiteral("Export &HTML..."), this);
  exportHtmlButton_->setObjectName(QStringLiteral("exportHtmlButton"));
  printButton_ = new QPushButton(QStringLiteral("&Print..."), this);
  printButton_->setObjectName(QStringLiteral("printButton"));
  closeButton_ = new QPushButton(QStringLiteral("Close"), this);
  closeButton_->setObjectName(QStringLiteral("closeButton"));
  closeButton_->setToolTip(QStringLiteral("Close this window (Esc, Ctrl+W)"));
  bar->addWidget(runButton_);
  bar->addWidget(cancelButton_);
  bar->addWidget(progress_, 1);
  bar->addWidget(exportCsvButton_);
  bar->addWidget(exportHtmlButton_);
  bar->addWidget(printButton_);
  bar->addWidget(closeButton_);
  layout->addLayout(bar);

  runStatus_ = new QLabel(QStringLiteral("The check has not run yet."), this);
  runStatus_->setObjectName(QStringLiteral("runStatus"));
  runStatus_->setWordWrap(true);
  runStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(runStatus_);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("tabs"));
  pairsPage_ = new EvidencePairsPage(this);
  tabs_->addTab(pairsPage_, QStringLiteral("&Groups and pairs"));
  pairPage_ = new EvidencePairPage(workspace_, project_, deps_.chooseSaveFile, *deps_.folders, this);
  tabs_->addTab(pairPage_, QStringLiteral("Pa&ir"));
  classMap_ = new ClassMap(this);
  classMap_->setObjectName(QStringLiteral("classMap"));
  tabs_->addTab(classMap_, QStringLiteral("Class &map"));
  problemsPage_ = new EvidenceProblemsPage(this);
  tabs_->addTab(problemsPage_, QStringLiteral("Problem &drawings"));
  settingsPage_ = new EvidenceSettingsPage(workspace_, project_, deps_.chooseDrawings, this);
  // The settings scroll where the window is smaller than they are.
  auto* settingsArea = new QScrollArea(this);
  settingsArea->setWidgetResizable(true);
  settingsArea->setFrameShape(QFrame::NoFrame);
  settingsArea->setWidget(settingsPage_);
  tabs_->addTab(settingsArea, QStringLiteral("&Settings"));
  drawingsPage_ = new EvidenceDrawingsPage(this);
  tabs_->addTab(drawingsPage_, QStringLiteral("Dra&wings"));
  layout->addWidget(tabs_, 1);
  // The map answers the keys as soon as its page is chosen.
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int) {
    if (tabs_->currentWidget() == classMap_) classMap_->setFocus(Qt::TabFocusReason);
  });
  // Each key once: two shortcuts on one key would cancel each other out.
  for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
    auto* shortcut = new QShortcut(keys, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, &QWidget::close);
  }
  connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);
  connect(runButton_, &QPushButton::clicked, this, &EvidenceWindow::startRun);
  connect(cancelButton_, &QPushButton::clicked, this, &EvidenceWindow::cancelRun);
  connect(exportCsvButton_, &QPushButton::clicked, this, &EvidenceWindow::exportCsv);
  connect(exportHtmlButton_, &QPushButton::clicked, this, &EvidenceWindow::exportHtml);
  connect(printButton_, &QPushButton::clicked, this, &EvidenceWindow::printReport);
}

// A pair chosen anywhere opens on the pair page; a mark kept there shows on
// every page that shows marks.
void EvidenceWindow::connectPages() {
  connect(pairsPage_, &EvidencePairsPage::pairChosen, this, &EvidenceWindow::showPair);
  connect(classMap_, &ClassMap::pairChosen, this, &EvidenceWindow::showPair);
  connect(drawingsPage_, &EvidenceDrawingsPage::pairChosen, this, &EvidenceWindow::showPair);
  connect(pairPage_, &EvidencePairPage::markChanged, this, &EvidenceWindow::markChanged);
  connect(pairPage_, &EvidencePairPage::caseSheetAsked, this, &EvidenceWindow::printCaseSheet);
  // The next and previous pairs are those of the table, as it is sorted and filtered.
  connect(pairPage_, &EvidencePairPage::stepAsked, this, [this](int step) {
    const int pair = pairsPage_->pairAfter(pairPage_->shownPair(), step);
    if (pair >= 0) showPair(pair);
  });
  connect(pairPage_, &EvidencePairPage::written, this,
          [this](const QString& file) { runStatus_->setText(QStringLiteral("Written: %1").arg(file)); });
  connect(pairPage_, &EvidencePairPage::failed, this, &EvidenceWindow::showError);
}

int EvidenceWindow::shownPair() const { return pairPage_->shownPair(); }

bool EvidenceWindow::loadSettings() {
  QString problem;
  if (settingsPage_->load(problem)) return true;
  runStatus_->setText(problem);
  return false;
}

void EvidenceWindow::setRunning(bool running) {
  runButton_->setEnabled(!running);
  cancelButton_->setEnabled(running);
  const bool haveFindings = findings_ != nullptr && !running;
  exportCsvButton_->setEnabled(haveFindings);
  exportHtmlButton_->setEnabled(haveFindings);
  printButton_->setEnabled(haveFindings);
  if (!running && !cancelButton_->hasFocus()) return;
  if (running) cancelButton_->setFocus();
  // After a run that found something, the keys go on in the table of pairs.
  else if (findings_ && tabs_->currentWidget() == pairsPage_) pairsPage_->setFocus(Qt::OtherFocusReason);
  else runButton_->setFocus();
}

QString EvidenceWindow::locationProblem() const {
  const auto locations = readLocations(workspace_, project_);
  if (!locations || locations->empty())
    return QStringLiteral("The project %1 has no locations. Add the folders of its students' drawings on the "
                          "Locations page of the main window, then run the check.")
        .arg(qtText(project_));
  const FolderPlan plan = planFolders(*locations);
  if (!plan.whole()) return qtText(plan.problem) + QStringLiteral(" Mend the project's locations, then run the check.");
  return {};
}

void EvidenceWindow::startRun() {
  if (thread_) return;
  // Run on empty controls, the check would judge without the saved
  // templates and overwrite the last report (and the saved settings).
  if (settingsPage_->unread() && !loadSettings()) return;
  if (const QString problem = locationProblem(); !problem.isEmpty()) {
    runStatus_->setText(problem);
    showError(problem);
    return;
  }
  settingsPage_->save();
  const evidence::EvidenceSettings settings = settingsPage_->settings();
  cancel_ = std::make_shared<std::atomic<bool>>(false);
  result_ = std::make_shared<evidence::RunResult>();
  progress_->setRange(0, 0);
  progress_->setFormat(QStringLiteral("Starting"));
  runStatus_->setText(QStringLiteral("Judging %1...").arg(qtText(project_)));
  // The worker owns copies of all it reads; the window hears of it through
  // queued calls, which are dropped if the window is gone.
  const Workspace workspace = workspace_;
  const std::string project = project_;
  auto cancel = cancel_;
  auto result = result_;
  decltype(deps_.runCheck) check = deps_.runCheck;
  if (!check)
    check = [](const Workspace& w, const std::string& p, const evidence::EvidenceSettings& s,
               const evidence::RunControl& c) { return evidence::runEvidenceCheck(w, p, s, c); };
  // The window outlives the thread (closing it waits for the thread), and a
  // queued call to a window that is gone is dropped.
  thread_ = QThread::create([this, workspace, project, settings, cancel, result, check] {
    evidence::RunControl control;
    control.cancel = cancel.get();
    std::string lastStage;
    std::size_t lastDone = 0;
    control.progress = [this, &lastStage, &lastDone](const evidence::Progress& p) {
      // At most some two hundred steps a stage reach the window.
      const std::size_t step = std::max<std::size_t>(1, p.total / 200);
      if (p.stage == lastStage && p.done != p.total && p.done < lastDone + step) return;
      lastStage = p.stage;
      lastDone = p.done;
      const QString stage = QString::fromUtf8(p.stage.data(), static_cast<qsizetype>(p.stage.size()));
      const auto done = static_cast<qint64>(p.done), total = static_cast<qint64>(p.total);
      QMetaObject::invokeMethod(this, [this, stage, done, total] { showProgress(stage, done, total); },
                                Qt::QueuedConnection);
    };
    *result = check(workspace, project, settings, control);
  });
  thread_->setParent(this);
  connect(thread_, &QThread::finished, this, &EvidenceWindow::finishRun);
  setRunning(true);
  thread_->start();
}

void EvidenceWindow::cancelRun() {
  if (!thread_) return;
  cancel_->store(true);
  progress_->setFormat(QStringLiteral("Cancelling"));
  cancelButton_->setEnabled(false);
}

void EvidenceWindow::showProgress(const QString& stage, qint64 done, qint64 total) {
  if (!thread_ || cancel_->load()) return;
  // The bar counts in thousandths, whatever the totals are.
  if (total <= 0) {
    progress_->setRange(0, 0);
  } else {
    progress_->setRange(0, 1000);
    progress_->setValue(static_cast<int>(std::min<qint64>(1000, done * 1000 / total)));
  }
  progress_->setFormat(total > 0 ? QStringLiteral("%1: %2 of %3").arg(stage).arg(done).arg(total) : stage);
}

void EvidenceWindow::finishRun() {
  thread_->deleteLater();
  thread_ = nullptr;
  const evidence::RunResult& r = *result_;
  progress_->setRange(0, 1000);
  progress_->setValue(0);
  switch (r.outcome) {
    case evidence::RunOutcome::kCancelled:
      progress_->setFormat(QStringLiteral("Cancelled"));
      runStatus_->setText(QStringLiteral("The check was cancelled; nothing was written."));
      break;
    case evidence::RunOutcome::kError:
      progress_->setFormat(QStringLiteral("Failed"));
      runStatus_->setText(QStringLiteral("The check failed: %1").arg(qtText(r.error)));
      break;
    case evidence::RunOutcome::kDone: {
      progress_->setValue(1000);
      progress_->setFormat(QStringLiteral("Done"));
      findings_ = std::make_shared<evidence::Findings>(r.findings);
      showingKept_ = false;
      showFindings();
      break;
    }
  }
  result_.reset();
  setRunning(false);
  emit runEnded();
}

void EvidenceWindow::showKeptRun() {
  auto kept = evidence::loadLastRun(workspace_, project_);
  if (!kept) {
    runStatus_->setText(QStringLiteral("The last result cannot be shown: %1").arg(qtText(kept.message())));
    return;
  }
  if (!kept.value()) return;
  findings_ = std::make_shared<evidence::Findings>(std::move(*kept.value()));
  showingKept_ = true;
  showFindings();
}

void EvidenceWindow::showFindings() {
  const auto& f = *findings_;
  const auto counts = f.counts();
  pairsPage_->setFindings(findings_);
  classMap_->setFindings(findings_);
  drawingsPage_->setFindings(findings_);
  const std::size_t problems = problemsPage_->setFindings(f);
  tabs_->setTabText(tabs_->indexOf(problemsPage_), problems == 0
                                                       ? QStringLiteral("Problem &drawings")
                                                       : QStringLiteral("Problem &drawings (%1)").arg(problems));

  QString status;
  if (showingKept_) {
    status = QStringLiteral("Last run %1 (settings: %2). ")
                 .arg(qtText(evidence::instantText(evidence::Instant{f.runAtUnixMs, true})),
                      qtText(evidence::runSettingsText(f)));
    const auto changed = evidence::changedSinceRun(f);
    if (!changed.empty()) {
      QStringList names;
      for (const auto i : changed) names << drawingText(f, i);
      status += QStringLiteral("Changed or gone since: %1. Run the check again for a result of the drawings as they are now. ")
                    .arg(names.join(QStringLiteral(", ")));
    }
  }
  status += QStringLiteral("%1, %2 judged: %3 copy, %4 likely copy, %5 coincidence. %6, %7.")
                .arg(counted(f.projectDrawings, "drawing", "drawings"), counted(f.pairsJudged, "pair", "pairs"))
                .arg(counts.copy)
                .arg(counts.likelyCopy)
                .arg(counts.coincidence)
                .arg(counted(f.groups.size(), "group of copies", "groups of copies"),
                     counted(problems, "problem drawing", "problem drawings"));
  if (f.earlierDrawings)
    status += QStringLiteral(" Compared against %1.").arg(counted(f.earlierDrawings, "earlier drawing", "earlier drawings"));
  for (const auto& w : result_ ? result_->warnings : std::vector<std::string>{}) status += QLatin1Char(' ') + qtText(w);
  runStatus_->setText(status);

  pairPage_->setFindings(findings_);
  if (!f.pairs.empty()) showPair(0);
  tabs_->setCurrentWidget(pairsPage_);
}

void EvidenceWindow::showPair(int pair) {
  if (!pairPage_->showPair(pair)) return;
  tabs_->setCurrentWidget(pairPage_);
  pairsPage_->setCurrentPair(pair);
}

void EvidenceWindow::markChanged(int pair) {
  pairsPage_->markChanged(pair);
  classMap_->update();
  drawingsPage_->refresh();
}

void EvidenceWindow::writeExport(const QString& caption, const QString& suggested, const std::string& content) {
  const QString chosen = deps_.chooseSaveFile(caption, suggested);
  if (chosen.isEmpty()) return;
  const Status written = replaceFile(pathOf(chosen), content);
  if (written)
    runStatus_->setText(QStringLiteral("Written: %1").arg(chosen));
  else
    showError(QStringLiteral("%1 was not written: %2").arg(chosen, qtText(written.message())));
}

void EvidenceWindow::exportCsv() {
  if (!findings_) return;
  writeExport(QStringLiteral("Export the pairs as a spreadsheet"), qtText(project_) + QStringLiteral(".csv"),
              evidence::csvReport(*findings_));
}

void EvidenceWindow::exportHtml() {
  if (!findings_) return;
  writeExport(QStringLiteral("Export the evidence report"), qtText(project_) + QStringLiteral(".html"),
              evidence::htmlReport(*findings_));
}

void EvidenceWindow::printReport() {
  if (!findings_) return;
  // Printed through Qt, which shows no SVG: the pictures as Qt draws them.
  printHtml(evidence::htmlReport(*findings_, QtPictures()), QStringLiteral("The report was sent to the printer."));
}

void EvidenceWindow::printCaseSheet() {
  const int pair = shownPair();
  if (!findings_ || pair < 0) return;
  printHtml(evidence::caseSheet(*findings_, static_cast<std::size_t>(pair), QtPictures()),
            QStringLiteral("The case sheet was sent to the printer."));
}

void EvidenceWindow::printHtml(const std::string& html, const QString& done) {
  if (!printer_) printer_ = std::make_shared<QPrinter>(QPrinter::HighResolution);
  const auto dialog = deps_.printDialog(*printer_);
  const std::optional<int> copies = dialog ? dialog->ask() : std::nullopt;
  if (!copies) return;
  QTextDocument document;
  document.setHtml(qtText(html));
  for (int k = 0; k < std::max(1, *copies); ++k) document.print(printer_.get());
  runStatus_->setText(done);
}

void EvidenceWindow::showError(const QString& text) {
  if (deps_.messages) deps_.messages->show(text.toStdString(), kErrorTitle, MessageIcon::Exclamation);
  else runStatus_->setText(text);
}

void EvidenceWindow::closeEvent(QCloseEvent* event) {
  // What the teacher typed is kept, or the teacher chooses to leave it.
  if (!pairPage_->keepTyped() && deps_.messages &&
      !deps_.messages->ask("The mark and note typed on the pair shown could not be kept. Close the window and "
                           "leave them?",
                           kErrorTitle)) {
    event->ignore();
    return;
  }
  stopRun();
  keepSize();
  QWidget::closeEvent(event);
}

}  // namespace veldra
