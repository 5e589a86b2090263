// The collection pass and the recompare, started from the lower panel.
#include "ui/main_window.h"

namespace veldra {

void MainWindow::on_cmdCollect_clicked() {}

void MainWindow::on_cmdCompare_clicked() {}

}  // namespace veldra
