#include "evidence/features/placement.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <numbers>
#include <optional>
#include <unordered_map>

#include "evidence/features/rules.h"

namespace veldra::evidence {

namespace {

struct Candidate {
  std::size_t a = 0, b = 0;
};

// The pieces of `b` by x, for finding those near a point: what a look-up
// compares kept side by side, so that it reads no more than it needs.
class Near {
 public:
  explicit Near(std::span<const LocatedPiece> b) {
    std::vector<std::size_t> order(b.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) { return b[x].x < b[y].x; });
    xs_.reserve(order.size());
    pieces_.reserve(order.size());
    for (const std::size_t k : order) {
      xs_.push_back(b[k].x);
      pieces_.push_back({b[k].y, b[k].size, b[k].form, k});
    }
  }
  // A piece of the form and size within `eps` of (x, y).
  std::optional<std::size_t> find(double x, double y, std::uint64_t form, double size, double eps) const {
    for (auto at = static_cast<std::size_t>(std::lower_bound(xs_.begin(), xs_.end(), x - eps) - xs_.begin());
         at < xs_.size() && xs_[at] <= x + eps; ++at) {
      const Entry& q = pieces_[at];
      if (std::fabs(q.y - y) <= eps && q.form == form && std::fabs(q.size - size) <= eps) return q.piece;
    }
    return std::nullopt;
  }
  bool has(double x, double y, std::uint64_t form, double size, double eps) const {
    return find(x, y, form, size, eps).has_value();
  }
  // Whether the other drawing holds `q` where it is, unmoved (the sheet's
  // frame, the template's title).
  bool holdsUnmoved(const LocatedPiece& q, const Tolerance& tolerance) const {
    return has(q.x, q.y, q.form, q.size, 10 * tolerance.length);
  }

 private:
  struct Entry {
    double y, size;
    std::uint64_t form;
    std::size_t piece;
  };
  std::vector<double> xs_;     // by x
  std::vector<Entry> pieces_;  // parallel to xs_
};

// The pieces of a drawing by where they sit: pieces at one point (a hole,
// its centre lines and the bolt circle about it) are one spot: they fit any
// turn about that point, and laid alike tell no more than one piece does.
class Spots {
 public:
  Spots(std::span<const LocatedPiece> pieces, const Tolerance& tolerance) : of_(pieces.size()) {
    const double cell = 10 * tolerance.length;
    std::unordered_map<std::uint64_t, std::uint32_t> ids;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
      const auto x = static_cast<std::int64_t>(std::llround(pieces[k].x / cell));
      const auto y = static_cast<std::int64_t>(std::llround(pieces[k].y / cell));
      const std::uint64_t key = static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(y);
      of_[k] = ids.emplace(key, static_cast<std::uint32_t>(ids.size())).first->second;
    }
    seen_.assign(ids.size(), 0);
  }
  // Counts the spots of these pieces.
  int count(std::span<const std::size_t> pieces) {
    ++stamp_;
    int n = 0;
    for (const std::size_t k : pieces)
      if (seen_[of_[k]] != stamp_) {
        seen_[of_[k]] = stamp_;
        ++n;
      }
    return n;
  }

 private:
  std::vector<std::uint32_t> of_;  // per piece
  std::vector<std::uint32_t> seen_;
  std::uint32_t stamp_ = 0;
};

// A factor as a teacher would write it: "2", "1.5", "0.33".
std::string number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  std::string s = buf;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s;
}

// Where a piece of the first drawing lands, laid by `p`.
std::pair<double, double> laidAt(const Placement& p, const LocatedPiece& q) {
  return {p.m[0] * q.x + p.m[1] * q.y + p.dx, p.m[2] * q.x + p.m[3] * q.y + p.dy};
}

// Whether `x` moves less than `y`: unmirrored before mirrored, then the
// lesser turn either way round.
bool simpler(const Placement& x, const Placement& y) {
  if (x.mirrored != y.mirrored) return !x.mirrored;
  const auto turn = [](const Placement& p) { return std::min(p.turnDegrees, 360.0 - p.turnDegrees); };
  return turn(x) < turn(y) - 1e-6;
}

