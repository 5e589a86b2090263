#include "projects/folder_listing.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "app/utf8_text.h"
#include "platform/platform.h"
#include "projects/folder_plan.h"
#include "projects/folder_walk.h"

namespace veldra {

bool isFileOrUnknown(const std::filesystem::directory_entry& entry) {
  std::error_code ec;
  if (entry.is_regular_file(ec) || ec) return true;
  // Anything else but a folder (a pipe, a device, a link to one, a link
  // that leads nowhere) is listed too, never passed over without a word.
  return !entry.is_directory(ec) || ec;
}

bool lessIgnoringCase(std::string_view a, std::string_view b) { return compareIgnoringCase(a, b) < 0; }

std::optional<std::vector<std::string>> listDrawings(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return std::nullopt;
  std::vector<std::string> names;
  for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) return std::nullopt;
    if (!isFileOrUnknown(*it)) continue;
    std::string name = utf8FromPath(it->path().filename());
    if (isDwgName(name)) names.push_back(std::move(name));
  }
  if (ec) return std::nullopt;
  std::stable_sort(names.begin(), names.end(),
                   [](const std::string& a, const std::string& b) { return lessIgnoringCase(a, b); });
  return names;
}

std::optional<std::vector<std::filesystem::path>> listSubfolders(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return std::nullopt;
  std::vector<std::filesystem::path> folders;
  for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) return std::nullopt;
    std::error_code typeError;
    if (it->is_directory(typeError)) folders.push_back(it->path());
  }
  if (ec) return std::nullopt;
  std::stable_sort(folders.begin(), folders.end(),
                   [](const std::filesystem::path& a, const std::filesystem::path& b) {
                     return lessIgnoringCase(utf8FromPath(a.filename()), utf8FromPath(b.filename()));
                   });
  return folders;
}

std::filesystem::path LocationEntry::path() const { return pathFromUtf8(folder); }

LocationEntry parseLocation(std::string_view entry) {
  LocationEntry location;
  if (entry.empty()) return location;
  location.mark = entry.front();
  location.folder = std::string(entry.substr(1));
  return location;
}

std::string joinFolderAndName(std::string_view folder, std::string_view name) {
  std::string path(folder);
  const bool endsInSeparator =
      !path.empty() && (path.back() == '/' ||
                        path.back() == static_cast<char>(std::filesystem::path::preferred_separator));
  if (!endsInSeparator) path += static_cast<char>(std::filesystem::path::preferred_separator);
  path += name;
  return path;
}

std::optional<int> countDrawingsOrStop(const std::vector<std::string>& entries) {
  const FolderPlan plan = planFolders(entries);
  if (!plan.whole()) return std::nullopt;
  return plan.drawings;
}

std::string fourDigits(long long value) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  return value < 0 ? "-" + digits : digits;
}

}  // namespace veldra
