#pragma once

#include <QSoundEffect>

#include "run/alarm.h"

namespace veldra {

// The alarm sound through Qt Multimedia. One sound effect lives as long as
// this object, so a sound started at the end of a run plays on after it.
// Starting never waits: the sound loads and plays in the background.
class QtAlarmSound : public AlarmSound {
 public:
  QtAlarmSound();

  // Starts loading a sound file ahead, so that a later start plays it at once.
  void prepare(const std::filesystem::path& wavFile);
  // False when the sound cannot start as far as can be told at once: the file
  // is missing or unreadable, or the player has already refused it.
  bool start(const std::filesystem::path& wavFile) override;

 private:
  QSoundEffect effect_;
};

}  // namespace veldra
