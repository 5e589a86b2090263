#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "compare/check.h"

namespace veldra {

// A pair of drawings whose handle lists match at least to the threshold:
// the tokens of the first that occur in the second, and both list sizes.
struct HandleMatch {
  std::size_t first = 0;
  std::size_t second = 0;
  int matched = 0;
  int firstCount = 0;
  int secondCount = 0;

  int larger() const { return firstCount > secondCount ? firstCount : secondCount; }
  // A full match: every handle of the larger list matched.
  bool full() const { return matched == larger(); }
  double percentage() const { return static_cast<double>(matched) / larger() * 100.0; }
};

struct HandleFindings : Findings {
  std::string entity;   // the entity type the handles belong to
  std::string percent;  // the threshold as the user gave it
  std::vector<HandleMatch> pairs;  // in pair order
  int conflicts() const override { return static_cast<int>(pairs.size()); }
};

// Every pair whose match reaches `threshold` percent, or that matches fully.
// A first drawing without handles starts no pair. The status names the
// first pair, every few thousandth after it and the last pair of each first
// drawing; the elapsed time is marked after each first drawing; the
// entity counter is set once at the end when a pair was found.
std::vector<HandleMatch> findHandleMatches(const DrawingTable& table, double threshold, CheckProgress& progress);

// The handle check: "Entities =".
const Check& handleCheck();

}  // namespace veldra
