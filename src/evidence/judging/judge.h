#pragma once

// The evidence check of a class: every pair of its drawings judged on all
// the evidence, through an index of features rather than pair by pair, and
// the class against drawings of earlier projects; then groups of copies.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "evidence/judging/archive.h"
#include "evidence/judging/findings.h"
#include "evidence/features/settings.h"

namespace veldra::evidence {

struct ClassInput {
  std::string project;
  std::vector<DrawingEvidence> drawings;   // the project's, in visiting order
  std::vector<DrawingEvidence> templates;  // the teacher's template drawings
  // Features made before (parallel to `drawings`, perhaps shorter): a
  // drawing that has them is not fingerprinted again, and needs no entities.
  std::vector<std::optional<DrawingFeatures>> known;
  // The entities of drawing i read again, for a drawing that came with
  // features made before and no entities: the copies among such drawings
  // are laid onto one another on their entities, so that a later run tells
  // a turned or mirrored copy as the first did. Called only for drawings of
  // pairs called a copy, each once; may be called from several threads at
  // once.
  std::function<std::vector<EntityFacts>(std::size_t drawing)> entitiesAgain;
};

// What the store keeps of a judged drawing.
struct JudgedDrawing {
  DrawingFeatures features;
  std::vector<std::uint64_t> sketch;
};

struct Judgement {
  Findings findings;
  std::vector<JudgedDrawing> judged;      // parallel to the project's drawings
  std::vector<std::uint64_t> commonKeys;  // what weighs nothing in this project, sorted
  bool cancelled = false;
};

// Judges the class; with an archive, also against the earlier projects it
// holds. Nothing is written anywhere. The input's facts move into the
// findings: pass it with std::move where it is not needed afterwards.
Judgement judgeClass(ClassInput input, const EvidenceSettings& settings, ArchiveSource* archive,
                     const RunControl& control);

}  // namespace veldra::evidence
