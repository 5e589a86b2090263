#include "app/settings_store.h"

#include <QFile>
#include <QSettings>

#include "platform/platform.h"

namespace veldra {

bool writeInstallLocation(const std::filesystem::path& folder) {
  QSettings store(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganization,
                  kSettingsApplication);
  store.setValue(kInstallLocationKey, QFile::decodeName(QByteArray::fromStdString(utf8FromPath(folder))));
  store.sync();
  return store.status() == QSettings::NoError;
}

}  // namespace veldra
