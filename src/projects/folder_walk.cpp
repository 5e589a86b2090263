#include "projects/folder_walk.h"

#include <algorithm>
#include <optional>
#include <set>
#include <system_error>

#include "app/utf8_text.h"
#include "platform/platform.h"

namespace veldra {

namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

struct Listing {
  std::vector<WalkedDrawing> drawings;
  std::vector<std::filesystem::path> subfolders;
};

// One pass over a folder for both its drawings and its sub-folders, each
// ordered as the folder lists show them. The kind of an entry comes with the
// listing on most systems; only links are looked through.
std::optional<Listing> listFolder(const std::filesystem::path& folder, const WalkRules& rules, bool withSubfolders) {
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return std::nullopt;
  Listing out;
  for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) return std::nullopt;
    std::error_code typeError;
    if (isFileOrUnknown(*it)) {
      std::filesystem::path name = it->path().filename();
      if (rules.isDrawing(utf8FromPath(name))) out.drawings.push_back({std::move(name), it->is_symlink(typeError)});
    } else if (withSubfolders && it->is_directory(typeError)) {
      out.subfolders.push_back(it->path());
    }
  }
  if (ec) return std::nullopt;
  std::stable_sort(out.drawings.begin(), out.drawings.end(), [](const WalkedDrawing& a, const WalkedDrawing& b) {
    return lessIgnoringCase(utf8FromPath(a.name), utf8FromPath(b.name));
  });
  std::stable_sort(out.subfolders.begin(), out.subfolders.end(),
                   [](const std::filesystem::path& a, const std::filesystem::path& b) {
                     return lessIgnoringCase(utf8FromPath(a.filename()), utf8FromPath(b.filename()));
                   });
  return out;
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
    if (!take(walked, top, std::move(listing->drawings))) return false;
    for (const auto& sub : listing->subfolders) {
      auto inside = listFolder(sub, rules_, false);
      if (!inside) {
        if (!unlisted(sub)) return false;
        continue;
      }
      if (!take(walked, sub, std::move(inside->drawings))) return false;
    }
    return true;
  }

  FolderWalk walk;

 private:
  bool unlisted(const std::filesystem::path& folder) {
    walk.unlisted.push_back(folder);
    return !rules_.stopAtUnlisted;
  }

  bool take(WalkedLocation& walked, const std::filesystem::path& folder, std::vector<WalkedDrawing> drawings) {
    const bool repeat = !seen_.insert(realFolderKey(folder)).second;
    if (repeat && !rules_.listRepeats) return true;
    WalkedFolder& out = walked.folders.emplace_back();
    out.folder = folder;
    out.repeat = repeat;
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

std::string realFolderKey(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::path real = std::filesystem::canonical(folder, ec);
  if (ec) real = folder;
#ifdef _WIN32
  return upperCase(utf8FromPath(real.make_preferred()));
#else
  return utf8FromPath(real);
#endif
}

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
