#pragma once

#include <filesystem>
#include <string>

#include "compare/run_state.h"
#include "compare/run_view.h"

namespace veldra {

// The one way a run changes what it shows: each call updates the run state
// and the view together, so the two never disagree.
class RunProgress {
 public:
  RunProgress(RunState& state, RunView& view, RunClock& clock) : state_(state), view_(view), clock_(clock) {}

  const RunState& state() const { return state_; }

  // Both time marks at now: the elapsed time starts at zero.
  void start();
  // endtime = now, then the elapsed time is shown.
  void mark();
  // The elapsed time up to the last mark, shown again.
  void showElapsed();
  void clearElapsed();

  void status(const std::string& text);
  void comparing(int first, int second);
  void totalFiles(int count);
  // One more conflict on a counter, or the counter set to a number.
  void conflict(Counter counter);
  void conflicts(Counter counter, int count);
  // Every counter back to zero, shown.
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
  void showCounter(Counter counter);
  long long elapsedSeconds() const;

  RunState& state_;
  RunView& view_;
  RunClock& clock_;
};

}  // namespace veldra
