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

#include <QFile>
#include <QSettings>

namespace veldra {

std::filesystem::path readInstallLocation() {
  const QSettings store(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganization,
                        kSettingsApplication);
  const QString value = store.value(kInstallLocationKey).toString();
  return pathFromUtf8(QFile::encodeName(value).toStdString());
}

bool writeInstallLocation(const std::filesystem::path& folder) {
  QSettings store(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganization,
                  kSettingsApplication);
  store.setValue(kInstallLocationKey, QFile::decodeName(QByteArray::fromStdString(utf8FromPath(folder))));
  store.sync();
  return store.status() == QSettings::NoError;
}

}  // namespace veldra

#endif
