#include "app/settings.h"

#include <charconv>

#include "app/textfile.h"

namespace veldra {

std::optional<int> parseSettingLine(std::string_view line) {
  if (line.empty()) return std::nullopt;
  int value = 0;
  const char* first = line.data();
  const char* last = line.data() + line.size();
  const auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || end != last) return std::nullopt;
  return value;
}

std::optional<int> readSetting(const Workspace& ws, std::string_view fileName, int defaultValue) {
  const auto content = readWholeFile(ws.settingsFile(fileName));
  if (!content) return defaultValue;
  const auto lines = splitLines(*content);
  if (lines.empty()) return std::nullopt;
  return parseSettingLine(lines.front());
}

bool writeSetting(const Workspace& ws, std::string_view fileName, int value) {
  std::string line = std::to_string(value);
  line += kLineEnd;
  return replaceFile(ws.settingsFile(fileName), line).ok();
}

}  // namespace veldra
