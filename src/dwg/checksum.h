#pragma once

// The check values the format stores: the 16-bit CRC of the R13-R2000
// sections, of every object map block and of every object; the page
// checksum of R2004 and later pages; the CRC-32 of the R2004 file header.
// Each is computed in one pass over the bytes, from a table.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "veldra/dwg/layout.h"

namespace veldra::dwg::detail {

using layout::crc16;
using layout::crc32;
using layout::kSectionCrcSeed;
using layout::pageChecksum;

// How many times each byte of a 16-byte block enters the second of the two
// page checksum sums: 16 for the byte summed first, 1 for the last.
using BlockWeights = std::array<std::uint16_t, 16>;

// Adds `blocks` blocks of 16 bytes to the two sums of a page checksum: each
// block adds its bytes to the first sum, and to the second sixteen times the
// first as it was plus each byte times its weight. Both page checksums sum
// through this, whatever order they take the bytes of a block in. At most
// 0x15B0 bytes between reductions of the sums.
void addWeightedBlocks(const std::uint8_t* p, std::size_t blocks, const BlockWeights& weights, std::uint64_t& sum1,
                       std::uint64_t& sum2);

}  // namespace veldra::dwg::detail
