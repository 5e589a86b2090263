#pragma once

// What is measured of a pair of drawings before it is weighed: the shared
// work of each family of features, the handles, and the evidence fields a
// finding keeps. The signals (signals.h) weigh and tell these measures.

#include <optional>
#include <string>

#include "evidence/judging/pair_judgement.h"

namespace veldra::evidence {

// What two drawings share of one family of features (shapes and words, or
// places), weighed by rarity.
struct Share {
  double shared = 0;            // the weight both hold
  double typedShared = 0;       // of it, what typed numbers give
  double heldByB = 0, heldByA = 0;  // of a's weight what b holds, and the other way round
  double totalA = 0, totalB = 0;
  int rare = 0, onlyTheseTwo = 0;   // shared features that weigh something, and of them in no third drawing
  int typed = 0;                    // of the rare ones, those typed numbers give

  // The shared weight as evidence: what typed numbers give counts for
  // `typedCounts` of its weight.
  double evidence(double typedCounts) const { return shared - typedShared * (1.0 - typedCounts); }
  int freelyDrawn() const { return rare - typed; }
};

struct GeometryMeasure {
  double rawShared = 0, rawUnion = 0;
  Share work;    // shapes and words
  Share places;  // pieces with their neighbours
};

struct HandleMeasure {
  double weightShared = 0;
  int shared = 0;
  int rawShared = 0;
};

// A family's share weighed: of the lighter drawing (of the heavier for
// places), beyond what a third drawing shares by chance, as a strength; and
// as a part pasted beside one's own work.
struct Weighed {
  double share = 0, beyond = 0, strength = 0, count = 0;
};

struct PairMeasure {
  const PairSide* sideA = nullptr;
  const PairSide* sideB = nullptr;
  const ClassContext* ctx = nullptr;
  std::string nameA, nameB;  // as the teacher sees them
  PairEvidence ev;
  GeometryMeasure geometry;
  Weighed work, places;
  bool byPlaces = false;       // places tell more than shapes and words
  double typedCounts = 1.0;    // what shared typed work counts for (rules.h)
  double freelyShared = 0;     // the weight of shared work drawn freely, as far as beyond chance
  SharedChoices free;          // the choices made freely that both share
  double freeTrusted = 0;      // how far those are beyond chance (chance.h), 0..1
  HandleMeasure handles;
  double lighterHandles = 0;   // the handle weight of the drawing with less
  std::optional<Laid> laid;    // how a's work lies on b's, when it was laid onto it
  // Only typed work is shared, and laid onto the other drawing most of the
  // rest lies elsewhere: two drawings of the same numbers (rules.h).
  bool typedLiesApart = false;
  // Laid onto the other drawing, the work lies there whole, with pieces
  // placed freely among it: the typed work counts fully (rules.h).
  bool laidWithFreePieces = false;
  // Laid whole, beside shared work placed freely that is no piece of the
  // laying (a note put where the student clicked, told by its place).
  bool laidWithFreePlaces = false;
  // Only typed work is shared, in a class of numbers of one's own, and laid
  // onto the other drawing it lies there whole.
  bool laidOwnNumbers = false;

  // The work lies whole on the other drawing, by one of the three above.
  bool laidWhole() const { return laidWithFreePieces || laidWithFreePlaces || laidOwnNumbers; }

  const DrawingFacts& a() const { return *sideA->facts; }
  const DrawingFacts& b() const { return *sideB->facts; }
};

// 0 up to `from`, 1 from `to`, straight between.
inline double ramp(double x, double from, double to) {
  if (x <= from) return 0.0;
  if (x >= to) return 1.0;
  return (x - from) / (to - from);
}

PairMeasure measurePair(const PairSide& a, const PairSide& b, const ClassContext& context,
                        const std::optional<Laid>& laid = std::nullopt);

}  // namespace veldra::evidence
