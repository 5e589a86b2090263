#pragma once

// One evidence check of a project, from its locations to its stored
// evidence and its plain report: what the command line and the window run.
// Cancelled or failed, it writes nothing.

#include <filesystem>
#include <string>
#include <vector>

#include "app/workspace.h"
#include "evidence/findings.h"
#include "evidence/settings.h"

namespace veldra::evidence {

// The places of the evidence check in a workspace, beside the classic ones.
inline constexpr std::string_view kStoreFolder = "evidence";
inline constexpr std::string_view kReportFolder = "evidence reports";
std::filesystem::path storeFile(const Workspace& workspace);
std::filesystem::path reportFile(const Workspace& workspace, const std::string& project);

enum class RunOutcome { kDone, kCancelled, kError };

struct RunResult {
  RunOutcome outcome = RunOutcome::kError;
  std::string error;                  // why it failed
  std::vector<std::string> warnings;  // what went wrong after judging (the store, the report)
  Findings findings;
};

// Judges `project` (its name as listed) with the teacher's settings: reads
// its locations' drawings and the template drawings, compares against the
// earlier projects named, keeps the evidence in the store and writes the
// plain report.
RunResult runEvidenceCheck(const Workspace& workspace, const std::string& project, const EvidenceSettings& settings,
                           const RunControl& control);

}  // namespace veldra::evidence
