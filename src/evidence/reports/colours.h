#pragma once

// The colours the window and the pages share: a pair's pictures, and the
// squares of the class map.

#include <algorithm>
#include <cstdint>
#include <string>

#include "evidence/judging/findings.h"

namespace veldra::evidence {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
};

// "#c0392b".
inline std::string cssColour(Rgb c) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out = "#";
  for (const std::uint8_t v : {c.r, c.g, c.b}) {
    out += kDigits[v >> 4];
    out += kDigits[v & 15];
  }
  return out;
}

// A drawing's lines, and a pair laid over each other: what both have, what
// only the first or only the second has.
inline constexpr Rgb kInk{0x20, 0x20, 0x20};
inline constexpr Rgb kBothColour{0xc0, 0x39, 0x2b};
inline constexpr Rgb kFirstColour{0x1f, 0x4e, 0x9a};
inline constexpr Rgb kSecondColour{0x1e, 0x8a, 0x4c};

// The class map: a coincidence whose drawings share work (explained away)
// or nothing but the moment they were begun; a square the teacher marked;
// a drawing with itself.
inline constexpr Rgb kSharedWorkColour{0x7f, 0xb2, 0xe5};
inline constexpr Rgb kNothingSharedColour{0xd9, 0xcc, 0xe8};
inline constexpr Rgb kMarkColour{0x1f, 0x3a, 0x93};
inline constexpr Rgb kDiagonalColour{0xd0, 0xd0, 0xd0};

// A coincidence that shares work (entities, handles or an identity).
inline bool sharesWork(const PairEvidence& e) {
  return e.rareShared > 0 || e.handlesShared > 0 || e.sameIdentity || e.beyondChance > 0;
}

// A pair's square on the class map: a copy from a pale yellow to a deep
// red by its score, a coincidence by what it shares.
inline Rgb mapColour(const PairFinding& pair) {
  if (pair.verdict == Verdict::kCoincidence) return sharesWork(pair.evidence) ? kSharedWorkColour : kNothingSharedColour;
  const double s = std::clamp(pair.score, 0, 100) / 100.0;
  return {static_cast<std::uint8_t>(255 - static_cast<int>(s * 80)),
          static_cast<std::uint8_t>(std::max(0, static_cast<int>(245 - s * 225))),
          static_cast<std::uint8_t>(std::max(0, static_cast<int>(200 - s * 190)))};
}

}  // namespace veldra::evidence
