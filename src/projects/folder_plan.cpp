#include "projects/folder_plan.h"

#include <filesystem>
#include <system_error>

#include "app/utf8_text.h"
#include "platform/platform.h"
#include "projects/folder_walk.h"

namespace veldra {

namespace {

// Why a folder that failed to list cannot be listed, in the system's words.
std::string whyUnlisted(const std::filesystem::path& folder) {
  std::error_code ec;
  const auto status = std::filesystem::status(folder, ec);
  if (status.type() == std::filesystem::file_type::not_found) return "it does not exist";
  if (ec) return ec.message();
  if (!std::filesystem::is_directory(status)) return "it is not a folder";
  std::filesystem::directory_iterator probe(folder, ec);
  return ec ? ec.message() : "it could not be read to its end";
}

}  // namespace

FolderPlan planFolders(const std::vector<std::string>& entries) {
  WalkRules rules;
  rules.isDrawing = isDwgName;
  rules.stopAtUnlisted = true;
  rules.maxDrawings = kMaxDrawingCount;
  FolderWalk walk = walkFolders(entries, rules);
  FolderPlan plan;
  plan.drawings = walk.drawings;
  for (auto& walked : walk.locations) {
    PlannedLocation& planned = plan.locations.emplace_back();
    planned.location = std::move(walked.location);
    const std::string& top = planned.location.folder;
    for (auto& folder : walked.folders) {
      PlannedFolder& out = planned.folders.emplace_back();
      // The location's own folder keeps the text of its entry; a
      // sub-folder is shown by its path past it.
      if (planned.folders.size() == 1 && folder.folder == planned.location.path()) {
        out.folder = top;
      } else {
        out.folder = utf8FromPath(folder.folder);
        out.shownAs = out.folder.size() > top.size() ? out.folder.substr(top.size()) : std::string();
        out.shownAs += static_cast<char>(std::filesystem::path::preferred_separator);
      }
      for (const auto& d : folder.drawings) out.drawings.push_back(utf8FromPath(d.name));
    }
  }
  if (!walk.unlisted.empty()) {
    const std::filesystem::path& folder = walk.unlisted.front();
    plan.problem = "The folder " + utf8FromPath(folder) + " cannot be listed: " + whyUnlisted(folder) + ".";
  } else if (walk.tooMany) {
    plan.problem = "The locations hold more than " + std::to_string(kMaxDrawingCount) +
                   " drawings, more than one comparison can take.";
  }
  return plan;
}

}  // namespace veldra
