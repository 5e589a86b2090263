#pragma once

#include <string>

#include "app/messages.h"
#include "collect/drawing_host.h"
#include "compare/driver.h"

namespace veldra {

inline constexpr const char* kFatalTitle = "VELDRA Fatal Error";
inline constexpr const char* kWarningTitle = "VELDRA Warning";

struct PassResult {
  // The old record file could not be deleted: the caller shows `fatalText`
  // with the title kFatalTitle and the stop icon, then ends the program.
  bool fatal = false;
  std::string fatalText;
  DriverOutcome driver = DriverOutcome::NotRun;
  int visited = 0;
};

// "Start COLLECTING...": counts the drawings of the project's locations,
// deletes its record file, collects every drawing through the host into a
// fresh record file and runs the comparison driver. Folders that cannot be
// listed and host steps that fail are skipped silently; the two warnings
// ("no locations", "no drawings") come after the visit. The caller enables
// "Recompare..." afterwards unless the result is fatal.
PassResult runCollectionPass(RunContext& run, DrawingHost& host, MessageBoxes& messages);

}  // namespace veldra
