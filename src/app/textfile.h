#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veldra {

inline constexpr std::string_view kLineEnd = "\r\n";

// A text enclosed in double quotes and ended by CR LF, as every list, record
// and report file of the workspace stores its lines.
std::string quotedLine(std::string_view text);

// The whole content of a file, or nothing when it cannot be opened or read.
std::optional<std::string> readWholeFile(const std::filesystem::path& file);

// The content of a list, record or report file as UTF-8 text, the
// encoding this program writes them in on every system. Lines that older
// single-byte programs wrote on Windows are read in the system's ANSI code
// page (see textFromStoredBytes). Nothing when it cannot be read.
std::optional<std::string> readTextFile(const std::filesystem::path& file);

// Lines as a line reader returns them: ended by CR LF, LF or CR; a last line
// without an end counts when it is not empty.
std::vector<std::string> splitLines(std::string_view content);

// Items as a reader of comma-delimited quoted fields returns them: a quoted
// item runs to its closing quote (commas inside are kept); an unquoted item
// runs to the next comma or line end. Leading blanks are skipped.
std::vector<std::string> splitItems(std::string_view content);

// Replaces a file whole: the content goes to a temporary file in the same
// folder, which is then renamed over the old file, so a failed write leaves
// the old file as it was. Returns false (with a reason) when it failed.
bool replaceFile(const std::filesystem::path& file, std::string_view content,
                 std::string* error = nullptr);

// Appends to a file, creating it when absent.
bool appendToFile(const std::filesystem::path& file, std::string_view content,
                  std::string* error = nullptr);

// Creates the file empty when it is absent; leaves an existing one alone.
bool touchFile(const std::filesystem::path& file);

}  // namespace veldra
