// The About page, the help window and the evidence window's door.
#include <QTextEdit>

#include "app/messages.h"
#include "ui/evidence_window.h"
#include "ui/help_window.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/rtf_document.h"

namespace veldra {

namespace {

constexpr const char* kAboutNotFound = "About document not found...";

}  // namespace

void MainWindow::loadAboutDocument() {
  // A missing about document is no reason to fail: the page says so instead.
  if (!loadDocumentFile(*RichTextBox2, ws_.resource("about.rtf")))
    RichTextBox2->setPlainText(QString::fromLatin1(kAboutNotFound));
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

}  // namespace veldra
