#pragma once

#include <vector>

#include "compare/age_check.h"
#include "compare/check.h"
#include "compare/handle_check.h"
#include "compare/time_check.h"

namespace veldra {

// The checks a comparison runs, in this order. The run, the window, the
// command line and the Reports page loop over this list: a new check brings
// its own files (its face, findings, judging and writer) and one entry here,
// beside the place of its reports in the workspace (Workspace::kReportPlaces)
// and its controls in the window (ui/check_controls.h).
const std::vector<const Check*>& comparisonChecks();

}  // namespace veldra
