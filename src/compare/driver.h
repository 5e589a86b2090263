#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/messages.h"
#include "compare/checks.h"

namespace veldra {

// One record of the record file: the text between the line's quotes.
struct Record {
  std::string name;
  double date = 0;  // 0 for an empty date field: a drawing without a date
  std::string handles;
};
// Nothing when the record has fewer than three commas or a date field that
// is neither empty nor a number.
std::optional<Record> parseRecord(std::string_view item);

enum class DriverOutcome {
  NotRun,      // no drawing counted: no table, no check
  EndedEarly,  // a bad record, too many records, or a report that could not be written
  Complete,
};

// The comparison driver: fills the drawing table from the record file, runs
// the time, handle and age checks in this order and shows the verdict. The
// caller has reset the display and set totfiles and startime.
DriverOutcome runComparison(RunContext& run);

enum class RecompareOutcome {
  // "Time Matches" is on and the record file is empty or missing: the
  // message was shown, nothing else changed. The caller unchecks "Time
  // Matches" (as a click on it would) and then disables "Recompare...".
  EmptyRecordRefused,
  Ran,
};
inline constexpr const char* kEmptyRecordMessage = "XXXXXXavailable due to no entity matches - turning OFF.";

// "Recompare...": resets the display, recounts the drawings and runs the
// driver over the record file already on disk.
RecompareOutcome recompare(RunContext& run, MessageBoxes& messages, DriverOutcome* outcome = nullptr);

}  // namespace veldra
