// The Reports and About pages, printing and the help windows.
#include "ui/main_window.h"

namespace veldra {

void MainWindow::optReport_Click(int) { LoadChosenReport(); }

void MainWindow::LoadChosenReport() {}

void MainWindow::loadAboutDocument() {}

void MainWindow::on_cmdPrint_clicked() {}

void MainWindow::on_cmdHelp_clicked() {}

void MainWindow::on_cmdWhatnext_clicked() {}

}  // namespace veldra
