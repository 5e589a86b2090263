#pragma once

#include "reports/print_job.h"

class QPrinter;
class QWidget;

namespace veldra {

// The platform's print dialog on a printer: the printer chosen in it becomes
// the printer used. Copies are printed as separate jobs by the print job, so
// the printer itself is set back to one copy.
class QtPrintDialog : public PrintDialog {
 public:
  QtPrintDialog(QPrinter& printer, QWidget* parent) : printer_(printer), parent_(parent) {}
  std::optional<int> ask() override;

 private:
  QPrinter& printer_;
  QWidget* parent_;
};

}  // namespace veldra
