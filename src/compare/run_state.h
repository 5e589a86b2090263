#pragma once

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

inline constexpr const char* kVerdictClean = "NO VELDRA's";
inline constexpr const char* kVerdictAlarm = "VELDRA!!!";

// The window-level state one run shares between the pass, the driver, the
// checks and the alarm.
struct RunState {
  int totfiles = 0;
  TimePoint startime{};
  TimePoint endtime{};
  std::string alertgiven;  // "" before the first run, then "NO" or "YES"
  int timeConflicts = 0;
  int entityConflicts = 0;
  int ageConflicts = 0;
  std::string verdict;     // caption of lblVELDRAd
  std::string status;      // caption of lblStatus as last set by the logic

  bool conflictsFound() const { return verdict == kVerdictAlarm; }
};

}  // namespace veldra
