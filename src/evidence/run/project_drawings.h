#pragma once

// The drawings of a project's locations, found as the collection pass finds
// them (each folder's *.dwg files, and those of its immediate sub-folders
// when the location says so) with the *.dxf files beside them, and read on
// all cores.

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "evidence/features/drawing_evidence.h"
#include "evidence/store/evidence_store.h"
#include "evidence/features/settings.h"
#include "projects/folder_walk.h"

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
// The same from a walk already made, which must list repeated folders.
VisitList listProjectDrawings(const FolderWalk& walk);

// Reads every drawing with all its evidence, in the order given. Empty
// when the run was cancelled.
std::vector<DrawingEvidence> readDrawings(const std::vector<DrawingVisit>& visits, const RunControl& control);

// How a drawing is read with all its evidence (readDrawingEvidence, unless
// a caller counts or refuses reads).
using DrawingReader =
    std::function<DrawingEvidence(const std::filesystem::path& path, const std::filesystem::path& name)>;

struct ClassReading {
  std::vector<DrawingEvidence> drawings;                // in visiting order
  std::vector<std::optional<DrawingFeatures>> known;    // features taken over unread
  std::vector<std::optional<FileStamp>> stamps;         // each file's, taken before reading it
  std::size_t kept = 0;                                 // drawings taken over unread
};

// Reads the drawings that changed since they were kept: a drawing whose
// file has the size, time and identity it had when kept is taken from
// `kept` (by its full path) instead, facts and features, moved out of it.
// `visits` names each file once, as listProjectDrawings gives them. Empty
// drawings when the run was cancelled. `stamps`, parallel to `visits`, are
// the files' stamps where the caller took them already.
ClassReading readChangedDrawings(const std::vector<DrawingVisit>& visits, std::map<std::string, KeptDrawing>&& kept,
                                 const RunControl& control, const DrawingReader& reader = readDrawingEvidence,
                                 std::vector<std::optional<FileStamp>> stamps = {});

}  // namespace veldra::evidence
