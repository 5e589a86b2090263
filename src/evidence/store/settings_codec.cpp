#include "evidence/store/settings_codec.h"

#include <charconv>
#include <vector>

#include "evidence/store/byte_form.h"
#include "platform/platform.h"

namespace veldra::evidence {

namespace {

// Read back at LF alone, the exact inverse of writing (a line reader of
// text files would also cut at a CR a file name may hold).
std::string listColumn(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& item : items) out += item + "\n";
  return out;
}

std::vector<std::string> listItems(std::string_view column) {
  std::vector<std::string> out;
  while (!column.empty()) {
    const std::size_t end = column.find('\n');
    out.emplace_back(column.substr(0, end));
    if (end == std::string_view::npos) break;
    column.remove_prefix(end + 1);
  }
  return out;
}

}  // namespace

SettingsRow settingsRow(const EvidenceSettings& s) {
  std::vector<std::string> templates;
  for (const auto& t : s.templates) templates.push_back(utf8Path(t));
  return SettingsRow{listColumn(templates), listColumn(s.against), listColumn(s.ignoredAuthors), s.term,
                     checkedThresholds(s.thresholds)};
}

EvidenceSettings settingsOfRow(const SettingsRow& row) {
  EvidenceSettings s;
  for (const auto& t : listItems(row.templates)) s.templates.push_back(pathFromUtf8(t));
  s.against = listItems(row.against);
  s.ignoredAuthors = listItems(row.ignored);
  s.term = row.term;
  s.thresholds = checkedThresholds(row.thresholds);
  return s;
}

void writeSettings(ByteWriter& w, const EvidenceSettings& s) {
  w.list(s.templates, [&](const std::filesystem::path& p) { w.path(p); });
  w.list(s.against, [&](const std::string& t) { w.text(t); });
  w.list(s.ignoredAuthors, [&](const std::string& t) { w.text(t); });
  w.text(s.term);
  w.number(s.tolerance.length);
  w.number(s.tolerance.angle);
  w.integer(s.thresholds.copy);
  w.integer(s.thresholds.likelyCopy);
}

EvidenceSettings readSettings(ByteReader& r) {
  EvidenceSettings s;
  s.templates = r.list<std::filesystem::path>([&] { return r.path(); });
  s.against = r.list<std::string>([&] { return r.text(); });
  s.ignoredAuthors = r.list<std::string>([&] { return r.text(); });
  s.term = r.text();
  s.tolerance.length = r.number();
  s.tolerance.angle = r.number();
  s.thresholds.copy = r.small();
  s.thresholds.likelyCopy = r.small();
  return s;
}

std::string featureScheme(const Tolerance& tolerance) {
  // Shortest texts that read back as the same numbers.
  auto number = [](double v) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
    return std::string(buffer, end);
  };
  return std::to_string(kFeatureVersion) + " " + number(tolerance.length) + " " + number(tolerance.angle);
}

}  // namespace veldra::evidence
