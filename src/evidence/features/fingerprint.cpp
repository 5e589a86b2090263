#include "evidence/features/fingerprint.h"
#include "evidence/features/placement.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>

namespace veldra::evidence {

namespace {

constexpr std::uint64_t kKeyBits = (std::uint64_t{1} << 61) - 1;
constexpr std::uint64_t kTypedBit = std::uint64_t{1} << 61;

// A feature's key from a mixed hash: its kind and whether typed numbers give it.
std::uint64_t keyOf(std::uint64_t mixed, FeatureKind kind, bool typed) {
  return (mixed & kKeyBits) | (typed ? kTypedBit : 0) | (static_cast<std::uint64_t>(kind) << 62);
}

// A number rounded to a whole count of steps. Values too large to count in
// steps, and values that are not numbers, keep their own bits.
std::int64_t steps(double value, double step) {
  if (!std::isfinite(value)) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return static_cast<std::int64_t>(bits | (std::uint64_t{1} << 63));
  }
  const double q = value / step;
  if (std::fabs(q) > 4.0e18) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return static_cast<std::int64_t>(bits);
  }
  return std::llround(q);
}

// A measure drawn freely as a paste keeps it: to nine significant digits.
// A paste keeps every number to its last bits, or to the rounding of the
// move, turn, mirror or scale it was given; two students who each clicked
// a measure agree so closely only once in hundreds of millions, where at
// the thousandth of a unit they agree once in a few thousand.
// 10^k for every k a double's decade gives (8 - decade), as std::pow gives it.
double powerOfTen(int k) {
  constexpr int kLow = -340, kHigh = 340;
  static const std::array<double, kHigh - kLow + 1> powers = [] {
    std::array<double, kHigh - kLow + 1> p{};
    for (int e = kLow; e <= kHigh; ++e) p[static_cast<std::size_t>(e - kLow)] = std::pow(10.0, e);
    return p;
  }();
  return k < kLow || k > kHigh ? std::pow(10.0, k) : powers[static_cast<std::size_t>(k - kLow)];
}

std::pair<std::int64_t, std::int64_t> fineSteps(double value) {
  if (!std::isfinite(value) || value == 0) return {steps(value, 1.0), 0};
  int decade = static_cast<int>(std::floor(std::log10(std::fabs(value))));
  std::int64_t digits = std::llround(value * powerOfTen(8 - decade));
  // 9.9999999996 rounds up to ten digits: one decade up, as 10.0000000001.
  if (std::llabs(digits) >= 1000000000) {
    digits /= 10;
    ++decade;
  }
  return {digits, decade};
}

// A 64-bit hash built from words and numbers, the same on every platform.
class Hasher {
 public:
  explicit Hasher(std::uint64_t seed) : h_(seed) {}
  // One multiply per value; the key is mixed once more at the end.
  Hasher& add(std::uint64_t v) {
    h_ = std::rotl((h_ ^ v) * 0x9E3779B97F4A7C15ull, 29) + 0xD6E8FEB86659FD93ull;
    return *this;
  }
  Hasher& add(std::int64_t v) { return add(static_cast<std::uint64_t>(v)); }
  Hasher& add(std::string_view text) {
    std::uint64_t fnv = 0xCBF29CE484222325ull;
    for (const char c : text) {
      fnv ^= static_cast<unsigned char>(c);
      fnv *= 0x100000001B3ull;
    }
    add(static_cast<std::uint64_t>(text.size()));
    return add(fnv);
  }
  // A measure to its step where typed, to nine digits where drawn freely.
  Hasher& add(double v, double step, bool fine) {
    if (!fine) return add(steps(v, step));
    const auto [digits, decade] = fineSteps(v);
    return add(digits).add(static_cast<std::int64_t>(decade) + 1000);
  }
  std::uint64_t value() const { return mixKey(h_); }
  std::uint64_t key(FeatureKind kind, bool typed = false) const { return keyOf(mixKey(h_), kind, typed); }

 private:
  std::uint64_t h_;
};

// Whether a number is what typing gives: a whole count of twentieths of a
// unit (12.5, 2.35) or of sixty-fourths (an inch's 0.125), give or take
// what storing it as a binary number leaves.
bool wholeSteps(double value, double step, double within = 1.0e-4) {
  const double q = std::fabs(value) / step;
  return q < 1.0e12 && std::fabs(q - std::round(q)) < within;
}
bool typedNumber(double value) {
  return std::isfinite(value) && (wholeSteps(value, 0.05) || wholeSteps(value, 1.0 / 64));
}
// A squared length between typed points is a whole count of squared
// steps, whatever the direction between them: a chamfer keeps the mark, a
// line to a clicked point does not.
bool typedSquare(double square) {
  return std::isfinite(square) && (wholeSteps(square, 0.05 * 0.05) || wholeSteps(square, 1.0 / 4096));
}
// A squared distance between a typed point and the middle of a line
// between typed points: whole counts of squared half steps.
bool typedApart(double square) {
  return std::isfinite(square) && (wholeSteps(square, 0.025 * 0.025) || wholeSteps(square, 1.0 / (128 * 128)));
}
// A length the drawing program computed from typed numbers: a side of a
// regular polygon from the radius of the circle about it or in it, a leg or
// the long side of a right triangle of whole-degree angles (a chamfer, a
// line at an angle to a typed length). Asked of lengths not typed
// themselves, and so closely that a clicked length passes once in several
// thousand: computed, two students drawing the same numbers get the same.
bool computedLength(double length) {
  static const std::vector<double> factors = [] {
    std::vector<double> f;
    for (int degrees = 1; degrees < 90; ++degrees) {
      const double a = degrees * std::numbers::pi / 180;
      f.push_back(std::sin(a));
      f.push_back(1 / std::sin(a));
      if (degrees != 45) f.push_back(std::tan(a));
    }
    for (int sides = 3; sides <= 24; ++sides) {
      f.push_back(2 * std::sin(std::numbers::pi / sides));
      f.push_back(2 * std::tan(std::numbers::pi / sides));
    }
    return f;
  }();
  if (!std::isfinite(length) || length <= 0) return false;
  for (const double factor : factors) {
    const double t = length / factor;
    if (wholeSteps(t, 0.05, 1.0e-7) || wholeSteps(t, 1.0 / 64, 1.0e-7)) return true;
  }
  return false;
}

