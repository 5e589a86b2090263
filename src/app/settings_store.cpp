#include "app/settings_store.h"

#include "platform/platform.h"

#ifdef _WIN32

namespace veldra {

// The registry key is the one Qt's native settings use for the same names,
// HKEY_CURRENT_USER\Software\VELDRA\VELDRA\VELDRA2006, value Install_Location.
std::filesystem::path readInstallLocation() {
  const auto value = readUserSetting(kSettingsOrganization, kSettingsApplication, kInstallLocationKey);
  return value ? pathFromUtf8(*value) : std::filesystem::path();
}

bool writeInstallLocation(const std::filesystem::path& folder) {
  return writeUserSetting(kSettingsOrganization, kSettingsApplication, kInstallLocationKey, utf8FromPath(folder));
}

}  // namespace veldra

#else

#include "app/settings_file.h"

namespace veldra {

// The file the window's settings class keeps, read here without it: the
// command-line tools need no toolkit. Writing stays with the toolkit
// (settings_store_qt.cpp), which keeps the rest of the file as it is.
std::filesystem::path readInstallLocation() {
  const auto value = readSettingsFileValue(kSettingsOrganization, kSettingsApplication, kInstallLocationKey);
  return value ? pathFromUtf8(*value) : std::filesystem::path();
}

}  // namespace veldra

#endif
