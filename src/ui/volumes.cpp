#include "ui/volumes.h"

#include <QDir>
#include <QStorageInfo>

#include <algorithm>

#include "platform/platform.h"
#include "ui/qt_text.h"

namespace veldra {

QStringList SystemVolumes::roots() const {
  QStringList list;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady()) continue;
    const QString root = QDir::cleanPath(volume.rootPath());
    if (!list.contains(root)) list.append(root);
  }
  const QString main = rootVolume();
  list.removeAll(main);
  std::sort(list.begin(), list.end(),
            [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
  list.prepend(main);
  return list;
}

QString SystemVolumes::rootVolume() const {
#ifdef Q_OS_WIN
  // The drive Windows runs from, which is C: on most machines but not all.
  return QDir::cleanPath(QDir::fromNativeSeparators(qtPath(systemDrive())));
#else
  return QDir::rootPath();
#endif
}

bool SystemVolumes::isReady(const QString& root) const {
  const QStorageInfo volume(root);
  return volume.isValid() && volume.isReady() && QDir(root).isReadable();
}

QString volumeHolding(const QStringList& roots, const QString& path) {
  const QString wanted = QDir::cleanPath(QDir::fromNativeSeparators(path));
  const Qt::CaseSensitivity cs =
#ifdef Q_OS_WIN
      Qt::CaseInsensitive;
#else
      Qt::CaseSensitive;
#endif
  QString best;
  qsizetype bestLength = -1;
  for (const QString& root : roots) {
    const QString r = QDir::cleanPath(QDir::fromNativeSeparators(root));
    const bool holds = wanted.compare(r, cs) == 0 ||
                       (wanted.startsWith(r, cs) && (r.endsWith('/') || wanted.at(r.size()) == '/'));
    if (holds && r.size() > bestLength) {
      best = root;
      bestLength = r.size();
    }
  }
  return best;
}

}  // namespace veldra
