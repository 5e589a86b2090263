#include "evidence/judging/signals.h"

#include <array>

#include "evidence/features/rules.h"
#include "evidence/judging/words.h"

namespace veldra::evidence {

namespace {

using namespace rules;

std::string counted(int n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The original spelling of a normalised name, as the drawing has it.
std::string spelled(const DrawingFacts& f, const std::string& name) {
  if (normalName(f.author) == name) return f.author;
  if (normalName(f.lastSavedBy) == name) return f.lastSavedBy;
  return name;
}

// ---- One file: the same drawing identity, the same saved version.

double identityStrength(const PairMeasure& m) {
  if (m.ev.sameVersion) return kSameVersion;
  return m.ev.sameIdentity ? kSameIdentity : 0.0;
}

void identityReasons(const PairMeasure& m, const Told&, std::vector<std::string>& r) {
  if (!m.ev.sameIdentity) return;
  r.push_back("Both carry the same drawing identity (FINGERPRINTGUID " + m.a().fingerprintGuid +
              "): one file was made from the other, by copying it or saving it under a new name.");
  if (m.ev.sameVersion)
    r.push_back("Both carry the same saved version (VERSIONGUID " + m.a().versionGuid +
                "): neither was saved again after the copy.");
}

void identityInnocent(const PairMeasure& m, double, std::vector<std::string>& r) {
  if (m.ev.identityFromTemplate)
    r.push_back("Both carry the identity most of the class (or a template) carries, so it tells nothing.");
}

// ---- Creation: the same millisecond.

double creationStrength(const PairMeasure& m) {
  if (!m.ev.sameCreatedInstant) return 0.0;
  return m.ev.differentIdentities ? kSameInstantOtherIds : kSameInstant;
}

void creationReasons(const PairMeasure& m, const Told&, std::vector<std::string>& r) {
  if (m.ev.sameCreatedInstant)
    r.push_back("Both were created at the same millisecond, " + instantText(*m.a().created, true) +
                (m.ev.differentIdentities ? ", though their identities differ." : "."));
}

void creationInnocent(const PairMeasure& m, double, std::vector<std::string>& r) {
  if (m.ev.sameCreatedSecond) {
    std::string s = "Both were created in the same second, " + instantText(*m.a().created);
    s += m.ev.differentIdentities ? ", but each carries an identity of its own: a class that starts together does that."
                                  : ", which a class that starts together does.";
    r.push_back(s);
  }
  if (m.ev.createdFromTemplate)
    r.push_back("Both carry the creation instant most of the class (or a template) carries, so it tells nothing.");
}

// "2 choices of their own (1 measure, 7.66348123, and 1 note put where the
// student clicked); the 351 pairs compared show as many by chance about once
// in 50,000": what the pair shares drawn freely, each choice once, with the
// figure of chance. A piece placed freely by its neighbours is a note: what
// typed numbers lay (lines, arcs, circles) lies where they put it.
std::string choicesText(const PairMeasure& m) {
  const SharedChoices& c = m.free;
  const int measures = static_cast<int>(c.measures.size());
  const int places = c.choices - measures;
  std::vector<std::string> parts;
  if (measures > 0) {
    std::string told = counted(measures, "measure", "measures") + (measures > 2 ? " such as " : ", ");
    told += measureText(c.measures[0]);
    if (measures > 1) told += " and " + measureText(c.measures[1]);
    parts.push_back(told);
  }
  if (places > 0) parts.push_back(counted(places, "note put where the student clicked", "notes put where the student clicked"));
  std::string s = counted(c.choices, "choice", "choices") + " of their own";
  if (!parts.empty()) s += " (" + parts.front() + (parts.size() > 1 ? ", and " + parts.back() : "") + ")";
  return s + "; " + chanceText(c.chance, m.ctx->pairsCompared);
}

// ---- Shared work: shapes and texts, and places, weighed by rarity.

double workStrength(const PairMeasure& m) {
  // Without a third drawing nothing tells the exercise from a copy's
  // traces, and drawings of one sheet hold the same shapes: only the places,
  // the whole layout piece by piece, tell.
  const double shareOnly = m.ctx->drawings > 2 ? std::max(m.work.strength, m.places.strength) : m.places.strength;
  const double partOnly = std::max(m.work.count, m.places.count);
  return std::max(shareOnly, partOnly);
}

void workReasons(const PairMeasure& m, const Told& told, std::vector<std::string>& r) {
  const GeometryMeasure& g = m.geometry;
  const ClassContext& ctx = *m.ctx;
  if (!((g.work.shared > 0 && ctx.drawings > 2) || g.places.shared > 0)) return;
  const PairSide& sa = *m.sideA;
  const PairSide& sb = *m.sideB;
  const bool aLighter = sa.geometryTotal <= sb.geometryTotal;
  const std::string& lighterName = aLighter ? m.nameA : m.nameB;
  const std::string& otherName = aLighter ? m.nameB : m.nameA;
  const int own = aLighter ? sa.distinctive : sb.distinctive;
  std::string s;
  if (g.work.rare > 0 && ctx.drawings > 2) {
    s = counted(g.work.rare, "shape or text", "shapes and texts") +
        " that neither the template nor most of the class has " + (g.work.rare == 1 ? "is" : "are") + " in both drawings";
    if (g.work.onlyTheseTwo > 0)
      s += ", " + std::to_string(g.work.onlyTheseTwo) + " of them in no other drawing of the class";
    s += ": " + std::to_string(std::min(g.work.rare, own)) + " of the " + std::to_string(own) + " such in " +
         lighterName + (std::min(g.work.rare, own) == 1 ? " is in " : " are in ") + otherName + " (" + std::to_string(sa.distinctive) + " in " + m.nameA + ", " +
         std::to_string(sb.distinctive) + " in " + m.nameB + ").";
  }
  if (g.places.rare > 0) {
    // A place is a part with one of its neighbours: a note is told beside
    // several, and each counts.
    std::string p = counted(g.places.rare, "pair of neighbouring parts lies", "pairs of neighbouring parts lie") +
                    " at the same distance and angle in both drawings";
    if (g.places.onlyTheseTwo > 0)
      p += ", " + std::to_string(g.places.onlyTheseTwo) + " of them in no other drawing of the class";
    p += m.byPlaces || g.work.rare == 0 ? ", whatever the size, turn or position of the whole." : ".";
    s += (s.empty() ? "" : " ") + p;
  }
  const int freely = g.work.freelyDrawn() + g.places.freelyDrawn();
  const int typed = g.work.typed + g.places.typed;
  if (freely == 0 && typed > 0 && !m.laidWhole() && (ctx.typedAlone < 1.0 || m.typedLiesApart)) {
    s += " All of it has round measures, as anyone drawing the same numbers gets; nothing drawn freely "
         "(a clicked point, a construction line, a note in own words) is shared.";
    if (m.typedLiesApart)
      s += " Laid onto " + m.nameB + ", only " + std::to_string(m.laid->mapped) + " of the " +
           std::to_string(m.laid->tried) + " lines, arcs, circles and texts of " + m.nameA +
           " that most of the class does not draw lie on the same ones: the rest of the work differs, as in two "
           "students' own drawings of the same numbers.";
  } else if (!isCopy(told.verdict) || freely == 0 || !m.free.tells() || m.freeTrusted <= 0) {
    // Nothing drawn freely tells: the rest of the words say what does.
  } else if (typed > 0) {
    s += " " + std::to_string(freely) + " of what they share " + (freely == 1 ? "was" : "were") +
         " drawn or placed freely and " + (freely == 1 ? "agrees" : "agree") + " to the last digit: " +
         choicesText(m) + ".";
  } else {
    s += std::string(" ") + (freely == 1 ? "It was" : "All of it was") +
         " drawn or placed freely, not to round measures (a note put where the student clicked, a line to a "
         "clicked point), and agrees to the last digit: " + choicesText(m) + ".";
  }
  if (!isCopy(told.verdict) && told.score < kNotable) s += " That is little against what each drew.";
  r.push_back("They share work: " + s);
}

void workInnocent(const PairMeasure& m, double strength, std::vector<std::string>& r) {
  // A drawing many times the class's size holds much of any other by volume.
  const double mean = m.ctx->meanGeometryTotal;
  const bool aHeavier = m.sideA->geometryTotal >= m.sideB->geometryTotal;
  const double times = mean > 0 ? (aHeavier ? m.sideA->geometryTotal : m.sideB->geometryTotal) / mean : 0.0;
  if (times >= kSizeTold && m.geometry.work.rare > 0 && strength < 0.5)
    r.push_back((aHeavier ? m.nameA : m.nameB) + " holds about " + std::to_string(static_cast<int>(times)) +
                " times what a drawing of the class holds, and by its size much of what any drawing holds: "
                "what they share is weighed against that.");
  // Choices made freely alike, as chance makes them somewhere among many pairs.
  if (m.free.choices > 0 && (m.freeTrusted <= 0 || !m.free.tells()))
    r.push_back("To the last digit they share " + choicesText(m) +
                (m.freeTrusted <= 0        ? ": chance, not evidence."
                 : m.free.measures.empty() ? "; but a place alike beside one neighbour fixes one number only, not "
                                             "evidence on its own."
                                           : "; but one measure alike may be computed from typed numbers, not "
                                             "evidence on its own."));
  if (m.ev.geometrySimilarity >= kLooksAlike && strength < 0.5 && m.geometry.work.onlyTheseTwo == 0)
    r.push_back("They are " + percentText(m.ev.geometrySimilarity) +
                " alike, but what they share is what most of the class draws (the exercise and the template).");
}

// ---- Work drawn freely: told within the shared work's words.

double freelyStrength(const PairMeasure& m) {
  // Choices made freely that two drawings share to the digits a paste
  // keeps are a copy's trace of their own, however small a part of either
  // drawing they are, as far as the whole judgement would not show as many
  // by chance; one alone may be a measure computed from typed numbers that
  // looks drawn freely.
  const ClassContext& ctx = *m.ctx;
  if (ctx.drawings <= 2 || !m.free.tells()) return 0.0;
  return kFreelyDrawn * m.freeTrusted;
}

void noReasons(const PairMeasure&, const Told&, std::vector<std::string>&) {}

// ---- A part laid whole onto the other drawing, with pieces placed freely, or
// of numbers of one's own.

double laidStrength(const PairMeasure& m) {
  if (!m.laidWhole()) return 0.0;
  return kLaidWholeFrom + (kLaidWhole - kLaidWholeFrom) * ramp(m.laid->mapped, kPlacedAtLeast, 2.0 * kPlacedAtLeast);
}

void laidReasons(const PairMeasure& m, const Told& told, std::vector<std::string>& r) {
  if (!m.laidWhole()) return;
  const Laid& laid = *m.laid;
  const std::optional<bool> fromIsSource =
      told.sourceIsA ? std::optional<bool>(*told.sourceIsA != laid.reversed) : std::nullopt;
  const std::string lies = laidOpening(laid.reversed ? m.nameB : m.nameA, laid.reversed ? m.nameA : m.nameB,
                                       laid.how, laid.howBack, fromIsSource) +
                           std::to_string(laid.mapped) +
                           " of the " + std::to_string(laid.tried) + " lines, arcs, circles and texts of " +
                           (laid.reversed ? m.nameB : m.nameA) + " that most of the class does not draw " + (laid.mapped == 1 ? "lies on the same one" : "lie on the same ones") +
                           // A part pasted: of the rest, the other drawing holds nothing alike.
                           (laid.held > 0 && laid.held < laid.tried
                                ? " (" + (laid.reversed ? m.nameA : m.nameB) + " holds the like of " +
                                      std::to_string(laid.held) + " of them)"
                                : std::string());
  if (m.laidWithFreePieces) {
    // Few rare pieces: those the class draws alike beside them tell where they lie.
    const std::string beside = laid.mapped < kPlacedAtLeast && laid.alongside > 0
                                   ? ", in " + std::string(laid.freely == 1 ? "its" : "their") + " place beside " +
                                         counted(laid.alongside, "piece", "pieces") + " most of the class draws too"
                                   : std::string();
    r.push_back(lies + ", " + std::to_string(laid.freely) +
                " of them drawn or placed freely, to no round measure (a line to a clicked point, a note put where "
                "the student clicked)" + beside +
                ": a part of one drawing put into the other, which two students' own drawings of the same numbers "
                "do not share.");
    return;
  }
  if (m.laidOwnNumbers) {
    r.push_back(lies + ": where every student chose numbers of their own, work of numbers most of the class does "
                "not draw that lies whole as in the other drawing is a part of one drawing put into the other.");
    return;
  }
  const int placed = m.geometry.work.freelyDrawn() + m.geometry.places.freelyDrawn();
  r.push_back(lies + ", and " +
              counted(placed, "part or pair of neighbouring parts placed freely lies",
                      "parts and pairs of neighbouring parts placed freely lie") +
              " alike in both (a note put where the student clicked): the work of one drawing put into the other, "
              "which two students' own drawings of the same numbers do not share.");
}

// ---- Handles: entities taken over under their own handles.

double handleStrength(const PairMeasure& m) {
  return shareStrength(m.handles.weightShared, m.lighterHandles, 0.0, m.ctx->pairWeight);
}

void handleReasons(const PairMeasure& m, const Told&, std::vector<std::string>& r) {
  if (m.handles.shared > 0)
    r.push_back("They hold " + counted(m.handles.shared, "entity", "entities") +
                " under the same handles with the same shape, beyond the template (" + percentText(m.ev.handleOverlap) +
                " of what the lighter drawing holds beyond the class's common work).");
}

void handleInnocent(const PairMeasure& m, double strength, std::vector<std::string>& r) {
  if (m.ev.rawHandleOverlap >= kLooksAlike && strength < 0.5)
    r.push_back(percentText(m.ev.rawHandleOverlap) +
                " of the handle numbers are the same, but they are the template's, or numbers every "
                "drawing started from the template gives out, holding other entities.");
}

// ---- People and time: a name both carry, the same editing time.

double nameStrength(const PairMeasure& m) {
  if (m.ev.sharedName.empty() || m.ev.nameIgnored) return 0.0;
  return m.ev.nameDrawings <= 2 ? kNameRare : kNameShared;
}

void nameReasons(const PairMeasure& m, const Told&, std::vector<std::string>& r) {
  const PairEvidence& ev = m.ev;
  if (ev.sharedName.empty()) return;
  const std::string shown = "\"" + spelled(m.a(), ev.sharedName) + "\"";
  if (ev.nameIgnored) {
    const auto why = m.ctx->whyIgnored.find(ev.sharedName);
    r.push_back("Both name " + shown + " as author or last saver, which is not evidence: " +
                (why == m.ctx->whyIgnored.end() ? std::string("it is ignored") : why->second) + ".");
  } else if (ev.nameDrawings <= 2) {
    r.push_back("Both name " + shown + " as author or last saver, and no other drawing does.");
  } else {
    r.push_back("Both name " + shown + " as author or last saver, as " + std::to_string(ev.nameDrawings) +
                " drawings of the class do.");
  }
}

double editingStrength(const PairMeasure& m) { return m.ev.sameEditingTime ? kSameEditing : 0.0; }

void editingReasons(const PairMeasure& m, const Told&, std::vector<std::string>& r) {
  if (m.ev.sameEditingTime) r.push_back("Both show the same total editing time, " + durationText(*m.a().editingMs) + ".");
}

constexpr std::array<Signal, 8> kSignals{{
    {"one file", identityStrength, identityReasons, identityInnocent},
    {"same creation", creationStrength, creationReasons, creationInnocent},
    {"shared work", workStrength, workReasons, workInnocent},
    {"work drawn freely", freelyStrength, noReasons, nullptr},
    {"part laid whole", laidStrength, laidReasons, nullptr},
    {"same handles", handleStrength, handleReasons, handleInnocent},
    {"same name", nameStrength, nameReasons, nullptr},
    {"same editing time", editingStrength, editingReasons, nullptr},
}};

}  // namespace

std::span<const Signal> signals() { return kSignals; }

}  // namespace veldra::evidence
