#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/result.h"
#include "app/workspace.h"

namespace veldra {

// The entries of a list file (projects.fil or a location file): of every line
// the first and the last character are dropped, whatever they are (the double
// quotes the writers put there); a line shorter than two characters is skipped.
std::vector<std::string> parseQuotedList(std::string_view content);

// Every line of a list file: each entry between double quotes, CR LF.
std::string formatQuotedList(const std::vector<std::string>& entries);

// The project list file. `readProjects` gives nothing when the file cannot be
// opened; `ensureProjectsFile` creates it empty then (false when even that fails).
std::optional<std::vector<std::string>> readProjects(const Workspace& ws);
bool ensureProjectsFile(const Workspace& ws);
// Appends one project line (creating the file when absent).
Status appendProject(const Workspace& ws, std::string_view name);
// Rewrites the list whole, names as given, through a temporary file.
Status rewriteProjects(const Workspace& ws, const std::vector<std::string>& names);

// The functions below that take a project name touch no file for a name
// checkProjectName() refuses: such a name could lead outside the workspace.
// The writers then fail as kRefused with the problem as their message.

// A project's location file: nothing when it cannot be opened.
std::optional<std::vector<std::string>> readLocations(const Workspace& ws, std::string_view project);
Status appendLocation(const Workspace& ws, std::string_view project, std::string_view entry);
// Rewrites the location file whole; with no entries it stays with 0 bytes.
Status rewriteLocations(const Workspace& ws, std::string_view project, const std::vector<std::string>& entries);

// The files that belong to a project: its location file, its record file and
// the entity type it was collected with, its three reports and the mark of
// a run that did not finish them.
std::vector<std::filesystem::path> projectFiles(const Workspace& ws, std::string_view project);

// Deletes the project's files, each on its own; a file that is absent or
// cannot be deleted is passed over.
void deleteProjectFiles(const Workspace& ws, std::string_view project);

// Whether the project's record file exists and holds at least one byte.
bool hasRecords(const Workspace& ws, std::string_view project);

// Whether a name can be a project name: a failure (kRefused) saying why not
// when it cannot. The name is the base name of five files in the
// workspace's folders, so it must stay a plain file name on every platform:
// no path separator, no "..", no control character, none of < > : " | ? *,
// not only blanks and dots, and no device name of Windows (CON, NUL,
// COM1...), also not before a dot.
Status checkProjectName(std::string_view name);

}  // namespace veldra
