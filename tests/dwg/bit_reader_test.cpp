// The bit reader's edge cases and the page decompressor's refusals on
// hand-made bytes; the common bit codes and page forms are read in every
// sample drawing.

#include <gtest/gtest.h>

#include "bit_reader.h"
#include "format.h"

namespace veldra::dwg::detail {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(BitReader, ModularCharsCarryTheirSignInTheLastByte) {
  const Bytes bytes = {0x82, 0x24, 0x85, 0x4B, 0x7F};
  BitReader r(bytes);
  EXPECT_EQ(r.readMC(), 4610);
  EXPECT_EQ(r.readMC(), -(5 | (0x0B << 7)));
  EXPECT_EQ(r.readUMC(), 0x7Fu);  // read unsigned, the 0x40 bit is a value bit
}

// Bits written most significant first, as the format stores them.
struct Bits {
  Bytes bytes;
  std::size_t count = 0;
  void put(std::uint32_t value, unsigned width) {
    for (unsigned k = width; k-- > 0; ++count) {
      if (count % 8 == 0) bytes.push_back(0);
      if ((value >> k) & 1) bytes.back() |= static_cast<std::uint8_t>(0x80 >> (count % 8));
    }
  }
};

// A UTF-16 text at every bit offset, ending where the data ends: units above
// 0x7F (also those whose low byte alone would pass) read as '?', the NULs at
// the end go, and the reader stands right after the text.
TEST(BitReader, TextsOfUnitsAtEveryBitOffset) {
  const std::vector<std::uint16_t> units = {'A', 0x00E9, 0x0141, 'z', 0x7F00, '0', 0, 0};
  for (unsigned offset = 0; offset < 8; ++offset) {
    for (const bool marker : {true, false}) {
      Bits bits;
      bits.put(0x55, offset);
      bits.put(0b01, 2);  // BS as one unsigned byte
      bits.put(static_cast<std::uint32_t>(units.size()), 8);
      for (std::uint16_t unit : units) {
        bits.put(unit & 0xFF, 8);
        bits.put(unit >> 8, 8);
      }
      if (marker) bits.put(0xA5, 8);
      BitReader r(bits.bytes, offset, bits.count);
      EXPECT_EQ(r.readTU(), "A??z?0") << offset;
      EXPECT_FALSE(r.failed()) << offset;
      if (marker) {
        EXPECT_EQ(r.readRC(), 0xA5) << offset;
      }
      EXPECT_EQ(r.remaining(), 0u) << offset;
      // One unit short of what the length announces.
      BitReader cut(bits.bytes, offset, bits.count - (marker ? 24 : 16));
      EXPECT_TRUE(cut.readTU().empty()) << offset;
      EXPECT_TRUE(cut.failed()) << offset;
    }
  }
}

// The same for an 8-bit text.
TEST(BitReader, EightBitTextsAtEveryBitOffset) {
  const Bytes stored = {'A', 0xE9, 0x80, 'z', 0x7F, '0', 0, 0};
  for (unsigned offset = 0; offset < 8; ++offset) {
    Bits bits;
    bits.put(0x55, offset);
    bits.put(0b01, 2);
    bits.put(static_cast<std::uint32_t>(stored.size()), 8);
    for (std::uint8_t byte : stored) bits.put(byte, 8);
    BitReader r(bits.bytes, offset, bits.count);
    EXPECT_EQ(r.readTV(), "A??z\x7F" "0") << offset;
    EXPECT_FALSE(r.failed()) << offset;
    EXPECT_EQ(r.remaining(), 0u) << offset;
    BitReader cut(bits.bytes, offset, bits.count - 8);
    EXPECT_TRUE(cut.readTV().empty()) << offset;
    EXPECT_TRUE(cut.failed()) << offset;
  }
}

TEST(BitReader, ReadingPastTheEndFailsAndYieldsZero) {
  const Bytes bytes = {0xFF};
  BitReader r(bytes);
  EXPECT_EQ(r.readRS(), 0);
  EXPECT_TRUE(r.failed());
  EXPECT_EQ(r.readRC(), 0);  // stays failed

  BitReader text(bytes);
  EXPECT_TRUE(text.readTV().empty());  // a length far beyond the data
  EXPECT_TRUE(text.failed());

  BitReader window(bytes, 4, 2);  // start after end
  EXPECT_TRUE(window.failed());
}

TEST(DecompressR2004, RefusesReferencesAndRunsOutsideThePage) {
  Bytes out(8);
  const Bytes tooFarBack = {0x01, 'a', 'b', 'c', 'd', 0x4C, 0x10, 0x11};
  EXPECT_EQ(decompressR2004(tooFarBack, out).kind, ErrorKind::kCorrupt);
  const Bytes tooManyLiterals = {0x0F, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o',
                                 'p', 'q', 'r', 0x11};
  EXPECT_EQ(decompressR2004(tooManyLiterals, out).kind, ErrorKind::kCorrupt);
  const Bytes cutShort = {0x01, 'a', 'b'};
  EXPECT_EQ(decompressR2004(cutShort, out).kind, ErrorKind::kCorrupt);
  const Bytes endlessZeros(4096, 0x00);
  EXPECT_EQ(decompressR2004(endlessZeros, out).kind, ErrorKind::kCorrupt);
}

}  // namespace
}  // namespace veldra::dwg::detail
