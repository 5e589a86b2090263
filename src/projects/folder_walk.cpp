#include "projects/folder_walk.h"

#include <algorithm>
#include <optional>
#include <set>
#include <system_error>

#include "app/utf8_text.h"
#include "platform/file_facts.h"
#include "platform/platform.h"

namespace veldra {

namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

struct Subfolder {
  std::filesystem::path path;
  bool link = false;  // a link, which may lead anywhere
};

// Orders items as the folder lists show them by their names (UTF-8), each
// name taken once rather than at every comparison.
template <typename Item>
void sortByName(std::vector<Item>& items, std::vector<std::string> names) {
  std::vector<std::size_t> order(items.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  // Names of ASCII letters only, as most are, compare as their lower-case
  // forms do byte by byte: folded once here, not at every comparison.
  const bool ascii = std::all_of(names.begin(), names.end(), [](const std::string& name) {
    return std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  });
  if (ascii) {
    for (std::string& name : names)
      for (char& c : name) c = lowerAscii(c);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return names[a] < names[b]; });
  } else {
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return lessIgnoringCase(names[a], names[b]); });
  }
  std::vector<Item> sorted;
  sorted.reserve(items.size());
  for (const std::size_t k : order) sorted.push_back(std::move(items[k]));
  items = std::move(sorted);
}

struct Listing {
  std::vector<WalkedDrawing> drawings;
  std::vector<Subfolder> subfolders;
};

// Whether an entry leads to a folder. Anything else of a drawing's name (a
// file, a pipe, a device, a link to one, a link that leads nowhere or round
// in a loop) is listed as a drawing, whose reading then tells why it cannot
// be read. Only links, and entries whose kind the listing does not tell,
// are looked at; an entry found to be a link is marked so.
bool leadsToFolder(const std::filesystem::path& folder, FolderEntry& entry) {
  using Kind = FolderEntry::Kind;
  if (entry.kind == Kind::kFolder) return true;
  if (entry.kind != Kind::kLink && entry.kind != Kind::kUnknown) return false;
  std::error_code ec;
  const std::filesystem::path path = folder / entry.name;
  if (entry.kind == Kind::kUnknown) {
    const auto own = std::filesystem::symlink_status(path, ec).type();
    if (ec) return false;
    if (own != std::filesystem::file_type::symlink) return own == std::filesystem::file_type::directory;
    entry.kind = Kind::kLink;
  }
  const bool folderAtEnd = std::filesystem::is_directory(std::filesystem::status(path, ec));
  return folderAtEnd && !ec;
}

// One pass over a folder for both its drawings and its sub-folders, each
// ordered as the folder lists show them. The kind of an entry comes with the
// listing on most systems; only links are looked through.
std::optional<Listing> listFolder(const std::filesystem::path& folder, const WalkRules& rules, bool withSubfolders) {
  std::optional<std::vector<FolderEntry>> entries = listFolderEntries(folder);
  if (!entries) return std::nullopt;
  Listing out;
  std::vector<std::string> drawingNames, subfolderNames;
  for (FolderEntry& entry : *entries) {
    const bool isFolder = leadsToFolder(folder, entry);
    const bool link = entry.kind == FolderEntry::Kind::kLink;
    if (!isFolder) {
      std::string name = utf8FromPath(entry.name);
      if (!rules.isDrawing(name)) continue;
      drawingNames.push_back(std::move(name));
      out.drawings.push_back({std::move(entry.name), link});
    } else if (withSubfolders) {
      subfolderNames.push_back(utf8FromPath(entry.name));
      out.subfolders.push_back({folder / entry.name, link});
    }
  }
  sortByName(out.drawings, std::move(drawingNames));
  sortByName(out.subfolders, std::move(subfolderNames));
  return out;
}

// The real folder a path leads to, links resolved; the path as given when
// it cannot be resolved.
std::filesystem::path realFolder(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::path real = std::filesystem::canonical(folder, ec);
  return ec ? folder : real;
}

std::string keyOfReal(std::filesystem::path real) {
#ifdef _WIN32
  return upperCase(utf8FromPath(real.make_preferred()));
#else
  return utf8FromPath(real);
#endif
}

// The key of a sub-folder of a location whose real folder is `realTop`.
// Resolved once for the location: a sub-folder that is no link is its
// real folder's entry of that name. On Windows, where the listing tells no
// links (nor junctions) apart, each is resolved.
std::string subfolderKey(const std::filesystem::path& realTop, const Subfolder& sub) {
#ifdef _WIN32
  (void)realTop;
  return realFolderKey(sub.path);
#else
  return sub.link ? realFolderKey(sub.path) : keyOfReal(realTop / sub.path.filename());
#endif
}

class Walker {
 public:
  explicit Walker(const WalkRules& rules) : rules_(rules) {}

  // False when the walk stops here.
  bool walkLocation(const std::string& entry) {
    WalkedLocation& walked = walk.locations.emplace_back();
    walked.location = parseLocation(entry);
    const std::filesystem::path top = walked.location.path();
    const bool subfolders = walked.location.withSubfolders();
    // The sub-folders come from the same listing as the drawings; a
    // location reached before still has its sub-folders walked, since a
    // "+" may follow a "-" of the same folder.
    std::optional<Listing> listing = listFolder(top, rules_, subfolders);
    if (!listing) return unlisted(top);
    const std::filesystem::path realTop = realFolder(top);
    if (!take(walked, top, keyOfReal(realTop), std::move(listing->drawings))) return false;
    for (const auto& sub : listing->subfolders) {
      auto inside = listFolder(sub.path, rules_, false);
      if (!inside) {
        if (!unlisted(sub.path)) return false;
        continue;
      }
      if (!take(walked, sub.path, subfolderKey(realTop, sub), std::move(inside->drawings))) return false;
    }
    return true;
  }

  FolderWalk walk;

 private:
  bool unlisted(const std::filesystem::path& folder) {
    walk.unlisted.push_back(folder);
    return !rules_.stopAtUnlisted;
  }

  bool take(WalkedLocation& walked, const std::filesystem::path& folder, std::string key,
            std::vector<WalkedDrawing> drawings) {
    const bool repeat = !seen_.insert(key).second;
    if (repeat && !rules_.listRepeats) return true;
    WalkedFolder& out = walked.folders.emplace_back();
    out.folder = folder;
    out.repeat = repeat;
    out.key = std::move(key);
    out.drawings = std::move(drawings);
    if (repeat) return true;
    walk.drawings += static_cast<int>(out.drawings.size());
    if (rules_.maxDrawings >= 0 && walk.drawings > rules_.maxDrawings) {
      walk.tooMany = true;
      return false;
    }
    return true;
  }

  const WalkRules& rules_;
  std::set<std::string> seen_;
};

}  // namespace

std::string realFolderKey(const std::filesystem::path& folder) { return keyOfReal(realFolder(folder)); }

bool isDwgName(std::string_view name) {
  if (name.size() < 4) return false;
  const std::string_view ext = name.substr(name.size() - 4);
  return ext[0] == '.' && lowerAscii(ext[1]) == 'd' && lowerAscii(ext[2]) == 'w' && lowerAscii(ext[3]) == 'g';
}

FolderWalk walkFolders(const std::vector<std::string>& entries, const WalkRules& rules) {
  Walker walker(rules);
  for (const std::string& entry : entries)
    if (!walker.walkLocation(entry)) break;
  return std::move(walker.walk);
}

}  // namespace veldra
