#include "sketch/raster.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <tuple>

namespace veldra::sketch {

namespace {

std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (const std::uint8_t b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void chunk(std::vector<std::uint8_t>& out, std::string_view type, std::span<const std::uint8_t> data) {
  put32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  put32(out, crc32(std::span<const std::uint8_t>(out).subspan(start)));
}

// Bits into bytes, the first bit the lowest, as deflate packs them.
class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  void bits(std::uint32_t value, int count) {
    acc_ |= static_cast<std::uint64_t>(value) << filled_;
    filled_ += count;
    while (filled_ >= 8) {
      out_.push_back(static_cast<std::uint8_t>(acc_));
      acc_ >>= 8;
      filled_ -= 8;
    }
  }
  // A Huffman code, which deflate stores from its highest bit.
  void code(std::uint32_t value, int count) {
    std::uint32_t reversed = 0;
    for (int k = 0; k < count; ++k) reversed |= ((value >> k) & 1u) << (count - 1 - k);
    bits(reversed, count);
  }
  void flush() {
    if (filled_ > 0) out_.push_back(static_cast<std::uint8_t>(acc_));
    acc_ = 0;
    filled_ = 0;
  }

 private:
  std::vector<std::uint8_t>& out_;
  std::uint64_t acc_ = 0;
  int filled_ = 0;
};

// A symbol of the fixed literal/length code.
void literalCode(BitWriter& w, int symbol) {
  if (symbol < 144) w.code(static_cast<std::uint32_t>(0x30 + symbol), 8);
  else if (symbol < 256) w.code(static_cast<std::uint32_t>(0x190 + symbol - 144), 9);
  else if (symbol < 280) w.code(static_cast<std::uint32_t>(symbol - 256), 7);
  else w.code(static_cast<std::uint32_t>(0xC0 + symbol - 280), 8);
}

constexpr int kLengthBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                               31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr int kLengthExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr int kDistanceBase[] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                 193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr int kDistanceExtra[] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void match(BitWriter& w, int length, int distance) {
  int l = 28;
  while (kLengthBase[l] > length) --l;
  literalCode(w, 257 + l);
  w.bits(static_cast<std::uint32_t>(length - kLengthBase[l]), kLengthExtra[l]);
  int d = 29;
  while (kDistanceBase[d] > distance) --d;
  w.code(static_cast<std::uint32_t>(d), 5);
  w.bits(static_cast<std::uint32_t>(distance - kDistanceBase[d]), kDistanceExtra[d]);
}

// A zlib stream of one deflate block in the fixed code, with repeats found
// greedily through a table of where each three bytes were last seen. Line
// pictures are mostly runs of white, which this takes to a few bytes a row.
std::vector<std::uint8_t> zlibDeflate(std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> out{0x78, 0x01};
  BitWriter w(out);
  w.bits(1, 1);  // the last block
  w.bits(1, 2);  // in the fixed code
  constexpr std::size_t kWindow = 32768, kHashSize = 1 << 15;
  std::vector<std::int64_t> last(kHashSize, -1);
  auto hash = [&](std::size_t i) {
    return ((static_cast<std::size_t>(data[i]) << 10) ^ (static_cast<std::size_t>(data[i + 1]) << 5) ^ data[i + 2]) &
           (kHashSize - 1);
  };
  std::size_t i = 0;
  while (i < data.size()) {
    int length = 0;
    std::size_t distance = 0;
    if (i + 3 <= data.size()) {
      const std::size_t h = hash(i);
      const std::int64_t at = last[h];
      last[h] = static_cast<std::int64_t>(i);
      if (at >= 0 && i - static_cast<std::size_t>(at) <= kWindow) {
        const std::size_t from = static_cast<std::size_t>(at);
        const std::size_t most = std::min<std::size_t>(258, data.size() - i);
        std::size_t n = 0;
        while (n < most && data[from + n] == data[i + n]) ++n;
        if (n >= 3) {
          length = static_cast<int>(n);
          distance = i - from;
        }
      }
    }
    if (length == 0) {
      literalCode(w, data[i]);
      ++i;
      continue;
    }
    match(w, length, static_cast<int>(distance));
    // The bytes a repeat covers are remembered too, a few at most, so that
    // runs keep finding their start.
    const std::size_t end = i + static_cast<std::size_t>(length);
    for (std::size_t k = i + 1; k < end && k + 3 <= data.size() && k < i + 4; ++k) last[hash(k)] = static_cast<std::int64_t>(k);
    i = end;
  }
  literalCode(w, 256);
  w.flush();
  std::uint32_t a = 1, b = 0;
  for (const std::uint8_t v : data) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  put32(out, (b << 16) | a);
  return out;
}

}  // namespace

Canvas::Canvas(int width, int height)
    : width_(std::max(1, width)), height_(std::max(1, height)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0) {}

void Canvas::set(int x, int y, std::uint8_t colour) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] = colour;
}

