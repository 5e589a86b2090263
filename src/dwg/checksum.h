#pragma once

// The check values the format stores: the 16-bit CRC of the R13-R2000
// sections, of every object map block and of every object; the page
// checksum of R2004 and later pages; the CRC-32 of the R2004 file header.
// Each is computed in one pass over the bytes, from a table.

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

// The common CRC-32 (reflected polynomial 0xEDB88320, inverted before and after).
std::uint32_t crc32(std::span<const std::uint8_t> data);

}  // namespace veldra::dwg::detail
