#include "reports/report_viewer.h"

namespace veldra {

std::optional<ReportKind> reportKindFromOption(std::optional<int> option) {
  if (!option || *option < 0 || *option > 2) return std::nullopt;
  return static_cast<ReportKind>(*option);
}

std::optional<ChosenReport> chooseReport(const Workspace& workspace,
                                         std::optional<ReportKind> kind,
                                         std::string_view project) {
  if (!kind || project.empty()) return std::nullopt;
  const std::string name(project);
  switch (*kind) {
    case ReportKind::Time:
      return ChosenReport{*kind, workspace.timeReport(project),
                          "No available TIME CONFLICTS for Project: " + name, "Time Conflicts"};
    case ReportKind::Handle:
      return ChosenReport{*kind, workspace.handleReport(project),
                          "No available HANDLE [Entity] CONFLICTS for Project: " + name,
                          "Handle Conflicts"};
    case ReportKind::Age:
      return ChosenReport{*kind, workspace.ageReport(project),
                          "No available DWG Date CONFLICTS for Project: " + name,
                          "DWG Date Conflicts"};
  }
  return std::nullopt;
}

PrintButtonState loadChosenReport(const Workspace& workspace, std::optional<ReportKind> kind,
                                  std::string_view project, TextViewer& viewer) {
  const std::optional<ChosenReport> report = chooseReport(workspace, kind, project);
  if (!report) return PrintButtonState::Unchanged;
  if (viewer.loadFile(report->file)) return PrintButtonState::Enabled;
  viewer.setText(report->unavailableMessage);
  return PrintButtonState::Disabled;
}

PrintButtonState reportOptionClicked(const Workspace& workspace, ReportKind kind,
                                     std::string_view project, TextViewer& viewer) {
  viewer.resetFileName();
  return loadChosenReport(workspace, kind, project, viewer);
}

}  // namespace veldra
