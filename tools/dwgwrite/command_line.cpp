#include "dwgwrite/command_line.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>

#include "dwgwrite/r12_writer.h"

namespace veldra::dwgwrite {

namespace {

bool parseHex(std::string_view text, std::uint64_t& out) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out, 16);
  return ec == std::errc() && end == text.data() + text.size();
}

bool parseInt(std::string_view text, std::int64_t& out) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

// DAYS.FRACTION or DAYS:MILLISECONDS. The fraction is read digit by digit
// so that the milliseconds do not suffer from binary rounding.
std::string parseDate(std::string_view text, DrawingSpec& plan) {
  const std::string bad = "bad date \"" + std::string(text) + "\"";
  std::int64_t days = 0;
  std::int64_t ms = 0;
  if (const auto colon = text.find(':'); colon != std::string_view::npos) {
    if (!parseInt(text.substr(0, colon), days) || !parseInt(text.substr(colon + 1), ms)) return bad;
  } else {
    const auto dot = text.find('.');
    if (!parseInt(text.substr(0, dot), days)) return bad;
    if (dot != std::string_view::npos) {
      const std::string_view digits = text.substr(dot + 1);
      if (digits.empty() || digits.size() > 18) return bad;
      long double fraction = 0;
      long double scale = 1;
      for (char c : digits) {
        if (c < '0' || c > '9') return bad;
        scale /= 10;
        fraction += (c - '0') * scale;
      }
      ms = std::llround(fraction * 86400000.0L);
      if (ms == 86400000) {
        ms = 0;
        ++days;
      }
    }
  }
  if (days < 0 || days > INT32_MAX || ms < 0 || ms >= 86400000) return bad;
  plan.days = static_cast<std::int32_t>(days);
  plan.milliseconds = static_cast<std::int32_t>(ms);
  return "";
}

std::string parseEntity(std::string_view text, DrawingSpec& plan) {
  const std::string bad = "bad entity \"" + std::string(text) + "\" (TYPE:HANDLE[:paper])";
  const auto first = text.find(':');
  if (first == std::string_view::npos) return bad;
  const std::string type(text.substr(0, first));
  std::string_view rest = text.substr(first + 1);
  bool paper = false;
  if (const auto second = rest.find(':'); second != std::string_view::npos) {
    const std::string_view space = rest.substr(second + 1);
    if (space == "paper") {
      paper = true;
    } else if (space != "model") {
      return bad;
    }
    rest = rest.substr(0, second);
  }
  std::uint64_t from = 0;
  std::uint64_t to = 0;
  if (const auto dash = rest.find('-'); dash != std::string_view::npos) {
    if (!parseHex(rest.substr(0, dash), from) || !parseHex(rest.substr(dash + 1), to) || to < from) return bad;
    if (to - from >= 10000000) return "too many entities in \"" + std::string(text) + "\"";
  } else {
    if (!parseHex(rest, from)) return bad;
    to = from;
  }
  for (std::uint64_t h = from;; ++h) {
    plan.entities.push_back({type, h, paper});
    if (h == to) break;
  }
  return "";
}

std::string parseEntityFile(const std::string& file, DrawingSpec& plan) {
  std::ifstream in(file);
  if (!in) return "cannot read " + file;
  DrawingSpec read;  // appended to `plan` only when the whole file is good
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    const auto start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    if (std::string problem = parseEntity(std::string_view(line).substr(start), read); !problem.empty()) {
      return file + " line " + std::to_string(number) + ": " + problem;
    }
  }
  if (in.bad()) return "cannot read " + file;
  plan.entities.insert(plan.entities.end(), read.entities.begin(), read.entities.end());
  return "";
}

}  // namespace veldra::dwgwrite

namespace veldra::dwgwrite {

std::string parseOption(std::string_view option, std::string_view value, DrawingSpec& plan, bool& known) {
  known = true;
  const std::string text(value);
  if (option == "version") {
    for (const auto* versions : {&knownOldVersions(), &knownVersions()}) {
      if (std::find(versions->begin(), versions->end(), value) != versions->end()) {
        plan.version = text;
        return "";
      }
    }
    return "unknown version \"" + text + "\" (AC1.40 to AC1009, AC1012, AC1014, AC1015, AC1018, AC1024, AC1027 or AC1032)";
  }
  if (option == "updated" || option == "editing-time") {
    DrawingSpec parsed;
    if (std::string problem = parseDate(value, parsed); !problem.empty()) return problem;
    (option == "updated" ? plan.updated : plan.editingTime) = Stamp{parsed.days, parsed.milliseconds};
    return "";
  }
  if (option == "handseed") {
    std::uint64_t seed = 0;
    if (!parseHex(value, seed)) return "bad handle \"" + text + "\"";
    plan.handseed = seed;
    return "";
  }
  if (option == "fingerprint-guid" || option == "version-guid") {
    (option == "fingerprint-guid" ? plan.fingerprintGuid : plan.versionGuid) = text;
    return "";
  }
  if (option == "layer") {
    if (value.empty()) return "a layer needs a name";
    plan.layers.push_back(text);
    return "";
  }
  if (option == "summary") {
    const auto equals = value.find('=');
    if (equals == std::string_view::npos) return "bad summary \"" + text + "\" (FIELD=TEXT)";
    std::string field(value.substr(0, equals));
    for (char& c : field) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    SummaryInfoSpec& s = plan.summaryInfo;
    const std::pair<const char*, std::string*> fields[] = {
        {"title", &s.title},           {"subject", &s.subject},         {"author", &s.author},
        {"keywords", &s.keywords},     {"comments", &s.comments},       {"lastsavedby", &s.lastSavedBy},
        {"revisionnumber", &s.revisionNumber}, {"hyperlinkbase", &s.hyperlinkBase}};
    for (const auto& [name, target] : fields) {
      if (field == name) {
        *target = std::string(value.substr(equals + 1));
        return "";
      }
    }
    return "unknown summary field \"" + field + "\"";
  }
  if (option == "preview") {
    std::ifstream in(text, std::ios::binary);
    if (!in) return "cannot read " + text;
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::string extension = std::filesystem::path(text).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".bmp") {
      constexpr std::size_t kFileHeader = 14;
      if (bytes.size() <= kFileHeader || bytes[0] != 'B' || bytes[1] != 'M') return text + " is no BMP file";
      bytes.erase(bytes.begin(), bytes.begin() + kFileHeader);
      plan.preview = {PreviewFormat::kBmp, std::move(bytes)};
    } else if (extension == ".png") {
      plan.preview = {PreviewFormat::kPng, std::move(bytes)};
    } else if (extension == ".wmf") {
      plan.preview = {PreviewFormat::kWmf, std::move(bytes)};
    } else {
      return "a preview must be a .bmp, .png or .wmf file";
    }
    return "";
  }
  known = false;
  return "";
}

}  // namespace veldra::dwgwrite
