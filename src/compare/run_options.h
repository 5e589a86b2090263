#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "platform/local_time.h"

namespace veldra {

using TimePoint = std::chrono::system_clock::time_point;

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
  YearMonth today() override { return localYearMonthNow(); }
};

// The choices a run reads: the selected project, its locations, the entity
// type and the report options of the lower panel. The checks read their
// switches and thresholds here.
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

}  // namespace veldra
