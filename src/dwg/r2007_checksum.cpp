#include <algorithm>

#include "r2007_codec.h"

namespace veldra::dwg::detail::r2007 {
namespace {

// Within each group of eight bytes the sums run over the byte pairs from the
// last pair to the first; a shorter rest has its own order.
constexpr std::uint8_t kGroupOrder[8] = {6, 7, 4, 5, 2, 3, 0, 1};
constexpr std::uint8_t kRestOrder[8][7] = {
    {},
    {0},
    {0, 1},
    {0, 1, 2},
    {2, 3, 0, 1},
    {2, 3, 0, 1, 4},
    {2, 3, 0, 1, 4, 5},
    {2, 3, 0, 1, 4, 5, 6},
};
constexpr std::size_t kRunLength = 0x15b0;  // bytes summed before both sums are reduced
constexpr std::uint32_t kModulus = 0xfff1;

}  // namespace

std::uint32_t pageChecksum(std::uint64_t seed, std::span<const std::uint8_t> data) {
  seed = (seed + data.size()) * 0x343fdu + 0x269ec3u;
  std::uint32_t sum1 = static_cast<std::uint32_t>(seed & 0xffff);
  std::uint32_t sum2 = static_cast<std::uint32_t>((seed >> 16) & 0xffff);
  const std::uint8_t* p = data.data();
  std::size_t left = data.size();
  while (left != 0) {
    const std::size_t run = std::min(kRunLength, left);
    left -= run;
    for (std::size_t group = 0; group < run / 8; ++group, p += 8) {
      for (std::uint8_t k : kGroupOrder) {
        sum1 += p[k];
        sum2 += sum1;
      }
    }
    const std::size_t rest = run % 8;
    for (std::size_t k = 0; k < rest; ++k) {
      sum1 += p[kRestOrder[rest][k]];
      sum2 += sum1;
    }
    p += rest;
    sum1 %= kModulus;
    sum2 %= kModulus;
  }
  return (sum2 << 16) | (sum1 & 0xffff);
}

}  // namespace veldra::dwg::detail::r2007
