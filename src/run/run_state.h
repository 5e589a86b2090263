#pragma once

#include <map>
#include <string>

#include "compare/check.h"
#include "compare/run_options.h"

namespace veldra {

// The verdict of a run: none before the first run, clean while no check has
// found a conflict, the alarm once one has; not checked when the run ended
// before its checks could judge (nothing to compare, a damaged record file,
// a folder that cannot be listed), so that no all-clear stands for it.
enum class Verdict { kNone, kClean, kAlarm, kNotChecked };

// The state one run shares between the pass, the driver, the checks and the
// alarm. Changed only through RunProgress, which shows every change.
struct RunState {
  int totfiles = 0;
  TimePoint startime{};
  TimePoint endtime{};
  bool alarmGiven = false;  // the alarm was given in this run (at most once per run)
  Verdict verdict = Verdict::kNone;
  std::map<const Check*, int> conflicts;  // per check; a check not named has none
  std::string status;       // the status text as last set by the run (not the pair being compared)

  int conflictCount(const Check& check) const {
    const auto found = conflicts.find(&check);
    return found == conflicts.end() ? 0 : found->second;
  }
  bool conflictsFound() const { return verdict == Verdict::kAlarm; }
};

}  // namespace veldra
