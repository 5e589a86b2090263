#pragma once

// DXF text written group by group, for the reader's tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "veldra/dwg/evidence.h"
#include "veldra/dwg/reader.h"

namespace veldra::dwg::dxftext {

using Groups = std::vector<std::pair<int, std::string>>;

inline Groups& operator+=(Groups& a, const Groups& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline Groups operator+(Groups a, const Groups& b) { return a += b; }

inline Groups section(const std::string& name, const Groups& body) {
  return Groups{{0, "SECTION"}, {2, name}} + body + Groups{{0, "ENDSEC"}};
}

// A HEADER naming the version, with `more` variables after it.
inline Groups header(const std::string& version, const Groups& more = {}) {
  return section("HEADER", Groups{{9, "$ACADVER"}, {1, version}} + more);
}

// Each group as its code's line and its value's line.
inline std::string dxf(const Groups& groups) {
  std::string out;
  for (const auto& [code, value] : groups) out += std::to_string(code) + "\n" + value + "\n";
  return out;
}

inline std::string dxfFile(const Groups& groups) { return dxf(groups) + "0\nEOF\n"; }

// A number as it would be written, to the last digit a double holds.
inline std::string num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

inline std::span<const std::uint8_t> bytesOf(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The drawing `text` holds, which must be read.
inline Drawing readDxf(const std::string& text, ReadRequest request = {.evidence = true, .geometry = true}) {
  Drawing d;
  const Status s = readDrawing(bytesOf(text), request, d);
  EXPECT_TRUE(s.ok()) << s.message;
  return d;
}

}  // namespace veldra::dwg::dxftext
