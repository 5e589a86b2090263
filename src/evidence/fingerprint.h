#pragma once

// Fingerprints of a drawing's entities that survive what a copier does: they
// leave out handles, layers and the position of the whole (a paste that was
// moved matches), and round every number to a tolerance. Three features per
// entity at most:
//   shape      the kind, its space, its points relative to one another,
//              its sizes and angles, a block reference's block name;
//   words      a text's words, letter case and spacing ignored;
//   neighbour  the shape of the entity and of the one before it in the same
//              space, with the step between them (the order a drawing was
//              made in, and the layout of its parts).
// Entities with a handle also give a handle feature (the handle with its
// shape), the evidence of entities taken over under their own handles.
// Keys are stable across runs and platforms: the evidence store keeps them.
// kFeatureVersion names what featuresOf makes: raise it with any change to
// the features or their keys, and the store's features made before are
// made afresh from the drawings.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "evidence/drawing_evidence.h"

namespace veldra::evidence {

inline constexpr int kFeatureVersion = 1;

// Steps numbers are rounded to before they are compared.
struct Tolerance {
  double length = 0.001;  // coordinates, sizes and steps, in drawing units
  double angle = 0.0001;  // angles in radians, scale factors and ratios
};

enum class FeatureKind : std::uint8_t { kShape = 0, kWords = 1, kNeighbour = 2, kHandle = 3 };
inline FeatureKind featureKind(std::uint64_t key) { return static_cast<FeatureKind>(key >> 62); }

struct Feature {
  std::uint64_t key = 0;
  std::uint32_t count = 0;
};

struct DrawingFeatures {
  std::vector<Feature> geometry;  // shape, words and neighbour features, by key, each key once
  std::vector<Feature> handles;   // handle features, by key, each key once
  std::vector<std::uint64_t> handleShapes;   // the shape feature of each handle feature's entity
  std::vector<std::uint64_t> handleNumbers;  // the entities' handles, ascending, each once
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
