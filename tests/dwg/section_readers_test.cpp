// The object map, the check values against their definitions and the page
// decompressor, on hand-made bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

#include "checksum.h"
#include "format.h"

namespace veldra::dwg::detail {
namespace {

using Bytes = std::vector<std::uint8_t>;

Status readMap(const Bytes& handles, ObjectMap& map, std::vector<Damage>* damage = nullptr) {
  Sections sections;
  sections.handles = handles;
  sections.objects.assign(64, 0);
  std::vector<Damage> none;
  return readObjectMap(sections, map, damage ? *damage : none);
}

// A block as the format frames it: big-endian size (counting itself), the
// pairs, then a big-endian CRC of both.
Bytes block(const Bytes& pairs) {
  Bytes out{static_cast<std::uint8_t>((pairs.size() + 2) >> 8), static_cast<std::uint8_t>(pairs.size() + 2)};
  out.insert(out.end(), pairs.begin(), pairs.end());
  const std::uint16_t crc = crc16(out, kSectionCrcSeed);
  out.push_back(static_cast<std::uint8_t>(crc >> 8));
  out.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  return out;
}

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// Deltas start from zero in every block; a handle out of order is still
// found, and one listed twice keeps its later offset.
TEST(ObjectMap, DeltasStartFromZeroInEveryBlock) {
  // Block 1: handles 5 at 10 and 9 at 15. Block 2: handle 3 at 20, then 9
  // again at 50. Then the empty last block.
  const Bytes handles = join({block({0x05, 0x0A, 0x04, 0x05}), block({0x03, 0x14, 0x06, 0x1E}), block({})});
  ObjectMap map;
  std::vector<Damage> damage;
  ASSERT_TRUE(readMap(handles, map, &damage).ok());
  EXPECT_TRUE(damage.empty());
  EXPECT_EQ(std::vector(map.begin(), map.end()),
            (std::vector<ObjectMap::value_type>{{3, 20}, {5, 10}, {9, 50}}));
  EXPECT_EQ(map.find(4), map.end());
}

TEST(ObjectMap, OffsetsOutsideTheObjectsAndBrokenBlocksAreRefused) {
  const std::vector<std::tuple<const char*, Bytes, ErrorKind>> cases{
      {"offset -1", join({block({0x01, 0x41}), block({})}), ErrorKind::kCorrupt},
      {"offset 100 of 64", join({block({0x01, 0xE4, 0x00}), block({})}), ErrorKind::kCorrupt},
      {"block larger than the section", {0x01, 0x00, 0x01, 0x0A}, ErrorKind::kCorrupt},
      {"block larger than the largest a map holds", join({{0x08, 0x00}, Bytes(0x800, 0)}), ErrorKind::kCorrupt},
      {"no empty last block", block({0x01, 0x0A}), ErrorKind::kTruncated},
      {"last block cut inside its size", join({block({0x01, 0x0A}), {0x00}}), ErrorKind::kTruncated},
      // The block's data ends the section: its CRC is missing, and stepping
      // over it would leave the data.
      {"block without its CRC", {0x00, 0x04, 0x01, 0x0A}, ErrorKind::kTruncated},
      {"block with half its CRC", {0x00, 0x04, 0x01, 0x0A, 0x00}, ErrorKind::kTruncated},
      {"modular char with no last byte", join({block({0x81}), block({})}), ErrorKind::kCorrupt},
  };
  for (const auto& [what, handles, kind] : cases) {
    ObjectMap map;
    EXPECT_EQ(readMap(handles, map).kind, kind) << what;
  }
}

// A modular char running past its block or past 64 bits is refused.
TEST(ObjectMap, OverlongModularCharsAreRefused) {
  const std::vector<std::pair<const char*, Bytes>> refused{
      {"handle of ten bytes all going on", join({block(Bytes(10, 0xFF)), block({})})},
      {"offset of ten bytes all going on", join({block(join({{0x01}, Bytes(10, 0x80)})), block({})})},
      {"offset cut by the end of its block", join({block({0x01, 0x81}), block({0x01, 0x01}), block({})})},
  };
  for (const auto& [what, handles] : refused) {
    ObjectMap map;
    const Status status = readMap(handles, map);
    EXPECT_EQ(status.kind, ErrorKind::kCorrupt) << what;
    EXPECT_EQ(status.message, "object map entry cut short") << what;
  }
}

TEST(ObjectMap, MoreEntriesThanTheDrawingMayHoldAreRefused) {
  Sections sections;
  sections.objects.assign(64, 0);
  sections.costLeft = 3 * kObjectMapEntryCost;
  Bytes pairs;
  for (int i = 0; i < 4; ++i) pairs.insert(pairs.end(), {0x01, 0x01});
  sections.handles = join({block(pairs), block({})});
  ObjectMap map;
  std::vector<Damage> damage;
  EXPECT_EQ(readObjectMap(sections, map, damage).kind, ErrorKind::kCorrupt);
  sections.costLeft = 4 * kObjectMapEntryCost;
  EXPECT_TRUE(readObjectMap(sections, map, damage).ok());
}

TEST(Checksums, KnownValues) {
  const std::uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(crc16(digits, 0), 0xBB3D);
  EXPECT_EQ(crc32(digits), 0xCBF43926u);
  // The CRC-16 taken sixteen bytes at a time against the bit-by-bit
  // definition, for every length around the groups and with any seed.
  Bytes bytes(100);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 73 + 0x5A);
  for (std::size_t length = 0; length <= bytes.size(); ++length) {
    for (std::uint16_t seed : {std::uint16_t{0}, kSectionCrcSeed, std::uint16_t{0xFFFF}}) {
      unsigned c = seed;
      for (std::size_t k = 0; k < length; ++k) {
        c ^= bytes[k];
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
      }
      EXPECT_EQ(crc16(std::span(bytes).first(length), seed), c) << length << " " << seed;
    }
  }
  // The page checksum against the byte-by-byte definition, over runs longer
  // than one fold and lengths that are no multiple of eight.
  Bytes data(3 * 0x15B0 + 13);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 131 + (i >> 7));
  for (std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{7}, std::size_t{0x15B0}, data.size()}) {
    for (std::uint32_t seed : {0u, 0xFFFFFFFFu, 0x12345678u}) {
      std::uint32_t sum1 = seed & 0xFFFF;
      std::uint32_t sum2 = seed >> 16;
      for (std::size_t at = 0; at < length;) {
        const std::size_t run = std::min<std::size_t>(0x15B0, length - at);
        for (std::size_t k = 0; k < run; ++k, ++at) {
          sum1 += data[at];
          sum2 += sum1;
        }
        sum1 %= 0xFFF1;
        sum2 %= 0xFFF1;
      }
      EXPECT_EQ(pageChecksum(seed, std::span(data).first(length)), (sum2 << 16) | (sum1 & 0xFFFF))
          << length << " " << seed;
    }
  }
}

