#include "dwgwrite/checksums.h"

#include <algorithm>
#include <array>

namespace veldra::dwgwrite::detail {

std::uint32_t crc32(std::span<const std::uint8_t> data) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1u) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::uint8_t b : data) c = (c >> 8) ^ table[(c ^ b) & 0xFFu];
  return c ^ 0xFFFFFFFFu;
}

std::uint32_t pageChecksum(std::uint32_t seed, std::span<const std::uint8_t> data) {
  constexpr std::size_t kRun = 0x15B0;
  constexpr std::uint32_t kModulus = 0xFFF1;
  std::uint32_t sum1 = seed & 0xFFFF;
  std::uint32_t sum2 = seed >> 16;
  for (std::size_t at = 0; at < data.size();) {
    const std::size_t end = at + std::min(kRun, data.size() - at);
    for (; at < end; ++at) {
      sum1 += data[at];
      sum2 += sum1;
    }
    sum1 %= kModulus;
    sum2 %= kModulus;
  }
  return (sum2 << 16) | (sum1 & 0xFFFF);
}

}  // namespace veldra::dwgwrite::detail
