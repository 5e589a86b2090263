#include "run/run_view.h"

#include <sstream>
#include <iomanip>

namespace veldra {

std::string comparingText(int first, int second) {
  return "Comparing " + std::to_string(first) + " vs. " + std::to_string(second);
}

std::string elapsedText(long long seconds) {
  if (seconds < 0) seconds = 0;
  const long long hours = (seconds / 3600) % 24;
  const long long minutes = (seconds / 60) % 60;
  std::ostringstream out;
  out << "Elapsed Time: " << std::setfill('0') << std::setw(2) << hours << ':' << std::setw(2)
      << minutes << ':' << std::setw(2) << seconds % 60;
  return out.str();
}

}  // namespace veldra