double normalAngle(double a) {
  if (!std::isfinite(a)) return a;
  const double turn = 2.0 * std::numbers::pi;
  a = std::fmod(a, turn);
  if (a < 0) a += turn;
  return a;
}

bool isBlockReference(std::string_view kind) {
  return kind == "AcDbBlockReference" || kind == "AcDbMInsertBlock";
}

// Words as a person reads them: spaces at the ends dropped, runs of blanks
// made one, ASCII letters in lower case.
std::string normalWords(std::string_view text) {
  std::string out;
  bool blank = false;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      blank = !out.empty();
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return out;
}

using Point = std::array<double, 3>;

struct Shape {
  std::uint64_t hash = 0;
  bool hasReference = false;
  Point reference{};  // the point its shape is seen from
};

Shape placedShapeOf(const EntityFacts& e, const Tolerance& tol) {
  Hasher h(0x5EED0001);
  h.add(std::string_view(e.kind)).add(std::uint64_t{e.paperSpace ? 1u : 0u});
  // Sizes, angles and vectors go to a hash of their own, in order; points
  // are kept to be seen from one another.
  Hasher rest(0x5EED0005);
  std::uint64_t restCount = 0;
  constexpr std::size_t kMaxPoints = 8;
  std::array<Point, kMaxPoints> points{};
  std::size_t pointCount = 0;
  // A kind with a run of points (a polyline's vertices) is seen from its
  // first point, vertex by vertex, in order.
  const std::string_view layout = numberLayout(e.kind);
  const bool run = !layout.empty() && layout.back() == '*';
  Point first{};
  Hasher runHash(0x5EED0006);
  std::size_t i = 0;
  auto addPoint = [&](const Point& p) {
    if (run) {
      if (pointCount == 0) first = p;
      for (std::size_t k = 0; k < 3; ++k) runHash.add(steps(p[k] - first[k], tol.length));
      if (pointCount < kMaxPoints) points[pointCount] = p;
      ++pointCount;
    } else if (pointCount < kMaxPoints) {
      points[pointCount++] = p;
    } else {
      for (const double v : p) rest.add(steps(v, tol.length));
      restCount += 3;
    }
  };
  for (std::size_t at = 0; at < layout.size() && i < e.numbers.size();) {
    const char part = layout[at];
    if (part == '*') break;
    if (part == 'P' || part == 'V') {
      if (i + 3 > e.numbers.size()) break;
      const Point p{e.numbers[i], e.numbers[i + 1], e.numbers[i + 2]};
      i += 3;
      if (part == 'P') {
        addPoint(p);
      } else {
        for (const double v : p) rest.add(steps(v, tol.length));
        restCount += 3;
      }
    } else if (part == 'Q') {
      if (i + 2 > e.numbers.size()) break;
      addPoint(Point{e.numbers[i], e.numbers[i + 1], 0.0});
      i += 2;
    } else {
      const double v = e.numbers[i++];
      rest.add(part == 'L' ? steps(v, tol.length) : steps(part == 'A' ? normalAngle(v) : v, tol.angle));
      ++restCount;
    }
    // The part before a closing star repeats to the end of the numbers.
    if (at + 2 == layout.size() && layout[at + 1] == '*') continue;
    ++at;
  }
  for (; i < e.numbers.size(); ++i, ++restCount) rest.add(steps(e.numbers[i], tol.length));

  if (run && pointCount > 0) {
    Shape shape;
    shape.hasReference = true;
    shape.reference = first;
    h.add(std::uint64_t{pointCount}).add(runHash.value()).add(restCount).add(rest.value());
    shape.hash = h.value();
    return shape;
  }
  Shape shape;
  if (pointCount > 0) {
    // The points seen from one of them, rounded. Every point is tried as the
    // base and the smallest picture wins, so that a line drawn the other way
    // round has the same shape; steps between typed numbers stay whole.
    using Steps = std::array<std::int64_t, 3>;
    std::array<Steps, kMaxPoints> best{}, seen{};
    std::size_t bestBase = 0;
    for (std::size_t b = 0; b < pointCount; ++b) {
      for (std::size_t k = 0; k < pointCount; ++k)
        seen[k] = {steps(points[k][0] - points[b][0], tol.length), steps(points[k][1] - points[b][1], tol.length),
                   steps(points[k][2] - points[b][2], tol.length)};
      // A handful of points: sorted in place by insertion.
      for (std::size_t x = 1; x < pointCount; ++x)
        for (std::size_t y = x; y > 0 && seen[y] < seen[y - 1]; --y) std::swap(seen[y], seen[y - 1]);
      if (b == 0 || std::lexicographical_compare(seen.begin(), seen.begin() + static_cast<std::ptrdiff_t>(pointCount),
                                                 best.begin(), best.begin() + static_cast<std::ptrdiff_t>(pointCount))) {
        best = seen;
        bestBase = b;
      }
    }
    shape.hasReference = true;
    shape.reference = points[bestBase];
    h.add(std::uint64_t{pointCount});
    for (std::size_t k = 0; k < pointCount; ++k) h.add(best[k][0]).add(best[k][1]).add(best[k][2]);
  }
  h.add(restCount).add(rest.value());
  if (isBlockReference(e.kind) && e.text) h.add(std::string_view(*e.text));
  shape.hash = h.value();
  return shape;
}

