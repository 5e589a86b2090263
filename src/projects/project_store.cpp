#include "projects/project_store.h"

#include <system_error>

#include "app/textfile.h"

namespace veldra {

std::vector<std::string> parseQuotedList(std::string_view content) {
  std::vector<std::string> entries;
  for (const std::string& line : splitLines(content)) {
    if (line.size() < 2) continue;
    entries.push_back(line.substr(1, line.size() - 2));
  }
  return entries;
}

std::string formatQuotedList(const std::vector<std::string>& entries) {
  std::string content;
  for (const std::string& entry : entries) content += quotedLine(entry);
  return content;
}

std::optional<std::vector<std::string>> readProjects(const Workspace& ws) {
  const auto content = readTextFile(ws.projectsFile());
  if (!content) return std::nullopt;
  return parseQuotedList(*content);
}

bool ensureProjectsFile(const Workspace& ws) { return touchFile(ws.projectsFile()); }

Status appendProject(const Workspace& ws, std::string_view name) {
  return appendToFile(ws.projectsFile(), quotedLine(name));
}

Status rewriteProjects(const Workspace& ws, const std::vector<std::string>& names) {
  return replaceFile(ws.projectsFile(), formatQuotedList(names));
}

std::optional<std::vector<std::string>> readLocations(const Workspace& ws, std::string_view project) {
  if (!checkProjectName(project)) return std::nullopt;
  const auto content = readTextFile(ws.locationFile(project));
  if (!content) return std::nullopt;
  return parseQuotedList(*content);
}

Status appendLocation(const Workspace& ws, std::string_view project, std::string_view entry) {
  if (Status named = checkProjectName(project); !named) return named;
  return appendToFile(ws.locationFile(project), quotedLine(entry));
}

Status rewriteLocations(const Workspace& ws, std::string_view project, const std::vector<std::string>& entries) {
  if (Status named = checkProjectName(project); !named) return named;
  return replaceFile(ws.locationFile(project), formatQuotedList(entries));
}

std::vector<std::filesystem::path> projectFiles(const Workspace& ws, std::string_view project) {
  if (!checkProjectName(project)) return {};
  std::vector<std::filesystem::path> files{ws.locationFile(project), ws.recordFile(project),
                                           ws.collectedTypeFile(project)};
  for (const ReportPlace& reports : Workspace::kReportPlaces) files.push_back(ws.report(reports, project));
  files.push_back(ws.runMarkFile(project));
  return files;
}

void deleteProjectFiles(const Workspace& ws, std::string_view project) {
  for (const auto& file : projectFiles(ws, project)) {
    std::error_code ec;
    std::filesystem::remove(file, ec);
  }
}

bool hasRecords(const Workspace& ws, std::string_view project) {
  if (!checkProjectName(project)) return false;
  std::error_code ec;
  const auto file = ws.recordFile(project);
  if (!std::filesystem::is_regular_file(file, ec)) return false;
  const auto size = std::filesystem::file_size(file, ec);
  return !ec && size > 0;
}

namespace {

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Windows opens a device, not a file, for these names with any extension
// ("CON.prj" is the console): the part before the first dot decides, blanks
// at its end ignored, letter case too. COM and LPT go with a digit or with
// a superscript one, two or three.
bool isReservedDeviceName(std::string_view name) {
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  std::string upper(stem);
  for (char& c : upper) c = upperAscii(c);
  for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (upper == device) return true;
  if (upper.size() < 4 || (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0)) return false;
  const std::string_view number = std::string_view(upper).substr(3);
  return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\u00b9" ||
         number == "\u00b2" || number == "\u00b3";
}

}  // namespace

Status checkProjectName(std::string_view name) {
  auto refused = [](const char* why) { return Status(failure(Failure::Kind::kRefused, why)); };
  if (name.empty()) return refused("A project name cannot be empty.");
  bool onlyBlanksAndDots = true;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\') return refused("A project name cannot hold a path separator (/ or \\).");
    if (byte < 0x20 || byte == 0x7f) return refused("A project name cannot hold a control character.");
    if (std::string_view("<>:\"|?*").find(c) != std::string_view::npos)
      return refused("A project name cannot hold any of the characters < > : \" | ? *");
    if (c != ' ' && c != '.') onlyBlanksAndDots = false;
  }
  if (name.find("..") != std::string_view::npos) return refused("A project name cannot hold \"..\".");
  if (onlyBlanksAndDots) return refused("A project name cannot be made of blanks and dots only.");
  if (isReservedDeviceName(name))
    return refused("A project name cannot be a name Windows keeps for a device (CON, PRN, AUX, NUL, COM1 to COM9, "
                   "LPT1 to LPT9), alone or before a dot.");
  return {};
}

}  // namespace veldra
