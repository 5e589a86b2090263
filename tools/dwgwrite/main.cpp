// veldra-dwgwrite: writes a small AC1015 drawing with a chosen creation date
// and chosen entities (see --help).

#include <charconv>
#include <cmath>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "dwgwrite/dwg_writer.h"

namespace {

constexpr const char* kUsage =
    "Usage: veldra-dwgwrite OUT.dwg [--date DATE] [--entity ENTITY]... [--entities FILE]\n"
    "\n"
    "Writes an AC1015 (R2000) drawing.\n"
    "\n"
    "  --date DATE        the stored creation date TDCREATE (universal time), either\n"
    "                     DAYS.FRACTION (a Julian date such as 2459632.432673611,\n"
    "                     rounded to the millisecond) or DAYS:MILLISECONDS\n"
    "                     (such as 2459632:37383000). Default 2451545:0.\n"
    "  --entity ENTITY    one entity, or a run of entities with consecutive handles:\n"
    "                     TYPE:HANDLE[:paper] or TYPE:FIRST-LAST[:paper]. TYPE is\n"
    "                     LINE, CIRCLE, ARC, POINT or TEXT; handles are hexadecimal\n"
    "                     (such as 28E), non-zero and unique; \":paper\" puts the\n"
    "                     entity in paper space, else it goes to model space.\n"
    "  --entities FILE    entities from a text file, one ENTITY a line as above;\n"
    "                     blank lines and lines starting with # are skipped.\n"
    "\n"
    "Entities keep the order given within each space. The writer's own objects\n"
    "take the lowest handles that no entity uses.\n";

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

// DAYS.FRACTION or DAYS:MILLISECONDS. The fraction is read digit by digit
// so that the milliseconds do not suffer from binary rounding.
std::string parseDate(std::string_view text, veldra::dwgwrite::DrawingSpec& spec) {
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
  spec.days = static_cast<std::int32_t>(days);
  spec.milliseconds = static_cast<std::int32_t>(ms);
  return "";
}

std::string parseEntity(std::string_view text, veldra::dwgwrite::DrawingSpec& spec) {
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
    spec.entities.push_back({type, h, paper});
    if (h == to) break;
  }
  return "";
}

std::string parseEntityFile(const std::string& file, veldra::dwgwrite::DrawingSpec& spec) {
  std::ifstream in(file);
  if (!in) return "cannot read " + file;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    const auto start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    if (std::string problem = parseEntity(std::string_view(line).substr(start), spec); !problem.empty()) {
      return file + " line " + std::to_string(number) + ": " + problem;
    }
  }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    std::cout << kUsage;
    return 0;
  }
  veldra::dwgwrite::DrawingSpec spec;
  spec.days = 2451545;
  std::string out;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string problem;
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--date" || arg == "--entity" || arg == "--entities") {
      if (i + 1 >= args.size()) {
        std::cerr << "veldra-dwgwrite: " << arg << " needs a value\n";
        return 2;
      }
      const std::string& value = args[++i];
      if (arg == "--date") {
        problem = parseDate(value, spec);
      } else if (arg == "--entity") {
        problem = parseEntity(value, spec);
      } else {
        problem = parseEntityFile(value, spec);
      }
    } else if (!arg.empty() && arg[0] != '-' && out.empty()) {
      out = arg;
    } else {
      problem = "unexpected argument \"" + arg + "\"";
    }
    if (!problem.empty()) {
      std::cerr << "veldra-dwgwrite: " << problem << "\n";
      return 2;
    }
  }
  if (out.empty()) {
    std::cerr << "veldra-dwgwrite: no output file given\n" << kUsage;
    return 2;
  }
  if (std::string problem = veldra::dwgwrite::writeDrawingFile(out, spec); !problem.empty()) {
    std::cerr << "veldra-dwgwrite: " << problem << "\n";
    return 1;
  }
  return 0;
}