// Room for rounding in the drawings' numbers, grown with the scale.
double roomAt(const Tolerance& tolerance, double scale) { return 10 * tolerance.length * std::max(1.0, scale); }

// Each piece of `a` that `p` lays on a piece of `b`, with that piece.
std::vector<std::pair<std::size_t, std::size_t>> lainOn(std::span<const LocatedPiece> a, const Near& near,
                                                        const Placement& p, const Tolerance& tolerance) {
  std::vector<std::pair<std::size_t, std::size_t>> lain;
  const double eps = roomAt(tolerance, p.scale);
  for (std::size_t k = 0; k < a.size(); ++k) {
    const auto [x, y] = laidAt(p, a[k]);
    if (const auto at = near.find(x, y, a[k].form, a[k].size * p.scale, eps)) lain.emplace_back(k, *at);
  }
  return lain;
}

// Of the rare pieces, those the other drawing could hold at all: those
// that lie on its pieces, and those its other pieces (not lain on by the
// work moved) are alike to in form and size. A part pasted lies whole among
// them, though the rest of its drawing (three holes of six) is not in the
// other. What both hold unmoved where the work was moved (the sheet's
// frame, a title block's fields) is no part of the paste.
int heldBy(std::span<const LocatedPiece> a, std::span<const LocatedPiece> b, const Near& near,
           std::span<const std::uint8_t> rareA, const Tolerance& tolerance, const Placement& p,
           const std::vector<std::pair<std::size_t, std::size_t>>& lain) {
  int held = 0;
  std::vector<std::uint8_t> taken(b.size(), 0), landed(a.size(), 0);
  for (const auto& [k, j] : lain) {
    taken[j] = landed[k] = 1;
    if (rareA[k]) ++held;
  }
  std::unordered_map<std::uint64_t, std::vector<std::pair<double, std::size_t>>> sizesOfB;  // size, piece
  for (std::size_t k = 0; k < b.size(); ++k)
    if (!taken[k]) sizesOfB[b[k].form].emplace_back(b[k].size, k);
  for (auto& [form, sizes] : sizesOfB) std::sort(sizes.begin(), sizes.end());
  const double eps = roomAt(tolerance, p.scale);
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (!rareA[k] || landed[k] || near.holdsUnmoved(a[k], tolerance)) continue;
    const auto sizes = sizesOfB.find(a[k].form);
    if (sizes == sizesOfB.end()) continue;
    const double size = a[k].size * p.scale;
    auto at = std::lower_bound(sizes->second.begin(), sizes->second.end(), std::pair(size - eps, std::size_t{0}));
    while (at != sizes->second.end() && at->first <= size + eps && taken[at->second]) ++at;
    if (at != sizes->second.end() && at->first <= size + eps) {
      taken[at->second] = 1;
      ++held;
    }
  }
  return held;
}

// The pieces placed freely that lie on the other drawing's to a tenth of
// the tolerance, laid by the move that lays all that lies alike best: a
// paste keeps them exactly, while two students who put their notes by hand
// alike to a hundredth are not told alike, though a move taken from the note
// itself lays it exactly.
int placedFreelyToTheTenth(std::span<const LocatedPiece> a, std::span<const LocatedPiece> b,
                           std::span<const std::uint8_t> rareA, const Tolerance& tolerance, const Placement& p,
                           const std::vector<std::pair<std::size_t, std::size_t>>& lain) {
  if (lain.size() < 3) return p.freelyMapped;
  const double f = p.mirrored ? -1.0 : 1.0;
  double ax = 0, ay = 0, bx = 0, by = 0;
  for (const auto& [k, j] : lain) ax += a[k].x, ay += f * a[k].y, bx += b[j].x, by += b[j].y;
  const double n = static_cast<double>(lain.size());
  ax /= n, ay /= n, bx /= n, by /= n;
  // The similarity that lays them best (least squares), mirrored as found.
  double dot = 0, cross = 0, norm = 0;
  for (const auto& [k, j] : lain) {
    const double u = a[k].x - ax, v = f * a[k].y - ay, s = b[j].x - bx, t = b[j].y - by;
    dot += u * s + v * t;
    cross += u * t - v * s;
    norm += u * u + v * v;
  }
  if (!(norm > 0)) return p.freelyMapped;
  const double c = dot / norm, s = cross / norm;
  const double within = tolerance.length / 10 * std::max(1.0, p.scale);
  int freely = 0;
  for (const auto& [k, j] : lain) {
    if (!rareA[k] || !a[k].placedFreely) continue;
    const double u = a[k].x - ax, v = f * a[k].y - ay;
    const double x = c * u - s * v + bx, y = s * u + c * v + by;
    if (std::fabs(x - b[j].x) <= within && std::fabs(y - b[j].y) <= within) ++freely;
  }
  return freely;
}

