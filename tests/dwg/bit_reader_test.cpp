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
