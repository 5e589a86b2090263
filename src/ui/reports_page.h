#pragma once

// The Reports page of the main window, "frmReports": the report of one check
// for the selected project in a read-only box, the three options that choose
// it, Print for the report shown, and What Next?, the advice on what to do
// about a conflict.

#include <QDate>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/workspace.h"

class QLabel;
class QPrinter;
class QPushButton;
class QRadioButton;
class QTextEdit;

namespace veldra {

class Check;
class MessageBoxes;
class PrintDialog;
class PrintSurface;
class WhatNextWindow;
enum class PrintButtonState;

class ReportsPage : public QWidget {
  Q_OBJECT

 public:
  struct Deps {
    MessageBoxes* messages = nullptr;
    // The project selected on the Projects page, empty for none.
    std::function<QString()> selectedProject;
    // Today's date, printed on the report's pages.
    std::function<QDate()> today;
    // The print dialog and the drawing surface on the page's printer; the
    // platform's dialog and the printer itself when empty.
    std::function<std::unique_ptr<PrintDialog>(QPrinter&)> printDialog;
    std::function<std::unique_ptr<PrintSurface>(QPrinter&)> printSurface;
  };
  ReportsPage(Deps deps, QWidget* parent);
  ~ReportsPage() override;

  // The workspace whose reports the page shows.
  void setWorkspace(const Workspace& ws) { ws_ = ws; }
  // The page's caption over the report ("Project: ...").
  void setCaption(const QString& caption);
  // Loads the report the options choose for the selected project, as when
  // the page comes to the front.
  void loadChosenReport();

 private:
  void optionClicked(const Check& check);
  // Sets Print after a report load and remembers the report shown.
  void applyPrintButton(PrintButtonState state, const Check* check, const std::string& project);
  void print();
  void openWhatNext();

  Workspace ws_;
  Deps deps_;
  // The report shown after its last successful load (its check and
  // project), which is what Print prints; none when none is shown.
  const Check* shownReport_ = nullptr;
  std::string shownReportProject_;
  // The printer Print uses, kept so that the printer chosen stays chosen.
  std::shared_ptr<QPrinter> printer_;
  WhatNextWindow* whatNext_ = nullptr;

  QLabel* caption_ = nullptr;
  QTextEdit* report_ = nullptr;
  // Each check's report option, in the order of comparisonChecks().
  std::vector<std::pair<const Check*, QRadioButton*>> options_;
  QPushButton* printButton_ = nullptr;
  QPushButton* whatNextButton_ = nullptr;
};

}  // namespace veldra
