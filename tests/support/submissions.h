#pragma once

// Submissions as a class hands them in: real drawings made by the test
// writer, and files that only look like drawings. Header only: a test that
// includes it links the writer (veldra_dwgwriter).

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dwgwrite/dwg_writer.h"
#include "support/temp_dir.h"

namespace veldra::testing {

// A drawing of circles with the given handles (and one line), created at
// `days` and `ms` (universal time).
inline dwgwrite::DrawingSpec circlesDrawing(std::int32_t days, std::int32_t ms, const std::vector<std::uint64_t>& circles) {
  dwgwrite::DrawingSpec plan{days, ms, {{"LINE", 0x900, false}}};
  for (const auto h : circles) plan.entities.push_back({"CIRCLE", h, false});
  return plan;
}

inline void writeDrawing(const TempDir& dir, const std::string& relative, const dwgwrite::DrawingSpec& plan) {
  std::vector<std::uint8_t> bytes;
  ASSERT_EQ(dwgwrite::writeDrawing(plan, bytes), "");
  dir.write(relative, std::string(bytes.begin(), bytes.end()));
}

// Four files in `folder` that no check can judge, in listing order:
// cut.dwg (a real drawing cut short), empty.dwg (no bytes), homework.dwg (a
// text renamed) and old.dwg (a version older than those read).
inline void writeUnreadableSubmissions(const TempDir& dir, const std::string& folder) {
  std::vector<std::uint8_t> bytes;
  ASSERT_EQ(dwgwrite::writeDrawing(circlesDrawing(2461000, 0, {0x1A0, 0x1A1}), bytes), "");
  dir.write(folder + "/cut.dwg", std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2)));
  dir.write(folder + "/empty.dwg", "");
  dir.write(folder + "/homework.dwg", "My answers to exercise 3, typed up.\n");
  dir.write(folder + "/old.dwg", std::string("AC1008") + std::string(400, '\0'));
}

// The reasons the problem list gives for them, in the same order.
inline const std::vector<std::string>& unreadableReasons() {
  static const std::vector<std::string> reasons{
      "damaged: ",  // followed by the reader's words and where
      "empty file", "not a drawing", "not read by this program: unsupported DWG version AC1008 (older than R13)"};
  return reasons;
}

}  // namespace veldra::testing