// What a search for how `a` lies on `b` works from.
struct PlacementSearch {
  PlacementSearch(std::span<const LocatedPiece> pa, std::span<const LocatedPiece> pb,
                  std::span<const std::uint8_t> rare, const Tolerance& tol)
      : a(pa), b(pb), rareA(rare), tolerance(tol), near(pb) {
    for (std::size_t k = 0; k < a.size(); ++k)
      if (rareA[k]) rarePieces.push_back(k);
    for (std::size_t k = 0; k < b.size(); ++k) {
      for (const std::uint64_t key : b[k].places) {
        if (key == 0) continue;
        auto& [at, count] = placesOfB[key];
        at = k;
        ++count;
      }
      auto& [at, count] = shapesOfB[b[k].likeness];
      at = k;
      ++count;
    }
  }

  // Whether a candidate's pieces lie apart: the work was moved there.
  bool isMoved(const Candidate& c) const {
    return std::hypot(a[c.a].x - b[c.b].x, a[c.a].y - b[c.b].y) > tolerance.length;
  }

  std::span<const LocatedPiece> a, b;
  std::span<const std::uint8_t> rareA;
  std::vector<std::size_t> rarePieces;  // of `a`, in order
  const Tolerance& tolerance;
  Near near;
  // Per place and per likeness of `b`: the last piece holding it, and how many do.
  std::unordered_map<std::uint64_t, std::pair<std::size_t, int>> placesOfB, shapesOfB;
};

constexpr std::size_t kMostCandidates = 64;

// Pairs of pieces that can only be one another: a rare place or shape (a
// text's with its words) of `a` that `b` has once.
std::vector<Candidate> onlyOneAnother(const PlacementSearch& s) {
  std::vector<Candidate> candidates;
  for (std::size_t k = 0; k < s.a.size() && candidates.size() < kMostCandidates; ++k) {
    if (!s.rareA[k]) continue;
    const auto& places = s.a[k].places;
    const auto once = std::find_if(places.begin(), places.end(), [&](std::uint64_t key) {
      const auto place = key != 0 ? s.placesOfB.find(key) : s.placesOfB.end();
      return place != s.placesOfB.end() && place->second.second == 1;
    });
    if (once != places.end()) {
      candidates.push_back({k, s.placesOfB.at(*once).first});
      continue;
    }
    const auto shape = s.shapesOfB.find(s.a[k].likeness);
    if (shape != s.shapesOfB.end() && shape->second.second == 1) candidates.push_back({k, shape->second.first});
  }
  return candidates;
}

// Few rare pieces shared (a construction line pasted along with typed work
// the whole class draws): the pieces each drawing has once tell the rest of
// the move, and how many of those the class draws alike lie on the same
// ones tells the move from another that lays as many rare ones. Pieces both
// hold unmoved (the sheet's frame, the template's title) tell nothing of a
// move and are not counted; pieces drawn freely are tried first.
void addPiecesEachHasOnce(const PlacementSearch& s, std::vector<Candidate>& candidates) {
  std::stable_partition(candidates.begin(), candidates.end(),
                        [&](const Candidate& c) { return s.a[c.a].placedFreely; });
  std::unordered_map<std::uint64_t, int> shapesOfA;
  for (const LocatedPiece& q : s.a) ++shapesOfA[q.likeness];
  for (std::size_t k = 0; k < s.a.size() && candidates.size() < kMostCandidates; ++k) {
    if (s.rareA[k] || shapesOfA[s.a[k].likeness] != 1) continue;
    const auto shape = s.shapesOfB.find(s.a[k].likeness);
    if (shape == s.shapesOfB.end() || shape->second.second != 1) continue;
    if (s.near.holdsUnmoved(s.a[k], s.tolerance)) continue;
    candidates.push_back({k, shape->second.first});
  }
}

