#include "projects/folder_plan.h"

#include <filesystem>
#include <set>
#include <system_error>

#include "app/utf8_text.h"
#include "platform/platform.h"

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

// The folder itself, whatever links lead to it; the path as given when it
// cannot be resolved. On Windows a folder answers to its name in any letter
// case and with either separator, so the key is upper-cased with the
// system's separators.
std::string realFolder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::path real = std::filesystem::canonical(pathFromUtf8(folder), ec);
  if (ec) real = pathFromUtf8(folder);
#ifdef _WIN32
  return upperCase(utf8FromPath(real.make_preferred()));
#else
  return utf8FromPath(real);
#endif
}

class Planner {
 public:
  // False when the plan stops here.
  bool add(PlannedLocation& location, std::string folder, std::string shownAs) {
    if (!seen_.insert(realFolder(folder)).second) return true;
    const std::filesystem::path path = pathFromUtf8(folder);
    auto drawings = listDrawings(path);
    if (!drawings) return stop("The folder " + folder + " cannot be listed: " + whyUnlisted(path) + ".");
    plan.drawings += static_cast<int>(drawings->size());
    if (plan.drawings > kMaxDrawingCount)
      return stop("The locations hold more than " + std::to_string(kMaxDrawingCount) +
                  " drawings, more than one comparison can take.");
    location.folders.push_back({std::move(folder), std::move(shownAs), std::move(*drawings)});
    return true;
  }
  bool stop(std::string problem) {
    plan.problem = std::move(problem);
    return false;
  }

  FolderPlan plan;

 private:
  std::set<std::string> seen_;
};

}  // namespace

FolderPlan planFolders(const std::vector<std::string>& entries) {
  Planner planner;
  for (const std::string& entry : entries) {
    PlannedLocation& planned = planner.plan.locations.emplace_back();
    planned.location = parseLocation(entry);
    const std::string& top = planned.location.folder;
    if (!planner.add(planned, top, std::string())) break;
    if (!planned.location.withSubfolders()) continue;
    const auto subfolders = listSubfolders(planned.location.path());
    if (!subfolders) {
      planner.stop("The sub-folders of " + top + " cannot be listed: " + whyUnlisted(planned.location.path()) + ".");
      break;
    }
    bool going = true;
    for (const auto& subfolder : *subfolders) {
      std::string folder = utf8FromPath(subfolder);
      std::string shownAs = folder.size() > top.size() ? folder.substr(top.size()) : std::string();
      shownAs += static_cast<char>(std::filesystem::path::preferred_separator);
      if (!(going = planner.add(planned, std::move(folder), std::move(shownAs)))) break;
    }
    if (!going) break;
  }
  return std::move(planner.plan);
}

}  // namespace veldra
