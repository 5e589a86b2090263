#include "ui/qt_message_boxes.h"

#include <QMessageBox>

namespace veldra {

void QtMessageBoxes::show(const std::string& text, const std::string& title, MessageIcon icon) {
  QMessageBox::Icon qtIcon = QMessageBox::Information;
  if (icon == MessageIcon::Exclamation) qtIcon = QMessageBox::Warning;
  if (icon == MessageIcon::Critical) qtIcon = QMessageBox::Critical;
  // Texts are kept in local 8-bit bytes; a lone CR breaks the line as intended.
  QString body = QString::fromLocal8Bit(text.c_str());
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace('\r', '\n');
  QMessageBox box(qtIcon, QString::fromLocal8Bit(title.c_str()), body, QMessageBox::Ok, parent_);
  box.exec();
}

}  // namespace veldra
