#include "compare/alarm.h"

#include "compare/run_context.h"

namespace veldra {

void raiseAlarm(RunContext& run) {
  run.sound.start(run.workspace.resource("conflict.wav"));
  run.state.verdict = kVerdictAlarm;
  run.view.setVerdict(kVerdictAlarm, kRed);
  run.view.loadPicture(run.workspace.resource("veldrawrong.jpg"));
  run.state.alertgiven = "YES";
}

void RunContext::markTime() {
  state.endtime = clock.now();
  view.setElapsed(std::chrono::duration_cast<std::chrono::seconds>(state.endtime - state.startime).count());
}

void RunContext::resetDisplay(bool emptyWithoutLogo) {
  state.alertgiven = "NO";
  if (!view.loadPicture(workspace.resource("veldralogo.jpg")) && emptyWithoutLogo) view.clearPicture();
  state.verdict = kVerdictClean;
  view.setVerdict(kVerdictClean, kPurple);
  state.timeConflicts = state.entityConflicts = state.ageConflicts = 0;
  view.setTimeConflicts(0);
  view.setEntityConflicts(0);
  view.setAgeConflicts(0);
}

}  // namespace veldra