void Canvas::line(Point a, Point b, std::uint8_t colour) {
  // Clipped to a generous frame first, so that a far point costs nothing.
  const double limit = 4.0 * std::max(width_, height_);
  auto inside = [&](Point p) { return std::abs(p.x) < limit && std::abs(p.y) < limit; };
  if (!inside(a) || !inside(b)) {
    // Only the part of the line near the canvas is stepped over.
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length = std::hypot(dx, dy);
    if (!(length > 0)) return;
    double lo = 0, hi = 1;
    for (const auto& [p, d, max] : {std::tuple{a.x, dx, static_cast<double>(width_)}, std::tuple{a.y, dy, static_cast<double>(height_)}}) {
      if (d == 0) {
        if (p < -1 || p > max + 1) return;
        continue;
      }
      double t1 = (-1 - p) / d, t2 = (max + 1 - p) / d;
      if (t1 > t2) std::swap(t1, t2);
      lo = std::max(lo, t1);
      hi = std::min(hi, t2);
    }
    if (lo > hi) return;
    const Point from{a.x + dx * lo, a.y + dy * lo}, to{a.x + dx * hi, a.y + dy * hi};
    a = from;
    b = to;
  }
  int x0 = static_cast<int>(std::lround(a.x)), y0 = static_cast<int>(std::lround(a.y));
  const int x1 = static_cast<int>(std::lround(b.x)), y1 = static_cast<int>(std::lround(b.y));
  const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    set(x0, y0, colour);
    if (x0 == x1 && y0 == y1) break;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
}

std::size_t Canvas::ink() const {
  return static_cast<std::size_t>(std::count_if(pixels_.begin(), pixels_.end(), [](std::uint8_t p) { return p != 0; }));
}

void draw(Canvas& canvas, const Sketch& sketch, const Fit& fit, std::uint8_t ink, std::uint8_t textInk) {
  for (const auto& l : sketch.labels) {
    const double width = l.height * 0.6 * static_cast<double>(std::max<std::size_t>(1, l.text.size()));
    const double c = std::cos(l.angle), s = std::sin(l.angle);
    const Point p0 = l.at, p1{p0.x + width * c, p0.y + width * s};
    const Point p2{p1.x - l.height * s, p1.y + l.height * c}, p3{p0.x - l.height * s, p0.y + l.height * c};
    canvas.line(fit(p0), fit(p1), textInk);
    canvas.line(fit(p1), fit(p2), textInk);
    canvas.line(fit(p2), fit(p3), textInk);
    canvas.line(fit(p3), fit(p0), textInk);
  }
  for (const auto& stroke : sketch.strokes)
    for (std::size_t k = 1; k < stroke.points.size(); ++k)
      canvas.line(fit(stroke.points[k - 1]), fit(stroke.points[k]), ink);
}

std::vector<std::uint8_t> pngFile(const Canvas& canvas, std::span<const Colour> palette) {
  std::vector<std::uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  put32(header, static_cast<std::uint32_t>(canvas.width()));
  put32(header, static_cast<std::uint32_t>(canvas.height()));
  header.insert(header.end(), {8, 3, 0, 0, 0});  // 8 bits, palette, deflate, no filter, no interlace
  chunk(out, "IHDR", header);
  std::vector<std::uint8_t> colours;
  for (const Colour& c : palette.first(std::min<std::size_t>(palette.size(), 256))) colours.insert(colours.end(), {c.r, c.g, c.b});
  if (colours.empty()) colours = {255, 255, 255};
  chunk(out, "PLTE", colours);
  std::vector<std::uint8_t> rows;
  const auto w = static_cast<std::size_t>(canvas.width());
  rows.reserve((w + 1) * static_cast<std::size_t>(canvas.height()));
  for (int y = 0; y < canvas.height(); ++y) {
    rows.push_back(0);
    const auto row = canvas.pixels().subspan(static_cast<std::size_t>(y) * w, w);
    rows.insert(rows.end(), row.begin(), row.end());
  }
  chunk(out, "IDAT", zlibDeflate(rows));
  chunk(out, "IEND", {});
  return out;
}

std::vector<std::uint8_t> sketchPng(const Sketch& sketch, int width, int height) {
  Canvas canvas(width, height);
  draw(canvas, sketch, Fit::of(sketch.bounds(), canvas.width(), canvas.height(), 8), 1, 2);
  static constexpr Colour kPalette[] = {{255, 255, 255}, {20, 20, 20}, {150, 150, 150}};
  return pngFile(canvas, kPalette);
}

std::vector<std::uint8_t> overlayPng(const Sketch& first, const Sketch& second, const SharedParts& shared, int width,
                                     int height) {
  Canvas canvas(width, height);
  Box box = first.bounds();
  const Box other = second.bounds();
  if (!other.empty) {
    box.add({other.minX, other.minY});
    box.add({other.maxX, other.maxY});
  }
  const Fit fit = Fit::of(box, canvas.width(), canvas.height(), 8);
  auto paint = [&](const Sketch& s, const std::vector<bool>& strokes, const std::vector<bool>& labels, std::uint8_t own) {
    Sketch part;
    for (std::size_t i = 0; i < s.strokes.size(); ++i) {
      const std::uint8_t ink = i < strokes.size() && strokes[i] ? 1 : own;
      for (std::size_t k = 1; k < s.strokes[i].points.size(); ++k)
        canvas.line(fit(s.strokes[i].points[k - 1]), fit(s.strokes[i].points[k]), ink);
    }
    for (std::size_t i = 0; i < s.labels.size(); ++i) {
      part.labels = {s.labels[i]};
      draw(canvas, part, fit, 0, i < labels.size() && labels[i] ? 1 : own);
    }
  };
  paint(second, shared.strokesB, shared.labelsB, 3);
  paint(first, shared.strokesA, shared.labelsA, 2);
  static constexpr Colour kPalette[] = {{255, 255, 255}, {192, 57, 43}, {31, 78, 154}, {30, 138, 76}};
  return pngFile(canvas, kPalette);
}

}  // namespace veldra::sketch
