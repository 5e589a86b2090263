#pragma once

// Drawings of earlier projects, kept in the evidence store: found through an
// index of sketches of their features, never pair by pair. The store answers
// this; tests and benchmarks may answer it from memory.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "evidence/features/drawing_evidence.h"
#include "evidence/features/fingerprint.h"

namespace veldra::evidence {

// A drawing's sketch: the smallest mixed keys of its neighbour features
// that weigh something in its own class (and of its handle features when it
// came without geometry). Drawings that share much share sketch values. A
// neighbour feature (two shapes and the step between them) is specific to
// one exercise; a bare shape (a circle of radius 5) is found in drawings of
// every exercise, and would lead to thousands of drawings of other terms.
inline constexpr std::size_t kSketchSize = 64;
std::vector<std::uint64_t> sketchOf(std::span<const Feature> geometry, std::span<const float> geometryWeights,
                                    std::span<const Feature> handles, std::span<const float> handleWeights,
                                    std::size_t size = kSketchSize);

struct ArchivedDrawing {
  std::int64_t id = 0;
  DrawingFacts facts;  // `project` names the earlier project
  DrawingFeatures features;
};

class ArchiveSource {
 public:
  virtual ~ArchiveSource() = default;
  // How many drawings the chosen earlier projects hold.
  virtual std::size_t size() = 0;
  // Their drawings whose sketch shares at least `minShared` values with
  // `sketch`, each with the count it shares.
  virtual std::vector<std::pair<std::int64_t, int>> similar(std::span<const std::uint64_t> sketch, int minShared) = 0;
  // Their drawings with this drawing identity.
  virtual std::vector<std::int64_t> withIdentity(const std::string& fingerprintGuid) = 0;
  // similar() and withIdentity() for a whole class, answered in its order:
  // an archive behind a network connection answers them in a few round
  // trips instead of one per drawing.
  virtual std::vector<std::vector<std::pair<std::int64_t, int>>> similarEach(
      std::span<const std::span<const std::uint64_t>> sketches, int minShared) {
    std::vector<std::vector<std::pair<std::int64_t, int>>> out;
    for (const auto sketch : sketches) out.push_back(similar(sketch, minShared));
    return out;
  }
  virtual std::vector<std::vector<std::int64_t>> withIdentityEach(std::span<const std::string> fingerprintGuids) {
    std::vector<std::vector<std::int64_t>> out;
    for (const auto& guid : fingerprintGuids) out.push_back(guid.empty() ? std::vector<std::int64_t>{} : withIdentity(guid));
    return out;
  }
  virtual std::optional<ArchivedDrawing> load(std::int64_t id) = 0;
  // What weighs nothing in that project (most of its class, its templates), sorted.
  virtual std::vector<std::uint64_t> commonKeys(const std::string& project) = 0;
  // Why a question went unanswered, empty while every one was answered: an
  // archive behind a connection may fail, and a judgement without its
  // answers would miss the copies of earlier work.
  virtual std::string failure() const { return {}; }
};

}  // namespace veldra::evidence