// One piece of an entity as the shape and place features see it: a line,
// an arc, a circle, a text... A polyline gives one piece per segment, so
// that it matches what exploding it leaves.
struct Piece {
  std::uint64_t shape = 0;      // its own sizes: what moving, turning and mirroring leave alone
  std::uint64_t form = 0;       // what scaling leaves alone too: the kind and its angles and ratios
  double x = 0, y = 0, z = 0;   // where it sits: a line's middle, a circle's centre, a text's insertion
  double size = 0;              // a length, radius or height, seen against the distance to a neighbour
  double direction = 0;         // a line's or arc's direction in the plane, for angles to its neighbour
  bool directed = false;
  bool located = false;
  bool typed = false;           // its own sizes are typed numbers
  bool laid = false;            // a line, arc, circle or block: laid where typed numbers put it, as a rule
  bool text = false;
  std::uint64_t words = 0;      // a text's words, 0 for none
};

constexpr std::uint64_t kLineSeed = 0x5EED0011, kArcSeed = 0x5EED0012, kCircleSeed = 0x5EED0013,
                        kTextSeed = 0x5EED0014, kOtherSeed = 0x5EED0015;

Piece linePiece(const Point& a, const Point& b, bool paper, const Tolerance& tol) {
  Piece p;
  const double length = std::sqrt((b[0] - a[0]) * (b[0] - a[0]) + (b[1] - a[1]) * (b[1] - a[1]) +
                                  (b[2] - a[2]) * (b[2] - a[2]));
  p.typed = typedSquare(length * length) || computedLength(length);
  p.shape = Hasher(kLineSeed).add(std::uint64_t{paper}).add(length, tol.length, !p.typed).value();
  p.form = Hasher(kLineSeed).add(std::uint64_t{paper}).value();
  p.x = (a[0] + b[0]) / 2;
  p.y = (a[1] + b[1]) / 2;
  p.z = (a[2] + b[2]) / 2;
  p.size = length;
  p.direction = std::atan2(b[1] - a[1], b[0] - a[0]);
  p.directed = length > 0;
  p.located = true;
  p.laid = true;
  return p;
}

Piece arcPiece(double cx, double cy, double cz, double r, double sweep, double middle, bool paper,
               const Tolerance& tol) {
  Piece p;
  sweep = normalAngle(sweep);
  // An arc's radius is what was chosen: its sweep follows from what it
  // meets (a fillet between two lines), typed or not.
  p.typed = typedNumber(r);
  p.shape = Hasher(kArcSeed).add(std::uint64_t{paper}).add(r, tol.length, !p.typed).add(sweep, tol.angle, !p.typed).value();
  p.form = Hasher(kArcSeed).add(std::uint64_t{paper}).add(steps(sweep, tol.angle)).value();
  p.x = cx;
  p.y = cy;
  p.z = cz;
  p.size = r;
  p.direction = middle;
  p.directed = true;
  p.located = true;
  p.laid = true;
  return p;
}

// The pieces of a polyline given as x, y and bulge per vertex.
void polylinePieces(const EntityFacts& e, const Tolerance& tol, std::vector<Piece>& out) {
  const auto& n = e.numbers;
  for (std::size_t i = 0; i + 6 <= n.size(); i += 3) {
    Point a{n[i], n[i + 1], 0}, b{n[i + 3], n[i + 4], 0};
    double bulge = n[i + 2];
    if (!std::isfinite(bulge) || std::fabs(bulge) < 1e-12) {
      if (a != b) out.push_back(linePiece(a, b, e.paperSpace, tol));
      continue;
    }
    // A bulge runs counter-clockwise from a to b; a negative one the other way.
    if (bulge < 0) {
      std::swap(a, b);
      bulge = -bulge;
    }
    const double sweep = 4 * std::atan(bulge);
    const double chord = std::hypot(b[0] - a[0], b[1] - a[1]);
    if (!(chord > 0)) continue;
    const double r = chord / (2 * std::sin(sweep / 2));
    const double toCentre = chord / 2 / std::tan(sweep / 2);
    const double ux = (b[0] - a[0]) / chord, uy = (b[1] - a[1]) / chord;
    const double cx = (a[0] + b[0]) / 2 - uy * toCentre, cy = (a[1] + b[1]) / 2 + ux * toCentre;
    const double start = std::atan2(a[1] - cy, a[0] - cx);
    out.push_back(arcPiece(cx, cy, 0, std::fabs(r), sweep, start + sweep / 2, e.paperSpace, tol));
  }
}

// A text's words hashed, as its words feature tells them; 0 for none.
std::uint64_t wordsOf(const EntityFacts& e) {
  if (!e.text) return 0;
  const std::string words = normalWords(*e.text);
  return words.empty() ? 0 : Hasher(0x5EED0002).add(std::string_view(words)).value();
}

