#include "checksum.h"

#include <algorithm>
#include <array>

namespace veldra::dwg::detail {
namespace {

template <typename T>
constexpr std::array<T, 256> reflectedTable(T polynomial) {
  std::array<T, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    T c = static_cast<T>(i);
    for (int k = 0; k < 8; ++k) c = static_cast<T>((c & 1) ? (c >> 1) ^ polynomial : c >> 1);
    table[i] = c;
  }
  return table;
}

constexpr auto kCrc16Table = reflectedTable<std::uint16_t>(0xA001);
constexpr auto kCrc32Table = reflectedTable<std::uint32_t>(0xEDB88320u);

constexpr std::uint32_t kModulus = 0xFFF1;
// Bytes summed before both sums are reduced; small enough that 32-bit sums
// cannot overflow, and a whole number of 8-byte groups.
constexpr std::size_t kRunLength = 0x15B0;
static_assert(kRunLength % 8 == 0);

}  // namespace

std::uint16_t crc16(std::span<const std::uint8_t> data, std::uint16_t seed) {
  unsigned c = seed;
  for (std::uint8_t b : data) c = (c >> 8) ^ kCrc16Table[(c ^ b) & 0xFFu];
  return static_cast<std::uint16_t>(c);
}

std::uint32_t pageChecksum(std::uint32_t seed, std::span<const std::uint8_t> data) {
  std::uint32_t sum1 = seed & 0xFFFF;
  std::uint32_t sum2 = seed >> 16;
  const std::uint8_t* p = data.data();
  std::size_t left = data.size();
  while (left != 0) {
    const std::size_t run = std::min(kRunLength, left);
    left -= run;
    // Eight bytes at a time: the second sum gains eight times the first
    // plus each byte weighted by how many of the group's steps it is in.
    std::size_t groups = run / 8;
    for (; groups != 0; --groups, p += 8) {
      sum2 += 8 * sum1 + 8u * p[0] + 7u * p[1] + 6u * p[2] + 5u * p[3] + 4u * p[4] + 3u * p[5] + 2u * p[6] + p[7];
      sum1 += static_cast<std::uint32_t>(p[0]) + p[1] + p[2] + p[3] + p[4] + p[5] + p[6] + p[7];
    }
    for (std::size_t rest = run % 8; rest != 0; --rest) {
      sum1 += *p++;
      sum2 += sum1;
    }
    sum1 %= kModulus;
    sum2 %= kModulus;
  }
  return (sum2 << 16) | (sum1 & 0xFFFF);
}

std::uint32_t crc32(std::span<const std::uint8_t> data) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::uint8_t b : data) c = (c >> 8) ^ kCrc32Table[(c ^ b) & 0xFFu];
  return ~c;
}

}  // namespace veldra::dwg::detail
