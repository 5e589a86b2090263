#include "checksum.h"

#include <algorithm>
#include <array>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define VELDRA_DWG_SSE2 1
#endif

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

// Sixteen tables for sixteen bytes at a time: table k gives the CRC of a
// byte followed by k zero bytes.
constexpr std::size_t kSlices = 16;
constexpr std::array<std::array<std::uint16_t, 256>, kSlices> sliceTables() {
  std::array<std::array<std::uint16_t, 256>, kSlices> tables{};
  tables[0] = reflectedTable<std::uint16_t>(0xA001);
  for (std::size_t k = 1; k < kSlices; ++k)
    for (unsigned i = 0; i < 256; ++i)
      tables[k][i] = static_cast<std::uint16_t>((tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF]);
  return tables;
}

constexpr auto kCrc16Tables = sliceTables();
constexpr auto kCrc32Table = reflectedTable<std::uint32_t>(0xEDB88320u);

constexpr std::uint32_t kModulus = 0xFFF1;
// Bytes summed before both sums are reduced: small enough that 32-bit sums
// cannot overflow, and a whole number of 16-byte blocks.
constexpr std::size_t kRunLength = 0x15B0;
constexpr std::size_t kBlock = 16;
static_assert(kRunLength % kBlock == 0);

// The weights of a block whose bytes are summed in order.
constexpr BlockWeights kInOrder = {16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1};

}  // namespace

void addWeightedBlocks(const std::uint8_t* p, std::size_t blocks, const BlockWeights& weights, std::uint64_t& sum1,
                       std::uint64_t& sum2) {
#ifdef VELDRA_DWG_SSE2
  const __m128i zero = _mm_setzero_si128();
  const __m128i weightsLow = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights.data()));
  const __m128i weightsHigh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights.data() + 8));
  __m128i bytes = zero;     // the bytes of the blocks so far
  __m128i earlier = zero;   // the sum of `bytes` before each block
  __m128i weighted = zero;  // the weighted bytes
  const auto add = [&](const std::uint8_t* block, __m128i& lanesLow, __m128i& lanesHigh) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
    earlier = _mm_add_epi32(earlier, bytes);
    bytes = _mm_add_epi32(bytes, _mm_sad_epu8(v, zero));
    lanesLow = _mm_add_epi16(lanesLow, _mm_unpacklo_epi8(v, zero));
    lanesHigh = _mm_add_epi16(lanesHigh, _mm_unpackhi_epi8(v, zero));
  };
  for (std::size_t left = blocks; left > 0;) {
    // Each 16-bit lane sums the bytes at one place of up to 128 blocks, at
    // most 128 * 255, which the multiply still reads as positive; the lanes
    // are weighted once for all those blocks. Four blocks a step, then the
    // rest one by one.
    const std::size_t run = std::min<std::size_t>(left, 128);
    __m128i lanesLow = zero;
    __m128i lanesHigh = zero;
    std::size_t b = 0;
    for (; b + 4 <= run; b += 4, p += 4 * kBlock) {
      add(p, lanesLow, lanesHigh);
      add(p + kBlock, lanesLow, lanesHigh);
      add(p + 2 * kBlock, lanesLow, lanesHigh);
      add(p + 3 * kBlock, lanesLow, lanesHigh);
    }
    for (; b < run; ++b, p += kBlock) add(p, lanesLow, lanesHigh);
    weighted = _mm_add_epi32(weighted, _mm_madd_epi16(lanesLow, weightsLow));
    weighted = _mm_add_epi32(weighted, _mm_madd_epi16(lanesHigh, weightsHigh));
    left -= run;
  }
  alignas(16) std::uint32_t lanes[3][4];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes[0]), bytes);
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes[1]), earlier);
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes[2]), weighted);
  const std::uint64_t byteSum = std::uint64_t{lanes[0][0]} + lanes[0][2];
  const std::uint64_t earlierSum = std::uint64_t{lanes[1][0]} + lanes[1][2];
  const std::uint64_t weightedSum = std::uint64_t{lanes[2][0]} + lanes[2][1] + lanes[2][2] + lanes[2][3];
  sum2 += kBlock * (blocks * sum1 + earlierSum) + weightedSum;
  sum1 += byteSum;
#else
  for (std::size_t b = 0; b < blocks; ++b, p += kBlock) {
    std::uint32_t bytes = 0;
    std::uint32_t weighted = 0;
    for (std::size_t k = 0; k < kBlock; ++k) {
      bytes += p[k];
      weighted += static_cast<std::uint32_t>(weights[k]) * p[k];
    }
    sum2 += kBlock * sum1 + weighted;
    sum1 += bytes;
  }
#endif
}

}  // namespace veldra::dwg::detail

namespace veldra::dwg::layout {

using namespace detail;

std::uint16_t crc16(std::span<const std::uint8_t> data, std::uint16_t seed) {
  const auto& t = kCrc16Tables;
  unsigned c = seed;
  const std::uint8_t* p = data.data();
  std::size_t left = data.size();
  // The two bytes of the CRC meet the first two of each group; the other
  // fourteen go in independently.
  for (; left >= kSlices; left -= kSlices, p += kSlices) {
    c ^= p[0] | (p[1] << 8);
    c = (t[15][c & 0xFF] ^ t[14][c >> 8] ^ t[13][p[2]] ^ t[12][p[3]]) ^
        (t[11][p[4]] ^ t[10][p[5]] ^ t[9][p[6]] ^ t[8][p[7]]) ^
        (t[7][p[8]] ^ t[6][p[9]] ^ t[5][p[10]] ^ t[4][p[11]]) ^ (t[3][p[12]] ^ t[2][p[13]] ^ t[1][p[14]] ^ t[0][p[15]]);
  }
  for (; left != 0; --left) c = (c >> 8) ^ t[0][(c ^ *p++) & 0xFFu];
  return static_cast<std::uint16_t>(c);
}

std::uint32_t pageChecksum(std::uint32_t seed, std::span<const std::uint8_t> data) {
  std::uint64_t sum1 = seed & 0xFFFF;
  std::uint64_t sum2 = seed >> 16;
  const std::uint8_t* p = data.data();
  std::size_t left = data.size();
  while (left != 0) {
    const std::size_t run = std::min(kRunLength, left);
    left -= run;
    addWeightedBlocks(p, run / kBlock, kInOrder, sum1, sum2);
    p += run - run % kBlock;
    for (std::size_t rest = run % kBlock; rest != 0; --rest) {
      sum1 += *p++;
      sum2 += sum1;
    }
    sum1 %= kModulus;
    sum2 %= kModulus;
  }
  return static_cast<std::uint32_t>((sum2 << 16) | (sum1 & 0xFFFF));
}

std::uint32_t crc32(std::span<const std::uint8_t> data) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::uint8_t b : data) c = (c >> 8) ^ kCrc32Table[(c ^ b) & 0xFFu];
  return ~c;
}

}  // namespace veldra::dwg::layout
