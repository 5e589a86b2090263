#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/workspace.h"

namespace veldra {

// The three one-line files in the base folder that remember the user's last
// choices in the main window.
inline constexpr std::string_view kEntitySettingFile = "default.fil";
inline constexpr std::string_view kLineWarningSettingFile = "warning.fil";
inline constexpr std::string_view kSubfolderSettingFile = "folders.fil";

inline constexpr int kEntitySettingDefault = 14;  // "RAY"
inline constexpr int kLineWarningSettingDefault = 1;
inline constexpr int kSubfolderSettingDefault = 1;

// Reads a settings file. A file that cannot be opened gives `defaultValue`.
// A file that opens but whose first line is missing, empty or not a whole
// number gives nothing: the caller leaves its control as it was.
std::optional<int> readSetting(const Workspace& ws, std::string_view fileName, int defaultValue);

// The whole number at the start of a settings line, or nothing when the line
// is not exactly a whole number (an optional minus sign and decimal digits).
std::optional<int> parseSettingLine(std::string_view line);

// Rewrites a settings file whole with the value as bare digits and CR LF.
// Returns false (leaving the old file) when it cannot be written.
bool writeSetting(const Workspace& ws, std::string_view fileName, int value);

}  // namespace veldra
