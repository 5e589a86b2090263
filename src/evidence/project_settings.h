#pragma once

// The teacher's evidence settings of one project, kept in the workspace
// beside the evidence store: the template drawings, the earlier projects to
// compare against and the author names to ignore. One UTF-8 text file per
// project, "evidence/PROJECT.settings", one "key<TAB>value" line per entry,
// rewritten whole through a temporary file.

#include <filesystem>
#include <optional>
#include <string>

#include "app/workspace.h"
#include "evidence/settings.h"

namespace veldra::evidence {

std::filesystem::path projectSettingsFile(const Workspace& workspace, const std::string& project);

// The project's remembered settings; the defaults when none are kept yet.
// A line it does not know is passed over (a later version's), and a file
// that cannot be read gives the defaults and the reason in `error`.
EvidenceSettings loadProjectSettings(const Workspace& workspace, const std::string& project,
                                     std::string* error = nullptr);

// Keeps the templates, earlier projects, ignored authors and term. False,
// with the reason, when the file could not be written; the old one then
// stays whole.
bool saveProjectSettings(const Workspace& workspace, const std::string& project, const EvidenceSettings& settings,
                         std::string* error = nullptr);

// The file's text for the settings, and the settings from such a text.
std::string formatProjectSettings(const EvidenceSettings& settings);
EvidenceSettings parseProjectSettings(std::string_view text);

}  // namespace veldra::evidence
