#include "app/workspace.h"

#include "platform/platform.h"

namespace veldra {

std::filesystem::path Workspace::path(std::initializer_list<std::string_view> parts) const {
  // Joined as texts are: the parts are appended, never resolved against the
  // base. The path is made once from the whole text: one grown by += splits
  // into parts that lexically_normal() misreads (a "../.." loses a step).
  std::filesystem::path::string_type joined = installLoc_.native();
  for (std::string_view part : parts) {
    joined += std::filesystem::path::preferred_separator;
    joined += pathFromUtf8(part).native();
  }
  return std::filesystem::path(std::move(joined));
}

std::filesystem::path Workspace::projectFile(std::string_view folder, std::string_view project,
                                             std::string_view extension) const {
  std::string name(project);
  name += extension;
  return path({folder, name});
}

std::filesystem::path Workspace::locationFile(std::string_view project) const {
  return projectFile(kProjectsFolder, project, ".prj");
}
std::filesystem::path Workspace::recordFile(std::string_view project) const {
  return projectFile(kComparesFolder, project, ".cmp");
}
std::filesystem::path Workspace::collectedTypeFile(std::string_view project) const {
  return projectFile(kComparesFolder, project, ".ent");
}
std::filesystem::path Workspace::runMarkFile(std::string_view project) const {
  return projectFile(kComparesFolder, project, ".run");
}

}  // namespace veldra
