#pragma once

// Packs sections into a paged container (AC1018, AC1024, AC1027, AC1032)
// anew, with the writer's own container code: every page one literal run and
// every check value right. It lets fuzzing and tests alter decoded sections
// and hand them back validly.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace veldra::dwgwrite {

struct PackedSection {
  std::string name;  // e.g. "AcDb:Header"
  std::vector<std::uint8_t> data;
};

// The drawing of `sections` in the version, maintenance release and code page
// of `original`; empty when `original` is shorter than a file header or of a
// version the writer does not write. A preview section given is stored as
// given, else an empty one is added.
std::vector<std::uint8_t> repackR2004(std::span<const std::uint8_t> original,
                                      const std::vector<PackedSection>& sections);

// One literal run and the end mark: a valid compressed stream for `data`,
// padded with zeros to the four bytes the shortest run holds.
std::vector<std::uint8_t> literalStream(std::span<const std::uint8_t> data);

}  // namespace veldra::dwgwrite
