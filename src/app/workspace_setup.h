#pragma once

// Laying down a new workspace: what veldra-setup does, and what the program
// offers when it starts with no workspace recorded.

#include <filesystem>
#include <string>
#include <vector>

namespace veldra {

struct WorkspaceSetup {
  // The folder and its six sub-folders exist.
  bool folders = false;
  // What went wrong, one line each ("cannot create FOLDER: REASON",
  // "cannot copy FILE: REASON", "no resources found; the workspace has none").
  std::vector<std::string> problems;
  bool ok() const { return folders && problems.empty(); }
};

// Creates `base` and its folders projects, compares, time conflicts, handle
// conflicts, date conflicts and resources, copies every file of `resources`
// into base/resources and the help start document (quorvix.rtf) into base
// itself. Files the workspace holds already stay, except the resources,
// which are replaced whole (through a temporary file) by the shipped ones.
// `resources` may be empty: the workspace then has none, and says so.
WorkspaceSetup layDownWorkspace(const std::filesystem::path& base, const std::filesystem::path& resources);

// The resources shipped with the program: `programFolder`/../share/veldra/resources
// after installation, else `sourceFolder` (a build run from its tree); empty
// when neither is a folder.
std::filesystem::path shippedResources(const std::filesystem::path& programFolder,
                                       const std::filesystem::path& sourceFolder);

// Where to lay down a workspace the user pointed at: `chosen` itself when it
// is empty, missing or a workspace already (it has a projects folder), else
// a folder "VELDRA" inside it, so that a workspace never spreads its folders
// among other files.
std::filesystem::path workspaceFolderFor(const std::filesystem::path& chosen);

}  // namespace veldra
