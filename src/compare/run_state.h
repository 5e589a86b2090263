#pragma once

#include <array>
#include <chrono>
#include <string>
#include <vector>

namespace veldra {

using TimePoint = std::chrono::system_clock::time_point;

struct YearMonth {
  int year = 0;
  int month = 0;
};

// "Now" for the run's time marks and today's local year and month for the
// age check; tests use a fixed clock.
class RunClock {
 public:
  virtual ~RunClock() = default;
  virtual TimePoint now() = 0;
  virtual YearMonth today() = 0;
};

class SystemRunClock : public RunClock {
 public:
  TimePoint now() override { return std::chrono::system_clock::now(); }
  YearMonth today() override;
};

// The choices a run reads: the selected project, its locations, the entity
// type and the report options of the lower panel.
struct RunOptions {
  std::string project;
  std::vector<std::string> locations;  // mark + folder, as lstLocations holds them
  std::string entity = "RAY";
  bool timeCheck = true;     // chkOpt(0)
  bool handleCheck = true;   // chkOpt(1)
  bool ageCheck = false;     // chkOpt(2)
  std::string percent = "100";    // cmbPercent text
  std::string age = "1 month";    // cmbdate text
};

// The verdict of a run: none before the first run, clean while no check has
// found a conflict, the alarm once one has; not checked when the run ended
// before its checks could judge (nothing to compare, a damaged record file,
// a folder that cannot be listed), so that no all-clear stands for it.
enum class Verdict { kNone, kClean, kAlarm, kNotChecked };

// The three conflict counters a run shows.
enum class Counter { kTime, kEntity, kAge };
inline constexpr std::size_t kCounterCount = 3;

// The state one run shares between the pass, the driver, the checks and the
// alarm. Changed only through RunProgress, which shows every change.
struct RunState {
  int totfiles = 0;
  TimePoint startime{};
  TimePoint endtime{};
  bool alarmGiven = false;  // the alarm was given in this run (at most once per run)
  Verdict verdict = Verdict::kNone;
  std::array<int, kCounterCount> conflicts{};
  std::string status;       // the status text as last set by the run (not the pair being compared)

  int conflictCount(Counter counter) const { return conflicts[static_cast<std::size_t>(counter)]; }
  bool conflictsFound() const { return verdict == Verdict::kAlarm; }
};

}  // namespace veldra
