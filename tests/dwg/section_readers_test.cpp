// The object map and the page decompressor's long forms, on hand-made bytes.

#include <gtest/gtest.h>

#include <tuple>

#include "format.h"

namespace veldra::dwg::detail {
namespace {

using Bytes = std::vector<std::uint8_t>;

Status readMap(const Bytes& handles, ObjectMap& map) {
  Sections sections;
  sections.handles = handles;
  sections.objects.assign(64, 0);
  return readObjectMap(sections, map);
}

TEST(ObjectMap, DeltasStartFromZeroInEveryBlock) {
  // Block 1: handle 1 at 10, handle 3 at 15. Block 2: handle 5 at 40. Then
  // the empty last block. Each block ends with a two-byte check value.
  const Bytes handles = {0x00, 0x06, 0x01, 0x0A, 0x02, 0x05, 0xAA, 0xBB,
                         0x00, 0x04, 0x05, 0x28, 0xCC, 0xDD, 0x00, 0x02, 0x00, 0x00};
  ObjectMap map;
  ASSERT_TRUE(readMap(handles, map).ok());
  EXPECT_EQ(map.size(), 3u);
  EXPECT_EQ(map[1], 10u);
  EXPECT_EQ(map[3], 15u);
  EXPECT_EQ(map[5], 40u);
}

TEST(ObjectMap, OffsetsOutsideTheObjectsAndBrokenBlocksAreRefused) {
  const std::vector<std::tuple<const char*, Bytes, ErrorKind>> cases{
      {"offset -1", {0x00, 0x04, 0x01, 0x41, 0x00, 0x00, 0x00, 0x02}, ErrorKind::kCorrupt},
      {"offset 100 of 64", {0x00, 0x05, 0x01, 0xE4, 0x00, 0x00, 0x00, 0x00, 0x02}, ErrorKind::kCorrupt},
      {"block larger than the section", {0x01, 0x00, 0x01, 0x0A}, ErrorKind::kCorrupt},
      {"no empty last block", {0x00, 0x04, 0x01, 0x0A, 0x00, 0x00}, ErrorKind::kTruncated},
      {"modular char with no last byte", {0x00, 0x03, 0x81, 0x00, 0x00, 0x00, 0x02}, ErrorKind::kCorrupt},
  };
  for (const auto& [what, handles, kind] : cases) {
    ObjectMap map;
    EXPECT_EQ(readMap(handles, map).kind, kind) << what;
  }
}

TEST(DecompressR2004, LongLengthCopiesRepeatTheirSource) {
  // "abcd", then opcode 0x20 with a long length (1 + 0x21 = 34 bytes) from 4 back.
  const Bytes in = {0x01, 'a', 'b', 'c', 'd', 0x20, 0x01, 0x0C, 0x00, 0x11};
  Bytes out(38);
  ASSERT_TRUE(decompressR2004(in, out).ok());
  for (std::size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], "abcd"[i % 4]) << i;
}

TEST(DecompressR2004, FarCopiesReachBackAtLeast16KiB) {
  // A literal run of 0x4004 bytes (0x0F + 0x40 * 0xFF + 0x32 + 3), then
  // opcode 0x12: 4 bytes from exactly 0x4000 back.
  constexpr std::size_t kLiterals = 0x0F + 0x40 * 0xFF + 0x32 + 3;
  static_assert(kLiterals == 0x4004);
  Bytes in = {0x00};
  in.insert(in.end(), 0x40, 0x00);
  in.push_back(0x32);
  for (std::size_t i = 0; i < kLiterals; ++i) in.push_back(static_cast<std::uint8_t>(i * 7 + i / 251));
  in.insert(in.end(), {0x12, 0x00, 0x00, 0x11});
  Bytes out(kLiterals + 4);
  ASSERT_TRUE(decompressR2004(in, out).ok());
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(out[kLiterals + i], out[kLiterals - 0x4000 + i]) << i;

  Bytes shortPage(0x3000 + 4);
  EXPECT_EQ(decompressR2004(in, shortPage).kind, ErrorKind::kCorrupt);  // the literals alone do not fit
}

}  // namespace
}  // namespace veldra::dwg::detail
