#include "evidence/project_drawings.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <system_error>

#include "evidence/parallel.h"
#include "projects/folder_listing.h"

namespace veldra::evidence {

namespace {

// The evidence check judges DXF files beside DWG files: a drawing saved in
// the exchange form is still the same drawing.
bool isDrawingName(const std::filesystem::path& file) {
  const std::string ext = utf8Name(file.extension());
  if (ext.size() != 4 || ext[0] != '.' || (ext[1] | 0x20) != 'd') return false;
  const char a = static_cast<char>(ext[2] | 0x20);
  const char b = static_cast<char>(ext[3] | 0x20);
  return (a == 'w' && b == 'g') || (a == 'x' && b == 'f');
}

// A file, or an entry whose kind cannot be told (a link that leads nowhere
// or round in a loop): the reading then tells why it cannot be read.
bool isDrawingEntry(const std::filesystem::directory_entry& entry) {
  std::error_code ec;
  if (entry.is_regular_file(ec) || ec) return true;
  return entry.is_symlink(ec) && !ec && !entry.exists(ec);
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
    if (folders ? it->is_directory(typeError) : (isDrawingEntry(*it) && isDrawingName(it->path())))
      out.push_back(it->path());
  }
  std::stable_sort(out.begin(), out.end(), lessByName);
  return out;
}

std::string folded(const std::filesystem::path& name) {
  std::string text = utf8Name(name);
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  return text;
}

// The last `parts` parts of a path (without its root).
std::filesystem::path lastParts(const std::filesystem::path& path, std::size_t parts) {
  const std::filesystem::path relative = path.relative_path();
  const std::vector<std::filesystem::path> all(relative.begin(), relative.end());
  std::filesystem::path out;
  for (std::size_t k = all.size() - std::min(parts, all.size()); k < all.size(); ++k) out /= all[k];
  return out;
}

// Two locations may each hold a drawing of one name (a location per
// student, each with its drawing.dwg): such drawings are named with as many
// of the folders above them as tell them apart.
void tellNamesApart(std::vector<DrawingVisit>& drawings) {
  for (bool changed = true; changed;) {
    changed = false;
    std::map<std::string, std::vector<std::size_t>> byName;
    for (std::size_t i = 0; i < drawings.size(); ++i) byName[folded(drawings[i].name)].push_back(i);
    for (const auto& [name, same] : byName) {
      if (same.size() < 2) continue;
      for (const std::size_t i : same) {
        auto& d = drawings[i];
        const std::size_t parts = static_cast<std::size_t>(std::distance(d.name.begin(), d.name.end()));
        std::filesystem::path longer = lastParts(d.path, parts + 1);
        if (std::distance(longer.begin(), longer.end()) > static_cast<std::ptrdiff_t>(parts)) {
          d.name = std::move(longer);
          changed = true;
        }
      }
    }
  }
}

}  // namespace

VisitList listProjectDrawings(const std::vector<std::string>& locations) {
  VisitList list;
  auto cannotList = [&](const std::filesystem::path& folder) { list.unlisted.push_back(folder); };
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
  // Locations that overlap list a drawing twice; judged against itself it
  // would be a copy.
  std::set<std::filesystem::path> seen;
  std::erase_if(list.drawings, [&](const DrawingVisit& d) {
    std::error_code ec;
    std::filesystem::path key = std::filesystem::weakly_canonical(d.path, ec);
    if (ec) key = d.path.lexically_normal();
    if (seen.insert(key).second) return false;
    list.notes.push_back("The drawing " + utf8Path(d.path) + " lies in more than one location; it was judged once.");
    return true;
  });
  tellNamesApart(list.drawings);
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