// The pieces of an entity, and a hash of its shape for its handle feature.
std::uint64_t piecesOf(const EntityFacts& e, const Tolerance& tol, std::vector<Piece>& out) {
  const auto& n = e.numbers;
  const std::size_t before = out.size();
  const bool paper = e.paperSpace;
  if (e.kind == "AcDbLine" && n.size() >= 6) {
    out.push_back(linePiece({n[0], n[1], n[2]}, {n[3], n[4], n[5]}, paper, tol));
  } else if (e.kind == "AcDbCircle" && n.size() >= 4) {
    Piece p;
    p.typed = typedNumber(n[3]);
    p.shape = Hasher(kCircleSeed).add(std::uint64_t{paper}).add(n[3], tol.length, !p.typed).value();
    p.form = Hasher(kCircleSeed).add(std::uint64_t{paper}).value();
    p.x = n[0], p.y = n[1], p.z = n[2], p.size = n[3], p.located = true;
    p.laid = true;
    out.push_back(p);
  } else if (e.kind == "AcDbArc" && n.size() >= 6) {
    const double sweep = normalAngle(n[5] - n[4]);
    out.push_back(arcPiece(n[0], n[1], n[2], n[3], sweep, n[4] + sweep / 2, paper, tol));
  } else if (e.kind == "AcDbPolyline") {
    polylinePieces(e, tol, out);
  } else if ((e.kind == "AcDbText" || e.kind == "AcDbAttributeDefinition") && n.size() >= 3) {
    Piece p;
    p.typed = typedNumber(n[2]);
    p.shape = Hasher(kTextSeed).add(std::uint64_t{paper}).add(n[2], tol.length, !p.typed).value();
    p.form = Hasher(kTextSeed).add(std::uint64_t{paper}).value();
    p.x = n[0], p.y = n[1], p.size = n[2], p.located = true;
    p.text = true;
    out.push_back(p);
  } else if (e.kind == "AcDbMText" && n.size() >= 4) {
    Piece p;
    p.typed = typedNumber(n[3]);
    p.shape = Hasher(kTextSeed).add(std::uint64_t{paper}).add(n[3], tol.length, !p.typed).value();
    p.form = Hasher(kTextSeed).add(std::uint64_t{paper}).value();
    p.x = n[0], p.y = n[1], p.z = n[2], p.size = n[3], p.located = true;
    p.text = true;
    out.push_back(p);
  } else if (isBlockReference(e.kind) && n.size() >= 6) {
    // A block by its name and the sizes of its scales, whatever its turn.
    Hasher h(kOtherSeed);
    h.add(std::string_view(e.kind)).add(std::uint64_t{paper}).add(std::string_view(e.text.value_or("")));
    Hasher form = h;
    for (std::size_t k = 3; k < 6; ++k) h.add(steps(std::fabs(n[k]), tol.angle));
    for (std::size_t k = 4; k < 6; ++k) form.add(steps(std::fabs(n[k] / (n[3] != 0 ? n[3] : 1.0)), tol.angle));
    Piece p;
    p.shape = h.value();
    p.form = form.value();
    p.x = n[0], p.y = n[1], p.z = n[2], p.size = std::fabs(n[3]), p.located = true;
    p.laid = true;
    p.typed = typedNumber(n[3]) && typedNumber(n[4]) && typedNumber(n[5]);
    out.push_back(p);
  } else {
    // Kinds seen only from their own points: moved, they match; turned, not.
    const Shape shape = placedShapeOf(e, tol);
    Piece p;
    // Only lines, arcs, circles and texts are told drawn freely: what other
    // kinds hold is rounded to the tolerance, where two students' clicks
    // agree by chance.
    p.typed = true;
    p.shape = shape.hash;
    p.form = shape.hash;
    p.located = shape.hasReference;
    p.x = shape.reference[0], p.y = shape.reference[1], p.z = shape.reference[2];
    out.push_back(p);
  }
  Hasher whole(0x5EED0016);
  for (std::size_t k = before; k < out.size(); ++k) whole.add(out[k].shape);
  if (out.size() == before) whole.add(std::string_view(e.kind));
  return whole.value();
}

// The step of an angle between neighbouring pieces: a paste turned by any
// angle keeps it to some millionths of a billionth.
constexpr double kFreeAngleStep = 1.0e-9;

// An angle folded so that turning and mirroring leave it alone: 0..pi/2.
double foldedAngle(double a) {
  a = std::fmod(std::fabs(a), std::numbers::pi);
  return std::min(a, std::numbers::pi - a);
}

// The located pieces of a space in a grid of about one piece per cell.
struct PieceGrid {
  explicit PieceGrid(const std::vector<Piece>& pieces) {
    double x1 = 0, y1 = 0;
    for (std::uint32_t k = 0; k < pieces.size(); ++k) {
      const Piece& p = pieces[k];
      if (!p.located || !std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) continue;
      if (located.empty()) x0 = x1 = p.x, y0 = y1 = p.y;
      x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
      located.push_back(k);
    }
    if (located.size() < 2) return;
    const double span = std::max(x1 - x0, y1 - y0);
    side = static_cast<std::size_t>(std::clamp(std::sqrt(static_cast<double>(located.size())), 1.0, 1024.0));
    cell = span > 0 ? span / static_cast<double>(side) * (1 + 1e-9) : 1.0;
    start.assign(side * side + 1, 0);
    members.resize(located.size());
    for (const std::uint32_t k : located) ++start[cellAt(pieces[k]) + 1];
    for (std::size_t c = 1; c < start.size(); ++c) start[c] += start[c - 1];
    std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
    for (const std::uint32_t k : located) members[fill[cellAt(pieces[k])]++] = k;
  }
  std::size_t cellOf(double v, double origin) const {
    return std::min(side - 1, static_cast<std::size_t>(std::max(0.0, (v - origin) / cell)));
  }
  std::size_t cellAt(const Piece& p) const { return cellOf(p.y, y0) * side + cellOf(p.x, x0); }

