#pragma once

// The folders a collection pass or a recompare goes through, each real
// folder once, listed before anything is collected or compared.

#include <string>
#include <vector>

#include "projects/folder_listing.h"

namespace veldra {

// One folder of a location and the drawings in it, in listing order.
struct PlannedFolder {
  std::string folder;  // as listed: the location's folder, or a sub-folder's full path
  // What goes before a drawing's name when it is shown: nothing for the
  // location's own folder; for a sub-folder its path past the location's
  // folder and a separator ("\alice\" for C:\work\proj\alice under
  // C:\work\proj).
  std::string shownAs;
  std::vector<std::string> drawings;  // file names
};

struct PlannedLocation {
  LocationEntry location;
  std::vector<PlannedFolder> folders;  // its own folder first, then its sub-folders
};

struct FolderPlan {
  std::vector<PlannedLocation> locations;  // in list order
  int drawings = 0;
  // Why the plan is not whole: a folder that cannot be listed, or more
  // drawings than a comparison takes. Empty for a whole plan.
  std::string problem;

  bool whole() const { return problem.empty(); }
};

// Lists the folders of the location entries in visiting order: each
// location's folder, then for a location marked "+" each of its immediate
// sub-folders. A folder reached a second time (through a link such as one to
// "." inside the folder, or named by two locations) is listed only where it
// was reached first, so no drawing is visited twice. Stops at the first
// folder that cannot be listed, or once the drawings pass kMaxDrawingCount.
FolderPlan planFolders(const std::vector<std::string>& entries);

}  // namespace veldra
