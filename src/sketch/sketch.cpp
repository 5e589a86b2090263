#include "sketch/sketch.h"

#include "sketch/block_walk.h"

#include <algorithm>
#include <cmath>
#include <numbers>

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

// Coordinates farther out than this are not drawn: no drawing's work lies
// there, and a picture fitted around them would show nothing else.
constexpr double kReach = 1e15;
// A bulge this small is a straight side: the arc's centre would lie so far
// off that rounding threw its points about.
constexpr double kStraightBulge = 1e-6;
// A label takes as much of the budget as the outline it is drawn with.
constexpr std::size_t kLabelCost = 4;
constexpr std::size_t kMarkerCost = 5;

bool withinReach(Point p) { return std::abs(p.x) <= kReach && std::abs(p.y) <= kReach; }

class Builder {
 public:
  Builder(Sketch& out, const Placement& placement) : out_(out), placement_(&placement) {}

  bool full() const { return points_ >= kMaxPoints; }
  void placeBy(const Placement& placement) { placement_ = &placement; }
  // Entities whose numbers could not be drawn where they land.
  std::uint64_t outOfReach = 0;

  // A run of points in the entity's own frame, placed.
  void stroke(std::uint32_t entity, std::vector<Point> points) {
    if (points.size() < 2) return;
    for (Point& p : points) {
      p = (*placement_)(p);
      if (!withinReach(p)) {
        ++outOfReach;
        return;
      }
    }
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

  void label(std::uint32_t entity, Point at, double height, std::string_view text) {
    const Placement& p = *placement_;
    // Turned with the text's up direction, so that a mirrored text still
    // stands on its baseline.
    const Point up = p.direction({0, height});
    Label l{entity, p(at), std::hypot(up.x, up.y), std::atan2(up.y, up.x) - kTwoPi / 4, std::string(text)};
    // The room its words take must lie within reach, as its points would.
    const double width = l.height * 0.6 * static_cast<double>(std::max<std::size_t>(1, l.text.size()));
    const Point far{l.at.x + width * std::cos(l.angle) - l.height * std::sin(l.angle),
                    l.at.y + width * std::sin(l.angle) + l.height * std::cos(l.angle)};
    if (!(l.height > 0) || !withinReach(l.at) || !withinReach(far)) {
      ++outOfReach;
      return;
    }
    points_ += kLabelCost;
    out_.labels.push_back(std::move(l));
  }

  // A mark where a point or a reference not drawn stands; drawn once the
  // picture's size is known.
  void mark(std::uint32_t entity, Point at) {
    const Point p = (*placement_)(at);
    if (!withinReach(p)) {
      ++outOfReach;
      return;
    }
    points_ += kMarkerCost;
    marks_.emplace_back(entity, p);
  }

  std::size_t made() const { return out_.strokes.size() + out_.labels.size() + marks_.size(); }

  void drawMarks() {
    if (marks_.empty()) return;
    Box box = out_.bounds();
    for (const auto& [entity, p] : marks_) box.add(p);
    const double size = std::max(box.width(), box.height()) / 150;
    const double s = size > 0 ? size : 0.5;
    for (const auto& [entity, p] : marks_)
      out_.strokes.push_back({entity, {{p.x - s, p.y}, {p.x, p.y + s}, {p.x + s, p.y}, {p.x, p.y - s}, {p.x - s, p.y}}});
  }

 private:
  Sketch& out_;
  const Placement* placement_;
  std::size_t points_ = 0;
  std::vector<std::pair<std::uint32_t, Point>> marks_;
};

// A polyline's vertices (x y bulge each) with each bulged span as its arc.
std::vector<Point> polylinePoints(std::span<const double> n) {
  std::vector<Point> points;
  const std::size_t count = n.size() / 3;
  for (std::size_t i = 0; i < count; ++i) {
    const Point p{n[i * 3], n[i * 3 + 1]};
    points.push_back(p);
    const double bulge = n[i * 3 + 2];
    if (i + 1 == count || std::abs(bulge) < kStraightBulge) continue;
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

// One entity in its own frame, drawn where the builder places it; false
// when it has no shape here.
void drawShape(Builder& b, std::uint32_t entity, const Shape& s) {
  const auto& n = s.numbers;
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
    b.label(entity, {n[0], n[1]}, n[2] > 0 ? n[2] : 1, s.text);
  } else if (s.kind == "AcDbMText" && n.size() >= 4 && !s.text.empty()) {
    // A paragraph's insertion is its top left corner.
    const double h = n[3] > 0 ? n[3] : 1;
    b.label(entity, {n[0], n[1] - h}, h, s.text);
  } else if ((isBlockReference(s.kind) || s.kind == "AcDbPoint") && n.size() >= 3) {
    b.mark(entity, {n[0], n[1]});
  }
}

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
  Sketch out;
  const bool anyModel = std::any_of(shapes.begin(), shapes.end(), [](const Shape& s) { return !s.paperSpace; });
  out.paperSpace = !anyModel && !shapes.empty();
  const Placement unmoved;
  Builder b(out, unmoved);
  WalkLimits limits;
  limits.paperSpace = out.paperSpace;
  limits.references = true;
  BlockWalk walk(shapes, blocks, limits);
  // What was made when each reference being drawn was entered: one that
  // made nothing is marked where it stands.
  std::vector<std::size_t> entered;
  std::int64_t current = -1;
  std::size_t madeBefore = 0;
  auto settle = [&] {
    if (current >= 0 && b.made() > madeBefore) ++out.drawn;
  };
  for (Placed p; walk.next(p);) {
    if (static_cast<std::int64_t>(p.top) != current) {
      settle();
      current = p.top;
      madeBefore = b.made();
    }
    b.placeBy(p.placement);
    if (p.step == Placed::kEnter) {
      entered.push_back(b.made());
      continue;
    }
    if (p.step == Placed::kLeave) {
      if (!entered.empty() && entered.back() == b.made()) b.mark(p.top, {p.shape->numbers[0], p.shape->numbers[1]});
      if (!entered.empty()) entered.pop_back();
      continue;
    }
    if (!finite(p.shape->numbers)) {
      ++b.outOfReach;
    } else {
      drawShape(b, p.top, *p.shape);
    }
    if (b.full()) {
      walk.stop();
      break;
    }
  }
  settle();
  b.placeBy(unmoved);
  b.drawMarks();
  const auto inSpace = static_cast<std::size_t>(
      std::count_if(shapes.begin(), shapes.end(), [&](const Shape& s) { return s.paperSpace == out.paperSpace; }));
  out.notDrawn = inSpace - out.drawn;
  out.leftOut = walk.leftOut();
  out.leftOut.outOfReach += b.outOfReach;
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
