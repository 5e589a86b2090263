#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "r2007_codec.h"

namespace veldra::dwg::detail::r2007 {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(R2007Deinterleave, TakesEachCodeWordsDataBytesAndDropsParity) {
  // Three all-zero code words (valid in any linear code), interleaved: byte j
  // of word b at j * 3 + b. Damage within what the code corrects is undone.
  Bytes coded(3 * kCodewordSize, 0);
  coded[0] = coded[3 * 100 + 1] = coded[3 * 250 + 1] = 0x77;
  const Bytes data = deinterleave(coded, 3, Code::kData);
  EXPECT_EQ(data, Bytes(3 * kDataBlockData, 0));
  EXPECT_TRUE(deinterleave(Bytes(2 * kCodewordSize - 1), 2, Code::kData).empty());

  // Words are checked in groups: damage in the first, a middle and the last
  // word of nine, with both codes, also when only the first words are wanted.
  for (const Code code : {Code::kData, Code::kSystem}) {
    const std::size_t perWord = code == Code::kData ? kDataBlockData : kSystemBlockData;
    Bytes nine(9 * kCodewordSize, 0);
    nine[9 * 7 + 0] = 0x11;
    nine[9 * 200 + 5] = 0x22;
    nine[9 * 254 + 8] = 0x33;
    EXPECT_EQ(deinterleave(nine, 9, code), Bytes(9 * perWord, 0));
    EXPECT_EQ(deinterleave(nine, 9, code, 6), Bytes(6 * perWord, 0));
    // Three wrong bytes in the sixth word are too many for the data code,
    // whose word then comes back as stored.
    nine[9 * 1 + 5] = nine[9 * 2 + 5] = 0x44;
    const Bytes kept = deinterleave(nine, 9, code);
    EXPECT_EQ(kept[5 * perWord + 1] != 0, code == Code::kData);
    const auto wrong = static_cast<std::size_t>(std::count_if(kept.begin(), kept.end(), [](auto b) { return b != 0; }));
    EXPECT_EQ(wrong, code == Code::kData ? 3u : 0u);
  }
}

// Taken as stored, the data bytes come out in the same places as after
// correction, for both codes; damage stays. Word counts below, at and past
// multiples of eight, as the words are turned in squares of eight; the
// stored bytes may run on past the words.
TEST(R2007Deinterleave, AsStoredTakesTheSameBytesUncorrected) {
  std::mt19937 random(2607);
  for (const std::size_t words : {1, 5, 7, 8, 9, 15, 16, 17, 31, 92, 118}) {
    Bytes coded(words * kCodewordSize + random() % 40);
    for (auto& byte : coded) byte = static_cast<std::uint8_t>(random());
    for (const Code code : {Code::kData, Code::kSystem}) {
      const std::size_t perWord = code == Code::kData ? kDataBlockData : kSystemBlockData;
      const Bytes data = deinterleaveAsStored(coded, words, code);
      ASSERT_EQ(data.size(), words * perWord);
      for (std::size_t b = 0; b < words; ++b)
        for (std::size_t j = 0; j < perWord; ++j)
          ASSERT_EQ(data[b * perWord + j], coded[j * words + b]) << words << ' ' << b << ' ' << j;
    }
  }
  Bytes zeros(3 * kCodewordSize, 0);
  EXPECT_EQ(deinterleaveAsStored(zeros, 3, Code::kData), deinterleave(zeros, 3, Code::kData));
  zeros[3 * 100 + 1] = 0x77;
  EXPECT_EQ(deinterleaveAsStored(zeros, 3, Code::kData)[kDataBlockData + 100], 0x77);
  EXPECT_TRUE(deinterleaveAsStored(Bytes(2 * kCodewordSize - 1), 2, Code::kData).empty());
}

Status run(const Bytes& in, std::size_t size, Bytes& out) { return decompress(in, size, out); }

// The ordinary instruction forms are read in the AC1021 sample drawing and
// in the container tests; here, streams that must be refused.
TEST(R2007Decompress, BrokenStreamsFailCleanly) {
  const Bytes eight = {0x00, '1', '2', '3', '4', '5', '6', '7', '8'};
  Bytes out;
  EXPECT_TRUE(run(eight, 8, out).ok());

  Bytes backTooFar = eight;
  backTooFar.insert(backTooFar.end(), {0x31, 0xf8});  // 497 bytes back
  Status s = run(backTooFar, 11, out);
  EXPECT_EQ(s.kind, ErrorKind::kCorrupt);
  EXPECT_NE(s.message.find("back reference"), std::string::npos);

  Bytes cutInInstruction = eight;
  cutInInstruction.push_back(0x28);
  EXPECT_EQ(run(cutInInstruction, 300, out).kind, ErrorKind::kCorrupt);

  EXPECT_EQ(run({0x00, '1', '2'}, 8, out).kind, ErrorKind::kCorrupt);  // literal past the end
  EXPECT_EQ(run({0x20, 0, 0}, 1, out).kind, ErrorKind::kCorrupt);     // lead form cut short
  EXPECT_EQ(run(eight, 10, out).kind, ErrorKind::kCorrupt);          // fewer bytes than announced
  s = run(eight, 4, out);                                            // more than announced
  EXPECT_EQ(s.kind, ErrorKind::kCorrupt);
  EXPECT_LE(out.size(), 4u);
}

// The page checksum against its byte-by-byte definition: within each group
// of eight the byte pairs from last to first, a shorter rest in its own
// order, both sums folded every 0x15B0 bytes. Runs longer than one fold,
// rests of every length, and bytes of 0xFF that make the sums largest.
TEST(R2007Checksum, MatchesTheByteByByteDefinition) {
  constexpr std::uint8_t group[8] = {6, 7, 4, 5, 2, 3, 0, 1};
  constexpr std::uint8_t rests[8][7] = {{},           {0},           {0, 1},           {0, 1, 2},
                                        {2, 3, 0, 1}, {2, 3, 0, 1, 4}, {2, 3, 0, 1, 4, 5}, {2, 3, 0, 1, 4, 5, 6}};
  auto reference = [&](std::uint64_t seed, std::span<const std::uint8_t> data) {
    seed = (seed + data.size()) * 0x343fdu + 0x269ec3u;
    std::uint32_t sum1 = static_cast<std::uint32_t>(seed & 0xffff);
    std::uint32_t sum2 = static_cast<std::uint32_t>((seed >> 16) & 0xffff);
    for (std::size_t at = 0; at < data.size();) {
      const std::size_t run = std::min<std::size_t>(0x15b0, data.size() - at);
      const std::size_t end = at + run;
      for (; end - at >= 8; at += 8) {
        for (std::uint8_t k : group) sum2 += sum1 += data[at + k];
      }
      for (std::size_t k = 0; k < end - at; ++k) sum2 += sum1 += data[at + rests[end - at][k]];
      at = end;
      sum1 %= 0xfff1;
      sum2 %= 0xfff1;
    }
    return (sum2 << 16) | (sum1 & 0xffff);
  };
  Bytes mixed(3 * 0x15b0 + 29);
  for (std::size_t i = 0; i < mixed.size(); ++i) mixed[i] = static_cast<std::uint8_t>(i * 131 + (i >> 7));
  const Bytes full(3 * 0x15b0 + 29, 0xFF);
  for (const Bytes* data : std::initializer_list<const Bytes*>{&mixed, &full}) {
    for (std::size_t length = 0; length <= 40; ++length)
      EXPECT_EQ(pageChecksum(3, std::span(*data).first(length)), reference(3, std::span(*data).first(length)))
          << length;
    for (std::size_t length : {std::size_t{0x15b0}, std::size_t{0x15b0 + 13}, std::size_t{0x15b0 + 24}, data->size()})
      for (std::uint64_t seed : {std::uint64_t{0}, std::uint64_t{0xFFFFFFFFFFFFFFFF}})
        EXPECT_EQ(pageChecksum(seed, std::span(*data).first(length)), reference(seed, std::span(*data).first(length)))
            << length;
  }
}

}  // namespace
}  // namespace veldra::dwg::detail::r2007
