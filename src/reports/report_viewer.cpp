#include "reports/report_viewer.h"

#include "compare/checks.h"

namespace veldra {

const Check* reportCheckFromOption(std::optional<int> option) {
  const auto& checks = comparisonChecks();
  if (!option || *option < 0 || *option >= static_cast<int>(checks.size())) return nullptr;
  return checks[static_cast<std::size_t>(*option)];
}

std::optional<ChosenReport> chooseReport(const Workspace& workspace, const Check* check, std::string_view project) {
  if (!check || project.empty()) return std::nullopt;
  return ChosenReport{check, check->reportFile(workspace, project), check->unavailableReport(project),
                      std::string(check->face().reportTitle)};
}

PrintButtonState loadChosenReport(const Workspace& workspace, const Check* check, std::string_view project,
                                  TextViewer& viewer) {
  const std::optional<ChosenReport> report = chooseReport(workspace, check, project);
  if (!report) return PrintButtonState::Unchanged;
  if (viewer.loadFile(report->file)) return PrintButtonState::Enabled;
  viewer.setText(report->unavailableMessage);
  return PrintButtonState::Disabled;
}

PrintButtonState reportOptionClicked(const Workspace& workspace, const Check& check, std::string_view project,
                                     TextViewer& viewer) {
  viewer.resetFileName();
  return loadChosenReport(workspace, &check, project, viewer);
}

}  // namespace veldra
