#include "run/alarm.h"

#include "run/run_context.h"

namespace veldra {

void raiseAlarm(RunContext& run) {
  run.sound.start(run.workspace.resource("conflict.wav"));
  run.progress.verdict(Verdict::kAlarm);
  run.progress.picture(run.workspace.resource("veldrawrong.jpg"));
  run.progress.alarmGiven();
}

void RunContext::resetDisplay(bool emptyWithoutLogo) {
  progress.clearAlarm();
  if (!progress.picture(workspace.resource("veldralogo.jpg")) && emptyWithoutLogo) progress.clearPicture();
  progress.verdict(Verdict::kClean);
  progress.clearConflicts();
}

void RunContext::endWithoutVerdict(bool stopped) {
  if (stopped) progress.status(kStoppedStatus);
  progress.verdict(Verdict::kNotChecked);
  progress.flush();
}

}  // namespace veldra
