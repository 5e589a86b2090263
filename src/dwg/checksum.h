#pragma once

// The check values the format stores: the 16-bit CRC of the R13-R2000
// sections, of every object map block and of every object; the page
// checksum of R2004 and later pages; the CRC-32 of the R2004 file header.
// Each is computed in one pass over the bytes, from a table.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace veldra::dwg::detail {

// The starting value of the CRC of sections, object map blocks and objects.
inline constexpr std::uint16_t kSectionCrcSeed = 0xC0C1;

// CRC-16 with the reflected polynomial 0xA001.
std::uint16_t crc16(std::span<const std::uint8_t> data, std::uint16_t seed);

// The checksum of R2004 and later pages: two sums modulo 0xFFF1 started
// from the halves of `seed`, folded every 0x15B0 bytes.
std::uint32_t pageChecksum(std::uint32_t seed, std::span<const std::uint8_t> data);

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

// The common CRC-32 (reflected polynomial 0xEDB88320, inverted before and after).
std::uint32_t crc32(std::span<const std::uint8_t> data);

}  // namespace veldra::dwg::detail