  std::vector<std::uint32_t> located;  // the pieces with a place, in order
  double x0 = 0, y0 = 0;
  std::size_t side = 0;
  double cell = 1.0;
  std::vector<std::uint32_t> start, members;  // per cell, its pieces
};

// Piece p's place beside its neighbour q at distance d, described by what
// moving, turning, mirroring and scaling leave alone.
std::uint64_t placeKey(const Piece& p, const Piece& q, double d) {
  const double towards = std::atan2(q.y - p.y, q.x - p.x);
  // Lines, arcs, circles and blocks lie where the exercise's numbers put
  // them, often by turns and arrays no distance shows; a text lies where
  // the student clicked, told freely beside a line or arc, whose angle to
  // it adds a second measure (two texts, or a text and a circle, alike by
  // one distance are alike by chance). Told by the kinds, so that a scaled
  // paste keeps its places; but a text put at typed offsets from a typed
  // line, arc or circle (a name in the title block's field) lies where
  // numbers put it too.
  const double square = (q.x - p.x) * (q.x - p.x) + (q.y - p.y) * (q.y - p.y) + (q.z - p.z) * (q.z - p.z);
  auto typedOffset = [&](const Piece& text, const Piece& other) {
    return text.text && other.laid && other.typed && typedApart(square);
  };
  const bool typed = (p.laid && q.laid) || (!p.directed && !q.directed) || typedOffset(p, q) || typedOffset(q, p);
  // A place is told as a paste keeps it: its ratios to nine digits, its
  // angles to a billionth of a radian. Typed numbers give every student
  // who types them the same; two students who put their notes by hand
  // beside the same outline, or clicked a hole's radius, are not told
  // alike. The same precision either way, as scaling may make a typed
  // size untyped.
  Hasher h(0x5EED0017);
  h.add(p.form).add(p.size / d, 0.0, true);
  if (p.directed) h.add(steps(foldedAngle(p.direction - towards), kFreeAngleStep));
  h.add(q.form).add(q.size / d, 0.0, true);
  if (q.directed) h.add(steps(foldedAngle(q.direction - towards), kFreeAngleStep));
  return h.key(FeatureKind::kPlace, typed);
}

// Neighbours found, by distance: (distance, piece).
using Found = std::vector<std::pair<double, std::uint32_t>>;

bool tiedWith(double d, double best) { return d <= best * (1 + 1e-7); }

// The end of the group of pieces tied at found[from]'s distance.
std::size_t groupEnd(const Found& found, std::size_t from) {
  std::size_t to = from + 1;
  while (to < found.size() && tiedWith(found[to].first, found[from].first)) ++to;
  return to;
}

// The pieces tied for nearest to piece k, or (`wanted` > 1) the nearest
// `wanted` groups of pieces tied at a distance, by distance; none nearer
// than `apart`. Described only once the search is done, as describing
// costs more than measuring.
void findNearest(const PieceGrid& grid, const std::vector<Piece>& pieces, std::uint32_t k, std::size_t wanted,
                 double apart, Found& found) {
  const Piece& p = pieces[k];
  const std::size_t cx = grid.cellOf(p.x, grid.x0), cy = grid.cellOf(p.y, grid.y0);
  const std::size_t side = grid.side;
  // The farthest distance still wanted, once as many as wanted are found.
  double bound = -1;
  found.clear();
  for (std::size_t ring = 0; ring < side; ++ring) {
    // Cells of this ring lie at least (ring - 1) cells away.
    if (bound >= 0 && static_cast<double>(ring - (ring > 0 ? 1 : 0)) * grid.cell > bound * (1 + 1e-7)) break;
    const std::ptrdiff_t r = static_cast<std::ptrdiff_t>(ring);
    for (std::ptrdiff_t gy = static_cast<std::ptrdiff_t>(cy) - r; gy <= static_cast<std::ptrdiff_t>(cy) + r; ++gy) {
      if (gy < 0 || gy >= static_cast<std::ptrdiff_t>(side)) continue;
      const bool edgeRow = gy == static_cast<std::ptrdiff_t>(cy) - r || gy == static_cast<std::ptrdiff_t>(cy) + r;
      for (std::ptrdiff_t gx = static_cast<std::ptrdiff_t>(cx) - r; gx <= static_cast<std::ptrdiff_t>(cx) + r;
           gx += edgeRow || r == 0 ? 1 : 2 * r) {
        if (gx < 0 || gx >= static_cast<std::ptrdiff_t>(side)) continue;
        const std::size_t c = static_cast<std::size_t>(gy) * side + static_cast<std::size_t>(gx);
        for (std::uint32_t m = grid.start[c]; m < grid.start[c + 1]; ++m) {
          const std::uint32_t qi = grid.members[m];
          const Piece& q = pieces[qi];
          const double d = std::sqrt((q.x - p.x) * (q.x - p.x) + (q.y - p.y) * (q.y - p.y) + (q.z - p.z) * (q.z - p.z));
          if (!(d > apart) || (bound >= 0 && !tiedWith(d, bound))) continue;
          if (wanted == 1 && (bound < 0 || d < bound * (1 - 1e-7))) found.clear(), bound = d;
          found.emplace_back(d, qi);
        }
      }
    }
    if (wanted > 1 && !found.empty()) {
      // Keep the nearest groups wanted; the last one's distance bounds the search.
      std::sort(found.begin(), found.end());
      std::size_t groups = 0, to = 0;
      while (to < found.size() && groups < wanted) to = groupEnd(found, to), ++groups;
      found.resize(to);
      if (groups == wanted) bound = found[to - 1].first;
    }
  }
}

