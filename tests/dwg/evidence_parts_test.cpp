// The pieces behind the evidence, on bytes made here: preview blocks, the
// summary information, and damage to the evidence of a real drawing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "format.h"
#include "support/temp_dir.h"
#include "veldra/dwg/evidence.h"

namespace veldra::dwg {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

void putLE(Bytes& out, std::uint64_t value, int size) {
  for (int i = 0; i < size; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

constexpr std::uint8_t kSentinel[16] = {0x1F, 0x25, 0x6D, 0x07, 0xD4, 0x36, 0x28, 0x28,
                                        0x9D, 0x57, 0xCA, 0x3F, 0x9D, 0x44, 0x10, 0x2B};

// A preview block at `base` in a file: the list, then each piece in turn.
Bytes previewBlock(std::uint64_t base, const std::vector<std::pair<std::uint8_t, Bytes>>& pieces) {
  Bytes block(kSentinel, kSentinel + 16);
  putLE(block, 0, 4);  // overall size, not used
  block.push_back(static_cast<std::uint8_t>(pieces.size()));
  std::uint64_t address = base + block.size() + pieces.size() * 9;
  for (const auto& [code, bytes] : pieces) {
    block.push_back(code);
    putLE(block, address, 4);
    putLE(block, bytes.size(), 4);
    address += bytes.size();
  }
  for (const auto& piece : pieces) block.insert(block.end(), piece.second.begin(), piece.second.end());
  return block;
}

Bytes dib(std::int32_t width, std::int32_t height, std::uint16_t bitCount) {
  Bytes out;
  putLE(out, 40, 4);
  putLE(out, static_cast<std::uint32_t>(width), 4);
  putLE(out, static_cast<std::uint32_t>(height), 4);
  putLE(out, 1, 2);
  putLE(out, bitCount, 2);
  out.resize(40, 0);
  const std::size_t palette = bitCount <= 8 ? (std::size_t{1} << bitCount) * 4 : 0;
  const std::size_t row = (static_cast<std::size_t>(std::abs(width)) * bitCount + 31) / 32 * 4;
  out.resize(out.size() + palette + row * static_cast<std::size_t>(std::abs(height)), 0x7F);
  return out;
}

Bytes pngHead(std::uint32_t width, std::uint32_t height) {
  Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (std::uint32_t v : {width, height})
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  out.resize(out.size() + 17, 0);
  return out;
}

// Sizes and the PNG of later versions are read back from the writer's
// drawings and the real drawings' listings; here a raster picture after a
// WMF, a WMF alone, and a header without a picture.
TEST(PreviewBlock, GivesTheFirstRasterPicture) {
  Preview p;
  const Bytes header(80, 0);
  ASSERT_TRUE(detail::readPreview(previewBlock(0, {{1, header}, {3, Bytes(10, 1)}, {2, dib(4, 4, 8)}}), 0, 0, p).ok());
  EXPECT_EQ(p.format, PreviewFormat::kBmp);
  EXPECT_EQ(p.bytes, dib(4, 4, 8));
  ASSERT_TRUE(detail::readPreview(previewBlock(0x99, {{3, Bytes(10, 1)}}), 0, std::nullopt, p).ok());
  EXPECT_EQ(p.format, PreviewFormat::kWmf);
  EXPECT_EQ(p.bytes.size(), 10u);
  // Thumbnails switched off: a header and no picture.
  ASSERT_TRUE(detail::readPreview(previewBlock(0, {{1, header}}), 0, std::nullopt, p).ok());
  EXPECT_EQ(p.format, PreviewFormat::kNone);
}

TEST(PreviewBlock, BadBlocksAreReportedNotRead) {
  Preview p;
  Bytes block = previewBlock(0, {{2, dib(4, 4, 24)}});
  Bytes badSentinel = block;
  badSentinel[3] ^= 0xFF;
  EXPECT_EQ(detail::readPreview(badSentinel, 0, 0, p).kind, ErrorKind::kCorrupt);
  EXPECT_EQ(detail::readPreview(Bytes(block.begin(), block.begin() + 25), 0, 0, p).kind, ErrorKind::kTruncated);
  EXPECT_EQ(detail::readPreview(block, block.size(), 0, p).kind, ErrorKind::kTruncated);
  Bytes outside = block;
  outside[22] = 0xF0;  // the picture's address, far past the end
  EXPECT_EQ(detail::readPreview(outside, 0, 0, p).kind, ErrorKind::kCorrupt);
  Bytes longer = block;
  longer[26] = 0xFF;  // its size
  EXPECT_EQ(detail::readPreview(longer, 0, 0, p).kind, ErrorKind::kCorrupt);
  EXPECT_EQ(detail::readPreview(previewBlock(0, {{2, Bytes(40, 0)}}), 0, 0, p).kind, ErrorKind::kCorrupt);
  EXPECT_EQ(detail::readPreview(previewBlock(0, {{6, Bytes(30, 0)}}), 0, 0, p).kind, ErrorKind::kCorrupt);
  EXPECT_EQ(detail::readPreview(previewBlock(0, {{2, dib(0, 4, 24)}}), 0, 0, p).kind, ErrorKind::kCorrupt);
  EXPECT_EQ(p.format, PreviewFormat::kNone);
  EXPECT_TRUE(p.bytes.empty());
}

TEST(PreviewFile, BitmapsGetAFileHeaderPointingPastThePalette) {
  Preview p;
  p.format = PreviewFormat::kBmp;
  p.bytes = dib(3, 2, 8);
  Bytes file = previewFileBytes(p);
  ASSERT_EQ(file.size(), p.bytes.size() + 14);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(detail::le32(file, 2), file.size());
  EXPECT_EQ(detail::le32(file, 10), 14u + 40 + 256 * 4);
  EXPECT_TRUE(std::equal(p.bytes.begin(), p.bytes.end(), file.begin() + 14));
  p.bytes = dib(3, 2, 24);
  EXPECT_EQ(detail::le32(previewFileBytes(p), 10), 14u + 40);
  p.format = PreviewFormat::kPng;
  p.bytes = pngHead(1, 1);
  EXPECT_EQ(previewFileBytes(p), p.bytes);
  EXPECT_STREQ(previewExtension(PreviewFormat::kPng), ".png");
  EXPECT_TRUE(previewFileBytes(Preview{}).empty());
  EXPECT_STREQ(previewExtension(PreviewFormat::kNone), "");
}

Bytes summaryInfo(const std::vector<Bytes>& texts, bool unicode) {
  Bytes out;
  for (const Bytes& text : texts) {
    const std::size_t unit = unicode ? 2 : 1;
    putLE(out, text.size() / unit + 1, 2);  // the length counts the closing NUL
    out.insert(out.end(), text.begin(), text.end());
    putLE(out, 0, static_cast<int>(unit));
  }
  out.resize(out.size() + 32, 0);  // dates and custom properties follow
  return out;
}

TEST(SummaryInfo, TextsInTheCodePageBeforeR2007AndUtf16After) {
  SummaryInfo info;
  std::vector<Bytes> texts(8);
  texts[0] = bytesOf("Caf\xE9");
  texts[5] = bytesOf("\xC6\xE0\xEA");
  ASSERT_TRUE(detail::readSummaryInfo(summaryInfo(texts, false), detail::Release::kR2004, 30, info).ok());
  EXPECT_EQ(info.title, "Caf\u00E9");
  EXPECT_EQ(info.lastSavedBy, "\u00C6\u00E0\u00EA");
  ASSERT_TRUE(detail::readSummaryInfo(summaryInfo(texts, false), detail::Release::kR2004, 29, info).ok());
  EXPECT_EQ(info.lastSavedBy, "\u0416\u0430\u043A");

  std::vector<Bytes> wide(8);
  wide[2] = {0x16, 0x04, 'b', 0};  // "Жb"
  wide[7] = {'h', 0, 't', 0};
  ASSERT_TRUE(detail::readSummaryInfo(summaryInfo(wide, true), detail::Release::kR2018, 30, info).ok());
  EXPECT_EQ(info.author, "\u0416b");
  EXPECT_EQ(info.hyperlinkBase, "ht");
  EXPECT_EQ(info.title, "");

  const Bytes whole = summaryInfo(wide, true);
  EXPECT_EQ(detail::readSummaryInfo(Bytes(whole.begin(), whole.begin() + 9), detail::Release::kR2018, 30, info).kind,
            ErrorKind::kTruncated);
  Bytes tooLong = whole;
  tooLong[0] = 0xFF;
  EXPECT_EQ(detail::readSummaryInfo(tooLong, detail::Release::kR2018, 30, info).kind, ErrorKind::kTruncated);
}

// A preview that is missing, misplaced or broken is a note beside an absent
// picture, never damage: the drawing's other facts stand as they are.
TEST(EvidenceDamage, ABrokenPreviewIsANoteAndTheRestStands) {
  const auto dir = testing::sharedDrawings();
  if (dir.empty()) GTEST_SKIP() << "no sample drawings beside the repository";
  const std::string text = testing::slurp(dir / "sample_AC1015.dwg");
  const Bytes good(text.begin(), text.end());
  const ReadRequest all{.evidence = true, .geometry = true};
  Drawing sound;
  ASSERT_TRUE(readDrawing(good, all, sound).ok());
  ASSERT_TRUE(sound.summary.damage.empty());
  ASSERT_EQ(sound.evidence.preview.format, PreviewFormat::kBmp);
  EXPECT_TRUE(sound.evidence.previewNote.empty());

  const std::uint32_t seeker = detail::le32(good, 0x0D);
  // The BMP's info header where the file keeps it, found by its bytes.
  const Bytes& dib = sound.evidence.preview.bytes;
  const auto at = std::search(good.begin(), good.end(), dib.begin(), dib.begin() + 40) - good.begin();
  ASSERT_LT(static_cast<std::size_t>(at), good.size());
  struct Case {
    const char* name;
    std::size_t offset;
    std::uint8_t mask;
  };
  const Case cases[] = {
      {"start sentinel", seeker, 0xFF},
      {"BMP taller than its pixels (bit 9 of the height)", static_cast<std::size_t>(at) + 9, 0x02},
      {"BMP wider than its pixels (bit 10 of the width)", static_cast<std::size_t>(at) + 5, 0x04},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = good;
    bytes[c.offset] ^= c.mask;
    Drawing damaged;
    ASSERT_TRUE(readDrawing(bytes, all, damaged).ok());
    EXPECT_TRUE(damaged.summary.damage.empty()) << damaged.summary.damage[0].message;
    EXPECT_EQ(damaged.evidence.preview.format, PreviewFormat::kNone);
    EXPECT_TRUE(damaged.evidence.preview.bytes.empty());
    EXPECT_FALSE(damaged.evidence.previewNote.empty());
    EXPECT_EQ(damaged.evidence.fingerprintGuid, sound.evidence.fingerprintGuid);
    EXPECT_EQ(damaged.summary.entities.size(), sound.summary.entities.size());
    EXPECT_EQ(damaged.geometry.size(), sound.geometry.size());

    // The plain summary does not look at the preview at all.
    Summary plain;
    EXPECT_TRUE(readSummary(bytes, plain).ok());
    EXPECT_TRUE(plain.damage.empty());
  }

  // One row less than stored leaves a whole picture; one row more does not.
  for (const int rows : {-1, 1}) {
    Bytes bytes = good;
    const std::uint32_t height = static_cast<std::uint32_t>(sound.evidence.preview.height + rows);
    std::memcpy(bytes.data() + at + 8, &height, 4);
    Drawing drawing;
    ASSERT_TRUE(readDrawing(bytes, all, drawing).ok());
    EXPECT_EQ(drawing.evidence.preview.format, rows < 0 ? PreviewFormat::kBmp : PreviewFormat::kNone);
    EXPECT_EQ(drawing.evidence.previewNote.empty(), rows < 0);
  }
}

}  // namespace
}  // namespace veldra::dwg
