#pragma once

// What the evidence check finds: a verdict per pair of drawings with its
// evidence and reasons, groups of copies with their likely source, and the
// drawings that could not be read. Plain data; writers turn it into text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "evidence/features/drawing_evidence.h"
#include "evidence/features/placement.h"
#include "evidence/features/settings.h"

namespace veldra::evidence {

enum class Verdict { kNone = 0, kCoincidence = 1, kLikelyCopy = 2, kCopy = 3 };

// "none", "coincidence", "likely copy", "copy".
std::string_view verdictText(Verdict verdict);
inline bool isCopy(Verdict v) { return v == Verdict::kCopy || v == Verdict::kLikelyCopy; }

// Every piece of evidence weighed for a pair, whether it told or not.
struct PairEvidence {
  // Identity (FINGERPRINTGUID, VERSIONGUID).
  bool sameIdentity = false;          // one file became the other
  bool sameVersion = false;           // and was not saved since
  bool identityFromTemplate = false;  // the same identity, but most drawings or a template have it
  bool differentIdentities = false;   // both store one, and they differ
  // Creation.
  bool sameCreatedInstant = false;    // to the millisecond, in a version that stores milliseconds
  bool sameCreatedSecond = false;
  bool createdFromTemplate = false;   // the creation instant most drawings or a template have
  // Geometry. Features are entity shapes, texts' words and each piece's place beside its neighbour.
  double geometrySimilarity = 0;      // all features, multiset Jaccard, 0..1
  double rareSimilarity = 0;          // the share that tells most, by rarity: shapes and words of the lighter
                                      // drawing, or places of the heavier, 0..1
  double beyondChance = 0;            // rareSimilarity above what any drawing of the class shares by chance, 0..1
  int rareShared = 0;                 // shared entities (shapes and words) beyond the template and the class
  int rarePlacesShared = 0;           // shared places that weigh something; for the run only, not kept
  int onlyTheseTwo = 0;               // of them, in no other drawing
  int freelyDrawnShared = 0;          // shared shapes and places that weigh something, drawn freely; for the run only
  int freeChoicesShared = 0;          // choices made freely both hold to the last digit, trusted or not; for the run only
  int distinctiveA = 0;               // entities beyond the template and the class, per drawing
  int distinctiveB = 0;
  // Handles.
  double handleOverlap = 0;           // same handles with the same shape beyond the template, over the smaller
  int handlesShared = 0;
  double rawHandleOverlap = 0;        // the same handle numbers at all, over the smaller entity count
  // People and time.
  std::string sharedName;             // an author or last-saved-by on both
  bool nameIgnored = false;           // a name on most drawings, a template's, or on the ignore list
  int nameDrawings = 0;               // drawings of the project with that name
  bool sameEditingTime = false;       // equal, non-zero total editing time
  // How the first drawing's work lies on the second's, for a copy whose work
  // could be laid onto the other (its counts are of the drawing that was laid,
  // which may be either).
  std::optional<Placement> placement;
};

// The teacher's mark on a pair, kept across runs.
enum class ReviewMark { kToReview = 0, kConfirmed = 1, kNotCopy = 2 };
// "to review", "confirmed copy", "not a copy".
std::string_view reviewText(ReviewMark mark);

struct PairReview {
  ReviewMark mark = ReviewMark::kToReview;
  std::string note;
  Verdict markedVerdict = Verdict::kNone;  // the verdict when it was marked
  int markedScore = 0;
  std::int64_t markedAtUnixMs = 0;
  bool changed = false;                    // judged otherwise now than when it was marked
  std::int64_t markId = 0;                 // the store's number for the mark
};

struct PairFinding {
  std::size_t a = 0, b = 0;  // indices into Findings::drawings
  Verdict verdict = Verdict::kNone;
  int score = 0;             // 0..100
  PairEvidence evidence;
  std::optional<std::size_t> likelySource;  // a or b; nothing when unclear
  std::string direction;                    // why that one is the source, or why it is unclear
  std::vector<std::string> reasons;         // the evidence in words, strongest first
  int group = 0;                            // the copy group, from 1; 0 for none
  std::optional<PairReview> review;         // the teacher's mark, when there is one
};

struct CopyGroup {
  int number = 0;
  std::vector<std::size_t> members;         // indices into Findings::drawings
  std::optional<std::size_t> likelySource;
  int score = 0;                            // the strongest pair's
};

struct VerdictCounts {
  int copy = 0, likelyCopy = 0, coincidence = 0;
};

struct Findings {
  std::string project;
  std::string term;
  std::int64_t runAtUnixMs = 0;
  EvidenceSettings settings;
  std::vector<DrawingFacts> drawings;  // the project's in visiting order, then earlier projects' that matched
  std::size_t projectDrawings = 0;     // how many of `drawings` are the project's
  std::size_t earlierDrawings = 0;     // drawings of the earlier projects compared against
  std::size_t pairsJudged = 0;         // all pairs of the project's readable drawings, and those against earlier ones
  std::vector<PairFinding> pairs;      // all but `none`: groups first, then by score
  std::vector<CopyGroup> groups;
  std::vector<std::string> notes;      // what the check left out and why (lab accounts, templates...)

  VerdictCounts counts() const;
  // The project's drawings that could not be read or whose facts are doubtful.
  std::vector<std::size_t> problemDrawings() const;
  // A group of three drawings or more in the order they were copied, as its
  // pairs' directions tell it: the likely source first, then each drawing
  // after those it is more often named the copy of. Empty where the
  // directions leave the order open (two copies of one source alike).
  std::vector<std::size_t> copyingOrder(const CopyGroup& group) const;
};

}  // namespace veldra::evidence