// Piece p's place beside the pieces found[from, to) tied at one distance:
// the least of their descriptions.
std::uint64_t placeBeside(const std::vector<Piece>& pieces, const Piece& p, const Found& found, std::size_t from,
                          std::size_t to) {
  std::uint64_t key = 0;
  for (std::size_t t = from; t < to; ++t) {
    const std::uint64_t k = placeKey(p, pieces[found[t].second], found[t].first);
    key = t == from ? k : std::min(key, k);
  }
  return key;
}

// A piece placed freely told beside the nearest groups found (the first in
// `nearest`, the next in `told`), then beside the nearest piece of each
// shape not yet told.
void placesBesideFound(const std::vector<Piece>& pieces, const Piece& p, const Found& found, std::uint64_t& nearest,
                       std::uint64_t* told, std::vector<std::uint64_t>& seenShapes) {
  std::size_t from = 0, slot = 0;
  for (std::size_t r = 0; r < kNextNearest + 1 && from < found.size(); ++r) {
    const std::size_t to = groupEnd(found, from);
    (r == 0 ? nearest : told[slot++]) = placeBeside(pieces, p, found, from, to);
    from = to;
  }
  seenShapes.clear();
  for (std::size_t t = 0; t < from; ++t) seenShapes.push_back(pieces[found[t].second].shape);
  while (from < found.size() && slot < kFurtherPlaces) {
    const std::size_t to = groupEnd(found, from);
    for (std::size_t t = from; t < to && slot < kFurtherPlaces; ++t) {
      const std::uint64_t shape = pieces[found[t].second].shape;
      if (std::find(seenShapes.begin(), seenShapes.end(), shape) != seenShapes.end()) continue;
      seenShapes.push_back(shape);
      std::uint64_t key = placeKey(p, pieces[found[t].second], found[t].first);
      for (std::size_t u = t + 1; u < to; ++u)
        if (pieces[found[u].second].shape == shape)
          key = std::min(key, placeKey(p, pieces[found[u].second], found[u].first));
      told[slot++] = key;
    }
    from = to;
  }
}

// Each located piece with its nearest neighbour in its space (ties go to
// the neighbour whose description is least), described by what moving,
// turning, mirroring and scaling leave alone: both forms, both sizes and
// the angles against the distance between them. Pieces at one point (a
// hole's centre lines) do not see one another.
// `out[k]` is piece k's place feature, 0 for a piece without one. Where
// asked (`further`), what was placed freely (a text where the student
// clicked) is told beside more of its neighbours too, at
// `(*further)[k * kFurtherPlaces + r]`: its next kNextNearest nearest, then,
// for a text, the nearest piece of each shape not yet told among its
// kLookedAt nearest.
// A paste laid beside another's work (the template's title block, the
// copier's own lines), or a part pasted without the pieces nearest to its
// note, keeps its place beside its own pieces further off. What typed
// numbers laid lies where they put it, beside the title block or not.
constexpr std::size_t kLookedAt = 16;
static_assert(kNextNearest < kFurtherPlaces);
void placeFeatures(const std::vector<Piece>& pieces, const Tolerance& tol, std::vector<std::uint64_t>& out,
                   std::vector<std::uint64_t>* further = nullptr) {
  out.assign(pieces.size(), 0);
  if (further) further->assign(pieces.size() * kFurtherPlaces, 0);
  const PieceGrid grid(pieces);
  if (grid.located.size() < 2) return;
  const double apart = tol.length;  // nearer than this is the same point
  Found found;
  std::vector<std::uint64_t> seenShapes;
  for (const std::uint32_t k : grid.located) {
    const Piece& p = pieces[k];
    const std::size_t wanted = further && !p.laid ? (p.text ? kLookedAt : 1 + kNextNearest) : 1;
    findNearest(grid, pieces, k, wanted, apart, found);
    if (found.empty()) continue;
    if (wanted == 1) out[k] = placeBeside(pieces, p, found, 0, found.size());
    else placesBesideFound(pieces, p, found, out[k], further->data() + k * kFurtherPlaces, seenShapes);
  }
}

void countInto(std::vector<std::uint64_t>& keys, std::vector<Feature>& out) {
  std::sort(keys.begin(), keys.end());
  out.clear();
  for (std::size_t i = 0; i < keys.size();) {
    std::size_t j = i + 1;
    while (j < keys.size() && keys[j] == keys[i]) ++j;
    out.push_back({keys[i], static_cast<std::uint32_t>(j - i)});
    i = j;
  }
}

