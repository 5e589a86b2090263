#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "app/workspace.h"
#include "reports/report_viewer.h"

namespace veldra {

// A printer's drawing surface. Positions and sizes are in inches from the
// top-left corner of the printable area. Operations that can fail return
// false; after a failure the caller aborts the document.
class PrintSurface {
 public:
  virtual ~PrintSurface() = default;
  // Starts a document: one print job.
  virtual bool beginDocument() = 0;
  virtual void setFont(const std::string& name, double points, bool bold) = 0;
  virtual void moveTo(double x, double y) = 0;
  virtual double currentY() const = 0;
  // Height of one line of the current font.
  virtual double lineHeight() const = 0;
  // Prints the text at the current position, then moves to the left edge of
  // the next line, one line height lower.
  virtual bool printLine(const std::string& text) = 0;
  // Draws an encoded picture (JPEG, PNG) scaled into the rectangle; false when
  // the bytes are no picture.
  virtual bool drawPicture(const std::string& encoded, double x, double y, double width,
                           double height) = 0;
  virtual bool newPage() = 0;
  // Ends the document and sends it to the printer.
  virtual bool endDocument() = 0;
  // Throws the document away; nothing of it is printed.
  virtual void abortDocument() = 0;
};

// The print dialog: the number of copies chosen, or nothing when cancelled.
class PrintDialog {
 public:
  virtual ~PrintDialog() = default;
  virtual std::optional<int> ask() = 0;
};

// Everything one printed report needs, gathered when Print is clicked.
struct PrintRequest {
  std::filesystem::path reportFile;
  std::string sectionTitle;
  std::filesystem::path logoFile;
  std::string date;  // today in the short date form of the user's settings
};

// The printed page: fonts, positions in inches and fixed texts.
namespace print_layout {
inline constexpr double kLogoX = 0.25, kLogoY = 0.25, kLogoWidth = 1.25, kLogoHeight = 1.0;
inline constexpr const char* kHeadingFont = "ARIAL BLACK";
inline constexpr double kHeadingSize = 16, kHeadingX = 1.5, kHeadingY = 0.65;
inline constexpr const char* kHeading = "VELDRA [Ostrivane] - Results";
inline constexpr const char* kTitleFont = "ARIAL";
inline constexpr double kTitleSize = 12, kTitleX = 0.5, kTitleY = 1.5;
inline constexpr const char* kLineFont = "COURIER";
inline constexpr double kLineSize = 8, kLineX = 0.5, kFirstLineY = 1.8, kLineGap = 0.125;
inline constexpr const char* kFooterFont = "ARIAL";
inline constexpr double kFooterSize = 5, kFooterX = 0.5, kFooterY = 10.425;
inline constexpr const char* kCredit =
    "      VELDRA 2006 by Veldra Software - www.veldra.example  info@veldra.example";
}  // namespace print_layout

// The request for the chosen report of the selected project and the logo of
// the workspace's resources; nothing when no report is chosen or no project
// selected.
std::optional<PrintRequest> printRequestFor(const Workspace& workspace, const Check* check, std::string_view project,
                                            std::string date);

// "Printed " + the date + the credit line.
std::string footerText(std::string_view date);

enum class PrintStatus {
  Cancelled,  // the dialog was cancelled: nothing printed
  Printed,    // every copy was sent
  Failed      // a copy failed and was thrown away; earlier copies were sent
};

struct PrintOutcome {
  PrintStatus status;
  int copiesSent = 0;
};

// Asks for the number of copies, then prints the report once per copy, each
// copy as a job of its own: logo, heading, section title, one line per item
// of the report file, footer. A report longer than a page continues on new
// pages that repeat the logo, heading, title and footer. Any failure throws
// the current copy away and ends the operation; nothing is shown to the user.
PrintOutcome printReport(const PrintRequest& request, PrintDialog& dialog, PrintSurface& surface);

}  // namespace veldra
