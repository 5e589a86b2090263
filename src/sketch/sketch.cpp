#include "sketch/sketch.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_map>

namespace veldra::sketch {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
// Segments a full turn of an arc is drawn with.
constexpr int kSegmentsPerTurn = 72;

bool finite(std::span<const double> numbers) {
  return std::all_of(numbers.begin(), numbers.end(), [](double v) { return std::isfinite(v); });
}

int segmentsFor(double sweep) {
  return std::clamp(static_cast<int>(std::ceil(std::abs(sweep) / kTwoPi * kSegmentsPerTurn)), 2, kSegmentsPerTurn);
}

// The sweep from `start` to `end` counterclockwise, in (0, 2pi].
double sweepOf(double start, double end) {
  double sweep = std::fmod(end - start, kTwoPi);
  if (sweep <= 1e-12) sweep += kTwoPi;
  return sweep;
}

// The cosine and sine of the angles from `start` through `sweep` in `n`
// equal steps, each turned from the one before by the step (a few
// multiplications instead of a cosine and a sine a point); the last is
// taken afresh, so that an arc ends where its end lies.
class ArcSteps {
 public:
  ArcSteps(double start, double sweep, int n)
      : start_(start), sweep_(sweep), n_(n), stepCos_(std::cos(sweep / n)), stepSin_(std::sin(sweep / n)),
        cos_(std::cos(start)), sin_(std::sin(start)) {}

  double cos() const { return cos_; }
  double sin() const { return sin_; }

  void next() {
    if (++k_ == n_) {
      cos_ = std::cos(start_ + sweep_);
      sin_ = std::sin(start_ + sweep_);
      return;
    }
    const double c = cos_ * stepCos_ - sin_ * stepSin_;
    sin_ = sin_ * stepCos_ + cos_ * stepSin_;
    cos_ = c;
  }

 private:
  double start_, sweep_;
  int n_, k_ = 0;
  double stepCos_, stepSin_, cos_, sin_;
};

class Builder {
 public:
  explicit Builder(Sketch& out) : out_(out) {}

  bool full() const { return points_ >= kMaxPoints; }

  void stroke(std::uint32_t entity, std::vector<Point> points) {
    if (points.size() < 2) return;
    points_ += points.size();
    out_.strokes.push_back({entity, std::move(points)});
  }

  void arc(std::uint32_t entity, Point c, double rx, double ry, double rotation, double start, double sweep) {
    const int n = segmentsFor(sweep);
    std::vector<Point> points;
    points.reserve(static_cast<std::size_t>(n) + 1);
    const double cr = std::cos(rotation), sr = std::sin(rotation);
    ArcSteps steps(start, sweep, n);
    for (int k = 0; k <= n; ++k) {
      const double x = rx * steps.cos(), y = ry * steps.sin();
      points.push_back({c.x + x * cr - y * sr, c.y + x * sr + y * cr});
      steps.next();
    }
    stroke(entity, std::move(points));
  }

  void marker(std::uint32_t entity, Point p, double size) {
    stroke(entity, {{p.x - size, p.y}, {p.x, p.y + size}, {p.x + size, p.y}, {p.x, p.y - size}, {p.x - size, p.y}});
  }

 private:
  Sketch& out_;
  std::size_t points_ = 0;
};

// A polyline's vertices (x y bulge each) with each bulged span as its arc.
std::vector<Point> polylinePoints(std::span<const double> n) {
  std::vector<Point> points;
  const std::size_t count = n.size() / 3;
  for (std::size_t i = 0; i < count; ++i) {
    const Point p{n[i * 3], n[i * 3 + 1]};
    points.push_back(p);
    const double bulge = n[i * 3 + 2];
    if (i + 1 == count || bulge == 0) continue;
    const Point q{n[i * 3 + 3], n[i * 3 + 4]};
    // A bulge is the tangent of a quarter of the arc's sweep, negative clockwise.
    const double sweep = 4 * std::atan(bulge);
    const double chord = std::hypot(q.x - p.x, q.y - p.y);
    if (chord == 0) continue;
    const double radius = chord / (2 * std::sin(std::abs(sweep) / 2));
    const double mx = (p.x + q.x) / 2, my = (p.y + q.y) / 2;
    // The centre lies off the chord's middle, to the left for a counterclockwise arc.
    const double d = radius * std::cos(sweep / 2) * (sweep > 0 ? 1 : -1);
    const double ux = -(q.y - p.y) / chord, uy = (q.x - p.x) / chord;
    const Point c{mx + ux * d, my + uy * d};
    const double start = std::atan2(p.y - c.y, p.x - c.x);
    const int segments = segmentsFor(sweep);
    ArcSteps steps(start, sweep, segments);
    for (int k = 1; k < segments; ++k) {
      steps.next();
      points.push_back({c.x + radius * steps.cos(), c.y + radius * steps.sin()});
    }
  }
  return points;
}

// The blocks' own pictures, each drawn once when first inserted.
class BlockPictures {
 public:
  explicit BlockPictures(std::span<const Block> blocks)
      : blocks_(blocks), pictures_(blocks.size()), state_(blocks.size(), 0) {
    for (std::size_t k = 0; k < blocks.size(); ++k) byName_.emplace(blocks[k].name, k);
  }

