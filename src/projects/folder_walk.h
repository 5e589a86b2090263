#pragma once

// The one walk through a project's location folders, shared by the
// collection pass, the recompare and the evidence check: each folder is
// listed once, its drawings and sub-folders taken from that one listing.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "projects/folder_listing.h"

namespace veldra {

struct WalkedDrawing {
  std::filesystem::path name;  // the file's name in its folder
  bool link = false;           // a symbolic link, which may lead into another folder
};

struct WalkedFolder {
  std::filesystem::path folder;  // as reached: the location's folder, or the path of a sub-folder
  // The same real folder was reached before, under this path or another
  // (two locations naming it, a link to "." inside it).
  bool repeat = false;
  std::string key;                      // of its real folder: see realFolderKey
  std::vector<WalkedDrawing> drawings;  // in listing order
};

struct WalkedLocation {
  LocationEntry location;
  std::vector<WalkedFolder> folders;  // its own folder first, then its sub-folders
};

struct WalkRules {
  // Which file names are drawings; the name is UTF-8.
  std::function<bool(std::string_view)> isDrawing;
  // The collection stops at the first folder it cannot list; the evidence
  // check notes it and goes on.
  bool stopAtUnlisted = false;
  // A repeated folder is listed again, for a caller that tells the teacher
  // about each drawing met twice; else it stays empty.
  bool listRepeats = false;
  // The walk stops once its drawings (repeats not counted) pass this many.
  int maxDrawings = -1;
};

struct FolderWalk {
  std::vector<WalkedLocation> locations;  // in list order; the last may be cut short by a stop
  std::vector<std::filesystem::path> unlisted;  // folders that could not be listed, in walking order
  int drawings = 0;                       // in folders listed first time
  bool tooMany = false;                   // stopped beyond maxDrawings
};

// Walks the location entries in visiting order: each location's folder, then
// for a location marked "+" each of its immediate sub-folders, in the order
// the folder lists show them.
FolderWalk walkFolders(const std::vector<std::string>& entries, const WalkRules& rules);

// The key of a real folder: the same for every path leading to it, the
// path as given when it cannot be resolved. Letter case and separators are
// ignored on Windows, where the folder answers to its name in any form.
std::string realFolderKey(const std::filesystem::path& folder);

// The "*.dwg" names (letter case ignored) of the collection pass.
bool isDwgName(std::string_view name);

}  // namespace veldra
