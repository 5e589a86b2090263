#include "ui/reports_page.h"

#include <QLabel>
#include <QLocale>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>

#include <optional>

#include "app/messages.h"
#include "compare/checks.h"
#include "reports/print_job.h"
#include "reports/report_viewer.h"
#include "ui/check_controls.h"
#include "ui/classic_controls.h"
#include "ui/qt_print_dialog.h"
#include "ui/qt_print_surface.h"
#include "ui/qt_text.h"
#include "ui/quiet_teardown.h"
#include "ui/rtf_document.h"
#include "ui/twips.h"
#include "ui/whatnext_window.h"

namespace veldra {

ReportsPage::ReportsPage(Deps deps, QWidget* parent) : QWidget(parent), deps_(std::move(deps)) {
  setAutoFillBackground(true);
  caption_ = label(this, "lblProject_1", QStringLiteral("Project:"), twipsRect(0, 120, 3375, 255));
  setTextColour(caption_, qRgb(0x00, 0x00, 0xC0));
  report_ = place(new QTextEdit(this), "RichTextBox1", twipsRect(0, 360, 6855, 4455));
  report_->setReadOnly(true);
  QFont courier(QStringLiteral("Courier New"));
  courier.setPointSizeF(8.25);
  report_->setFont(courier);
  for (const Check* check : comparisonChecks()) {
    if (const CheckControls* controls = checkControls(check->name()))
      options_.push_back({check, place(new QRadioButton(QString::fromLatin1(controls->reportOptionCaption), this),
                                       controls->reportOptionName, controls->reportOptionBox)});
  }
  auto* hint = label(this, "Label2",
                     QStringLiteral("What happens if you find a conflict? Select \"What Next?\" for more help."),
                     twipsRect(240, 5400, 6495, 255), Qt::AlignHCenter);
  setTextColour(hint, qRgb(0x00, 0x00, 0xFF));
  printButton_ = button(this, "cmdPrint", QStringLiteral("Print..."), twipsRect(1680, 5760, 1575, 375), false);
  whatNextButton_ = button(this, "cmdWhatnext", QStringLiteral("What Next?"), twipsRect(3480, 5760, 1575, 375));

  for (const auto& [check, option] : options_)
    connect(option, &QRadioButton::clicked, this, [this, check = check] { optionClicked(*check); });
  connect(printButton_, &QPushButton::clicked, this, &ReportsPage::print);
  connect(whatNextButton_, &QPushButton::clicked, this, &ReportsPage::openWhatNext);
}

ReportsPage::~ReportsPage() { stopListeningToChildren(this); }

void ReportsPage::setCaption(const QString& caption) { caption_->setText(caption); }

void ReportsPage::optionClicked(const Check& check) {
  const std::string project = utf8Text(deps_.selectedProject());
  TextEditViewer viewer(*report_);
  const PrintButtonState state = reportOptionClicked(ws_, check, project, viewer);
  applyPrintButton(state, &check, project);
}

void ReportsPage::loadChosenReport() {
  const Check* chosen = nullptr;
  for (const auto& [check, option] : options_)
    if (!chosen && option->isChecked()) chosen = check;
  const std::string project = utf8Text(deps_.selectedProject());
  TextEditViewer viewer(*report_);
  const PrintButtonState state = veldra::loadChosenReport(ws_, chosen, project, viewer);
  applyPrintButton(state, chosen, project);
}

void ReportsPage::applyPrintButton(PrintButtonState state, const Check* check, const std::string& project) {
  switch (state) {
    case PrintButtonState::Enabled:
      printButton_->setEnabled(true);
      shownReport_ = check;
      shownReportProject_ = project;
      break;
    case PrintButtonState::Disabled:
      printButton_->setEnabled(false);
      shownReport_ = nullptr;
      shownReportProject_.clear();
      break;
    case PrintButtonState::Unchanged:
      break;
  }
}

void ReportsPage::print() {
  // Print prints the report the viewer shows, even when another project was
  // selected since it was loaded.
  if (!shownReport_) return;
  const std::string date = utf8Text(QLocale::system().toString(deps_.today(), QLocale::ShortFormat));
  const std::optional<PrintRequest> request = printRequestFor(ws_, shownReport_, shownReportProject_, date);
  if (!request) return;

  if (!printer_) printer_ = std::make_shared<QPrinter>(QPrinter::HighResolution);
  std::unique_ptr<PrintDialog> dialog =
      deps_.printDialog ? deps_.printDialog(*printer_) : std::make_unique<QtPrintDialog>(*printer_, window());
  std::unique_ptr<PrintSurface> surface =
      deps_.printSurface ? deps_.printSurface(*printer_) : std::make_unique<QtPrintSurface>(*printer_);
  if (!dialog || !surface) return;
  // Success, cancel and failure all end here without a message.
  printReport(*request, *dialog, *surface);
}

void ReportsPage::openWhatNext() {
  if (!whatNext_) {
    static NoMessages silent;
    // A window of the main window's own, as the help is: it stays open
    // whichever page is in front.
    whatNext_ = new WhatNextWindow([installLoc = ws_.installLoc()] { return installLoc; },
                                   deps_.messages ? *deps_.messages : silent, window());
  }
  // Shows the window and loads the advice document: form2load("WhatNext").
  whatNext_->openAdvice();
}

}  // namespace veldra
