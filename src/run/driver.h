#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/messages.h"
#include "compare/checks.h"
#include "run/run_context.h"

namespace veldra {

enum class DriverOutcome {
  NotRun,      // no drawing counted, or the project's folders could not be listed: no table, no check
  EndedEarly,  // the record file is damaged, unreadable or holds too many records: no check
  Complete,    // every check judged (a report that could not be written is in `errors`)
};

// A check the driver ran, with what it found; a switched-off check has no findings.
struct CheckRun {
  const Check* check = nullptr;
  std::shared_ptr<const Findings> findings;
};

// What a comparison found, for those who tell the user and for writers of
// other forms: the table the checks judged, and each check's findings in
// the order they ran.
struct ComparisonResult {
  DriverOutcome outcome = DriverOutcome::NotRun;
  std::shared_ptr<const DrawingTable> table;
  std::vector<CheckRun> checks;
  // The handle check was on, some drawing had been read (its record has a
  // date) and yet no drawing holds an entity of the type: the check's
  // all-clear says nothing.
  bool entityTypeAbsent = false;
  std::string entity;  // the type the handles belong to
  // What went wrong, in words for the user: why the run could not judge (a
  // damaged record file, a folder that cannot be listed) or which report
  // could not be written. Empty when all went well.
  std::vector<std::string> errors;

  // Every check judged and every report was written.
  bool succeeded() const { return outcome == DriverOutcome::Complete && errors.empty(); }
};

// The comparison driver: fills the drawing table from the record file, runs
// the checks of comparisonChecks() in order, gives the alarm when one finds a
// conflict and writes each check's report, then shows the verdict. The
// caller has reset the display and set totfiles and startime. A run that
// cannot judge (no drawing, a damaged record file) leaves every report as it
// was and shows no verdict; a report that cannot be written keeps the old
// one whole and is named in the result's errors. While the reports are
// replaced the project's run mark stands (see run_mark.h); it goes once
// every report is in place.
ComparisonResult runComparison(RunContext& run);

enum class RecompareOutcome {
  // "Time Matches" is on and the record file is empty or missing: the
  // message was shown, nothing else changed. The caller unchecks "Time
  // Matches" (as a click on it would) and then disables "Recompare...".
  EmptyRecordRefused,
  Ran,
};
inline constexpr const char* kEmptyRecordMessage = "XXXXXXavailable due to no entity matches - turning OFF.";

struct RecompareReport {
  ComparisonResult comparison;
  // The entity type the record file was collected with, when one is
  // remembered: the handle check is labelled with it. The caller tells the
  // user when it differs from the type chosen now.
  std::optional<std::string> collectedWith;

  bool typeDiffers(std::string_view chosen) const { return collectedWith && *collectedWith != chosen; }
};

// "Recompare...": resets the display, recounts the drawings and runs the
// driver over the record file already on disk. A project whose name cannot
// be used, or a folder of its locations that cannot be listed, stops it
// before the driver: the result's errors say why.
RecompareOutcome recompare(RunContext& run, MessageBoxes& messages, RecompareReport* report = nullptr);

}  // namespace veldra
