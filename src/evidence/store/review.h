#pragma once

// The teacher's marks on pairs as the evidence store keeps them: with the
// content digests of both drawings' files, so that a mark follows its
// drawings wherever their folder moves, is never put on another file laid
// in a marked one's place, and a later run tells when the pair is judged
// otherwise now or no longer there.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "evidence/judging/findings.h"

namespace veldra::evidence {

struct StoredMark {
  std::int64_t id = 0;               // the store's number for it; 0 for a mark not kept yet
  std::string pathA, pathB;          // full paths as UTF-8 when marked, A before B in byte order
  std::string identityA, identityB;  // the drawings' identities (empty when they store none)
  // The content digests of the files when marked. Empty on a mark of an
  // earlier version of the program until a run finds its file unchanged;
  // such a side is found by its path and identity.
  std::string digestA, digestB;
  ReviewMark mark = ReviewMark::kToReview;
  std::string note;
  Verdict verdict = Verdict::kNone;  // as judged when marked
  int score = 0;
  std::int64_t markedAtUnixMs = 0;
};

// The digest that stands for a file found changed before a mark of an
// earlier version could be tied to its content: it matches no file.
inline constexpr std::string_view kChangedFile = "-";

// The mark of a pair of the findings, keyed as the store keeps it (the mark
// the pair has already, if any, is the one replaced).
StoredMark markOf(const Findings& findings, const PairFinding& pair, ReviewMark mark, std::string note,
                  std::int64_t nowUnixMs);

// Gives each pair of the findings its stored mark, if it has one: the mark
// made at the pair's paths on the same files, else one made on the same
// files elsewhere (a folder moved). A mark not shown is told in the
// findings' notes with its note: a file at one of its paths replaced, the
// pair judged none now, or its drawings gone from the project. Gives the
// marks found elsewhere as they are now to be kept: at the pair's paths.
std::vector<StoredMark> applyMarks(Findings& findings, std::span<const StoredMark> marks);

// "confirmed copy", or "confirmed copy (marked when copy, 82)" for a pair
// judged otherwise since; with the note after a colon when there is one.
std::string reviewSummary(const PairReview& review, bool withNote);

}  // namespace veldra::evidence
