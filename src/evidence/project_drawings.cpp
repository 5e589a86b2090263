#include "evidence/project_drawings.h"

#include <algorithm>
#include <optional>
#include <system_error>

#include "evidence/parallel.h"
#include "projects/folder_listing.h"

namespace veldra::evidence {

namespace {

bool isDrawingName(const std::filesystem::path& file) {
  const std::string ext = utf8Name(file.extension());
  return ext.size() == 4 && ext[0] == '.' && (ext[1] | 0x20) == 'd' && (ext[2] | 0x20) == 'w' &&
         (ext[3] | 0x20) == 'g';
}

bool lessByName(const std::filesystem::path& a, const std::filesystem::path& b) {
  return lessIgnoringCase(utf8Name(a.filename()), utf8Name(b.filename()));
}

// A folder's entries of one kind, ordered as the folder lists show them;
// nothing when the folder cannot be listed.
std::optional<std::vector<std::filesystem::path>> listFolder(const std::filesystem::path& folder, bool folders) {
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return std::nullopt;
  std::vector<std::filesystem::path> out;
  for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) return std::nullopt;
    std::error_code typeError;
    if (folders ? it->is_directory(typeError) : (it->is_regular_file(typeError) && isDrawingName(it->path())))
      out.push_back(it->path());
  }
  std::stable_sort(out.begin(), out.end(), lessByName);
  return out;
}

}  // namespace

VisitList listProjectDrawings(const std::vector<std::string>& locations) {
  VisitList list;
  auto cannotList = [&](const std::filesystem::path& folder) {
    list.notes.push_back("The folder " + utf8Path(folder) + " could not be listed; its drawings were not judged.");
  };
  for (const auto& entry : locations) {
    const LocationEntry location = parseLocation(entry);
    const std::filesystem::path folder = location.path();
    if (const auto drawings = listFolder(folder, false)) {
      for (const auto& d : *drawings) list.drawings.push_back({d, d.filename()});
    } else {
      cannotList(folder);
      continue;
    }
    if (!location.withSubfolders()) continue;
    const auto subfolders = listFolder(folder, true);
    if (!subfolders) {
      cannotList(folder);
      continue;
    }
    for (const auto& sub : *subfolders) {
      const auto drawings = listFolder(sub, false);
      if (!drawings) {
        cannotList(sub);
        continue;
      }
      for (const auto& d : *drawings) list.drawings.push_back({d, sub.filename() / d.filename()});
    }
  }
  return list;
}

std::vector<DrawingEvidence> readDrawings(const std::vector<DrawingVisit>& visits, const RunControl& control) {
  std::vector<DrawingEvidence> out(visits.size());
  if (!parallelFor(visits.size(), control, "Reading drawings",
                   [&](std::size_t i) { out[i] = readDrawingEvidence(visits[i].path, visits[i].name); }))
    return {};
  return out;
}

}  // namespace veldra::evidence
