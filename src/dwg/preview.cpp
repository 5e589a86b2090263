// The preview picture: a block that starts with a sentinel and lists the
// pieces it holds (a header, a BMP, a WMF, a PNG), each with its address and
// size. R13-R2000 point to the block from the file header (the image seeker
// at 0x0D) and give file offsets; R2004 and later keep it in AcDb:Preview.

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "format.h"

namespace veldra::dwg::detail {
namespace {

constexpr layout::Sentinel kStartSentinel = layout::kImageStart;
constexpr std::size_t kEntriesAt = kStartSentinel.size() + 4 + 1;  // after the overall size and the count
constexpr std::size_t kEntrySize = 9;
constexpr std::uint8_t kBmpCode = 2;
constexpr std::uint8_t kWmfCode = 3;
constexpr std::uint8_t kPngCode = 6;
constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::int32_t kMaxSide = 1 << 16;  // far above any thumbnail, small enough to multiply safely

const std::string kSection(kPreviewName);

}  // namespace

std::uint32_t le32(std::span<const std::uint8_t> data, std::size_t at) {
  return static_cast<std::uint32_t>(data[at]) | (static_cast<std::uint32_t>(data[at + 1]) << 8) |
         (static_cast<std::uint32_t>(data[at + 2]) << 16) | (static_cast<std::uint32_t>(data[at + 3]) << 24);
}

namespace {

std::uint32_t be32(std::span<const std::uint8_t> data, std::size_t at) {
  return (static_cast<std::uint32_t>(data[at]) << 24) | (static_cast<std::uint32_t>(data[at + 1]) << 16) |
         (static_cast<std::uint32_t>(data[at + 2]) << 8) | static_cast<std::uint32_t>(data[at + 3]);
}

// Width and height from a device-independent bitmap's info header (the
// 12-byte core form or the 40-byte and longer forms); height is negative for
// a top-down bitmap.
bool bmpSize(std::span<const std::uint8_t> dib, int& width, int& height) {
  if (dib.size() < 12) return false;
  const std::uint32_t headerSize = le32(dib, 0);
  std::int64_t w = 0;
  std::int64_t h = 0;
  if (headerSize == 12) {
    w = dib[4] | (dib[5] << 8);
    h = dib[6] | (dib[7] << 8);
  } else if (headerSize >= 40 && headerSize <= dib.size()) {
    w = static_cast<std::int32_t>(le32(dib, 4));
    h = static_cast<std::int32_t>(le32(dib, 8));
    if (h < 0) h = -h;
  } else {
    return false;
  }
  if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

// Where a device-independent bitmap's pixels start: after the info header,
// the colour masks and the palette; not past its end.
std::uint64_t bmpPixelsAt(std::span<const std::uint8_t> dib) {
  if (dib.size() < 12) return dib.size();
  const std::uint32_t headerSize = le32(dib, 0);
  const bool core = headerSize == 12;
  std::uint64_t offset = headerSize;
  const unsigned bitCount = core ? (dib[10] | (dib[11] << 8)) : dib.size() >= 16 ? (dib[14] | (dib[15] << 8)) : 0;
  std::uint64_t colours = 0;
  if (!core && dib.size() >= 36) {
    const std::uint32_t compression = le32(dib, 16);
    if (headerSize == 40 && (compression == 3 || compression == 6)) offset += compression == 3 ? 12 : 16;
    colours = le32(dib, 32);
  }
  if (colours == 0 && bitCount <= 8) colours = std::uint64_t{1} << bitCount;
  offset += colours * (core ? 3 : 4);
  return std::min<std::uint64_t>(offset, dib.size());
}

// Whether the bitmap holds every pixel its header promises: rows of
// width x depth bits, each padded to four bytes, height times. Compressed
// pixels (run lengths, an embedded JPEG or PNG) have no fixed size.
bool bmpHoldsItsPixels(std::span<const std::uint8_t> dib, int width, int height) {
  const bool core = le32(dib, 0) == 12;
  if (!core && dib.size() < 20) return false;
  const unsigned bitCount = core ? (dib[10] | (dib[11] << 8)) : (dib[14] | (dib[15] << 8));
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
    return false;
  if (!core) {
    const std::uint32_t compression = le32(dib, 16);
    if (compression != 0 && compression != 3 && compression != 6) return true;
  }
  const std::uint64_t row = (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;
  return row * static_cast<std::uint64_t>(height) <= dib.size() - bmpPixelsAt(dib);
}

// Width and height from a PNG's first chunk, IHDR.
bool pngSize(std::span<const std::uint8_t> png, int& width, int& height) {
  if (png.size() < 24 || std::memcmp(png.data(), kPngSignature, sizeof kPngSignature) != 0 ||
      std::memcmp(png.data() + 12, "IHDR", 4) != 0)
    return false;
  const std::uint32_t w = be32(png, 16);
  const std::uint32_t h = be32(png, 20);
  if (w == 0 || h == 0 || w > static_cast<std::uint32_t>(kMaxSide) || h > static_cast<std::uint32_t>(kMaxSide))
    return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

}  // namespace

Status readPreview(std::span<const std::uint8_t> data, std::uint64_t start, std::optional<std::uint64_t> base,
                   Preview& out) {
  out = Preview{};
  if (start > data.size() || data.size() - start < kEntriesAt)
    return makeError(ErrorKind::kTruncated, "preview block cut short", start, kSection);
  const auto block = data.subspan(static_cast<std::size_t>(start));
  if (!std::equal(kStartSentinel.begin(), kStartSentinel.end(), block.begin()))
    return makeError(ErrorKind::kCorrupt, "preview block has no start sentinel", start, kSection);
  const std::size_t count = block[kEntriesAt - 1];
  if (block.size() - kEntriesAt < count * kEntrySize)
    return makeError(ErrorKind::kTruncated, "preview list cut short", start, kSection);

  // Of several pictures, the first raster one; a WMF only when there is none.
  struct Piece {
    std::uint8_t code = 0;
    std::uint64_t address = 0;
    std::uint64_t size = 0;
  };
  Piece chosen;
  std::uint64_t firstAddress = UINT64_MAX;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = kEntriesAt + i * kEntrySize;
    const Piece piece{block[at], le32(block, at + 1), le32(block, at + 5)};
    firstAddress = std::min(firstAddress, piece.address);
    if (piece.code != kBmpCode && piece.code != kPngCode && piece.code != kWmfCode) continue;
    if (chosen.code == 0 || (chosen.code == kWmfCode && piece.code != kWmfCode)) chosen = piece;
  }
  if (chosen.code == 0) return Status::Ok();  // a block without a picture
  // Without a known base the pieces follow the list in the order of their
  // addresses, as every drawing seen stores them.
  const std::uint64_t listEnd = start + kEntriesAt + count * kEntrySize;
  if (!base) {
    base = firstAddress - std::min(firstAddress, listEnd);
  }
  if (chosen.address < *base || chosen.address - *base > data.size() ||
      chosen.size > data.size() - (chosen.address - *base))
    return makeError(ErrorKind::kCorrupt, "preview picture lies outside its block", start, kSection);
  const auto bytes = data.subspan(static_cast<std::size_t>(chosen.address - *base), static_cast<std::size_t>(chosen.size));
  const PreviewFormat format = chosen.code == kBmpCode   ? PreviewFormat::kBmp
                               : chosen.code == kPngCode ? PreviewFormat::kPng
                                                         : PreviewFormat::kWmf;
  return checkedPicture(format, bytes, chosen.address, out);
}

Status checkedPicture(PreviewFormat format, std::span<const std::uint8_t> bytes, std::uint64_t offset, Preview& out) {
  out = Preview{};
  Preview preview;
  preview.format = format;
  switch (format) {
    case PreviewFormat::kBmp:
      if (!bmpSize(bytes, preview.width, preview.height))
        return makeError(ErrorKind::kCorrupt, "preview BMP has no valid header", offset, kSection);
      if (!bmpHoldsItsPixels(bytes, preview.width, preview.height))
        return makeError(ErrorKind::kCorrupt,
                         "preview BMP holds fewer pixels than its header's " + std::to_string(preview.width) + "x" +
                             std::to_string(preview.height) + " promise",
                         offset, kSection);
      break;
    case PreviewFormat::kPng:
      if (!pngSize(bytes, preview.width, preview.height))
        return makeError(ErrorKind::kCorrupt, "preview PNG has no valid header", offset, kSection);
      break;
    case PreviewFormat::kWmf:
      if (bytes.empty()) return makeError(ErrorKind::kCorrupt, "preview WMF is empty", offset, kSection);
      break;
    case PreviewFormat::kNone: return Status::Ok();
  }
  preview.bytes.assign(bytes.begin(), bytes.end());
  out = std::move(preview);
  return Status::Ok();
}

}  // namespace veldra::dwg::detail

namespace veldra::dwg {

const char* previewExtension(PreviewFormat format) {
  switch (format) {
    case PreviewFormat::kBmp: return ".bmp";
    case PreviewFormat::kPng: return ".png";
    case PreviewFormat::kWmf: return ".wmf";
    case PreviewFormat::kNone: break;
  }
  return "";
}

std::vector<std::uint8_t> previewFileBytes(const Preview& preview) {
  if (preview.format != PreviewFormat::kBmp) return preview.bytes;
  const std::span<const std::uint8_t> dib(preview.bytes);
  constexpr std::uint32_t kFileHeaderSize = 14;
  if (dib.size() < 12) return {};
  const std::uint64_t offset = kFileHeaderSize + detail::bmpPixelsAt(dib);

  const std::uint64_t fileSize = kFileHeaderSize + dib.size();
  std::vector<std::uint8_t> file;
  file.reserve(static_cast<std::size_t>(fileSize));
  auto put32 = [&](std::uint64_t value) {
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  };
  file.push_back('B');
  file.push_back('M');
  put32(fileSize);
  put32(0);  // reserved
  put32(offset);
  file.insert(file.end(), dib.begin(), dib.end());
  return file;
}

}  // namespace veldra::dwg