// Whether the candidates that tell a move (where work was moved, those
// moved) sit at two places at least.
bool atTwoPlaces(const PlacementSearch& s, const std::vector<Candidate>& candidates, std::ptrdiff_t moved) {
  const auto apart = [&](const Candidate& x, const Candidate& y) {
    return std::hypot(s.b[x.b].x - s.b[y.b].x, s.b[x.b].y - s.b[y.b].y) > s.tolerance.length;
  };
  std::vector<Candidate> telling;
  std::copy_if(candidates.begin(), candidates.end(), std::back_inserter(telling),
               [&](const Candidate& c) { return moved == 0 || s.isMoved(c); });
  bool twoPlaces = false;
  for (std::size_t i = 1; i < telling.size() && !twoPlaces; ++i) twoPlaces = apart(telling[0], telling[i]);
  return twoPlaces;
}

// Each rare piece of `a` with each of the few pieces alike in `b` (the holes
// about a bolt circle, up to eight), tried each way; where work was moved,
// not those both hold unmoved.
void addFewAlike(const PlacementSearch& s, std::ptrdiff_t moved, std::vector<Candidate>& candidates) {
  constexpr int kFewAlike = 8;
  std::unordered_map<std::uint64_t, std::vector<std::size_t>> piecesOfB;
  for (std::size_t k = 0; k < s.b.size(); ++k) {
    const auto shape = s.shapesOfB.find(s.b[k].likeness);
    if (shape->second.second <= kFewAlike) piecesOfB[s.b[k].likeness].push_back(k);
  }
  for (std::size_t k = 0; k < s.a.size() && candidates.size() < kMostCandidates; ++k) {
    if (!s.rareA[k] || (moved > 0 && s.near.holdsUnmoved(s.a[k], s.tolerance))) continue;
    const auto alike = piecesOfB.find(s.a[k].likeness);
    if (alike == piecesOfB.end() || alike->second.size() < 2) continue;
    for (const std::size_t j : alike->second)
      if (candidates.size() < kMostCandidates) candidates.push_back({k, j});
  }
}

