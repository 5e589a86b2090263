#pragma once

// Drawings as bytes for tests that alter them: the sample drawings beside the
// repository (empty when absent) and drawings made by the writer, the raw
// fields of the R13-R2000 file header, and where an object lies.

#include <cstdint>
#include <string>
#include <vector>

#include "bit_reader.h"
#include "checksum.h"
#include "dwgwrite/dwg_writer.h"
#include "format.h"
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

// R13-R2000: the offset of the object with `handle`, through the reader's
// own map; 0 when there is none.
inline std::size_t objectOffset(const Bytes& bytes, std::uint64_t handle) {
  detail::Sections sections;
  detail::ObjectMap map;
  std::vector<Damage> damage;
  if (!detail::readR13Sections(bytes, sections).ok() || !detail::readObjectMap(sections, map, damage).ok()) return 0;
  const auto it = map.find(handle);
  return it == map.end() ? 0 : static_cast<std::size_t>(it->second);
}

// Where the CRC of the object at `offset` lies: after its MS size and data.
inline std::size_t objectCrcAt(const Bytes& bytes, std::size_t offset) {
  detail::BitReader r(bytes, offset * 8, bytes.size() * 8);
  const std::uint64_t size = r.readMS();
  return static_cast<std::size_t>(r.position() / 8 + size);
}

inline void refreshObjectCrc(Bytes& bytes, std::size_t offset) {
  const std::size_t crcAt = objectCrcAt(bytes, offset);
  const std::uint16_t crc = detail::crc16(std::span(bytes).subspan(offset, crcAt - offset), detail::kSectionCrcSeed);
  bytes[crcAt] = static_cast<std::uint8_t>(crc & 0xFF);
  bytes[crcAt + 1] = static_cast<std::uint8_t>(crc >> 8);
}

}  // namespace veldra::dwg::testbytes
