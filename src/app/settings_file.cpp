#include "app/settings_file.h"

#include <cstdlib>

#include "app/textfile.h"
#include "platform/platform.h"

namespace veldra {

namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

void appendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A value as written: quoted parts, backslash escapes, commas between the
// items of a list, a semicolon starting a comment outside quotes.
std::vector<std::string> unescapedItems(std::string_view raw) {
  std::vector<std::string> items(1);
  bool quoted = false;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '\\' && i + 1 < raw.size()) {
      const char e = raw[++i];
      switch (e) {
        case 'a': items.back() += '\a'; break;
        case 'b': items.back() += '\b'; break;
        case 'f': items.back() += '\f'; break;
        case 'n': items.back() += '\n'; break;
        case 'r': items.back() += '\r'; break;
        case 't': items.back() += '\t'; break;
        case 'v': items.back() += '\v'; break;
        case 'x': {
          unsigned code = 0;
          int digits = 0;
          while (digits < 4 && i + 1 < raw.size() && hexDigit(raw[i + 1]) >= 0) {
            code = code * 16 + static_cast<unsigned>(hexDigit(raw[++i]));
            ++digits;
          }
          appendUtf8(items.back(), code);
          break;
        }
        default:
          if (e >= '0' && e <= '7') {
            unsigned code = static_cast<unsigned>(e - '0');
            for (int digits = 1; digits < 3 && i + 1 < raw.size() && raw[i + 1] >= '0' && raw[i + 1] <= '7'; ++digits)
              code = code * 8 + static_cast<unsigned>(raw[++i] - '0');
            appendUtf8(items.back(), code);
          } else {
            items.back() += e;  // \" \\ \' \? and anything else stand for themselves
          }
      }
    } else if (!quoted && c == ',') {
      items.emplace_back();
    } else if (!quoted && c == ';') {
      break;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      // Spaces around a quoted part or an item are not part of it; those
      // inside an unquoted item are.
      std::size_t next = raw.find_first_not_of(" \t", i);
      if (next == std::string_view::npos || raw[next] == ',' || raw[next] == ';' || raw[next] == '"' ||
          items.back().empty()) {
        i = (next == std::string_view::npos ? raw.size() : next) - 1;
        continue;
      }
      items.back() += c;
    } else {
      items.back() += c;
    }
  }
  return items;
}

}  // namespace

std::optional<std::string> iniTextValue(std::string_view content, std::string_view key) {
  const std::size_t slash = key.rfind('/');
  const std::string_view group = slash == std::string_view::npos ? std::string_view("General") : key.substr(0, slash);
  const std::string_view name = slash == std::string_view::npos ? key : key.substr(slash + 1);
  std::string_view section = "General";
  std::optional<std::string> found;
  std::size_t start = 0;
  while (start <= content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string_view::npos) end = content.size();
    const std::string_view line = trimmed(content.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      section = line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
      continue;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || section != group || trimmed(line.substr(0, eq)) != name) continue;
    // The last of several lines for one key wins, as when the file is read whole.
    const auto items = unescapedItems(trimmed(line.substr(eq + 1)));
    if (items.size() != 1) {
      found.reset();
      continue;
    }
    const std::string& text = items.front();
    if (text.rfind("@@", 0) == 0) found = text.substr(1);
    else if (!text.empty() && text.front() == '@') found.reset();  // a stored object, not a text
    else found = text;
  }
  return found;
}

std::vector<std::filesystem::path> settingsFiles(std::string_view organization, std::string_view application) {
  std::vector<std::filesystem::path> roots;
  const char* home = std::getenv("XDG_CONFIG_HOME");
  if (home && *home) roots.push_back(pathFromUtf8(home));
  else if (const char* user = std::getenv("HOME"); user && *user) roots.push_back(pathFromUtf8(user) / ".config");
  const char* system = std::getenv("XDG_CONFIG_DIRS");
  std::string_view dirs = system && *system ? std::string_view(system) : std::string_view("/etc/xdg");
  while (!dirs.empty()) {
    const std::size_t colon = dirs.find(':');
    const std::string_view dir = dirs.substr(0, colon);
    if (!dir.empty()) roots.push_back(pathFromUtf8(dir));
    if (colon == std::string_view::npos) break;
    dirs.remove_prefix(colon + 1);
  }
  std::vector<std::filesystem::path> files;
  const std::string org(organization), app(application);
  for (const auto& root : roots) {
    files.push_back(root / pathFromUtf8(org) / pathFromUtf8(app + ".conf"));
    files.push_back(root / pathFromUtf8(org + ".conf"));
  }
  return files;
}

std::optional<std::string> readSettingsFileValue(std::string_view organization, std::string_view application,
                                                 std::string_view key) {
  for (const auto& file : settingsFiles(organization, application)) {
    const auto content = readWholeFile(file);
    if (!content) continue;
    if (auto value = iniTextValue(*content, key)) return value;
  }
  return std::nullopt;
}

}  // namespace veldra
