#include "ui/whatnext_window.h"

#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>

#include "app/messages.h"
#include "app/workspace.h"
#include "ui/rtf_document.h"
#include "ui/qt_text.h"
#include "ui/twips.h"

namespace veldra {

WhatNextWindow::WhatNextWindow(std::function<std::filesystem::path()> installLoc, MessageBoxes& messages,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), installLoc_(std::move(installLoc)), messages_(messages) {
  setObjectName(QStringLiteral("WhatNext"));
  setWindowTitle(QStringLiteral("What Next?"));
  setFixedSize(twips(7980), twips(5700));

  RichTextBox1 = new QTextEdit(this);
  RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
  RichTextBox1->setReadOnly(true);
  RichTextBox1->setGeometry(twipsRect(120, 120, 7695, 4335));

  Label2 = new QLabel(
      QStringLiteral("Full help file (VELDRA2006.rtf) as displayed by selecting HELP on the main "
                     "screen is available in the \\Resources folder for further reference and "
                     "printing."),
      this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setGeometry(twipsRect(600, 4560, 6615, 615));
  Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Label2->setWordWrap(true);
  QFont labelFont(QStringLiteral("Arial"));
  labelFont.setPointSizeF(8.25);
  Label2->setFont(labelFont);

  cmdClose = new QPushButton(QStringLiteral("Close"), this);
  cmdClose->setObjectName(QStringLiteral("cmdClose"));
  cmdClose->setGeometry(twipsRect(3000, 5160, 1935, 375));
  connect(cmdClose, &QPushButton::clicked, this, &WhatNextWindow::on_cmdClose_clicked);
}

void WhatNextWindow::openAdvice() {
  if (!placed_) {
    placed_ = true;
    const QString icon = qtPath(Workspace(installLoc_()).resource("veldra.png"));
    if (QFile::exists(icon)) setWindowIcon(QIcon(icon));
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      QRect frame = frameGeometry();
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
  }
  show();
  raise();
  activateWindow();
  form2load("WhatNext");
}

void WhatNextWindow::form2load(const std::string& rtfFile) {
  if (rtfFile != "WhatNext") return;
  if (!loadDocumentFile(*RichTextBox1, Workspace(installLoc_()).resource("whatnext.rtf")))
    messages_.show(kUnavailable, kAppTitle, MessageIcon::Critical);
}

void WhatNextWindow::on_cmdClose_clicked() { hide(); }

}  // namespace veldra
