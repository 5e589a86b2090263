#pragma once

// Two drawings in one view: the second mapped onto the first by a
// similarity (moved, turned, mirrored, scaled), and which parts of each
// the other has too.

#include <vector>

#include "sketch/sketch.h"

namespace veldra::sketch {

// x' = a x + b y + tx, y' = c x + d y + ty. The identity when nothing maps
// one drawing onto the other.
struct Similarity {
  double a = 1, b = 0, c = 0, d = 1;
  double tx = 0, ty = 0;

  Point operator()(Point p) const { return {a * p.x + b * p.y + tx, c * p.x + d * p.y + ty}; }
  bool mirrors() const { return a * d - b * c < 0; }
  double scale() const;
  // Moved by (dx, dy), turned by `angle` radians about the origin, mirrored
  // in the x axis first when `mirror`, scaled by `factor`.
  static Similarity of(double dx, double dy, double angle, double factor, bool mirror);
};

Sketch mapped(const Sketch& sketch, const Similarity& map);

// Per stroke and per label of each drawing: whether the other drawing has
// a part of the same shape at the same place (within `tolerance` of the
// larger drawing's extent). Parts are matched one to one.
struct SharedParts {
  std::vector<bool> strokesA, labelsA, strokesB, labelsB;
  std::size_t shared() const;
};
SharedParts sharedParts(const Sketch& a, const Sketch& b, double tolerance = 1e-4);

}  // namespace veldra::sketch
