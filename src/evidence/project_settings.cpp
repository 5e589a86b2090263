#include "evidence/project_settings.h"

#include <system_error>

#include "app/textfile.h"
#include "evidence/evidence_run.h"
#include "projects/project_store.h"

namespace veldra::evidence {

namespace {

constexpr std::string_view kTemplate = "template";
constexpr std::string_view kAgainst = "against";
constexpr std::string_view kIgnoreAuthor = "ignore-author";
constexpr std::string_view kTerm = "term";

// Tabs and line breaks cannot be part of a value: they would split it.
std::string oneLine(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return text;
}

std::filesystem::path pathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace

std::filesystem::path projectSettingsFile(const Workspace& workspace, const std::string& project) {
  return workspace.path({kStoreFolder, project + ".settings"});
}

std::string formatProjectSettings(const EvidenceSettings& settings) {
  std::string out;
  auto line = [&](std::string_view key, const std::string& value) {
    const std::string v = oneLine(value);
    if (v.empty()) return;
    out.append(key).append("\t").append(v).append("\n");
  };
  for (const auto& t : settings.templates) line(kTemplate, utf8Path(t));
  for (const auto& a : settings.against) line(kAgainst, a);
  for (const auto& n : settings.ignoredAuthors) line(kIgnoreAuthor, n);
  line(kTerm, settings.term);
  return out;
}

EvidenceSettings parseProjectSettings(std::string_view text) {
  EvidenceSettings settings;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, tab);
    const std::string value(line.substr(tab + 1));
    if (value.empty()) continue;
    if (key == kTemplate) settings.templates.push_back(pathFromUtf8(value));
    else if (key == kAgainst) settings.against.push_back(value);
    else if (key == kIgnoreAuthor) settings.ignoredAuthors.push_back(value);
    else if (key == kTerm) settings.term = value;
  }
  return settings;
}

EvidenceSettings loadProjectSettings(const Workspace& workspace, const std::string& project, std::string* error) {
  if (projectNameProblem(project)) return {};
  const auto file = projectSettingsFile(workspace, project);
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return {};
  const auto text = readWholeFile(file);
  if (!text) {
    if (error) *error = "cannot read " + utf8Path(file);
    return {};
  }
  return parseProjectSettings(*text);
}

bool saveProjectSettings(const Workspace& workspace, const std::string& project, const EvidenceSettings& settings,
                         std::string* error) {
  if (const auto problem = projectNameProblem(project)) {
    if (error) *error = "the project name cannot be used: " + *problem;
    return false;
  }
  const auto file = projectSettingsFile(workspace, project);
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  return replaceFile(file, formatProjectSettings(settings), error);
}

}  // namespace veldra::evidence
