#pragma once

#include "app/workspace.h"
#include "compare/alarm.h"
#include "compare/run_state.h"
#include "compare/run_view.h"

namespace veldra {

// Everything a run works with: the workspace, the options, the shared state
// and the window-side interfaces.
struct RunContext {
  const Workspace& workspace;
  const RunOptions& options;
  RunState& state;
  RunView& view;
  RunClock& clock;
  AlarmSound& sound;

  // endtime = now, then lblTime shows the elapsed time.
  void markTime();
  // The verdict and picture at the start of a run, the counters at "0000".
  // A logo that cannot be loaded leaves the picture box empty when
  // `emptyWithoutLogo`, else the box keeps its picture.
  void resetDisplay(bool emptyWithoutLogo);
};

}  // namespace veldra
