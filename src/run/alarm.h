#pragma once

#include <filesystem>

namespace veldra {

struct RunContext;

// Starts a WAV file playing without waiting for it; false when it cannot
// start (missing file, no sound device). The run never waits for the sound.
class AlarmSound {
 public:
  virtual ~AlarmSound() = default;
  virtual bool start(const std::filesystem::path& wavFile) = 0;
};

// A machine without sound.
class SilentAlarm : public AlarmSound {
 public:
  bool start(const std::filesystem::path&) override { return false; }
};

// The conflict alarm: the sound (a failure costs only the sound), the alarm
// verdict, the alarm picture, and the run's note that the alarm was given.
void raiseAlarm(RunContext& run);

}  // namespace veldra
