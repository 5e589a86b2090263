#include "evidence/run/project_drawings.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <system_error>

#include "evidence/features/content_digest.h"
#include "evidence/judging/parallel.h"
#include "platform/platform.h"
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
  WalkRules rules;
  rules.isDrawing = [](std::string_view name) { return isDrawingName(pathFromUtf8(name)); };
  rules.listRepeats = true;
  return listProjectDrawings(walkFolders(locations, rules));
}

VisitList listProjectDrawings(const FolderWalk& walk) {
  VisitList list;
  list.unlisted = walk.unlisted;
  // Locations that overlap list a drawing twice; judged against itself it
  // would be a copy. A drawing is known by its real folder and its name, so
  // that only folders and links are resolved, never each drawing.
  std::set<std::string> seen;
  std::vector<std::string> twice;
  for (const auto& walked : walk.locations) {
    for (const auto& folder : walked.folders) {
      const bool top = &folder == &walked.folders.front() && folder.folder == walked.location.path();
      const std::string& real = folder.key;  // resolved by the walk, once per location
      for (const auto& d : folder.drawings) {
        const std::filesystem::path path = folder.folder / d.name;
        std::string key;
        if (d.link) {
          std::error_code ec;
          std::filesystem::path target = std::filesystem::weakly_canonical(path, ec);
          key = realFolderKey(ec ? path.parent_path() : target.parent_path()) + '/' +
                utf8FromPath(ec ? d.name : target.filename());
        } else {
          key = real + '/' + utf8FromPath(d.name);
        }
        if (!seen.insert(std::move(key)).second) {
          twice.push_back("The drawing " + utf8Path(path) + " lies in more than one location; it was judged once.");
          continue;
        }
        list.drawings.push_back({path, top ? d.name : folder.folder.filename() / d.name});
      }
    }
  }
  list.notes.insert(list.notes.end(), twice.begin(), twice.end());
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

ClassReading readChangedDrawings(const std::vector<DrawingVisit>& visits, std::map<std::string, KeptDrawing>&& kept,
                                 const RunControl& control, const DrawingReader& reader,
                                 std::vector<std::optional<FileStamp>> stamps) {
  ClassReading out;
  out.drawings.resize(visits.size());
  out.known.resize(visits.size());
  const bool stamped = stamps.size() == visits.size();
  out.stamps = std::move(stamps);
  out.stamps.resize(visits.size());
  std::atomic<std::size_t> taken{0};
  const bool done = parallelFor(visits.size(), control, "Reading drawings", [&](std::size_t i) {
    const DrawingVisit& visit = visits[i];
    // Stamped before reading: a file written meanwhile is read again next time.
    if (!stamped) out.stamps[i] = fileStamp(visit.path);
    if (out.stamps[i] && !kept.empty()) {
      const auto it = kept.find(utf8Path(visit.path));
      // A file that could not be opened may open now, its permissions
      // mended without a change the stamp shows.
      if (it != kept.end() && it->second.stamp == *out.stamps[i] &&
          !(it->second.facts.problem && it->second.facts.problem->kind == ProblemKind::kCannotOpen)) {
        // Each drawing is visited once: what the store kept is moved, not copied.
        DrawingEvidence& d = out.drawings[i];
        d.facts = std::move(it->second.facts);
        d.facts.path = visit.path;
        d.facts.name = visit.name;
        if (d.facts.problem) d.facts.problem->path = visit.path;
        out.known[i] = std::move(it->second.features);
        // Kept by an earlier version without it.
        if (d.facts.contentDigest.empty()) d.facts.contentDigest = fileDigest(visit.path);
        taken.fetch_add(1, std::memory_order_relaxed);
        return;
      }
    }
    out.drawings[i] = reader(visit.path, visit.name);
    if (out.drawings[i].facts.contentDigest.empty()) out.drawings[i].facts.contentDigest = fileDigest(visit.path);
  });
  if (!done) return {};
  out.kept = taken.load();
  return out;
}

}  // namespace veldra::evidence
