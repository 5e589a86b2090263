#pragma once

// How one drawing's work lies on another's: the move, turn, mirror and
// scale that carry the rare pieces of one onto the same pieces of the other,
// found from pieces the two share and counted over all of them.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "evidence/features/fingerprint.h"

namespace veldra::evidence {

// A piece of a drawing's model space where it sits, for laying drawings onto
// one another (see fingerprint.h for what shape and place mean).
struct LocatedPiece {
  std::uint64_t shape = 0;  // the shape feature's key
  // What a piece of the other drawing must be to be this one: its shape,
  // and a text's words too (a note is not the student's name of its height).
  std::uint64_t likeness = 0;
  // Its place features' keys, beside its nearest piece and (placed freely)
  // its next nearest; 0 for none.
  std::array<std::uint64_t, 1 + kNextNearest> places{};
  std::uint64_t form = 0;   // what scaling leaves alone
  double x = 0, y = 0;
  double size = 0;
  // Drawn to measures of its own, not typed (a line to a clicked point), or
  // a note put where the student clicked, at no typed distance from the
  // work beside it (students snap their notes to the same corners by
  // habit): where it lies, no typed number put it.
  bool placedFreely = false;
};

// The located model-space pieces of a drawing.
std::vector<LocatedPiece> locatedPieces(std::span<const EntityFacts> entities, const Tolerance& tolerance);

// A similarity of the plane: (x, y) -> (m[0] x + m[1] y + dx, m[2] x + m[3] y + dy).
struct Placement {
  double m[4] = {1, 0, 0, 1};
  double dx = 0, dy = 0;
  double turnDegrees = 0;  // 0 to 360, counter-clockwise
  bool mirrored = false;   // about the x axis, before the turn
  double scale = 1;
  int mapped = 0;          // rare pieces of the first drawing that land on the same piece of the other
  int tried = 0;           // rare pieces of the first drawing
  int held = 0;            // of those, the ones whose form and size (scaled) the other drawing has anywhere
  int freelyMapped = 0;    // of those mapped, the ones placed freely
  int alongside = 0;       // where few rare pieces land so: pieces the class draws alike that land so too
  // The points the mapped pieces sit at, those at one point (a hole with
  // its centre lines) once: pieces at one point fit any turn about it.
  int spots = 0;
};

// What the placement does to the first drawing's work, as a copier would
// have done it: "turned by 90° and moved", "mirrored left to right",
// "scaled ×2 and turned clockwise by 37.5°", "in the same place".
std::string placementText(const Placement& placement);

// The placement that lays the second drawing's work back onto the first's;
// its counts are the placement's own.
Placement inverse(const Placement& placement);

// Finds how `a` lies on `b`: `rareA(piece)` tells whether a piece of `a`
// weighs something in the class. Tries at most `tries` pairs of shared
// rare pieces, or of one rare piece and pieces each drawing has once.
// Nothing when no rare piece is shared, or nothing beside it.
std::optional<Placement> findPlacement(std::span<const LocatedPiece> a, std::span<const LocatedPiece> b,
                                       std::span<const std::uint8_t> rareA, const Tolerance& tolerance,
                                       int tries = 48);

}  // namespace veldra::evidence
