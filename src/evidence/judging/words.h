#pragma once

// Instants, durations and shares as the evidence reports write them.

#include <cstdint>
#include <optional>
#include <string>

#include "evidence/features/drawing_evidence.h"

namespace veldra::evidence {

// "2024-03-05 10:15:02 UTC"; with `milliseconds` "2024-03-05 10:15:02.123 UTC".
// A drawing's local clock is written "(local clock)" instead of "UTC".
std::string instantText(const Instant& instant, bool milliseconds = false);
// "2024-03-05T10:15:02Z" (a drawing's local clock without the Z).
std::string isoInstant(const Instant& instant);
// "2 h 05 min", "4 min 12 s", "35 s".
std::string durationText(std::int64_t ms);
// "7.66348123": a measure drawn freely, to the digits that tell it (nine at most).
std::string measureText(double measure);
// "351", "2,001,000": a count with its thousands marked.
std::string countText(double count);
// How often a judgement of `pairs` pairs shows as much by chance, when it
// expects `chance` such pairs: "about 3 of the 2,001,000 pairs compared
// share as many by chance", "the 351 pairs compared show as many by chance
// about once in 5,000", "... less than once in a million".
std::string chanceText(double chance, double pairs);

// "92%" (whole percent, rounded down from 99.5 so that only equal is 100%).
std::string percentText(double share);

// The start of the words on one drawing's work laid onto another's, told
// as the copier did it where the source is known: "R1_08 is S11's work
// turned by 90° and moved: laid onto S11, " (`from` laid onto `onto`, either
// being the source), else "Laid onto S11, turned by 270°, ". `how` tells how
// `from` lies on `onto` and `howBack` the other way round; both are empty
// for work in the same place.
std::string laidOpening(const std::string& from, const std::string& onto, const std::string& how,
                        const std::string& howBack, std::optional<bool> fromIsSource);

}  // namespace veldra::evidence
