#include "evidence/reports/picture.h"

#include <algorithm>
#include <cmath>

namespace veldra::evidence {

namespace {

std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t le16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
}

bool isPng(std::span<const std::uint8_t> b) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (b.size() < 8) return false;
  for (int k = 0; k < 8; ++k)
    if (b[static_cast<std::size_t>(k)] != kSignature[k]) return false;
  return true;
}

}  // namespace

std::string base64(std::span<const std::uint8_t> bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const std::uint32_t v = static_cast<std::uint32_t>(bytes[i]) << 16 | static_cast<std::uint32_t>(bytes[i + 1]) << 8 | bytes[i + 2];
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += kDigits[(v >> 6) & 63];
    out += kDigits[v & 63];
  }
  if (i < bytes.size()) {
    std::uint32_t v = static_cast<std::uint32_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::optional<std::vector<std::uint8_t>> bmpFile(std::span<const std::uint8_t> dib) {
  if (dib.size() < 40) return std::nullopt;
  const std::uint32_t headerSize = le32(dib, 0);
  if (headerSize < 40 || headerSize > dib.size()) return std::nullopt;
  const std::uint16_t bits = le16(dib, 14);
  const std::uint32_t compression = le32(dib, 16);
  std::uint64_t colours = le32(dib, 32);
  if (colours == 0 && bits <= 8) colours = std::uint64_t{1} << bits;
  // Three colour masks follow a 40-byte header for bit fields.
  const std::uint64_t masks = headerSize == 40 && (compression == 3 || compression == 6) ? (compression == 3 ? 12 : 16) : 0;
  const std::uint64_t pixels = 14 + headerSize + masks + colours * 4;
  if (pixels > 14 + static_cast<std::uint64_t>(dib.size())) return std::nullopt;
  std::vector<std::uint8_t> out;
  out.reserve(14 + dib.size());
  out.push_back('B');
  out.push_back('M');
  put32(out, static_cast<std::uint32_t>(14 + dib.size()));
  put32(out, 0);
  put32(out, static_cast<std::uint32_t>(pixels));
  out.insert(out.end(), dib.begin(), dib.end());
  return out;
}

std::optional<std::vector<std::uint8_t>> previewImage(const veldra::dwg::Preview& preview) {
  using veldra::dwg::PreviewFormat;
  if (preview.format == PreviewFormat::kPng && isPng(preview.bytes)) return preview.bytes;
  if (preview.format == PreviewFormat::kBmp) return bmpFile(preview.bytes);
  return std::nullopt;
}

std::optional<std::string> previewDataUri(const veldra::dwg::Preview& preview) {
  const auto image = previewImage(preview);
  if (!image) return std::nullopt;
  return std::string(isPng(*image) ? "data:image/png;base64," : "data:image/bmp;base64,") + base64(*image);
}

std::string drawnCaption(const veldra::sketch::Sketch& sketch) {
  std::string out(veldra::sketch::kDrawnCaption);
  if (sketch.paperSpace) out += " (paper space)";
  if (sketch.notDrawn == 1)
    out += "; 1 entity not drawn (a kind the picture leaves out: a hatch, a dimension, an image...)";
  else if (sketch.notDrawn > 1)
    out += "; " + std::to_string(sketch.notDrawn) +
           " entities not drawn (kinds the picture leaves out: hatches, dimensions, images...)";
  return out;
}

veldra::sketch::Box LaidPair::bounds() const {
  veldra::sketch::Box box = first.bounds();
  if (const veldra::sketch::Box other = second.bounds(); !other.empty) {
    box.add({other.minX, other.minY});
    box.add({other.maxX, other.maxY});
  }
  return box;
}

veldra::sketch::Similarity secondOntoFirst(const std::optional<Placement>& placement) {
  if (!placement) return {};
  const Placement back = inverse(*placement);
  veldra::sketch::Similarity s;
  s.a = back.m[0];
  s.b = back.m[1];
  s.c = back.m[2];
  s.d = back.m[3];
  s.tx = back.dx;
  s.ty = back.dy;
  return s;
}

LaidPair laidPair(const Findings& f, const PairFinding& p) {
  LaidPair out;
  out.first = f.drawings[p.a].drawnPicture.unpack();
  out.second = veldra::sketch::mapped(f.drawings[p.b].drawnPicture.unpack(), secondOntoFirst(p.evidence.placement));
  out.shared = veldra::sketch::sharedParts(out.first, out.second);
  return out;
}

int pictureHeight(const veldra::sketch::Box& bounds, int width) {
  const double w = bounds.width(), h = bounds.height();
  const double ratio = w > 0 && h > 0 ? std::clamp(h / w, 0.4, 1.0) : 0.75;
  return std::max(1, static_cast<int>(std::lround(width * ratio)));
}

}  // namespace veldra::evidence
