#pragma once

// Drawings the test writer makes, for tests of what the reader gives back:
// a plan the writer refuses, or a header the probe cannot read, fails the
// test that asked for it.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "drawing_probe.h"
#include "dwgwrite/dwg_writer.h"

namespace veldra::dwg::testbytes {

// Values a writer must carry through as they are.
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kInf = std::numeric_limits<double>::infinity();

inline std::vector<std::uint8_t> written(const dwgwrite::DrawingSpec& plan) {
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(dwgwrite::writeDrawing(plan, bytes), "");
  return bytes;
}

inline probe::HeaderFacts headerOf(const std::vector<std::uint8_t>& file) {
  detail::Sections sections;
  const Status status = probe::sectionsOf(file, sections);
  EXPECT_TRUE(status.ok()) << status.message;
  probe::HeaderFacts facts = probe::readHeader(sections, probe::releaseOf(file));
  EXPECT_TRUE(facts.ok);
  return facts;
}

}  // namespace veldra::dwg::testbytes
