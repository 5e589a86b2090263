#pragma once

// Drawings as bytes for tests that alter them: the sample drawings beside the
// repository (empty when absent) and drawings made by the test writer, and
// the raw fields of the R13-R2000 file header.

#include <cstdint>
#include <string>
#include <vector>

#include "dwgwrite/dwg_writer.h"
#include "support/temp_dir.h"

namespace veldra::dwg::testbytes {

using Bytes = std::vector<std::uint8_t>;

inline Bytes loadSample(const std::string& name) {
  const auto dir = veldra::testing::sharedDrawings();
  if (dir.empty()) return {};
  const std::string text = veldra::testing::slurp(dir / name);
  return Bytes(text.begin(), text.end());
}

// An AC1015 drawing: ten lines in model space (handles 100 to 109), a
// circle and a text in paper space.
inline Bytes writerDrawing() {
  dwgwrite::DrawingSpec plan{2459632, 37383000, {}};
  for (std::uint64_t h = 0x100; h < 0x10A; ++h) plan.entities.push_back({"LINE", h, false});
  plan.entities.push_back({"CIRCLE", 0x200, true});
  plan.entities.push_back({"TEXT", 0x201, true});
  Bytes bytes;
  dwgwrite::writeDrawing(plan, bytes);
  return bytes;
}

inline std::uint32_t getRL(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

inline void putRL(Bytes& b, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// R13-R2000: where section `number` (0 header, 1 classes, 2 object map)
// lies, from its locator.
struct Place {
  std::size_t locator = 0;  // file offset of the locator
  std::size_t seeker = 0;
  std::size_t size = 0;
};

inline Place r13Section(const Bytes& b, std::uint8_t number) {
  const std::uint32_t count = getRL(b, 0x15);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t at = 0x19 + 9 * i;
    if (b[at] == number) return {at, getRL(b, at + 1), getRL(b, at + 5)};
  }
  return {};
}

}  // namespace veldra::dwg::testbytes
