#pragma once

// What chance gives. Two students who each click a measure agree with each
// other at the thousandth of a unit once in a few thousand times, and a
// class of 2,000 compares two million pairs: a measure "in no other drawing"
// is just what chance makes somewhere in a large class. A paste keeps what
// it took to the last digits, so work drawn freely counts only where it
// agrees so (fingerprint.h), and then only as far as the whole judgement
// would not show as much by chance: each choice counted once, against how
// many choices the two drawings hold and how many pairs were compared.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "evidence/features/fingerprint.h"

namespace veldra::evidence {

// How often two numbers chosen freely agree to the digits a paste keeps, by
// chance: measures told to nine significant digits, bunched within a third
// of a decade as a class's hole radii are, agree once in fifty million.
inline constexpr double kFreeAgreeByChance = 2e-8;

// Whether two measures drawn freely are one choice: the same, or one made
// of the other by a typed step, doubled or halved (a hole's centre lines
// two units beyond it either side, a slot's width and its radius).
bool sameChoice(double v, double w);

// How many choices a drawing made freely: its measures drawn freely, those
// of one choice once, and its pieces placed freely.
int choicesMade(std::span<const FreeChoice> choices);

// The choices made freely that two drawings share, each once.
struct SharedChoices {
  int choices = 0;               // independent choices
  // The numbers those choices fix: one per measure, two per piece placed
  // freely that lies alike beside two neighbours or more (where it sits
  // in the plane), one per piece placed so beside one.
  int numbers = 0;
  int features = 0;              // shared features drawn or placed freely, each key once
  std::vector<double> measures;  // of the choices that are measures, one each, ascending
  double expected = 0;           // how many two drawings of these sizes share by chance
  double chance = 0;             // how many pairs of the whole judgement would share as many by chance

  // Enough to tell on its own, where chance does not explain it: two
  // numbers fixed freely. A single measure may be computed from typed
  // numbers though it looks drawn freely.
  bool tells() const { return numbers >= 2; }
};

// Of `a`'s choices those `b` holds too (both sorted by key) where `counts`
// says the feature weighs something (not the template's, not most of the
// class's); `madeA` and `madeB` as choicesMade gives them; `pairs` the pairs
// the whole judgement compares.
SharedChoices sharedChoices(std::span<const FreeChoice> a, std::span<const FreeChoice> b,
                            const std::function<bool(std::uint64_t)>& counts, int madeA, int madeB, double pairs);

// The chance that a count with mean `expected` (Poisson) reaches `count`.
double atLeast(int count, double expected);

// How far shared choices are beyond chance, 0..1: nothing while a tenth of
// a pair or more of the whole judgement would share as many by chance,
// fully from a thousandth.
double beyondChance(const SharedChoices& shared);

}  // namespace veldra::evidence
