#pragma once

// Work as its student drew it about a clicked corner (ox, oy), turned by
// `turn` radians about it: the entities' facts where they land.

#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "evidence/features/drawing_evidence.h"

namespace veldra::testing {

struct TurnedSheet {
  double ox = 0, oy = 0, turn = 0;

  std::pair<double, double> at(double x, double y) const {
    return {ox + x * std::cos(turn) - y * std::sin(turn), oy + x * std::sin(turn) + y * std::cos(turn)};
  }
  evidence::EntityFacts line(double x1, double y1, double x2, double y2) const {
    const auto [ax, ay] = at(x1, y1);
    const auto [bx, by] = at(x2, y2);
    return {"AcDbLine", 0, false, false, "0", {ax, ay, 0, bx, by, 0}, std::nullopt};
  }
  evidence::EntityFacts circle(double x, double y, double r) const {
    const auto [cx, cy] = at(x, y);
    return {"AcDbCircle", 0, false, false, "0", {cx, cy, 0, r}, std::nullopt};
  }
  evidence::EntityFacts text(double x, double y, double height, std::string words) const {
    const auto [tx, ty] = at(x, y);
    return {"AcDbText", 0, false, false, "0", {tx, ty, height}, std::move(words)};
  }
};

}  // namespace veldra::testing
