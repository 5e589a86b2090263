// The bit reader's edge cases, the text codec and the page decompressor's
// refusals on hand-made bytes; the common bit codes and page forms are read
// in every sample drawing.

#include <gtest/gtest.h>

#include <bit>

#include "bit_reader.h"
#include "format.h"
#include "text_codec.h"

namespace veldra::dwg::detail {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

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

// A UTF-16 text (a class name) gives its units above 0x7F as '?', also
// those whose low byte alone would pass, and drops the closing NULs.
TEST(BitReader, TextsOfUnitsKeepAsciiOnly) {
  Bits bits;
  bits.put(0b01, 2);  // BS as one unsigned byte
  bits.put(6, 8);
  for (const unsigned unit : {0x41u, 0xE9u, 0x7F00u, 0x7Au, 0u, 0u}) bits.put((unit & 0xFF) << 8 | unit >> 8, 16);
  BitReader r(bits.bytes, 0, bits.count);
  EXPECT_EQ(r.readTU(), "A??z");
  EXPECT_FALSE(r.failed());
  EXPECT_EQ(r.remaining(), 0u);
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

void putRaw(Bits& bits, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) bits.put(static_cast<std::uint32_t>((value >> (8 * i)) & 0xFF), 8);
}

TEST(TextCodec, CodePagesGiveTheirCharactersAsUtf8) {
  // 1252: the euro sign, accents, and the unassigned bytes passed through.
  EXPECT_EQ(codePageToUtf8(bytesOf("\x80 caf\xE9 \x81"), 30), "\u20AC caf\u00E9 \u0081");
  // An undefined or plain-ASCII page reads as 1252.
  EXPECT_EQ(codePageToUtf8(bytesOf("\xE9"), 0), "\u00E9");
  EXPECT_EQ(codePageToUtf8(bytesOf("\xE9"), 1), "\u00E9");
  // 1251 (Cyrillic), 1250 (Central European), 437 (DOS).
  EXPECT_EQ(codePageToUtf8(bytesOf("\xC0\xE1"), 29), "\u0410\u0431");
  EXPECT_EQ(codePageToUtf8(bytesOf("\x8A"), 28), "\u0160");
  EXPECT_EQ(codePageToUtf8(bytesOf("\x82"), 11), "\u00E9");
  // Pages not mapped (East Asian multi-byte, unknown numbers) keep ASCII only.
  EXPECT_EQ(codePageToUtf8(bytesOf("A\x82\xA0"), 38), "A\uFFFD\uFFFD");
  EXPECT_EQ(codePageToUtf8(bytesOf("A\xFF"), 999), "A\uFFFD");
}

TEST(TextCodec, Utf16PairsAndStraySurrogates) {
  EXPECT_EQ(utf16ToUtf8(u"Stra\u00DFe \u0416"), "Stra\u00DFe \u0416");
  EXPECT_EQ(utf16ToUtf8(u"\U0001F600"), "\U0001F600");
  const std::u16string stray = {u'a', static_cast<char16_t>(0xD800), u'b', static_cast<char16_t>(0xDC00)};
  EXPECT_EQ(utf16ToUtf8(stray), "a\uFFFDb\uFFFD");
}

TEST(BitReader, PatchedDoublesKeepTheDefaultsOtherBytes) {
  const double defaultValue = 1.0;  // 0x3FF0000000000000
  Bits bits;
  bits.put(0, 2);  // the default itself
  bits.put(1, 2);  // four low bytes patched
  putRaw(bits, 0x11223344, 4);
  bits.put(2, 2);  // bytes 5 and 6, then the four low bytes
  putRaw(bits, 0xBBAA, 2);
  putRaw(bits, 0x55667788, 4);
  bits.put(3, 2);  // a whole double
  putRaw(bits, std::bit_cast<std::uint64_t>(-2.5), 8);
  BitReader r(bits.bytes, 0, bits.count);
  EXPECT_EQ(r.readDD(defaultValue), 1.0);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(r.readDD(defaultValue)), 0x3FF0000011223344ull);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(r.readDD(defaultValue)), 0x3FF0BBAA55667788ull);
  EXPECT_EQ(r.readDD(defaultValue), -2.5);
  EXPECT_FALSE(r.failed());
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
