#include "ui/qt_print_dialog.h"

#include <QPrintDialog>
#include <QPrinter>

#include "ui/qt_print_surface.h"

namespace veldra {

std::optional<int> QtPrintDialog::ask() {
  QPrintDialog dialog(&printer_, parent_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const int copies = printer_.copyCount();
  printer_.setCopyCount(1);
  return copies;
}

PrintOutcome printOnChosenPrinter(const PrintRequest& request, QWidget* parent) {
  QPrinter printer(QPrinter::HighResolution);
  QtPrintDialog dialog(printer, parent);
  QtPrintSurface surface(printer);
  return printReport(request, dialog, surface);
}

}  // namespace veldra
