#include "run/collected_type.h"

#include <system_error>

#include "app/textfile.h"

namespace veldra {

std::optional<std::string> readCollectedType(const Workspace& ws, std::string_view project) {
  const auto content = readTextFile(ws.collectedTypeFile(project));
  if (!content) return std::nullopt;
  const auto lines = splitLines(*content);
  if (lines.size() != 1 || lines.front().size() < 2) return std::nullopt;
  const std::string& line = lines.front();
  if (line.front() != '"' || line.back() != '"') return std::nullopt;
  return line.substr(1, line.size() - 2);
}

void forgetCollectedType(const Workspace& ws, std::string_view project) {
  std::error_code ec;
  std::filesystem::remove(ws.collectedTypeFile(project), ec);
}

bool rememberCollectedType(const Workspace& ws, std::string_view project, std::string_view type) {
  bool oneLine = true;
  for (const char c : type)
    if (c == '\r' || c == '\n') oneLine = false;
  if (oneLine && replaceFile(ws.collectedTypeFile(project), quotedLine(type))) return true;
  forgetCollectedType(ws, project);
  return false;
}

std::string collectedTypeNotice(std::string_view collected, std::string_view chosen) {
  return "Collected with " + std::string(collected) + ": collect again to compare " + std::string(chosen) + ".";
}

}  // namespace veldra
