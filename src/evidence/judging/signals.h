#pragma once

// The kinds of evidence a pair is judged on, as one list. Each signal gives
// its strength from the pair's measures (0..1, joined into the score as
// independent signs), its reasons in words when it tells of a copy, and
// the words for what matched but tells nothing. A new kind of evidence is
// one more entry here (and its measure in pair_measure.h when it needs one).

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "evidence/judging/pair_measure.h"

namespace veldra::evidence {

// What the pair was judged, for the words that depend on it.
struct Told {
  Verdict verdict = Verdict::kNone;
  int score = 0;
  std::optional<bool> sourceIsA;  // the likely source; none where unclear or no copy
};

struct Signal {
  std::string_view name;
  double (*strength)(const PairMeasure&);
  // Appends the evidence in words; empty-handed when there is none.
  void (*reasons)(const PairMeasure&, const Told&, std::vector<std::string>&);
  // Appends why what matched tells nothing (said when the pair is no copy);
  // null for a signal that has no such words.
  void (*innocent)(const PairMeasure&, double strength, std::vector<std::string>&);
};

// Strongest first, in the order their reasons are told.
std::span<const Signal> signals();

}  // namespace veldra::evidence