  // The picture of the block of that name; null for a block not given, one
  // being drawn (it holds itself), or one with nothing to draw.
  const Sketch* pictureOf(std::string_view name) {
    const auto found = byName_.find(name);
    if (found == byName_.end()) return nullptr;
    const std::size_t k = found->second;
    if (state_[k] == 1) return nullptr;
    if (state_[k] == 0) {
      state_[k] = 1;
      pictures_[k] = sketchWith(blocks_[k].shapes, *this);
      state_[k] = 2;
    }
    return pictures_[k].empty() ? nullptr : &pictures_[k];
  }

  static Sketch sketchWith(std::span<const Shape> shapes, BlockPictures& blocks);

 private:
  std::span<const Block> blocks_;
  std::vector<Sketch> pictures_;
  std::vector<int> state_;  // 0 not drawn, 1 being drawn, 2 drawn
  std::unordered_map<std::string_view, std::size_t> byName_;  // the first block of each name
};

}  // namespace

void Box::add(Point p) {
  if (empty) {
    minX = maxX = p.x;
    minY = maxY = p.y;
    empty = false;
    return;
  }
  minX = std::min(minX, p.x);
  maxX = std::max(maxX, p.x);
  minY = std::min(minY, p.y);
  maxY = std::max(maxY, p.y);
}

Box Sketch::bounds() const {
  Box box;
  for (const auto& s : strokes)
    for (const auto& p : s.points) box.add(p);
  for (const auto& l : labels) {
    // A text as wide as its letters at about six tenths of its height.
    const double width = l.height * 0.6 * static_cast<double>(std::max<std::size_t>(1, l.text.size()));
    box.add(l.at);
    box.add({l.at.x + width * std::cos(l.angle), l.at.y + width * std::sin(l.angle)});
    box.add({l.at.x - l.height * std::sin(l.angle), l.at.y + l.height * std::cos(l.angle)});
  }
  return box;
}

Sketch sketchOf(std::span<const Shape> shapes, std::span<const Block> blocks) {
  BlockPictures pictures(blocks);
  return BlockPictures::sketchWith(shapes, pictures);
}