// Puts first the pairs of pieces that were moved (where work was moved,
// what lies unmoved tells nothing of the move) and that each can only be
// the other (a piece of `b` that several of `a` can only be, one of the
// like holes about a bolt circle the others were pasted without, is one of
// them at most).
void rankCandidates(const PlacementSearch& s, std::ptrdiff_t moved, std::vector<Candidate>& candidates) {
  std::vector<int> claims(s.b.size(), 0);
  for (const Candidate& c : candidates) ++claims[c.b];
  std::vector<std::pair<int, Candidate>> ranked;
  ranked.reserve(candidates.size());
  for (const Candidate& c : candidates)
    ranked.emplace_back((moved > 0 && !s.isMoved(c) ? 2 : 0) + (claims[c.b] > 1 ? 1 : 0), c);
  std::stable_sort(ranked.begin(), ranked.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
  for (std::size_t i = 0; i < ranked.size(); ++i) candidates[i] = ranked[i].second;
}

// The similarity (mirrored about the x axis first, where asked) that lays
// a1 on b1 and a2 on b2.
Placement through(const LocatedPiece& a1, const LocatedPiece& a2, const LocatedPiece& b1, const LocatedPiece& b2,
                  bool mirror) {
  const double vbx = b2.x - b1.x, vby = b2.y - b1.y;
  const double lb = std::hypot(vbx, vby);
  const double f = mirror ? -1.0 : 1.0;
  const double vax = a2.x - a1.x, vay = f * (a2.y - a1.y);
  const double scale = lb / std::hypot(vax, vay);
  const double turn = std::atan2(vby, vbx) - std::atan2(vay, vax);
  const double c = scale * std::cos(turn), s = scale * std::sin(turn);
  Placement p;
  p.m[0] = c, p.m[1] = -s * f, p.m[2] = s, p.m[3] = c * f;
  p.dx = b1.x - (p.m[0] * a1.x + p.m[1] * a1.y);
  p.dy = b1.y - (p.m[2] * a1.x + p.m[3] * a1.y);
  p.scale = scale;
  p.mirrored = mirror;
  double degrees = std::fmod(turn * 180 / std::numbers::pi, 360.0);
  if (degrees < 0) degrees += 360;
  p.turnDegrees = degrees;
  return p;
}

// Counts what a placement lays on the same pieces: the rare pieces, those
// placed freely and their spots, and, where they may decide, the other
// pieces alongside. `landed` is room for the rare pieces that land.
void countLaid(const PlacementSearch& s, Spots& spots, std::vector<std::size_t>& landed, Placement& p,
               bool fewRare, const std::optional<Placement>& best) {
  const double eps = roomAt(s.tolerance, p.scale);
  auto lands = [&](std::size_t k) {
    const auto [x, y] = laidAt(p, s.a[k]);
    return s.near.has(x, y, s.a[k].form, s.a[k].size * p.scale, eps);
  };
  landed.clear();
  for (const std::size_t k : s.rarePieces) {
    if (!lands(k)) continue;
    landed.push_back(k);
    ++p.mapped;
    if (s.a[k].placedFreely) ++p.freelyMapped;
  }
  p.spots = spots.count(landed);
  // The rest is counted only where it may decide: where few rare pieces lie
  // alike, what lies around them tells the move, and whether they lie in
  // their place among the work.
  if (p.mapped > 0 && (fewRare || p.mapped < rules::kPlacedAtLeast) && (!best || p.mapped >= best->mapped))
    for (std::size_t k = 0; k < s.a.size(); ++k)
      if (!s.rareA[k] && lands(k)) ++p.alongside;
}

// Whether `p` lays better than `best`: more rare pieces mapped, then more
// pieces at all; on a tie (a symmetric part lies on itself mirrored or
// turned half round), the simpler move: no mirror, then the least turn.
bool laysBetter(const Placement& p, const std::optional<Placement>& best) {
  return !best || p.mapped > best->mapped ||
         (p.mapped == best->mapped &&
          (p.alongside > best->alongside || (p.alongside == best->alongside && simpler(p, *best))));
}

// The best of the placements through two candidates, at most `tries` pairs of them.
std::optional<Placement> bestThrough(const PlacementSearch& s, const std::vector<Candidate>& candidates, bool fewRare,
                                     int tries) {
  const int rare = static_cast<int>(s.rarePieces.size());
  Spots spots(s.a, s.tolerance);
  std::optional<Placement> best;
  std::vector<std::size_t> landed;
  int tried = 0;
  for (std::size_t i = 0; i < candidates.size() && tried < tries; ++i) {
    for (std::size_t j = i + 1; j < candidates.size() && tried < tries; ++j) {
      const LocatedPiece &a1 = s.a[candidates[i].a], &a2 = s.a[candidates[j].a];
      const LocatedPiece &b1 = s.b[candidates[i].b], &b2 = s.b[candidates[j].b];
      if (std::hypot(b2.x - b1.x, b2.y - b1.y) <= s.tolerance.length ||
          std::hypot(a2.x - a1.x, a2.y - a1.y) <= s.tolerance.length)
        continue;
      ++tried;
      for (const bool mirror : {false, true}) {
        Placement p = through(a1, a2, b1, b2, mirror);
        countLaid(s, spots, landed, p, fewRare, best);
        p.tried = rare;
        if (laysBetter(p, best)) best = p;
      }
    }
  }
  return best;
}

}  // namespace

