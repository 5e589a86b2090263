#include "run/run_mark.h"

#include <system_error>

namespace veldra {

bool markRunStarted(const Workspace& ws, std::string_view project, FileDevice& device) {
  return replaceFile(ws.runMarkFile(project),
                     quotedLine("A run is replacing the record file and the reports of this project."), device)
      .ok();
}

void markRunFinished(const Workspace& ws, std::string_view project) {
  std::error_code ec;
  std::filesystem::remove(ws.runMarkFile(project), ec);
}

bool runLeftUnfinished(const Workspace& ws, std::string_view project) {
  std::error_code ec;
  return std::filesystem::exists(ws.runMarkFile(project), ec);
}

std::string unfinishedRunNotice(std::string_view project) {
  return "The reports of " + std::string(project) +
         " may not belong to its record file: the run that replaced them was stopped before it ended. "
         "Recompare to write them anew.";
}

}  // namespace veldra
