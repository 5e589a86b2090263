#pragma once

#include <filesystem>

namespace veldra {

// The per-user settings store that holds the base folder: value
// "Install_Location" in section "VELDRA2006" of the application "VELDRA"
// (the registry on Windows, a configuration file elsewhere). The program
// only reads it; the installation step writes it.
inline constexpr const char* kSettingsOrganization = "VELDRA";
inline constexpr const char* kSettingsApplication = "VELDRA";
inline constexpr const char* kInstallLocationKey = "VELDRA2006/Install_Location";

// The stored base folder; empty when the value is absent.
std::filesystem::path readInstallLocation();

// Records the base folder; returns false when the store cannot be written.
bool writeInstallLocation(const std::filesystem::path& folder);

}  // namespace veldra