// The handle of the last of the kStartEntities entities with the lowest
// handles: the entities up to it are what the drawing was started from.
std::uint64_t startHandlesUpTo(std::span<const EntityFacts> entities) {
  std::vector<std::uint64_t> numbers;
  for (const auto& e : entities)
    if (e.hasHandle) numbers.push_back(e.handle);
  if (numbers.empty()) return 0;
  const std::size_t last = std::min(numbers.size(), kStartEntities) - 1;
  std::nth_element(numbers.begin(), numbers.begin() + static_cast<std::ptrdiff_t>(last), numbers.end());
  return numbers[last];
}

// An entity among those the drawing was started from, with its pieces.
struct StartEntity {
  std::uint64_t handleKey;
  std::size_t space, first, end;
};

// The place features of one space's pieces (numbered from `first` across
// both spaces): into the geometry, as free choices where placed freely, and
// beside the handles of the entities the drawing was started from.
void addPlaces(const std::vector<Piece>& pieces, std::size_t space, std::uint32_t first,
               const std::vector<StartEntity>& started, const Tolerance& tolerance, std::vector<std::uint64_t>& places,
               std::vector<std::uint64_t>& furtherPlaces, std::vector<std::uint64_t>& geometry, DrawingFeatures& out) {
  placeFeatures(pieces, tolerance, places, &furtherPlaces);
  for (const auto* keys : {&places, &furtherPlaces})
    for (const std::uint64_t key : *keys)
      if (key != 0) geometry.push_back(key);
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    const Piece& p = pieces[k];
    const auto piece = first + static_cast<std::uint32_t>(k);
    if (!p.typed) out.freeChoices.push_back({Hasher(p.shape).key(FeatureKind::kShape, false), p.size, piece});
    auto place = [&](std::uint64_t key) {
      if (key != 0 && !isTyped(key)) out.freeChoices.push_back({key, 0.0, piece});
    };
    place(places[k]);
    for (std::size_t r = 0; r < kFurtherPlaces; ++r) place(furtherPlaces[k * kFurtherPlaces + r]);
  }
  for (const StartEntity& s : started)
    if (s.space == space)
      for (std::size_t k = s.first; k < s.end; ++k) {
        if (places[k] != 0) out.startKeys.emplace_back(s.handleKey, places[k]);
        for (std::size_t r = 0; r < kFurtherPlaces; ++r)
          if (const std::uint64_t key = furtherPlaces[k * kFurtherPlaces + r]; key != 0)
            out.startKeys.emplace_back(s.handleKey, key);
      }
}

}  // namespace

std::uint64_t mixKey(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBull;
  x ^= x >> 31;
  return x;
}

std::string_view numberLayout(std::string_view kind) {
  struct Entry {
    std::string_view kind, layout;
  };
  // As the reader gives them: texts by their insertion in the plane and
  // their height; light-weight polylines by x, y and bulge per vertex.
  static constexpr std::array<Entry, 15> kLayouts{{
      {"AcDbLine", "PP"},
      {"AcDbPoint", "P"},
      {"AcDbCircle", "PL"},
      {"AcDbArc", "PLAA"},
      {"AcDbEllipse", "PVRAA"},
      {"AcDbText", "QL"},
      {"AcDbAttributeDefinition", "QL"},
      {"AcDbMText", "PL"},
      {"AcDbPolyline", "P*"},
      {"AcDbBlockReference", "PRRRA"},
      {"AcDbMInsertBlock", "PRRRA"},
      {"AcDbRay", "PV"},
      {"AcDbXline", "PV"},
      {"AcDbTrace", "PPPP"},
      {"AcDbSolid", "PPPP"},
  }};
  for (const auto& entry : kLayouts)
    if (entry.kind == kind) return entry.layout;
  return "P";
}

