#include "compare/checks.h"

namespace veldra {

const std::vector<const Check*>& comparisonChecks() {
  static const std::vector<const Check*> checks{&timeCheck(), &handleCheck(), &ageCheck()};
  return checks;
}

}  // namespace veldra