std::string placementText(const Placement& p) {
  std::vector<std::string> parts;
  // A turn in degrees, counter-clockwise, told the short way round.
  const auto turned = [&](double degrees) {
    degrees = std::fmod(degrees, 360.0);
    if (degrees < 0) degrees += 360;
    const bool clockwise = degrees > 180.05;
    if (clockwise) degrees = 360 - degrees;
    if (degrees < 0.05) return;
    char buf[32];
    if (std::fabs(degrees - std::round(degrees)) < 0.05) std::snprintf(buf, sizeof buf, "%.0f", std::round(degrees));
    else std::snprintf(buf, sizeof buf, "%.1f", degrees);
    parts.push_back(std::string(clockwise ? "turned clockwise by " : "turned by ") + buf + "\xC2\xB0");
  };
  if (p.mirrored) {
    // Mirrored about the x axis and turned by t is mirrored about the line
    // at t/2: told as mirrored upside down, or left to right and turned.
    double turn = std::fmod(p.turnDegrees, 360.0);
    if (turn < 0) turn += 360;
    if (turn < 0.05 || turn > 359.95) parts.push_back("mirrored top to bottom");
    else parts.push_back("mirrored left to right");
    if (std::fabs(p.scale - 1) > 1e-4) parts.push_back("scaled \xC3\x97" + number(p.scale));
    if (!(turn < 0.05 || turn > 359.95)) turned(turn - 180);
  } else {
    if (std::fabs(p.scale - 1) > 1e-4) parts.push_back("scaled \xC3\x97" + number(p.scale));
    turned(p.turnDegrees);
  }
  if (std::hypot(p.dx, p.dy) > 1e-6 * std::max(1.0, p.scale)) parts.push_back("moved");
  if (parts.empty()) return "in the same place";
  std::string out;
  for (std::size_t k = 0; k < parts.size(); ++k) {
    if (k > 0) out += k + 1 == parts.size() ? " and " : ", ";
    out += parts[k];
  }
  return out;
}

Placement inverse(const Placement& p) {
  Placement out = p;
  const double det = p.m[0] * p.m[3] - p.m[1] * p.m[2];
  if (!(std::fabs(det) > 1e-300)) return out;
  out.m[0] = p.m[3] / det;
  out.m[1] = -p.m[1] / det;
  out.m[2] = -p.m[2] / det;
  out.m[3] = p.m[0] / det;
  out.dx = -(out.m[0] * p.dx + out.m[1] * p.dy);
  out.dy = -(out.m[2] * p.dx + out.m[3] * p.dy);
  out.scale = std::sqrt(std::fabs(out.m[0] * out.m[3] - out.m[1] * out.m[2]));
  out.mirrored = det < 0;
  // The first column is the turn (scaled) in both cases: a mirror about the
  // x axis leaves it alone.
  double degrees = std::atan2(out.m[2], out.m[0]) * 180 / std::numbers::pi;
  if (degrees < 0) degrees += 360;
  out.turnDegrees = degrees >= 360 ? 0 : degrees;
  return out;
}

std::optional<Placement> findPlacement(std::span<const LocatedPiece> a, std::span<const LocatedPiece> b,
                                       std::span<const std::uint8_t> rareA, const Tolerance& tolerance, int tries) {
  const PlacementSearch s(a, b, rareA, tolerance);
  std::vector<Candidate> candidates = onlyOneAnother(s);
  const auto moved = std::count_if(candidates.begin(), candidates.end(), [&](const Candidate& c) { return s.isMoved(c); });
  const bool fewRare = !candidates.empty() && moved < 4;
  if (fewRare) addPiecesEachHasOnce(s, candidates);
  // Pieces that can only be one another may all sit at one point (a bore,
  // its bolt circle and the centre lines of a flange), which tells no turn,
  // or be few (a hole told by its neighbours may be taken for the one
  // beside it, where one was left out): then the rare pieces the other
  // drawing has a few of are tried each way too, beside them. Where work
  // was moved, what lies unmoved beside it tells no turn either.
  if ((!atTwoPlaces(s, candidates, moved) || fewRare) && !candidates.empty()) addFewAlike(s, moved, candidates);
  if (candidates.size() < 2) return std::nullopt;
  rankCandidates(s, moved, candidates);
  std::optional<Placement> best = bestThrough(s, candidates, fewRare, tries);
  if (best) {
    const auto lain = lainOn(a, s.near, *best, tolerance);
    best->held = heldBy(a, b, s.near, rareA, tolerance, *best, lain);
    if (best->freelyMapped > 0) best->freelyMapped = placedFreelyToTheTenth(a, b, rareA, tolerance, *best, lain);
  }
  return best;
}

}  // namespace veldra::evidence
