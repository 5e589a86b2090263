#pragma once

#include "app/textfile.h"
#include "app/workspace.h"
#include "run/alarm.h"
#include "run/run_progress.h"
#include "run/run_state.h"
#include "run/run_view.h"

namespace veldra {

// The status of a run that stopped before its checks could judge.
inline constexpr const char* kStoppedStatus = "Stopped!";

// Everything a run works with: the workspace, the options, the shared state,
// the window-side interfaces and the device its files are written to. What
// the run shows goes through `progress`.
struct RunContext {
  RunContext(const Workspace& ws, const RunOptions& opts, RunState& runState, RunView& runView, RunClock& runClock,
             AlarmSound& alarmSound, FileDevice& fileDevice = diskDevice())
      : workspace(ws), options(opts), state(runState), view(runView), clock(runClock), sound(alarmSound),
        files(fileDevice), progress(runState, runView, runClock) {}

  // The same run with other options (a recompare labels its findings with
  // the entity type that was collected).
  RunContext withOptions(const RunOptions& other) const {
    return RunContext(workspace, other, state, view, clock, sound, files);
  }

  const Workspace& workspace;
  const RunOptions& options;
  RunState& state;
  RunView& view;
  RunClock& clock;
  AlarmSound& sound;
  FileDevice& files;  // the record file and the reports are written through it
  RunProgress progress;

  // The verdict and picture at the start of a run, the counters at "0000".
  // A logo that cannot be loaded leaves the picture box empty when
  // `emptyWithoutLogo`, else the box keeps its picture.
  void resetDisplay(bool emptyWithoutLogo);
  // The end of a run whose checks could not judge: its verdict is "not
  // checked", never the all-clear. When `stopped` (something went wrong,
  // rather than there being nothing to compare) the status says so.
  void endWithoutVerdict(bool stopped);
};

}  // namespace veldra
