#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veldra {

// Orders names the way the folder and file lists show them: ascending, letter
// case ignored (accented and other letters too; see compareIgnoringCase).
bool lessIgnoringCase(std::string_view a, std::string_view b);

// A file, or an entry that is no folder and no file (a pipe, a device, a
// link to one) or whose kind cannot be told (a link that leads nowhere or
// round in a loop): listed as a drawing, whose reading then tells why it
// cannot be read.
bool isFileOrUnknown(const std::filesystem::directory_entry& entry);

// The names (without folder, UTF-8) of the files in `folder` that match "*.dwg",
// letter case ignored, in listing order, with the other entries of such a
// name that are no folder (see isFileOrUnknown): reading them fails, and
// they are told as problem drawings. Nothing when
// the folder cannot be listed (missing, not a folder, unreadable).
std::optional<std::vector<std::string>> listDrawings(const std::filesystem::path& folder);

// The immediate sub-folders of `folder` as full paths, in listing order.
// Nothing when the folder cannot be listed.
std::optional<std::vector<std::filesystem::path>> listSubfolders(const std::filesystem::path& folder);

// A location entry: its mark ('+' the folder and its immediate sub-folders,
// anything else the folder alone) and the folder path after the mark, as the
// location file holds it (UTF-8).
struct LocationEntry {
  char mark = '-';
  std::string folder;
  bool withSubfolders() const { return mark == '+'; }
  std::filesystem::path path() const;
};
LocationEntry parseLocation(std::string_view entry);

// The full path of a file in a folder: no separator is doubled when the
// folder already ends in one (a drive or volume root).
std::string joinFolderAndName(std::string_view folder, std::string_view name);

// Largest drawing count the program keeps (a 16-bit signed number).
inline constexpr int kMaxDrawingCount = 32767;

// The count of the Locations page, the drawings a pass would visit (each real
// folder once): stops at the first folder that cannot be listed or at a total
// beyond kMaxDrawingCount, and then gives nothing (the page keeps the total
// it showed).
std::optional<int> countDrawingsOrStop(const std::vector<std::string>& entries);

// Four-digit counter form: at least four digits, zero-padded in front.
std::string fourDigits(long long value);

}  // namespace veldra
