#pragma once

#include <string>
#include <vector>

#include "app/messages.h"
#include "collect/drawing_facts.h"
#include "collect/drawing_source.h"
#include "collect/problem_drawing.h"
#include "run/driver.h"

namespace veldra {

inline constexpr const char* kFatalTitle = "VELDRA Fatal Error";
inline constexpr const char* kWarningTitle = "VELDRA Warning";

struct PassResult {
  // The old record file could not be deleted: the caller shows `fatalText`
  // with the title kFatalTitle and the stop icon, then ends the program.
  bool fatal = false;
  std::string fatalText;
  // Why the pass stopped before the comparison (a folder that cannot be
  // listed, a record file that cannot be written), for the caller to show as
  // an error. The old record file, the reports and the remembered entity
  // type are then as they were.
  std::string stopped;
  DriverOutcome driver = DriverOutcome::NotRun;  // the comparison's outcome
  int visited = 0;
  // The drawings that could not be read or whose facts are doubtful, in
  // visiting order. Each still has its line in the record file.
  std::vector<ProblemDrawing> problems;
  ComparisonResult comparison;
};

// "Start COLLECTING...": lists and counts the drawings of the project's
// locations, reads every drawing from the source into a new record file,
// which replaces the old one only once every drawing has its line, remembers
// the entity type beside it and runs the comparison driver. A folder that
// cannot be listed, or a record file that cannot be written, stops the pass
// and changes nothing stored. Drawings that cannot be read still have their
// line, and are listed in the result, for the caller to tell the user.
// The two warnings ("no locations", "no drawings") come after the visit.
// When a sink is given, it takes every drawing's facts. The caller enables
// "Recompare..." afterwards unless the result is fatal.
PassResult runCollectionPass(RunContext& run, DrawingSource& source, MessageBoxes& messages,
                             DrawingFactsSink* sink = nullptr);

}  // namespace veldra
