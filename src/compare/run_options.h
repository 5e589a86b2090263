#pragma once

#include <chrono>
#include <functional>
#include <map>
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
// switches (Check::switchedOn) and thresholds here.
struct RunOptions {
  std::string project;
  std::vector<std::string> locations;  // mark + folder, as the location file holds them
  std::string entity = "RAY";
  // Each check's switch by the check's name; a check not named here runs as
  // its default says.
  std::map<std::string, bool, std::less<>> switches;
  std::string percent = "100";    // the threshold as given
  std::string age = "1 month";    // the age as given
};

}  // namespace veldra
