#pragma once

// The teacher's marks on pairs as the evidence store keeps them: by both
// drawings' paths and identities, so that a later run finds the mark of a
// pair again, tells when it is judged otherwise now, and tells of marks
// whose pair it no longer finds.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "evidence/judging/findings.h"

namespace veldra::evidence {

struct StoredMark {
  std::string pathA, pathB;          // full paths as UTF-8, A before B in byte order
  std::string identityA, identityB;  // the drawings' identities (empty when they store none)
  ReviewMark mark = ReviewMark::kToReview;
  std::string note;
  Verdict verdict = Verdict::kNone;  // as judged when marked
  int score = 0;
  std::int64_t markedAtUnixMs = 0;
};

// The mark of a pair of the findings, keyed as the store keeps it.
StoredMark markOf(const Findings& findings, const PairFinding& pair, ReviewMark mark, std::string note,
                  std::int64_t nowUnixMs);

// Gives each pair of the findings its stored mark, if it has one. A mark
// whose drawings are not both there with the same identities, or whose
// pair is now judged none, is told in the findings' notes.
void applyMarks(Findings& findings, std::span<const StoredMark> marks);

// "confirmed copy", or "confirmed copy (marked when copy, 82)" for a pair
// judged otherwise since; with the note after a colon when there is one.
std::string reviewSummary(const PairReview& review, bool withNote);

}  // namespace veldra::evidence
