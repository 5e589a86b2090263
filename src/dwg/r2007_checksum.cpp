#include <algorithm>

#include "checksum.h"
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
constexpr std::size_t kBlock = 16;
static_assert(kRunLength % kBlock == 0);

// The weights of two groups of eight in a block, from the order above: the
// byte summed first weighs 16, the last 1.
constexpr BlockWeights blockWeights() {
  BlockWeights weights{};
  for (std::size_t step = 0; step < kBlock; ++step) {
    const std::size_t group = step / 8;
    weights[group * 8 + kGroupOrder[step % 8]] = static_cast<std::uint16_t>(kBlock - step);
  }
  return weights;
}
constexpr BlockWeights kBlockWeights = blockWeights();

}  // namespace

std::uint32_t pageChecksum(std::uint64_t seed, std::span<const std::uint8_t> data) {
  seed = (seed + data.size()) * 0x343fdu + 0x269ec3u;
  std::uint64_t sum1 = seed & 0xffff;
  std::uint64_t sum2 = (seed >> 16) & 0xffff;
  const std::uint8_t* p = data.data();
  std::size_t left = data.size();
  while (left != 0) {
    const std::size_t run = std::min(kRunLength, left);
    left -= run;
    addWeightedBlocks(p, run / kBlock, kBlockWeights, sum1, sum2);
    p += run - run % kBlock;
    for (std::size_t group = 0; group < run % kBlock / 8; ++group, p += 8) {
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
  return static_cast<std::uint32_t>((sum2 << 16) | (sum1 & 0xffff));
}

}  // namespace veldra::dwg::detail::r2007
