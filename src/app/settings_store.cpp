#include "app/settings_store.h"

#include <QFile>
#include <QSettings>

namespace veldra {

std::string readInstallLocation() {
  const QSettings store(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganization,
                        kSettingsApplication);
  const QString value = store.value(kInstallLocationKey).toString();
  return QFile::encodeName(value).toStdString();
}

bool writeInstallLocation(const std::string& folder) {
  QSettings store(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganization,
                  kSettingsApplication);
  store.setValue(kInstallLocationKey, QFile::decodeName(QByteArray::fromStdString(folder)));
  store.sync();
  return store.status() == QSettings::NoError;
}

}  // namespace veldra
