#include "ui/qt_message_boxes.h"

#include <QMessageBox>

#include "ui/qt_text.h"

namespace veldra {

namespace {
// Texts come in UTF-8; a lone CR breaks the line as intended.
QString bodyText(const std::string& text) {
  QString body = qtText(text);
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace('\r', '\n');
  return body;
}
}  // namespace

void QtMessageBoxes::show(const std::string& text, const std::string& title, MessageIcon icon) {
  QMessageBox::Icon qtIcon = QMessageBox::Information;
  if (icon == MessageIcon::Exclamation) qtIcon = QMessageBox::Warning;
  if (icon == MessageIcon::Critical) qtIcon = QMessageBox::Critical;
  QMessageBox box(qtIcon, qtText(title), bodyText(text), QMessageBox::Ok, parent_);
  box.exec();
}

bool QtMessageBoxes::ask(const std::string& question, const std::string& title) {
  QMessageBox box(QMessageBox::Question, qtText(title), bodyText(question),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace veldra
