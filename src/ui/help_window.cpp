#include "ui/help_window.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>

#include "app/workspace.h"
#include "ui/rtf_document.h"
#include "ui/twips.h"

namespace veldra {

namespace {

void centreOnScreen(QWidget& window) {
  QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = window.frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window.move(frame.topLeft());
}

}  // namespace

HelpWindow::HelpWindow(std::function<std::filesystem::path()> installLoc, QWidget* parent)
    : QWidget(parent, Qt::Window), installLoc_(std::move(installLoc)) {
  setObjectName(QStringLiteral("frmHelp"));
  setWindowTitle(QStringLiteral("VELDRA 2006 Help"));
  setFixedSize(twips(7575), twips(5970));

  RichTextBox1 = new QTextEdit(this);
  RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
  RichTextBox1->setReadOnly(true);
  RichTextBox1->setGeometry(twipsRect(240, 240, 7095, 4935));

  cmdExit = new QPushButton(QStringLiteral("Exit"), this);
  cmdExit->setObjectName(QStringLiteral("cmdExit"));
  cmdExit->setGeometry(twipsRect(3240, 5400, 1215, 375));
  connect(cmdExit, &QPushButton::clicked, this, &HelpWindow::on_cmdExit_clicked);
}

void HelpWindow::openHelp() {
  if (!loaded_) {
    loaded_ = true;
    Form_Load();
    centreOnScreen(*this);
  }
  show();
  raise();
  activateWindow();
  loadOrNotFound(Workspace(installLoc_()).resource("Veldra2006.rtf"));
}

void HelpWindow::Form_Load() {
  loadOrNotFound(Workspace(installLoc_()).helpStartDocument());
}

void HelpWindow::loadOrNotFound(const std::filesystem::path& file) {
  if (!loadDocumentFile(*RichTextBox1, file)) RichTextBox1->setPlainText(QString::fromLatin1(kNotFound));
}

void HelpWindow::on_cmdExit_clicked() { hide(); }

}  // namespace veldra
