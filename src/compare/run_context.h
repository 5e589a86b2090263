#pragma once

#include "app/workspace.h"
#include "compare/alarm.h"
#include "compare/run_progress.h"
#include "compare/run_state.h"
#include "compare/run_view.h"

namespace veldra {

// Everything a run works with: the workspace, the options, the shared state
// and the window-side interfaces. What the run shows goes through `progress`.
struct RunContext {
  RunContext(const Workspace& ws, const RunOptions& opts, RunState& runState, RunView& runView, RunClock& runClock,
             AlarmSound& alarmSound)
      : workspace(ws), options(opts), state(runState), view(runView), clock(runClock), sound(alarmSound),
        progress(runState, runView, runClock) {}

  // The same run with other options (a recompare labels its findings with
  // the entity type that was collected).
  RunContext withOptions(const RunOptions& other) const {
    return RunContext(workspace, other, state, view, clock, sound);
  }

  const Workspace& workspace;
  const RunOptions& options;
  RunState& state;
  RunView& view;
  RunClock& clock;
  AlarmSound& sound;
  RunProgress progress;

  // The verdict and picture at the start of a run, the counters at "0000".
  // A logo that cannot be loaded leaves the picture box empty when
  // `emptyWithoutLogo`, else the box keeps its picture.
  void resetDisplay(bool emptyWithoutLogo);
};

}  // namespace veldra
