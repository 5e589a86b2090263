// The Reports and About pages, printing and the help windows.
#include <QFile>
#include <QLocale>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>

#include <optional>

#include "app/messages.h"
#include "reports/print_job.h"
#include "reports/report_viewer.h"
#include "ui/evidence_window.h"
#include "ui/help_window.h"
#include "ui/main_window.h"
#include "ui/qt_print_dialog.h"
#include "ui/qt_print_surface.h"
#include "ui/qt_text.h"
#include "ui/rtf_document.h"
#include "ui/whatnext_window.h"

namespace veldra {

namespace {

constexpr const char* kAboutNotFound = "About document not found...";

// The option button checked on the Reports page, if any.
std::optional<int> checkedOption(QRadioButton* const (&options)[3]) {
  for (int i = 0; i < 3; ++i)
    if (options[i]->isChecked()) return i;
  return std::nullopt;
}

// Message boxes for a window given none: the advice window still needs some.
class NoMessages : public MessageBoxes {
 public:
  void show(const std::string&, const std::string&, MessageIcon) override {}
  bool ask(const std::string&, const std::string&) override { return false; }
};

}  // namespace

void MainWindow::optReport_Click(int index) {
  if (index < 0 || index > 2) return;
  const std::string project = utf8Text(selectedProject());
  TextEditViewer viewer(*RichTextBox1);
  const PrintButtonState state =
      reportOptionClicked(ws_, static_cast<ReportKind>(index), project, viewer);
  applyPrintButton(state, index, project);
}

void MainWindow::LoadChosenReport() {
  const std::optional<int> option = checkedOption(optReport);
  const std::string project = utf8Text(selectedProject());
  TextEditViewer viewer(*RichTextBox1);
  const PrintButtonState state =
      loadChosenReport(ws_, reportKindFromOption(option), project, viewer);
  applyPrintButton(state, option.value_or(-1), project);
}

void MainWindow::applyPrintButton(PrintButtonState state, int option, const std::string& project) {
  switch (state) {
    case PrintButtonState::Enabled:
      cmdPrint->setEnabled(true);
      shownReportOption_ = option;
      shownReportProject_ = project;
      break;
    case PrintButtonState::Disabled:
      cmdPrint->setEnabled(false);
      shownReportOption_ = -1;
      shownReportProject_.clear();
      break;
    case PrintButtonState::Unchanged:
      break;
  }
}

void MainWindow::loadAboutDocument() {
  // A missing about document is no reason to fail: the page says so instead.
  if (!loadDocumentFile(*RichTextBox2, ws_.resource("about.rtf")))
    RichTextBox2->setPlainText(QString::fromLatin1(kAboutNotFound));
}

void MainWindow::on_cmdPrint_clicked() {
  // Print prints the report the viewer shows, even when another project was
  // selected since it was loaded.
  if (shownReportOption_ < 0) return;
  const std::string date =
      utf8Text(QLocale::system().toString(deps_.today(), QLocale::ShortFormat));
  const std::optional<PrintRequest> request =
      printRequestFor(ws_, reportKindFromOption(shownReportOption_), shownReportProject_, date);
  if (!request) return;

  if (!printer_) printer_ = std::make_shared<QPrinter>(QPrinter::HighResolution);
  std::unique_ptr<PrintDialog> dialog = deps_.printDialog
                                            ? deps_.printDialog(*printer_)
                                            : std::make_unique<QtPrintDialog>(*printer_, this);
  std::unique_ptr<PrintSurface> surface = deps_.printSurface
                                              ? deps_.printSurface(*printer_)
                                              : std::make_unique<QtPrintSurface>(*printer_);
  if (!dialog || !surface) return;
  // Success, cancel and failure all end here without a message.
  printReport(*request, *dialog, *surface);
}

void MainWindow::on_cmdHelp_clicked() {
  if (!help_) help_ = new HelpWindow([this] { return ws_.installLoc(); }, this);
  help_->openHelp();
}

void MainWindow::on_cmdEvidence_clicked() {
  const QString project = selectedProject();
  if (project.isEmpty()) {
    showMessage(QStringLiteral("Select a project on the Projects page first."), QString::fromLatin1(kAppTitle), 0);
    return;
  }
  // One window per project: a second click brings the open one forward.
  const std::string name = utf8Text(project);
  for (EvidenceWindow* open : findChildren<EvidenceWindow*>()) {
    if (open->project() != name || !open->isVisible()) continue;
    open->showNormal();
    open->raise();
    open->activateWindow();
    return;
  }
  EvidenceWindowDeps deps = deps_.evidence;
  if (!deps.messages) deps.messages = deps_.messages;
  auto* window = new EvidenceWindow(ws_, name, deps, this);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->show();
  // The result kept from the last run shows at once; only a project never
  // judged is judged on opening.
  if (deps.runOnOpen && !window->findings()) window->startRun();
}

void MainWindow::on_cmdWhatnext_clicked() {
  if (!whatNext_) {
    static NoMessages silent;
    whatNext_ = new WhatNextWindow([this] { return ws_.installLoc(); },
                                   deps_.messages ? *deps_.messages : silent, this);
  }
  // Shows the window and loads the advice document: form2load("WhatNext").
  whatNext_->openAdvice();
}

}  // namespace veldra
