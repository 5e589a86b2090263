#pragma once

// Decoding layers of the R2007 (AC1021) container: Reed-Solomon code words,
// the container's own LZ compression and the data page checksum.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "veldra/dwg/reader.h"

namespace veldra::dwg::detail::r2007 {

inline constexpr std::size_t kCodewordSize = 255;   // bytes of one Reed-Solomon code word
inline constexpr std::size_t kSystemBlockData = 239;  // data bytes per code word, system pages
inline constexpr std::size_t kDataBlockData = 251;    // data bytes per code word, data pages

// The two Reed-Solomon codes: (255, 239) for system pages and the file
// header, (255, 251) for data pages.
enum class Code { kSystem, kData };

// The data bytes of `blockCount` code words stored interleaved: byte j of
// word b sits at j * blockCount + b. Returns the data bytes of each word,
// word after word, with what damage the code can correct corrected; a word
// beyond repair comes back as stored. `coded` must hold blockCount *
// kCodewordSize bytes, else the result is empty.
std::vector<std::uint8_t> deinterleave(std::span<const std::uint8_t> coded,
                                       std::size_t blockCount, Code code);
// The same for the first `words` of the code words only (all of them when
// there are fewer): what the others hold is not looked at.
std::vector<std::uint8_t> deinterleave(std::span<const std::uint8_t> coded, std::size_t blockCount, Code code,
                                       std::size_t words);

// The data bytes of `blockCount` interleaved code words as stored, without
// correction: what deinterleave() returns for undamaged words, at a fraction
// of the work. Same sizes and the same empty result as deinterleave().
std::vector<std::uint8_t> deinterleaveAsStored(std::span<const std::uint8_t> coded,
                                               std::size_t blockCount, Code code);
// The same into `data`, which must hold exactly the data bytes of the
// `blockCount` words; nothing is written when it does not.
void deinterleaveAsStored(std::span<const std::uint8_t> coded, std::size_t blockCount, Code code,
                          std::span<std::uint8_t> data);

// Number of code words needed for `dataSize` bytes with `dataPerBlock` data
// bytes each.
constexpr std::size_t blocksFor(std::size_t dataSize, std::size_t dataPerBlock) {
  return (dataSize + dataPerBlock - 1) / dataPerBlock;
}

// Decompresses `in` into exactly `outSize` bytes. Fails with kCorrupt (the
// offset is the position in `in`) when the stream reads past its end,
// refers back before the start of the output, or yields another size.
Status decompress(std::span<const std::uint8_t> in, std::size_t outSize,
                  std::vector<std::uint8_t>& out);
// The same straight into `out`, which the stream must fill exactly.
Status decompress(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

// The 32-bit checksum a data page stores for its decompressed bytes.
std::uint32_t pageChecksum(std::uint64_t seed, std::span<const std::uint8_t> data);

}  // namespace veldra::dwg::detail::r2007
