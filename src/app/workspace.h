#pragma once

#include <array>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

namespace veldra {

// Where a check's reports lie: a folder of the workspace, and the extension
// after the project's name.
struct ReportPlace {
  std::string_view folder;
  std::string_view extension;
};

// The base folder of the program's files and the rule that forms every path
// under it: the base folder text followed by the native separator and each
// part in turn. Nothing is normalised and nothing is tested for existence, so
// an empty base folder gives paths that begin at the root of the file system.
//
// The parts (project names and file names) are UTF-8 text; the base folder is
// a path, taken as given.
class Workspace {
 public:
  Workspace() = default;
  explicit Workspace(std::filesystem::path installLoc) : installLoc_(std::move(installLoc)) {}

  const std::filesystem::path& installLoc() const { return installLoc_; }

  std::filesystem::path path(std::initializer_list<std::string_view> parts) const;

  // The fixed places of the workspace.
  std::filesystem::path settingsFile(std::string_view fileName) const { return path({fileName}); }
  std::filesystem::path projectsFile() const { return path({"projects", "projects.fil"}); }
  std::filesystem::path locationFile(std::string_view project) const;
  std::filesystem::path recordFile(std::string_view project) const;
  // The entity type the record file was collected with, beside it.
  std::filesystem::path collectedTypeFile(std::string_view project) const;
  // Present while a run replaces the record file and the reports: left
  // behind, it tells that they may be of different runs.
  std::filesystem::path runMarkFile(std::string_view project) const;
  std::filesystem::path report(const ReportPlace& place, std::string_view project) const {
    return projectFile(place.folder, project, place.extension);
  }
  std::filesystem::path timeReport(std::string_view project) const { return report(kTimeReports, project); }
  std::filesystem::path handleReport(std::string_view project) const { return report(kHandleReports, project); }
  std::filesystem::path ageReport(std::string_view project) const { return report(kAgeReports, project); }
  std::filesystem::path resource(std::string_view fileName) const { return path({"resources", fileName}); }
  std::filesystem::path helpStartDocument() const { return path({"quorvix.rtf"}); }

  // Folder names under the base folder, exactly as installed.
  static constexpr std::string_view kProjectsFolder = "projects";
  static constexpr std::string_view kComparesFolder = "compares";
  static constexpr std::string_view kTimeFolder = "time conflicts";
  static constexpr std::string_view kHandleFolder = "handle conflicts";
  static constexpr std::string_view kAgeFolder = "date conflicts";
  static constexpr std::string_view kResourcesFolder = "resources";
  // The reports of the checks, each check naming its place; a workspace
  // lays their folders down and a project's removal takes their files.
  static constexpr ReportPlace kTimeReports{kTimeFolder, ".tim"};
  static constexpr ReportPlace kHandleReports{kHandleFolder, ".hnd"};
  static constexpr ReportPlace kAgeReports{kAgeFolder, ".dat"};
  static constexpr std::array<ReportPlace, 3> kReportPlaces{kTimeReports, kHandleReports, kAgeReports};

 private:
  std::filesystem::path projectFile(std::string_view folder, std::string_view project,
                                    std::string_view extension) const;
  std::filesystem::path installLoc_;
};

}  // namespace veldra