// Short copies are made in whole pieces that may run past their end; what
// lies past the last byte a stream gives must read zero all the same, as in
// a section's gaps. Sixteen literals, twenty bytes from 16 back (reading
// what the same copy writes), the end, then bytes that must not show.
TEST(DecompressR2004, WhatAStreamDoesNotReachStaysZero) {
  Bytes in = {0x0D};
  for (std::uint8_t k = 0; k < 16; ++k) in.push_back(static_cast<std::uint8_t>('A' + k));
  in.insert(in.end(), {0x32, 0x3C, 0x00, 0x11});
  in.insert(in.end(), 48, 0xEE);
  Bytes out(96, 0);
  ASSERT_TRUE(decompressR2004(in, out).ok());
  for (std::size_t i = 0; i < 36; ++i) ASSERT_EQ(out[i], 'A' + i % 16) << i;
  for (std::size_t i = 36; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
}


// A stream drawn by seed: literal runs and back references of every form of
// length, from 1 to 40 bytes back (mostly overlapping what they write) and
// from up to 0xBFFF back, with the bytes each should give worked out one at a time.
struct Stream {
  Bytes in;
  Bytes out;
};

void putLongLength(Bytes& in, std::size_t rest) {  // rest >= 1
  for (; rest > 0xFF; rest -= 0xFF) in.push_back(0);
  in.push_back(static_cast<std::uint8_t>(rest));
}

void putLiterals(Stream& s, std::size_t count, std::mt19937& random) {  // count >= 4
  if (count <= 18) {
    s.in.push_back(static_cast<std::uint8_t>(count - 3));
  } else {
    s.in.push_back(0);
    putLongLength(s.in, count - 0x12);
  }
  for (std::size_t i = 0; i < count; ++i) {
    const auto byte = static_cast<std::uint8_t>(random());
    s.in.push_back(byte);
    s.out.push_back(byte);
  }
}

Stream drawStream(std::uint32_t seed) {
  std::mt19937 random(seed);
  Stream s;
  putLiterals(s, 4 + random() % 40, random);
  const std::size_t target = 2000 + random() % 60000;
  while (s.out.size() < target) {
    const std::size_t distance =
        random() % 4 == 0 ? 1 + random() % std::min<std::size_t>(0xBFFF, s.out.size()) : 1 + random() % std::min<std::size_t>(40, s.out.size());
    std::size_t length = random() % 3 == 0 ? 34 + random() % 600 : 3 + random() % 31;
    const unsigned trailing = random() % 4;
    std::size_t offset = distance - 1;
    if (distance > 0x4000) {
      // Opcodes 0x10-0x1F reach from 0x4001 to 0xBFFF back (0x11 ends).
      length = 4 + length % 200;
      offset = distance - 0x4000;
      const std::uint8_t further = offset >= 0x4000 ? 8 : 0;
      offset -= further != 0 ? 0x4000 : 0;
      if (length <= 9) {
        s.in.push_back(static_cast<std::uint8_t>(0x10 | further | (length - 2)));
      } else {
        s.in.push_back(static_cast<std::uint8_t>(0x10 | further));
        putLongLength(s.in, length - 9);
      }
    } else if (length <= 33) {
      s.in.push_back(static_cast<std::uint8_t>(length + 0x1E));
    } else {
      s.in.push_back(0x20);
      putLongLength(s.in, length - 0x21);
    }
    s.in.push_back(static_cast<std::uint8_t>(((offset & 0x3F) << 2) | trailing));
    s.in.push_back(static_cast<std::uint8_t>(offset >> 6));
    for (std::size_t i = 0; i < length; ++i) s.out.push_back(s.out[s.out.size() - distance]);
    for (unsigned i = 0; i < trailing; ++i) {
      const auto byte = static_cast<std::uint8_t>(random());
      s.in.push_back(byte);
      s.out.push_back(byte);
    }
    if (trailing == 0 && random() % 2 == 0) putLiterals(s, 4 + random() % 60, random);
  }
  s.in.push_back(0x11);
  return s;
}

// Overlapping copies give what a copy byte by byte gives, also where a page
// ends exactly with the stream and no room is left past the last copy; what
// a page has past the stream is zero, whatever it held; a stream cut
// anywhere before its end mark is refused.
TEST(DecompressR2004, DrawnStreamsGiveTheirBytesAndCutOnesAreRefused) {
  for (std::uint32_t seed = 1; seed <= 30; ++seed) {
    const Stream s = drawStream(seed);
    Bytes exact(s.out.size(), 0xCC);
    ASSERT_TRUE(decompressR2004(s.in, exact).ok()) << seed;
    ASSERT_EQ(exact, s.out) << seed;

    Bytes roomy(s.out.size() + 100, 0xCC);
    std::size_t written = 0;
    ASSERT_TRUE(decompressR2004(s.in, roomy, written).ok()) << seed;
    EXPECT_EQ(written, s.out.size());
    EXPECT_TRUE(std::equal(s.out.begin(), s.out.end(), roomy.begin())) << seed;

    Bytes cleared(s.out.size() + 100, 0);
    ASSERT_TRUE(decompressR2004(s.in, cleared).ok()) << seed;
    EXPECT_TRUE(std::equal(s.out.begin(), s.out.end(), cleared.begin())) << seed;
    EXPECT_TRUE(std::all_of(cleared.begin() + static_cast<std::ptrdiff_t>(s.out.size()), cleared.end(),
                            [](std::uint8_t b) { return b == 0; }))
        << seed;

    Bytes small(s.out.size() - 1);
    EXPECT_EQ(decompressR2004(s.in, small).kind, ErrorKind::kCorrupt) << seed;
    std::mt19937 random(seed);
    for (int k = 0; k < 20; ++k) {
      const std::size_t cut = random() % s.in.size();
      Bytes out(s.out.size());
      EXPECT_EQ(decompressR2004(std::span(s.in).first(cut), out).kind, ErrorKind::kCorrupt) << seed << ' ' << cut;
    }
  }
}

}  // namespace
}  // namespace veldra::dwg::detail
