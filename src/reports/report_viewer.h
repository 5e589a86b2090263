#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "app/workspace.h"
#include "compare/check.h"

namespace veldra {

// The viewer of the Reports page as the report logic sees it: the window puts
// its text box behind it, tests a recorder.
class TextViewer {
 public:
  virtual ~TextViewer() = default;
  // Replaces the shown content with the file's; false (content unchanged)
  // when the file cannot be opened or read.
  virtual bool loadFile(const std::filesystem::path& file) = 0;
  // Replaces the shown content with a plain text.
  virtual void setText(const std::string& text) = 0;
  // Forgets which file was loaded last; what is shown stays.
  virtual void resetFileName() = 0;
};

// A project has one report per check of comparisonChecks(), in the order of
// the page's option buttons: the check of the option button chosen, if any.
const Check* reportCheckFromOption(std::optional<int> option);

struct ChosenReport {
  const Check* check;
  std::filesystem::path file;
  std::string unavailableMessage;  // shown in place of a report that cannot be loaded
  std::string sectionTitle;        // printed above the report's lines
};

// The report of a check for a project, or nothing when no check's report is
// chosen or no project is selected.
std::optional<ChosenReport> chooseReport(const Workspace& workspace, const Check* check, std::string_view project);

// What becomes of the Print button after a report was (or was not) loaded.
enum class PrintButtonState { Unchanged, Enabled, Disabled };

// Loads the chosen report of the selected project into the viewer. With no
// report chosen or no project selected nothing happens. A report that cannot
// be loaded is replaced by its "No available ..." message.
PrintButtonState loadChosenReport(const Workspace& workspace, const Check* check, std::string_view project,
                                  TextViewer& viewer);

// A click on one of the report options: the viewer forgets its file, then the
// chosen report is loaded.
PrintButtonState reportOptionClicked(const Workspace& workspace, const Check& check, std::string_view project,
                                     TextViewer& viewer);

}  // namespace veldra
