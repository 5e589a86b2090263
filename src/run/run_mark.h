#pragma once

// The record file and the three reports of a project are one unit: a run
// that replaces them leaves a mark beside the record file first and removes
// it once the last report is in place. A mark found later tells that the
// run was stopped between them (killed, the machine went down), so the
// reports may belong to another record than the one beside them. Only this
// program's newer parts read the mark; the record and the reports keep
// their form.

#include <string>
#include <string_view>

#include "app/textfile.h"
#include "app/workspace.h"

namespace veldra {

// Leaves the mark (written to disk before anything it covers is replaced).
// False when it cannot be written: the run then goes on unmarked.
bool markRunStarted(const Workspace& ws, std::string_view project, FileDevice& device = diskDevice());
// Removes the mark: the record and every report are of this run.
void markRunFinished(const Workspace& ws, std::string_view project);
// A mark was left: the reports may not be those of the record.
bool runLeftUnfinished(const Workspace& ws, std::string_view project);

// "The reports of P may not belong to its record file: ..."
std::string unfinishedRunNotice(std::string_view project);

}  // namespace veldra
