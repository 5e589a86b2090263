#include "reports/print_job.h"

#include <vector>

#include "app/textfile.h"

namespace veldra {

namespace {

using namespace print_layout;

// Logo, heading and section title, then the line font at the first line.
bool printPageTop(PrintSurface& surface, const std::string& logo, const std::string& title) {
  if (!surface.drawPicture(logo, kLogoX, kLogoY, kLogoWidth, kLogoHeight)) return false;
  surface.setFont(kHeadingFont, kHeadingSize, false);
  surface.moveTo(kHeadingX, kHeadingY);
  if (!surface.printLine(kHeading)) return false;
  surface.setFont(kTitleFont, kTitleSize, true);
  surface.moveTo(kTitleX, kTitleY);
  if (!surface.printLine(title)) return false;
  surface.setFont(kLineFont, kLineSize, false);
  surface.moveTo(kLineX, kFirstLineY);
  return true;
}

bool printFooter(PrintSurface& surface, const std::string& footer) {
  surface.setFont(kFooterFont, kFooterSize, false);
  surface.moveTo(kFooterX, kFooterY);
  return surface.printLine(footer);
}

// Everything of one copy between the start and the end of its document.
bool printPages(PrintSurface& surface, const std::string& logo, const std::string& title,
                const std::vector<std::string>& lines, const std::string& footer) {
  if (!printPageTop(surface, logo, title)) return false;
  bool pageEmpty = true;
  for (const std::string& line : lines) {
    // A line that would reach into the footer goes to a new page; a page
    // always takes at least one line, however tall the font.
    if (!pageEmpty && surface.currentY() + surface.lineHeight() > kFooterY) {
      if (!printFooter(surface, footer) || !surface.newPage()) return false;
      if (!printPageTop(surface, logo, title)) return false;
    }
    if (!surface.printLine(line)) return false;
    surface.moveTo(kLineX, surface.currentY() + kLineGap);
    pageEmpty = false;
  }
  return printFooter(surface, footer);
}

}  // namespace

std::optional<PrintRequest> printRequestFor(const Workspace& workspace, const Check* check, std::string_view project,
                                            std::string date) {
  const std::optional<ChosenReport> report = chooseReport(workspace, check, project);
  if (!report) return std::nullopt;
  return PrintRequest{report->file, report->sectionTitle,
                      workspace.resource("veldralogo-print.jpg"), std::move(date)};
}

std::string footerText(std::string_view date) {
  std::string text = "Printed ";
  text += date;
  text += kCredit;
  return text;
}

PrintOutcome printReport(const PrintRequest& request, PrintDialog& dialog, PrintSurface& surface) {
  const std::optional<int> copies = dialog.ask();
  if (!copies) return {PrintStatus::Cancelled, 0};
  const std::string footer = footerText(request.date);
  int sent = 0;
  for (int copy = 0; copy < *copies; ++copy) {
    // Both files are read whole for each copy, before its job starts, so a
    // missing file starts no job and no file stays open.
    const std::optional<std::string> logo = readWholeFile(request.logoFile);
    const std::optional<std::string> report = readTextFile(request.reportFile);
    if (!logo || !report) return {PrintStatus::Failed, sent};
    if (!surface.beginDocument()) return {PrintStatus::Failed, sent};
    if (!printPages(surface, *logo, request.sectionTitle, splitItems(*report), footer) ||
        !surface.endDocument()) {
      surface.abortDocument();
      return {PrintStatus::Failed, sent};
    }
    ++sent;
  }
  return {PrintStatus::Printed, sent};
}

}  // namespace veldra
