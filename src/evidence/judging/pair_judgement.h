#pragma once

// The judgement of one pair of drawings: every piece of evidence measured,
// weighed into a score and a verdict, told in words, and the likely source.

#include <cstdint>
#include <span>
#include <optional>
#include <string>
#include <utility>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "evidence/judging/chance.h"
#include "evidence/judging/findings.h"
#include "evidence/features/fingerprint.h"

namespace veldra::evidence {

// One drawing of a pair as the measure sees it: its facts, and its features
// with the weight and the class count of each.
struct PairSide {
  const DrawingFacts* facts = nullptr;
  std::span<const Feature> geometry;
  std::span<const float> geometryWeight;    // parallel to geometry
  std::span<const std::uint32_t> geometryDf;  // drawings of the class that have it
  std::span<const Feature> handles;
  std::span<const float> handleWeight;      // parallel to handles
  std::span<const std::uint64_t> handleNumbers;
  std::span<const FreeChoice> freeChoices;  // by key
  int choicesMade = 0;                      // choices made freely (chance.h)
  double geometryTotal = 0;                 // of its shapes and words, the sum of weight times count
  double placeTotal = 0;                    // the same of its places
  double handleTotal = 0;
  int distinctive = 0;                      // shapes and words that weigh something, each as often as it occurs
  // What the rest of the class holds of its shapes and words (and of its
  // places): the sum over those features of weight times count times the
  // other drawings that have the feature.
  double heldByOthers = 0;
  double placesHeldByOthers = 0;
};

// What the class as a whole says about names, identities and creation
// instants: what most drawings (or a template) have is not evidence.
struct ClassContext {
  std::size_t drawings = 0;  // in the class the pair is judged in
  // Pairs the whole judgement compares: the class's, and each drawing
  // against the earlier ones; what one pair shares is weighed against what
  // so many pairs would share by chance.
  double pairsCompared = 0;
  double meanGeometryTotal = 0;  // of the class's drawings, their shapes' and words' weight (PairSide)
  double pairWeight = 0;  // the weight of a feature only two drawings have
  std::unordered_map<std::string, int> nameDrawings;  // by normalName
  std::unordered_set<std::string> ignoredNames;       // by normalName
  std::unordered_map<std::string, std::string> whyIgnored;  // by normalName: "on the ignore list"...
  std::unordered_set<std::string> commonIdentities;
  std::unordered_set<std::int64_t> commonCreated;     // unix milliseconds
  // What shared work with round measures counts for when nothing drawn
  // freely is shared beside it: 1 in a class that draws one sheet from one
  // set of numbers, less where students' numbers vary (see rules.h).
  double typedAlone = 1.0;
  // Each student chose numbers of their own (a radius or a length now and
  // then alike): typed work that no third drawing has and that lies whole
  // on the other drawing is one drawing's work put into the other.
  bool ownNumbers = false;
  Thresholds thresholds;
};

// A name as compared: blanks at the ends dropped, ASCII letters in lower case.
std::string normalName(std::string_view name);

// The names a drawing carries (author, last saved by), normalised, each once.
std::vector<std::string> namesOf(const DrawingFacts& facts);

// The student a drawing belongs to: the first folder of its name below the
// location, or the file's own name without extension when it has none.
std::string ownerOf(const DrawingFacts& facts);

// The share of a drawing's weight that a drawing of the class other than
// the pair holds by chance: `heldByOthers` as in PairSide, less what the
// other drawing of the pair holds (`heldByPartner`, weight times count).
double chanceShare(double heldByOthers, double heldByPartner, double total, std::size_t drawings);

// The share of a drawing that another holds by chance, `chance` for a
// drawing of the class's mean weight `meanTotal`, for one of weight
// `otherTotal`: as many times as likely to hold each feature as it is
// heavier.
double byVolume(double chance, double otherTotal, double meanTotal);

// How strongly a shared rarity weight tells of a copy (0..1): `lighter` is
// the total weight of the lighter drawing, `chance` the share of it another
// drawing holds by chance, `pairWeight` the weight of a feature only two
// drawings have.
double shareStrength(double shared, double lighter, double chance, double pairWeight);

// How strongly a shared rarity weight tells of a copy on its own, whatever
// share of either drawing it is (0..1): part of a drawing pasted beside the
// copier's own work.
double countStrength(double shared, double pairWeight);

// Whether a shared rarity weight is at least `features` features that only
// two drawings have (`pairWeight` each). Weights are kept in single
// precision: one such feature may weigh a hair less than `pairWeight`, and
// must still count as one.
bool weighsAtLeast(double shared, double features, double pairWeight);

// The work of drawing `a` laid onto `b`'s by the move, turn, mirror and
// scale found for them (placement.h): of its lines, arcs, circles and texts
// that most of the class does not draw, how many then lie on the same ones.
struct Laid {
  Laid() = default;
  Laid(int mappedPieces, int triedPieces, int freelyMapped = 0, bool bLaidOntoA = false, std::string placed = {})
      : mapped(mappedPieces), tried(triedPieces), freely(freelyMapped), reversed(bLaidOntoA), how(std::move(placed)) {}

  int mapped = 0;
  int tried = 0;
  int freely = 0;  // of those mapped, pieces placed freely
  int held = 0;    // of those tried, the ones the other drawing holds anywhere; 0: not told
  int alongside = 0;  // pieces the class draws alike that lie on the same ones with them
  int spots = 2;      // the points the mapped pieces sit at (Placement::spots)
  bool reversed = false;  // b's work laid onto a's
  std::string how;        // "turned by 90° and moved"; empty in the same place
  std::string howBack;    // how the other drawing's work lies on this one's
};

// Most of the rare pieces laid lie on the same ones (rules.h,
// kTypedLaidWhole).
bool liesWhole(const Laid& laid);
// A pair whose pieces sit by the same neighbours (kPlacedAtLeast rare
// places) though few of their shapes are alike: one may be the other
// scaled, which only laying them onto one another tells.
bool placesAlikeShapesNot(const PairEvidence& evidence);
// Whether laying a judged pair's drawings onto one another may tell more:
// a copy that shares rare work (to say how it was moved), a pair that
// shares rare pieces (a paste exploded, or a part pasted among the copier's
// own, may share only typed work by its shapes and tell itself by where it
// lies), a pair that shares work drawn freely (one construction line pasted
// along with typed work tells the rest), and one that tells nothing else
// whose places are alike though its shapes are not (a paste scaled).
bool worthLaying(const PairFinding& finding, const ClassContext& context);
// At least kPlacedAtLeast pieces alike (rare ones and those the class draws
// alike beside them), among them pieces drawn freely, and most of the rare
// ones the other drawing could hold lie on them (kTypedLaidWhole): a part of
// one drawing put into the other, beside the copier's own (rules.h).
bool liesWholeWithFreePieces(const Laid& laid);
// Where students chose numbers of their own: at least kOwnNumbersLaidAtLeast
// rare pieces, and most of all the rare ones (kTypedLaidWhole), lie on the
// same ones (rules.h).
bool liesWholeOfOwnNumbers(const Laid& laid, const ClassContext& context);

// Judges a pair; the caller fills in the indices `a` and `b` of the result
// (the source is given as 0 for `a`, 1 for `b`). With `laid`, how a's work
// lies on b's is weighed too.
PairFinding judgePair(const PairSide& a, const PairSide& b, const ClassContext& context,
                      const std::optional<Laid>& laid = std::nullopt);

}  // namespace veldra::evidence
