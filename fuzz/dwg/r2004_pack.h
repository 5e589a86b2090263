#pragma once

// Packs sections into an R2004-family container (AC1018, AC1024, AC1027,
// AC1032) from scratch, every page compressed as one literal run and every
// check value right: the file header and its encrypted part taken over from
// a drawing, then one data page per 0x7400 bytes of each section, the
// section map and the page map. What the reader needs of a container, and no
// more: it lets fuzzing alter decoded sections and hand them back validly.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace veldra::dwg::fuzzing {

struct PackedSection {
  std::string name;  // e.g. "AcDb:Header"
  std::vector<std::uint8_t> data;
};

// `original` gives the first 0x100 bytes (version, maintenance release, the
// encrypted header); empty when it has fewer.
std::vector<std::uint8_t> packR2004(std::span<const std::uint8_t> original, const std::vector<PackedSection>& sections);

// One literal run and the end mark: a valid compressed stream for `data`,
// which must hold at least four bytes.
std::vector<std::uint8_t> literalStream(std::span<const std::uint8_t> data);

}  // namespace veldra::dwg::fuzzing
