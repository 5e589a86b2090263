#include "ui/qt_alarm_sound.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include "ui/qt_text.h"

namespace veldra {
namespace {

QUrl soundUrl(const std::filesystem::path& wavFile) {
  return QUrl::fromLocalFile(QFileInfo(qtPath(wavFile)).absoluteFilePath());
}

bool readable(const std::filesystem::path& wavFile) {
  const QFileInfo info(qtPath(wavFile));
  return info.isFile() && info.isReadable();
}

}  // namespace

QtAlarmSound::QtAlarmSound() { effect_.setLoopCount(1); }

void QtAlarmSound::prepare(const std::filesystem::path& wavFile) {
  if (readable(wavFile)) effect_.setSource(soundUrl(wavFile));
}

bool QtAlarmSound::start(const std::filesystem::path& wavFile) {
  if (!readable(wavFile)) return false;
  const QUrl url = soundUrl(wavFile);
  // A new source loads in the background; play() then starts it once loaded.
  // A source the player refused earlier is loaded afresh, since the file may
  // have been replaced meanwhile.
  if (effect_.source() != url || effect_.status() == QSoundEffect::Error) {
    effect_.setSource(QUrl());
    effect_.setSource(url);
  }
  // Only a refusal known at once is reported; nothing here waits for the player.
  if (effect_.status() == QSoundEffect::Error) return false;
  effect_.play();
  return true;
}

}  // namespace veldra