DrawingFeatures featuresOf(std::span<const EntityFacts> entities, const Tolerance& tolerance) {
  DrawingFeatures out;
  out.entities = static_cast<std::uint32_t>(entities.size());
  std::vector<std::uint64_t> geometry;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> handles;  // handle feature, shape feature
  geometry.reserve(entities.size() * 3);
  handles.reserve(entities.size());
  std::array<std::vector<Piece>, 2> pieces;  // per space
  pieces[0].reserve(entities.size() + entities.size() / 2);
  // The entities under the lowest handles, with their pieces (space, first,
  // end) for their place features.
  const std::uint64_t startBelow = startHandlesUpTo(entities);
  std::vector<StartEntity> started;
  started.reserve(std::min(entities.size(), kStartEntities));
  out.startKeys.reserve(started.capacity() * 4);
  for (const auto& e : entities) {
    if (!e.numbers.empty()) out.geometryKnown = true;
    auto& inSpace = pieces[e.paperSpace ? 1 : 0];
    const std::size_t first = inSpace.size();
    const std::uint64_t whole = piecesOf(e, tolerance, inSpace);
    for (std::size_t k = first; k < inSpace.size(); ++k)
      geometry.push_back(Hasher(inSpace[k].shape).key(FeatureKind::kShape, inSpace[k].typed));
    // An entity without pieces (a polyline without vertices) is still one shape.
    const std::size_t firstKey = geometry.size() - (inSpace.size() > first ? inSpace.size() - first : 0);
    if (inSpace.size() == first) geometry.push_back(Hasher(whole).key(FeatureKind::kShape, true));
    if (e.text && !isBlockReference(e.kind))
      if (const std::uint64_t words = wordsOf(e)) geometry.push_back(keyOf(words, FeatureKind::kWords, true));
    if (e.hasHandle) {
      // The handle with the entity's shape; its shape feature is its first piece's.
      const std::uint64_t shapeKey = inSpace.size() > first
                                         ? Hasher(inSpace[first].shape).key(FeatureKind::kShape, inSpace[first].typed)
                                         : Hasher(whole).key(FeatureKind::kShape, true);
      const std::uint64_t handleKey = Hasher(0x5EED0003).add(e.handle).add(whole).key(FeatureKind::kHandle);
      handles.emplace_back(handleKey, shapeKey);
      out.handleNumbers.push_back(e.handle);
      if (e.handle <= startBelow) {
        for (std::size_t k = firstKey; k < geometry.size(); ++k) out.startKeys.emplace_back(handleKey, geometry[k]);
        started.push_back({handleKey, e.paperSpace ? 1u : 0u, first, inSpace.size()});
      }
    }
  }
  std::vector<std::uint64_t> places, furtherPlaces;
  for (std::size_t space = 0; space < pieces.size(); ++space) {
    // The pieces are numbered across both spaces, model space first.
    const auto first = static_cast<std::uint32_t>(space == 0 ? 0 : pieces[0].size());
    addPlaces(pieces[space], space, first, started, tolerance, places, furtherPlaces, geometry, out);
  }
  std::sort(out.startKeys.begin(), out.startKeys.end());
  out.startKeys.erase(std::unique(out.startKeys.begin(), out.startKeys.end()), out.startKeys.end());
  countInto(geometry, out.geometry);
  // Each key once, with the first piece that made it.
  std::stable_sort(out.freeChoices.begin(), out.freeChoices.end(),
                   [](const FreeChoice& x, const FreeChoice& y) { return x.key < y.key; });
  out.freeChoices.erase(std::unique(out.freeChoices.begin(), out.freeChoices.end(),
                                    [](const FreeChoice& x, const FreeChoice& y) { return x.key == y.key; }),
                        out.freeChoices.end());
  // A handle occurs once in a sound drawing; a broken one may repeat it.
  std::sort(handles.begin(), handles.end());
  for (std::size_t i = 0; i < handles.size();) {
    std::size_t j = i + 1;
    while (j < handles.size() && handles[j].first == handles[i].first) ++j;
    out.handles.push_back({handles[i].first, static_cast<std::uint32_t>(j - i)});
    out.handleShapes.push_back(handles[i].second);
    i = j;
  }
  std::sort(out.handleNumbers.begin(), out.handleNumbers.end());
  out.handleNumbers.erase(std::unique(out.handleNumbers.begin(), out.handleNumbers.end()), out.handleNumbers.end());
  return out;
}

std::vector<LocatedPiece> locatedPieces(std::span<const EntityFacts> entities, const Tolerance& tolerance) {
  std::vector<Piece> pieces;
  for (const auto& e : entities) {
    if (e.paperSpace) continue;
    const std::size_t first = pieces.size();
    piecesOf(e, tolerance, pieces);
    // Laying matches a text only to a text of its words.
    for (std::size_t k = first; k < pieces.size(); ++k)
      if (pieces[k].text) pieces[k].words = wordsOf(e);
  }
  std::vector<std::uint64_t> places, furtherPlaces;
  placeFeatures(pieces, tolerance, places, &furtherPlaces);
  // A note is placed freely where it lies at no typed distance from the
  // nearest line, arc or circle of typed sizes: put where the student
  // clicked, not snapped to a corner or put at typed offsets from it. Told
  // of the first kNotesTold notes.
  constexpr std::size_t kNotesTold = 256;
  std::size_t notes = 0;
  std::vector<std::pair<double, double>> typedAt;  // the typed lines, arcs and circles by x
  auto clicked = [&](const Piece& note) {
    if (++notes > kNotesTold) return false;
    if (notes == 1) {
      for (const Piece& q : pieces)
        if (q.laid && q.typed && q.located && std::isfinite(q.x) && std::isfinite(q.y)) typedAt.emplace_back(q.x, q.y);
      std::sort(typedAt.begin(), typedAt.end());
    }
    double nearest = -1;
    auto look = [&](const std::pair<double, double>& q) {
      const double dx = q.first - note.x, dy = q.second - note.y;
      if (nearest >= 0 && dx * dx > nearest) return false;
      if (const double d = dx * dx + dy * dy; nearest < 0 || d < nearest) nearest = d;
      return true;
    };
    const auto from = std::lower_bound(typedAt.begin(), typedAt.end(), std::pair(note.x, -HUGE_VAL));
    for (auto at = from; at != typedAt.end() && look(*at); ++at) {
    }
    for (auto at = from; at != typedAt.begin() && look(*std::prev(at)); --at) {
    }
    // Halves of typed steps: a line is told by its middle.
    return nearest > 0 && !typedApart(nearest);
  };
  std::vector<LocatedPiece> out;
  out.reserve(pieces.size());
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    const Piece& p = pieces[k];
    if (!p.located || !std::isfinite(p.x) || !std::isfinite(p.y)) continue;
    const bool freely = !p.typed || (p.text && clicked(p));
    const std::uint64_t shape = Hasher(p.shape).key(FeatureKind::kShape, p.typed);
    LocatedPiece& q = out.emplace_back(LocatedPiece{shape, p.words ? Hasher(shape).add(p.words).value() : shape,
                                                    {places[k]}, p.form, p.x, p.y, p.size, freely});
    std::copy_n(furtherPlaces.begin() + static_cast<std::ptrdiff_t>(k * kFurtherPlaces), kNextNearest,
                q.places.begin() + 1);
  }
  return out;
}

}  // namespace veldra::evidence
