#include "ui/qt_message_boxes.h"

#include <QMessageBox>

namespace veldra {

namespace {
// Texts are kept in local 8-bit bytes; a lone CR breaks the line as intended.
QString bodyText(const std::string& text) {
  QString body = QString::fromLocal8Bit(text.c_str());
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace('\r', '\n');
  return body;
}
}  // namespace

void QtMessageBoxes::show(const std::string& text, const std::string& title, MessageIcon icon) {
  QMessageBox::Icon qtIcon = QMessageBox::Information;
  if (icon == MessageIcon::Exclamation) qtIcon = QMessageBox::Warning;
  if (icon == MessageIcon::Critical) qtIcon = QMessageBox::Critical;
  QMessageBox box(qtIcon, QString::fromLocal8Bit(title.c_str()), bodyText(text), QMessageBox::Ok, parent_);
  box.exec();
}

bool QtMessageBoxes::ask(const std::string& question, const std::string& title) {
  QMessageBox box(QMessageBox::Question, QString::fromLocal8Bit(title.c_str()), bodyText(question),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace veldra
