#include "evidence/judging/pair_judgement.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "evidence/judging/pair_measure.h"
#include "evidence/features/rules.h"
#include "evidence/judging/signals.h"
#include "evidence/judging/words.h"

namespace veldra::evidence {

namespace {

using namespace rules;

// How far a shared weight is from enough to trust a share.
double enough(double shared, double pairWeight) {
  if (pairWeight <= 0) return 1.0;
  return std::min(1.0, shared / (kEnoughShared * pairWeight));
}


// Whether a feature of one side weighs something in the class.
bool weighs(const PairSide& side, std::uint64_t key) {
  const auto at = std::lower_bound(side.geometry.begin(), side.geometry.end(), key,
                                   [](const Feature& x, std::uint64_t v) { return x.key < v; });
  return at != side.geometry.end() && at->key == key &&
         side.geometryWeight[static_cast<std::size_t>(at - side.geometry.begin())] > 0;
}

bool isWork(FeatureKind kind) { return kind == FeatureKind::kShape || kind == FeatureKind::kWords; }

// `freeCounts`: what shared work drawn freely counts for, as far as it is
// beyond chance; where chance explains it, it is not counted at all.
GeometryMeasure measureGeometry(const PairSide& a, const PairSide& b, double freeCounts) {
  GeometryMeasure m;
  std::size_t i = 0, j = 0;
  const auto& ga = a.geometry;
  const auto& gb = b.geometry;
  auto shareOf = [&](std::uint64_t key) -> Share& { return isWork(featureKind(key)) ? m.work : m.places; };
  while (i < ga.size() || j < gb.size()) {
    if (j >= gb.size() || (i < ga.size() && ga[i].key < gb[j].key)) {
      m.rawUnion += ga[i++].count;
    } else if (i >= ga.size() || gb[j].key < ga[i].key) {
      m.rawUnion += gb[j++].count;
    } else {
      const std::uint32_t shared = std::min(ga[i].count, gb[j].count);
      m.rawShared += shared;
      m.rawUnion += std::max(ga[i].count, gb[j].count);
      Share& s = shareOf(ga[i].key);
      s.heldByB += static_cast<double>(a.geometryWeight[i]) * ga[i].count;
      s.heldByA += static_cast<double>(b.geometryWeight[j]) * gb[j].count;
      const float w = std::min(a.geometryWeight[i], b.geometryWeight[j]);
      const bool typed = isTyped(ga[i].key);
      if (w > 0 && (typed || freeCounts > 0)) {
        s.shared += static_cast<double>(w) * shared * (typed ? 1.0 : freeCounts);
        s.rare += static_cast<int>(shared);
        if (typed) {
          s.typedShared += static_cast<double>(w) * shared;
          s.typed += static_cast<int>(shared);
        }
        if (!a.geometryDf.empty() && a.geometryDf[i] == 2) s.onlyTheseTwo += static_cast<int>(shared);
      }
      ++i;
      ++j;
    }
  }
  m.work.totalA = a.geometryTotal;
  m.work.totalB = b.geometryTotal;
  m.places.totalA = a.placeTotal;
  m.places.totalB = b.placeTotal;
  return m;
}

HandleMeasure measureHandles(const PairSide& a, const PairSide& b) {
  HandleMeasure m;
  std::size_t i = 0, j = 0;
  while (i < a.handles.size() && j < b.handles.size()) {
    if (a.handles[i].key < b.handles[j].key) {
      ++i;
    } else if (b.handles[j].key < a.handles[i].key) {
      ++j;
    } else {
      const float w = std::min(a.handleWeight[i], b.handleWeight[j]);
      const std::uint32_t shared = std::min(a.handles[i].count, b.handles[j].count);
      if (w > 0) {
        m.weightShared += static_cast<double>(w) * shared;
        m.shared += static_cast<int>(shared);
      }
      ++i;
      ++j;
    }
  }
  i = j = 0;
  while (i < a.handleNumbers.size() && j < b.handleNumbers.size()) {
    if (a.handleNumbers[i] < b.handleNumbers[j]) {
      ++i;
    } else if (b.handleNumbers[j] < a.handleNumbers[i]) {
      ++j;
    } else {
      ++m.rawShared;
      ++i;
      ++j;
    }
  }
  return m;
}

// The name on both drawings that says most: one not ignored, then the
// rarest. Empty when they share none.
std::string sharedName(const DrawingFacts& a, const DrawingFacts& b, const ClassContext& ctx) {
  std::string best;
  int bestRank = 0;
  for (const auto& name : namesOf(a)) {
    const auto other = namesOf(b);
    if (std::find(other.begin(), other.end(), name) == other.end()) continue;
    const auto count = ctx.nameDrawings.find(name);
    const int drawings = count == ctx.nameDrawings.end() ? 2 : count->second;
    const int rank = (ctx.ignoredNames.count(name) ? 0 : 1000000) - drawings;
    if (best.empty() || rank > bestRank) {
      best = name;
      bestRank = rank;
    }
  }
  return best;
}

bool fitsOwner(const std::string& name, const std::string& owner) {
  if (name.size() < 3 || owner.size() < 3) return false;
  return name.find(owner) != std::string::npos || owner.find(name) != std::string::npos;
}

// Points for "this one is the source", with the reasons.
struct Direction {
  int pointsA = 0, pointsB = 0;
  std::vector<std::string> forA, forB;
};

void weighDirection(const DrawingFacts& a, const DrawingFacts& b, const PairEvidence& ev, Direction& d) {
  auto give = [&](bool toA, int points, std::string why) {
    (toA ? d.pointsA : d.pointsB) += points;
    (toA ? d.forA : d.forB).push_back(std::move(why));
  };
  if (a.project.empty() != b.project.empty()) give(!a.project.empty(), kEarlierProject, "it was handed in for an earlier project");

  const bool comparableClocks = a.created && b.created && a.created->universal == b.created->universal;
  if (comparableClocks && !ev.sameIdentity) {
    const std::int64_t diff = b.created->unixMs - a.created->unixMs;
    if (std::llabs(diff) >= 60000)
      give(diff > 0, kCreatedEarlier, "it was created " + durationText(std::llabs(diff)) + " earlier");
  }
  // A copied file keeps the editing time it had, and both go on from there.
  if (a.editingMs && b.editingMs && !ev.sameIdentity) {
    const std::int64_t ea = *a.editingMs, eb = *b.editingMs;
    const std::int64_t more = std::max(ea, eb), less = std::min(ea, eb);
    if (more - less >= 10 * 60000 && more >= 2 * less) {
      // A paste into a fresh drawing brings the work but not the time spent on it.
      give(ea > eb, kMoreEditing,
           "it holds " + durationText(more) + " of editing against " + durationText(less));
    }
  }
  if (a.updated && b.updated && a.updated->universal == b.updated->universal) {
    const std::int64_t diff = b.updated->unixMs - a.updated->unixMs;
    if (std::llabs(diff) >= 60000) give(diff > 0, kSavedEarlier, "it was last saved " + durationText(std::llabs(diff)) + " earlier");
  }
  // The other drawing names this one's student as its author.
  const std::string ownerA = ownerOf(a), ownerB = ownerOf(b);
  const std::string authorA = normalName(a.author), authorB = normalName(b.author);
  const bool bNamesA = fitsOwner(authorB, ownerA) && !fitsOwner(authorB, ownerB);
  const bool aNamesB = fitsOwner(authorA, ownerB) && !fitsOwner(authorA, ownerA);
  if (bNamesA && !aNamesB) give(true, kNamedAsAuthor, "the other drawing names its student (" + b.author + ") as author");
  if (aNamesB && !bNamesA) give(false, kNamedAsAuthor, "the other drawing names its student (" + a.author + ") as author");
}

std::string joinReasons(const std::vector<std::string>& parts) {
  std::string out;
  for (std::size_t k = 0; k < parts.size(); ++k) {
    if (k > 0) out += k + 1 == parts.size() ? " and " : ", ";
    out += parts[k];
  }
  return out;
}

// A share above what drawings share by chance, over what is left to share.
double beyond(double share, double chance) {
  chance = std::clamp(chance, 0.0, 0.95);
  return std::max(0.0, (share - chance) / (1.0 - chance));
}

}  // namespace

double chanceShare(double heldByOthers, double heldByPartner, double total, std::size_t drawings) {
  if (drawings == 2) return kChanceWithoutClass;
  if (drawings < 2 || total <= 0) return 0.0;
  return std::max(0.0, heldByOthers - heldByPartner) / (static_cast<double>(drawings - 2) * total);
}

double byVolume(double chance, double otherTotal, double meanTotal) {
  if (!(meanTotal > 0) || !(otherTotal > meanTotal)) return chance;
  return 1.0 - std::pow(1.0 - std::clamp(chance, 0.0, 1.0), otherTotal / meanTotal);
}

double shareStrength(double shared, double lighter, double chance, double pairWeight) {
  if (lighter <= 0) return 0.0;
  return ramp(beyond(std::min(1.0, shared / lighter), chance), kShareFrom, kShareTo) * enough(shared, pairWeight);
}

double countStrength(double shared, double pairWeight) {
  if (pairWeight <= 0) return 0.0;
  return ramp(shared / pairWeight, kCountFrom, kCountTo);
}

bool weighsAtLeast(double shared, double features, double pairWeight) {
  return pairWeight > 0 && shared >= features * pairWeight * (1.0 - 1.0e-5);
}

std::string normalName(std::string_view name) {
  while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
  std::string out(name);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::vector<std::string> namesOf(const DrawingFacts& f) {
  std::vector<std::string> names;
  for (const std::string* n : {&f.author, &f.lastSavedBy}) {
    std::string name = normalName(*n);
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
  }
  return names;
}

std::string ownerOf(const DrawingFacts& facts) {
  const std::filesystem::path name = facts.name.empty() ? facts.path.filename() : facts.name;
  auto it = name.begin();
  if (it == name.end()) return {};
  const std::filesystem::path first = *it;
  const bool hasFolder = std::next(it) != name.end();
  return normalName(utf8Name(hasFolder ? first : name.stem()));
}

// Pieces laid alike that all sit at one point (a hole with its centre
// lines) fit any turn about it, and tell nothing of a paste.
bool liesWhole(const Laid& laid) {
  return laid.tried > 0 && laid.spots >= 2 && laid.mapped >= kTypedLaidWhole * laid.tried;
}

bool placesAlikeShapesNot(const PairEvidence& evidence) {
  return evidence.rarePlacesShared >= kPlacedAtLeast && evidence.rareShared < kPlacedAtLeast;
}

bool worthLaying(const PairFinding& f, const ClassContext& ctx) {
  const PairEvidence& e = f.evidence;
  const bool freelyAlike = e.freelyDrawnShared >= kFreelyLaidAtLeast &&
                           e.freelyDrawnShared >= kFreelyLaidShare * std::min(e.distinctiveA, e.distinctiveB);
  if (freelyAlike) return true;
  if (isCopy(f.verdict)) return e.rareShared + e.onlyTheseTwo > 0;
  // Typed work laid tells a paste only beside a choice made freely that both
  // hold to the last digit (however little it tells alone: laid, it tells
  // where it sits among the rest), or where every student chose numbers of
  // their own: students of one variant share their typed pieces by the
  // hundred in a large class, and laying them tells nothing more.
  const bool layingMayTell = e.freelyDrawnShared > 0 || e.freeChoicesShared > 0 || ctx.ownNumbers;
  return (e.rareShared >= kPlacedAtLeast && layingMayTell) || (f.verdict == Verdict::kNone && placesAlikeShapesNot(e));
}

bool liesWholeWithFreePieces(const Laid& laid) {
  const int among = laid.held > 0 ? laid.held : laid.tried;
  return among > 0 && laid.mapped >= kTypedLaidWhole * among && laid.mapped + laid.alongside >= kPlacedAtLeast &&
         laid.freely >= kFreelyLaidAtLeast;
}

bool liesWholeOfOwnNumbers(const Laid& laid, const ClassContext& context) {
  return context.ownNumbers && liesWhole(laid) && laid.mapped >= kOwnNumbersLaidAtLeast;
}

namespace {

// What the two drawings' identities and creation instants tell.
void identityAndCreation(const DrawingFacts& a, const DrawingFacts& b, const ClassContext& ctx, PairEvidence& ev) {
  if (!a.fingerprintGuid.empty() && !b.fingerprintGuid.empty()) {
    if (a.fingerprintGuid == b.fingerprintGuid) {
      const bool oneVersion = !a.versionGuid.empty() && a.versionGuid == b.versionGuid;
      if (ctx.commonIdentities.count(a.fingerprintGuid) && !oneVersion) {
        ev.identityFromTemplate = true;
      } else {
        ev.sameIdentity = true;
        ev.sameVersion = !a.versionGuid.empty() && a.versionGuid == b.versionGuid;
      }
    } else {
      ev.differentIdentities = true;
    }
  }
  if (a.created && b.created && a.created->universal == b.created->universal) {
    const std::int64_t ta = a.created->unixMs, tb = b.created->unixMs;
    // One file copied keeps its creation instant, however many hand it in.
    const bool common = ctx.commonCreated.count(ta) > 0 && !ev.sameIdentity;
    if (ta == tb && common) {
      ev.createdFromTemplate = true;
    } else if (ta == tb && (ta % 1000 != 0 || ev.sameIdentity)) {
      ev.sameCreatedInstant = true;
    } else if (ta / 1000 == tb / 1000 || (ta == tb)) {
      ev.sameCreatedSecond = true;
    }
  }
}

// How the pair's work lies on one another, where it was laid, and what that
// makes of its typed numbers. A copy lies on its source as a whole; two
// students who happened on the same numbers share the shapes those give,
// and little else lies alike.
void weighLaying(PairMeasure& m, const std::optional<Laid>& laid, const ClassContext& ctx) {
  const GeometryMeasure& g = m.geometry;
  m.laid = laid;
  const bool typedOnly = g.work.typedShared + g.places.typedShared > 0 && m.freelyShared <= 0;
  if (laid && liesWholeWithFreePieces(*laid)) {
    m.laidWithFreePieces = true;
    m.typedCounts = 1.0;
  } else if (laid && typedOnly && liesWholeOfOwnNumbers(*laid, ctx)) {
    // Numbers no third student chose, lying as in the other drawing.
    m.laidOwnNumbers = true;
  } else if (laid && typedOnly && laid->tried > 0 && !liesWhole(*laid)) {
    m.typedLiesApart = true;
    m.typedCounts = std::min(m.typedCounts, kTypedAlone);
  } else if (laid && liesWhole(*laid) && laid->mapped >= kPlacedAtLeast &&
             weighsAtLeast(m.freelyShared, kFreelyDrawnFrom, ctx.pairWeight)) {
    // What was placed freely sits by the same neighbours in both (a note
    // by its outline, where the student clicked), and the rest lies whole.
    m.laidWithFreePlaces = true;
    m.typedCounts = 1.0;
  }
}

// A share of the pair weighed against chance. Places are measured against
// the heavier drawing: a paste keeps the places of all it took, and a
// drawing with few rare places of its own shares them easily with the many
// of another. `sharedWork`: what shapes and places tell together.
Weighed weighShare(const PairMeasure& m, const Share& s, double heldByOthersA, double heldByOthersB,
                   bool againstHeavier, double sharedWork) {
  const PairSide& sa = *m.sideA;
  const PairSide& sb = *m.sideB;
  const ClassContext& ctx = *m.ctx;
  Weighed w;
  const bool aLighter = (s.totalA <= s.totalB) != againstHeavier;
  const double lighter = aLighter ? s.totalA : s.totalB;
  w.share = lighter > 0 ? std::min(1.0, s.evidence(m.typedCounts) / lighter) : 0.0;
  const double typical = aLighter ? chanceShare(heldByOthersA, s.heldByB, s.totalA, ctx.drawings)
                                  : chanceShare(heldByOthersB, s.heldByA, s.totalB, ctx.drawings);
  // Size is not evidence: a drawing many times the size of the class's
  // holds by volume as much of another as so many drawings would.
  const double chance = byVolume(typical, aLighter ? sb.geometryTotal : sa.geometryTotal, ctx.meanGeometryTotal);
  w.beyond = beyond(w.share, chance);
  w.strength = ramp(w.beyond, kShareFrom, kShareTo) * enough(sharedWork, ctx.pairWeight);
  if (!(lighter > 0)) w.strength = 0;
  // Without a third drawing every shared feature is "in no other drawing";
  // of a part pasted, what the other's volume holds by chance is no part.
  const double evidence = std::max(0.0, s.evidence(m.typedCounts) - (chance - typical) * lighter);
  w.count = ctx.drawings > 2 ? countStrength(evidence, ctx.pairWeight) : 0.0;
  return w;
}

// What the two drawings' names and editing times tell.
void peopleAndTime(const DrawingFacts& a, const DrawingFacts& b, const ClassContext& ctx, PairEvidence& ev) {
  ev.sharedName = sharedName(a, b, ctx);
  if (!ev.sharedName.empty()) {
    ev.nameIgnored = ctx.ignoredNames.count(ev.sharedName) > 0;
    const auto count = ctx.nameDrawings.find(ev.sharedName);
    ev.nameDrawings = count == ctx.nameDrawings.end() ? 2 : count->second;
  }
  ev.sameEditingTime = a.editingMs && b.editingMs && *a.editingMs > 0 && *a.editingMs == *b.editingMs;
}

}  // namespace

PairMeasure measurePair(const PairSide& sa, const PairSide& sb, const ClassContext& ctx, const std::optional<Laid>& laid) {
  const DrawingFacts& a = *sa.facts;
  const DrawingFacts& b = *sb.facts;
  PairMeasure m;
  m.sideA = &sa;
  m.sideB = &sb;
  m.ctx = &ctx;
  m.nameA = displayName(a);
  m.nameB = displayName(b);
  PairEvidence& ev = m.ev;
  identityAndCreation(a, b, ctx, ev);
  // Work drawn freely counts as far as the whole judgement would not show
  // as much by chance.
  m.free = sharedChoices(
      sa.freeChoices, sb.freeChoices, [&](std::uint64_t key) { return weighs(sa, key) && weighs(sb, key); },
      sa.choicesMade, sb.choicesMade, ctx.pairsCompared);
  m.freeTrusted = beyondChance(m.free);
  // Geometry and handles. Shapes and words are measured apart from places,
  // so that a paste which lost its neighbourhood is judged on its shapes,
  // and a scaled one on its places.
  const GeometryMeasure& g = m.geometry = measureGeometry(sa, sb, m.freeTrusted);
  ev.geometrySimilarity = g.rawUnion > 0 ? g.rawShared / g.rawUnion : 0.0;
  // What typed numbers give, two students given the same numbers draw
  // alike: it counts fully only beside shared work that was drawn freely.
  m.freelyShared = (g.work.shared - g.work.typedShared) + (g.places.shared - g.places.typedShared);
  m.typedCounts =
      ctx.typedAlone + (1.0 - ctx.typedAlone) *
                           (ctx.pairWeight > 0 ? std::min(1.0, m.freelyShared / (kFreelyDrawnToTrust * ctx.pairWeight)) : 1.0);
  weighLaying(m, laid, ctx);

  // Shapes and places of one piece of work tell of one another: either
  // share is trusted as far as both together are enough.
  const double sharedWork = g.work.evidence(m.typedCounts) + g.places.evidence(m.typedCounts);
  m.work = weighShare(m, g.work, sa.heldByOthers, sb.heldByOthers, false, sharedWork);
  m.places = weighShare(m, g.places, sa.placesHeldByOthers, sb.placesHeldByOthers, true, sharedWork);
  // The measure that tells most: places add evidence, never dilute it.
  m.byPlaces = m.places.strength > m.work.strength;
  const Weighed& told = m.byPlaces ? m.places : m.work;
  ev.rareSimilarity = told.share;
  ev.beyondChance = told.beyond;
  ev.rareShared = g.work.rare;
  ev.rarePlacesShared = g.places.rare;
  ev.freelyDrawnShared = g.work.freelyDrawn() + g.places.freelyDrawn();
  ev.freeChoicesShared = m.free.choices;
  ev.onlyTheseTwo = g.work.onlyTheseTwo;
  ev.distinctiveA = sa.distinctive;
  ev.distinctiveB = sb.distinctive;
  const HandleMeasure& h = m.handles = measureHandles(sa, sb);
  m.lighterHandles = std::min(sa.handleTotal, sb.handleTotal);
  ev.handleOverlap = m.lighterHandles > 0 ? std::min(1.0, h.weightShared / m.lighterHandles) : 0.0;
  ev.handlesShared = h.shared;
  const std::size_t fewerHandles = std::min(sa.handleNumbers.size(), sb.handleNumbers.size());
  ev.rawHandleOverlap = fewerHandles > 0 ? static_cast<double>(h.rawShared) / static_cast<double>(fewerHandles) : 0.0;
  peopleAndTime(a, b, ctx, ev);
  return m;
}

PairFinding judgePair(const PairSide& sa, const PairSide& sb, const ClassContext& ctx, const std::optional<Laid>& laid) {
  const DrawingFacts& a = *sa.facts;
  const DrawingFacts& b = *sb.facts;
  const PairMeasure m = measurePair(sa, sb, ctx, laid);
  PairFinding out;
  out.evidence = m.ev;
  const PairEvidence& ev = out.evidence;
  const std::string& nameA = m.nameA;
  const std::string& nameB = m.nameB;

  // The score joins the signals' strengths as independent signs.
  const auto list = signals();
  std::vector<double> strengths(list.size());
  double doubt = 1.0;
  for (std::size_t k = 0; k < list.size(); ++k) {
    strengths[k] = std::clamp(list[k].strength(m), 0.0, 1.0);
    doubt *= 1.0 - strengths[k];
  }
  out.score = static_cast<int>(std::floor(100.0 * (1.0 - doubt) + 1e-9));
  if (out.score >= ctx.thresholds.copy) out.verdict = Verdict::kCopy;
  else if (out.score >= ctx.thresholds.likelyCopy) out.verdict = Verdict::kLikelyCopy;

  // Which one is the source, for a copy: the words tell what the copier did.
  Direction d;
  weighDirection(a, b, ev, d);
  const int lead = d.pointsA - d.pointsB;
  const bool sourceKnown = isCopy(out.verdict) && (lead >= kDirectionLead || lead <= -kDirectionLead);
  const Told told{out.verdict, out.score, sourceKnown ? std::optional<bool>(lead > 0) : std::nullopt};
  // The evidence in words, strongest first, then what matched but is
  // explained.
  std::vector<std::string> innocent;
  for (std::size_t k = 0; k < list.size(); ++k) {
    list[k].reasons(m, told, out.reasons);
    if (list[k].innocent) list[k].innocent(m, strengths[k], innocent);
  }
  const bool somethingMatched =
      ev.sameCreatedSecond || (!ev.sharedName.empty() && !ev.nameIgnored) || out.score >= kNotable;
  if (out.verdict == Verdict::kNone && somethingMatched) out.verdict = Verdict::kCoincidence;
  if (!isCopy(out.verdict)) out.reasons.insert(out.reasons.end(), innocent.begin(), innocent.end());

  // Direction, told for a copy only: a coincidence has no source.
  if (!isCopy(out.verdict)) return out;
  if (sourceKnown) {
    const bool sourceA = lead > 0;
    out.likelySource = sourceA ? 0 : 1;
    out.direction = (sourceA ? nameA : nameB) + " is likely the source: " + joinReasons(sourceA ? d.forA : d.forB) + ".";
    const auto& against = sourceA ? d.forB : d.forA;
    if (!against.empty())
      out.direction += " Against it: for " + (sourceA ? nameB : nameA) + ", " + joinReasons(against) + ".";
  } else if (d.forA.empty() && d.forB.empty()) {
    out.direction = "Which one is the source is unclear: the dates, editing times and authors do not tell.";
  } else {
    std::vector<std::string> both;
    for (const auto& s : d.forA) both.push_back(nameA + ": " + s);
    for (const auto& s : d.forB) both.push_back(nameB + ": " + s);
    out.direction = "Which one is the source is unclear: " + joinReasons(both) + ".";
  }
  return out;
}

}  // namespace veldra::evidence