Sketch BlockPictures::sketchWith(std::span<const Shape> shapes, BlockPictures& blocks) {
  Sketch out;
  const bool anyModel = std::any_of(shapes.begin(), shapes.end(), [](const Shape& s) { return !s.paperSpace; });
  out.paperSpace = !anyModel && !shapes.empty();
  Builder b(out);
  // Markers for block references and points take a size from the drawing's
  // extent, known once the rest is drawn.
  std::vector<std::pair<std::uint32_t, Point>> markers;
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    const Shape& s = shapes[i];
    if (s.paperSpace != out.paperSpace) continue;
    const auto entity = static_cast<std::uint32_t>(i);
    const auto& n = s.numbers;
    const std::size_t before = out.strokes.size() + out.labels.size() + markers.size();
    if (b.full() || !finite(n)) {
      ++out.notDrawn;
      continue;
    }
    if (s.kind == "AcDbLine" && n.size() >= 6) {
      b.stroke(entity, {{n[0], n[1]}, {n[3], n[4]}});
    } else if (s.kind == "AcDbCircle" && n.size() >= 4 && n[3] > 0) {
      b.arc(entity, {n[0], n[1]}, n[3], n[3], 0, 0, kTwoPi);
    } else if (s.kind == "AcDbArc" && n.size() >= 6 && n[3] > 0) {
      b.arc(entity, {n[0], n[1]}, n[3], n[3], 0, n[4], sweepOf(n[4], n[5]));
    } else if (s.kind == "AcDbEllipse" && n.size() >= 9) {
      const double major = std::hypot(n[3], n[4]);
      if (major > 0) b.arc(entity, {n[0], n[1]}, major, major * n[6], std::atan2(n[4], n[3]), n[7], sweepOf(n[7], n[8]));
    } else if (s.kind == "AcDbPolyline" && n.size() >= 6) {
      b.stroke(entity, polylinePoints(n));
    } else if ((s.kind == "AcDbSolid" || s.kind == "AcDbTrace") && n.size() >= 12) {
      // Corners in the order 1 2 4 3 go round the outline.
      b.stroke(entity, {{n[0], n[1]}, {n[3], n[4]}, {n[9], n[10]}, {n[6], n[7]}, {n[0], n[1]}});
    } else if ((s.kind == "AcDbText" || s.kind == "AcDbAttributeDefinition") && n.size() >= 3 && !s.text.empty()) {
      out.labels.push_back({entity, {n[0], n[1]}, n[2] > 0 ? n[2] : 1, 0, std::string(s.text)});
    } else if (s.kind == "AcDbMText" && n.size() >= 4 && !s.text.empty()) {
      // A paragraph's insertion is its top left corner.
      const double h = n[3] > 0 ? n[3] : 1;
      out.labels.push_back({entity, {n[0], n[1] - h}, h, 0, std::string(s.text)});
    } else if (const Sketch* block = (s.kind == "AcDbBlockReference" || s.kind == "AcDbMInsertBlock") && n.size() >= 7
                                         ? blocks.pictureOf(s.text)
                                         : nullptr) {
      // The block's picture scaled, turned and moved onto its insertion.
      const Sketch& picture = *block;
      const double sx = n[3], sy = n[4], c = std::cos(n[6]), si = std::sin(n[6]);
      auto place = [&](Point p) {
        const double x = p.x * sx, y = p.y * sy;
        return Point{n[0] + x * c - y * si, n[1] + x * si + y * c};
      };
      for (const Stroke& stroke : picture.strokes) {
        if (b.full()) break;
        std::vector<Point> points;
        points.reserve(stroke.points.size());
        for (const Point& p : stroke.points) points.push_back(place(p));
        b.stroke(entity, std::move(points));
      }
      for (const Label& label : picture.labels)
        out.labels.push_back({entity, place(label.at), label.height * std::abs(sy), label.angle + n[6], label.text});
    } else if ((s.kind == "AcDbBlockReference" || s.kind == "AcDbMInsertBlock" || s.kind == "AcDbPoint") &&
               n.size() >= 3) {
      markers.emplace_back(entity, Point{n[0], n[1]});
    }
    if (out.strokes.size() + out.labels.size() + markers.size() == before) ++out.notDrawn;
    else ++out.drawn;
  }
  if (!markers.empty()) {
    Box box = out.bounds();
    for (const auto& [entity, p] : markers) box.add(p);
    const double size = std::max(box.width(), box.height()) / 150;
    for (const auto& [entity, p] : markers) b.marker(entity, p, size > 0 ? size : 0.5);
  }
  return out;
}

Fit Fit::of(const Box& bounds, double width, double height, double margin) {
  Fit f;
  const double w = std::max(1.0, width - 2 * margin), h = std::max(1.0, height - 2 * margin);
  if (bounds.empty) {
    f.offsetX = width / 2;
    f.offsetY = height / 2;
    return f;
  }
  const double bw = bounds.width(), bh = bounds.height();
  if (bw <= 0 && bh <= 0) f.scale = 1;
  else if (bw <= 0) f.scale = h / bh;
  else if (bh <= 0) f.scale = w / bw;
  else f.scale = std::min(w / bw, h / bh);
  const double cx = (bounds.minX + bounds.maxX) / 2, cy = (bounds.minY + bounds.maxY) / 2;
  f.offsetX = width / 2 - cx * f.scale;
  f.offsetY = height / 2 + cy * f.scale;
  return f;
}

}  // namespace veldra::sketch
