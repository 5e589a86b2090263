#pragma once

// Fingerprints of a drawing's entities that survive what a copier does: they
// leave out handles, layers, the order entities were drawn or pasted in and
// where the whole sits (a paste that was moved, turned or mirrored matches),
// and round every number to a tolerance. Per entity:
//   shape   the kind, its space and its own sizes (a line's length, a
//           circle's radius, an arc's radius and sweep, a text's height, a
//           block reference's block name); a polyline gives one per
//           segment, as the lines and arcs exploding it leaves;
//   words   a text's words, letter case and spacing ignored;
//   place   each piece with its nearest neighbour in space: both kinds, both
//           sizes and the angles measured against the distance between
//           them, so that scaling leaves it alone too.
// Entities with a handle also give a handle feature (the handle with its
// shape), the evidence of entities taken over under their own handles.
// A shape is marked typed when its measures are what typing numbers gives
// (whole steps of a twentieth or a sixty-fourth of a unit, whole degrees),
// a place when both its pieces are lines, arcs, circles or blocks, and
// words always (notes are phrased alike by chance): two students given the
// same numbers draw them alike without copying. What is drawn freely (a
// construction line to a clicked point, where a text was put) is not
// typed, and two drawings hold it alike only by copying.
// Keys are stable across runs and platforms: the evidence store keeps them.
// kFeatureVersion names what featuresOf makes: raise it with any change to
// the features or their keys, and the store's features made before are
// made afresh from the drawings.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "evidence/features/drawing_evidence.h"

namespace veldra::evidence {

inline constexpr int kFeatureVersion = 8;

// A drawing's entities under its lowest handles are what it was started
// from, where it was started from a template: of so many of them, each
// feature is kept beside its entity's handle feature, so that the class can
// tell what its drawings started with.
inline constexpr std::size_t kStartEntities = 256;

// What was placed freely (a text where the student clicked) is told beside
// its nearest piece and beside at most so many more nearby: pasted away
// from another's work (the template's title block), or with part of the
// work it stood beside, it keeps its place beside what it was pasted with.
inline constexpr std::size_t kFurtherPlaces = 6;
// Of them, those beside its next nearest pieces come first.
inline constexpr std::size_t kNextNearest = 2;

// Steps numbers are rounded to before they are compared.
struct Tolerance {
  double length = 0.001;  // coordinates, sizes and steps, in drawing units
  double angle = 0.0001;  // angles in radians, scale factors and ratios
};

enum class FeatureKind : std::uint8_t { kShape = 0, kWords = 1, kPlace = 2, kHandle = 3 };
inline FeatureKind featureKind(std::uint64_t key) { return static_cast<FeatureKind>(key >> 62); }
inline bool isTyped(std::uint64_t key) { return ((key >> 61) & 1u) != 0; }

struct Feature {
  std::uint64_t key = 0;
  std::uint32_t count = 0;
};

// One choice a student made freely, by the feature that tells it: a shape
// drawn freely with its measure (a length, a radius), or a place with the
// piece placed (a note is told beside several neighbours, but was put down
// once). Two drawings that share what follows from one choice share one
// piece of evidence: the same measure in several shapes, a measure made of
// another by a typed step (a hole's centre lines two units beyond it), a
// note's several places.
struct FreeChoice {
  std::uint64_t key = 0;
  double measure = 0;       // a shape's measure; 0 for a place
  std::uint32_t piece = 0;  // a place's piece, among the drawing's pieces
  bool operator==(const FreeChoice&) const = default;
};

struct DrawingFeatures {
  std::vector<Feature> geometry;  // shape, words and place features, by key, each key once
  std::vector<Feature> handles;   // handle features, by key, each key once
  std::vector<std::uint64_t> handleShapes;   // the shape feature of each handle feature's entity
  std::vector<std::uint64_t> handleNumbers;  // the entities' handles, ascending, each once
  // Of the entities under the kStartEntities lowest handles: each handle
  // feature with each shape, words and place feature of its entity, in order.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> startKeys;
  std::vector<FreeChoice> freeChoices;  // by key, each key once
  std::uint32_t entities = 0;
  bool geometryKnown = false;  // some entity came with numbers
};

// The numbers the reader gives for a kind, in order: P a point (x y z),
// Q a point in the plane (x y), V a vector (x y z), L a length, A an angle,
// R a ratio or scale; a closing * repeats the part before it to the end.
// Numbers past the layout count as lengths. A kind not listed is taken to
// start with a point.
std::string_view numberLayout(std::string_view kind);

DrawingFeatures featuresOf(std::span<const EntityFacts> entities, const Tolerance& tolerance);

// A second, independent mix of a key, for sketches.
std::uint64_t mixKey(std::uint64_t key);

}  // namespace veldra::evidence
