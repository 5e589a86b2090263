#pragma once

// The drawings of a project's locations, found as the collection pass finds
// them (each folder's *.dwg files, and those of its immediate sub-folders
// when the location says so) with the *.dxf files beside them, and read on
// all cores.

#include <filesystem>
#include <string>
#include <vector>

#include "evidence/drawing_evidence.h"
#include "evidence/settings.h"

namespace veldra::evidence {

struct DrawingVisit {
  std::filesystem::path path;  // as visited
  std::filesystem::path name;  // below its location: anna/drawing.dwg
};

struct VisitList {
  std::vector<DrawingVisit> drawings;
  std::vector<std::string> notes;  // drawings that more than one location lists
  std::vector<std::filesystem::path> unlisted;  // folders that could not be listed
};

// `locations` are the entries of the project's location file.
VisitList listProjectDrawings(const std::vector<std::string>& locations);

// Reads every drawing with all its evidence, in the order given. Empty
// when the run was cancelled.
std::vector<DrawingEvidence> readDrawings(const std::vector<DrawingVisit>& visits, const RunControl& control);

}  // namespace veldra::evidence
