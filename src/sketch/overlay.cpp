#include "sketch/overlay.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>

namespace veldra::sketch {

namespace {

// A part's place and shape in steps of the tolerance: its points in order,
// or the other way round (a line drawn from its other end is the same line).
std::vector<std::int64_t> strokeKey(const Stroke& s, double step) {
  auto key = [&](bool reversed) {
    std::vector<std::int64_t> k;
    k.reserve(s.points.size() * 2);
    for (std::size_t i = 0; i < s.points.size(); ++i) {
      const Point& p = s.points[reversed ? s.points.size() - 1 - i : i];
      k.push_back(std::llround(p.x / step));
      k.push_back(std::llround(p.y / step));
    }
    return k;
  };
  return std::min(key(false), key(true));
}

using LabelKey = std::tuple<std::int64_t, std::int64_t, std::int64_t, std::string>;
LabelKey labelKey(const Label& l, double step) {
  return {std::llround(l.at.x / step), std::llround(l.at.y / step), std::llround(l.height / step), l.text};
}

template <class Key, class Part, class KeyOf>
void match(const std::vector<Part>& a, const std::vector<Part>& b, std::vector<bool>& sharedA,
           std::vector<bool>& sharedB, KeyOf keyOf) {
  sharedA.assign(a.size(), false);
  sharedB.assign(b.size(), false);
  std::map<Key, std::vector<std::size_t>> waiting;
  for (std::size_t i = 0; i < b.size(); ++i) waiting[keyOf(b[i])].push_back(i);
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto it = waiting.find(keyOf(a[i]));
    if (it == waiting.end() || it->second.empty()) continue;
    sharedA[i] = true;
    sharedB[it->second.back()] = true;
    it->second.pop_back();
  }
}

}  // namespace

double Similarity::scale() const { return std::sqrt(std::abs(a * d - b * c)); }

Similarity Similarity::of(double dx, double dy, double angle, double factor, bool mirror) {
  const double cs = std::cos(angle) * factor, sn = std::sin(angle) * factor;
  Similarity s;
  // Mirroring in the x axis negates y before turning.
  const double m = mirror ? -1 : 1;
  s.a = cs;
  s.b = -sn * m;
  s.c = sn;
  s.d = cs * m;
  s.tx = dx;
  s.ty = dy;
  return s;
}

Sketch mapped(const Sketch& sketch, const Similarity& map) {
  Sketch out = sketch;
  for (auto& s : out.strokes)
    for (auto& p : s.points) p = map(p);
  const double factor = map.scale();
  const double turn = std::atan2(map.c, map.a);
  for (auto& l : out.labels) {
    l.at = map(l.at);
    l.height *= factor;
    l.angle += turn;
  }
  return out;
}

std::size_t SharedParts::shared() const {
  return static_cast<std::size_t>(std::count(strokesA.begin(), strokesA.end(), true) +
                                  std::count(labelsA.begin(), labelsA.end(), true));
}

SharedParts sharedParts(const Sketch& a, const Sketch& b, double tolerance) {
  Box box = a.bounds();
  const Box other = b.bounds();
  if (!other.empty) {
    box.add({other.minX, other.minY});
    box.add({other.maxX, other.maxY});
  }
  const double extent = std::max({box.width(), box.height(), 1e-9});
  const double step = extent * tolerance;
  SharedParts out;
  match<std::vector<std::int64_t>>(a.strokes, b.strokes, out.strokesA, out.strokesB,
                                   [&](const Stroke& s) { return strokeKey(s, step); });
  match<LabelKey>(a.labels, b.labels, out.labelsA, out.labelsB, [&](const Label& l) { return labelKey(l, step); });
  return out;
}

}  // namespace veldra::sketch
