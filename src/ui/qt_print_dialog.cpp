#include "ui/qt_print_dialog.h"

#include <QPrintDialog>
#include <QPrinter>

namespace veldra {

std::optional<int> QtPrintDialog::ask() {
  QPrintDialog dialog(&printer_, parent_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const int copies = printer_.copyCount();
  printer_.setCopyCount(1);
  return copies;
}

}  // namespace veldra
