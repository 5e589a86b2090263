#pragma once

#include <filesystem>
#include <string>

#include "run/run_state.h"
#include "run/run_view.h"

namespace veldra {

// The one way a run changes what it shows: each call updates the run state
// and the view together, so the two never disagree.
class RunProgress : public CheckProgress {
 public:
  RunProgress(RunState& state, RunView& view, RunClock& clock) : state_(state), view_(view), clock_(clock) {}

  const RunState& state() const { return state_; }

  // Both time marks at now: the elapsed time starts at zero.
  void start();
  // endtime = now, then the elapsed time is shown.
  void mark() override;
  // The elapsed time up to the last mark, shown again.
  void showElapsed();
  void clearElapsed();

  void status(const std::string& text);
  void comparing(int first, int second) override;
  void totalFiles(int count);
  // One more conflict of a check, or its count set to a number.
  void conflict(const Check& check) override;
  void conflicts(const Check& check, int count) override;
  // Every check's count back to zero, shown.
  void clearConflicts();
  void verdict(Verdict verdict);
  void alarmGiven();
  void clearAlarm();

  bool picture(const std::filesystem::path& file) { return view_.loadPicture(file); }
  void clearPicture() { view_.clearPicture(); }
  void location(const std::string& text) { view_.setLocation(text); }
  void subfolders(const std::string& text) { view_.setSubfolders(text); }
  void file(const std::string& text) { view_.setFile(text); }
  void bar(int value) { view_.setProgress(value); }
  void flush() { view_.flush(); }

 private:
  long long elapsedSeconds() const;

  RunState& state_;
  RunView& view_;
  RunClock& clock_;
};

}  // namespace veldra
