#include "evidence/fingerprint.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>

namespace veldra::evidence {

namespace {

constexpr std::uint64_t kKeyBits = (std::uint64_t{1} << 62) - 1;

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
  std::uint64_t value() const { return mixKey(h_); }
  std::uint64_t key(FeatureKind kind) const {
    return (mixKey(h_) & kKeyBits) | (static_cast<std::uint64_t>(kind) << 62);
  }

 private:
  std::uint64_t h_;
};

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

Shape shapeOf(const EntityFacts& e, const Tolerance& tol) {
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
  geometry.reserve(entities.size() * 2);
  handles.reserve(entities.size());
  // The last entity with a position, per space.
  std::array<Shape, 2> previous{};
  std::array<bool, 2> havePrevious{false, false};
  for (const auto& e : entities) {
    if (!e.numbers.empty()) out.geometryKnown = true;
    const Shape shape = shapeOf(e, tolerance);
    const std::uint64_t shapeKey = Hasher(shape.hash).key(FeatureKind::kShape);
    geometry.push_back(shapeKey);
    if (e.text && !isBlockReference(e.kind)) {
      const std::string words = normalWords(*e.text);
      if (!words.empty()) geometry.push_back(Hasher(0x5EED0002).add(std::string_view(words)).key(FeatureKind::kWords));
    }
    if (e.hasHandle) {
      handles.emplace_back(Hasher(0x5EED0003).add(e.handle).add(shape.hash).key(FeatureKind::kHandle), shapeKey);
      out.handleNumbers.push_back(e.handle);
    }
    if (shape.hasReference) {
      const std::size_t space = e.paperSpace ? 1 : 0;
      if (havePrevious[space]) {
        const Shape& before = previous[space];
        Hasher h(0x5EED0004);
        h.add(before.hash).add(shape.hash);
        for (std::size_t k = 0; k < 3; ++k) h.add(steps(shape.reference[k] - before.reference[k], tolerance.length));
        geometry.push_back(h.key(FeatureKind::kNeighbour));
      }
      previous[space] = shape;
      havePrevious[space] = true;
    }
  }
  countInto(geometry, out.geometry);
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

}  // namespace veldra::evidence
