#pragma once

// The check values of the paged layout (R2004 and later). The CRC-16 of the
// sections sits beside the bit writer.

#include <cstdint>
#include <span>

namespace veldra::dwgwrite::detail {

// The standard CRC-32 (reflected polynomial 0xEDB88320), as the encrypted
// file header stores it over itself with its own field zeroed.
std::uint32_t crc32(std::span<const std::uint8_t> data);

// The 32-bit sum every page carries: two sums modulo 0xFFF1 started from
// the seed's halves, reduced every 0x15B0 bytes.
std::uint32_t pageChecksum(std::uint32_t seed, std::span<const std::uint8_t> data);

}  // namespace veldra::dwgwrite::detail
