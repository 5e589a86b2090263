#pragma once

#include <vector>

#include "compare/age_check.h"
#include "compare/check.h"
#include "compare/handle_check.h"
#include "compare/time_check.h"

namespace veldra {

// The checks a comparison runs, in this order. A new check brings its own
// files (its findings, its judging, its writers) and one entry here.
const std::vector<const Check*>& comparisonChecks();

}  // namespace veldra
