#pragma once

#include <QString>
#include <QStringList>

namespace veldra {

// The volumes the drive list offers. Their roots are full paths ("/",
// "/media/usb", "C:/"), with forward slashes; the root volume (the file
// system's root, or on Windows the drive the system runs from) stands where
// a classic drive list has drive C:.
class Volumes {
 public:
  virtual ~Volumes() = default;
  virtual QStringList roots() const = 0;
  virtual QString rootVolume() const = 0;
  // Whether the volume can be listed now (a drive without a medium cannot).
  virtual bool isReady(const QString& root) const = 0;
};

// The mounted volumes of this machine, valid and ready ones listed.
class SystemVolumes : public Volumes {
 public:
  QStringList roots() const override;
  QString rootVolume() const override;
  bool isReady(const QString& root) const override;
};

// The root of the volume in `roots` that holds `path`: the longest root that
// is a prefix of it at a folder boundary; empty when none holds it.
QString volumeHolding(const QStringList& roots, const QString& path);

}  // namespace veldra
