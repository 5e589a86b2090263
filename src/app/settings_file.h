#pragma once

// The per-user settings file of the POSIX systems, read without the window's
// toolkit: the INI form its settings class writes ("[GROUP]" lines, then
// "Name=value", values quoted and escaped when they must be), so that the
// command-line tools read the same file the window and the setup step use.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veldra {

// The text value of KEY ("GROUP/Name") in the content of such a file;
// nothing when absent or not a single text (a list, a stored object).
std::optional<std::string> iniTextValue(std::string_view content, std::string_view key);

// The files searched for a value, the user's own first: under the user's
// configuration folder (XDG_CONFIG_HOME, else ~/.config) the application's
// file ORGANIZATION/APPLICATION.conf, then the organization's
// ORGANIZATION.conf; then the same under the system's folders
// (XDG_CONFIG_DIRS, else /etc/xdg).
std::vector<std::filesystem::path> settingsFiles(std::string_view organization, std::string_view application);

// The first value of KEY found in those files.
std::optional<std::string> readSettingsFileValue(std::string_view organization, std::string_view application,
                                                 std::string_view key);

}  // namespace veldra
