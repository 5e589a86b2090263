#include "evidence/pair_judgement.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "evidence/rules.h"
#include "evidence/words.h"

namespace veldra::evidence {

namespace {

using namespace rules;

// How far a shared weight is from enough to trust a share.
double enough(double shared, double pairWeight) {
  if (pairWeight <= 0) return 1.0;
  return std::min(1.0, shared / (kEnoughShared * pairWeight));
}

double ramp(double x, double from, double to) {
  if (x <= from) return 0.0;
  if (x >= to) return 1.0;
  return (x - from) / (to - from);
}

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

bool isWork(FeatureKind kind) { return kind == FeatureKind::kShape || kind == FeatureKind::kWords; }

GeometryMeasure measureGeometry(const PairSide& a, const PairSide& b) {
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
      if (w > 0) {
        s.shared += static_cast<double>(w) * shared;
        s.rare += static_cast<int>(shared);
        if (isTyped(ga[i].key)) {
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

struct HandleMeasure {
  double weightShared = 0;
  int shared = 0;
  int rawShared = 0;
};

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

// The original spelling of a normalised name, as the drawing has it.
std::string spelled(const DrawingFacts& f, const std::string& name) {
  if (normalName(f.author) == name) return f.author;
  if (normalName(f.lastSavedBy) == name) return f.lastSavedBy;
  return name;
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

std::string counted(int n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
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

double shareStrength(double shared, double lighter, double chance, double pairWeight) {
  if (lighter <= 0) return 0.0;
  return ramp(beyond(std::min(1.0, shared / lighter), chance), kShareFrom, kShareTo) * enough(shared, pairWeight);
}

double countStrength(double shared, double pairWeight) {
  if (pairWeight <= 0) return 0.0;
  return ramp(shared / pairWeight, kCountFrom, kCountTo);
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

PairFinding judgePair(const PairSide& sa, const PairSide& sb, const ClassContext& ctx) {
  const DrawingFacts& a = *sa.facts;
  const DrawingFacts& b = *sb.facts;
  PairFinding out;
  PairEvidence& ev = out.evidence;

  // Identity.
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
  // Creation.
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
  // Geometry and handles. Shapes and words are measured apart from places,
  // so that a paste which lost its neighbourhood is judged on its shapes,
  // and a scaled one on its places.
  const GeometryMeasure g = measureGeometry(sa, sb);
  ev.geometrySimilarity = g.rawUnion > 0 ? g.rawShared / g.rawUnion : 0.0;
  struct Weighed {
    double share = 0, beyond = 0, strength = 0, count = 0;
  };
  // What typed numbers give, two students given the same numbers draw
  // alike: it counts fully only beside shared work that was drawn freely.
  const double freelyShared = (g.work.shared - g.work.typedShared) + (g.places.shared - g.places.typedShared);
  const double typedCounts =
      ctx.typedAlone +
      (1.0 - ctx.typedAlone) * (ctx.pairWeight > 0 ? std::min(1.0, freelyShared / (kFreelyDrawnToTrust * ctx.pairWeight)) : 1.0);
  // Shapes and places of one piece of work tell of one another: either
  // share is trusted as far as both together are enough.
  const double sharedWork = g.work.evidence(typedCounts) + g.places.evidence(typedCounts);
  // Places are measured against the heavier drawing: a paste keeps the
  // places of all it took, and a drawing with few rare places of its own
  // shares them easily with the many of another.
  auto weighShare = [&](const Share& s, double heldByOthersA, double heldByOthersB, bool againstHeavier) {
    Weighed w;
    const bool aLighter = (s.totalA <= s.totalB) != againstHeavier;
    const double lighter = aLighter ? s.totalA : s.totalB;
    w.share = lighter > 0 ? std::min(1.0, s.evidence(typedCounts) / lighter) : 0.0;
    const double chance = aLighter ? chanceShare(heldByOthersA, s.heldByB, s.totalA, ctx.drawings)
                                   : chanceShare(heldByOthersB, s.heldByA, s.totalB, ctx.drawings);
    w.beyond = beyond(w.share, chance);
    w.strength = ramp(w.beyond, kShareFrom, kShareTo) * enough(sharedWork, ctx.pairWeight);
    if (!(lighter > 0)) w.strength = 0;
    // Without a third drawing every shared feature is "in no other drawing".
    w.count = ctx.drawings > 2 ? countStrength(s.evidence(typedCounts), ctx.pairWeight) : 0.0;
    return w;
  };
  const Weighed work = weighShare(g.work, sa.heldByOthers, sb.heldByOthers, false);
  const Weighed places = weighShare(g.places, sa.placesHeldByOthers, sb.placesHeldByOthers, true);
  // The measure that tells most: places add evidence, never dilute it.
  const bool byPlaces = places.strength > work.strength;
  const Weighed& told = byPlaces ? places : work;
  ev.rareSimilarity = told.share;
  ev.beyondChance = told.beyond;
  ev.rareShared = g.work.rare;
  ev.onlyTheseTwo = g.work.onlyTheseTwo;
  ev.distinctiveA = sa.distinctive;
  ev.distinctiveB = sb.distinctive;
  const HandleMeasure h = measureHandles(sa, sb);
  const double lighterHandles = std::min(sa.handleTotal, sb.handleTotal);
  ev.handleOverlap = lighterHandles > 0 ? std::min(1.0, h.weightShared / lighterHandles) : 0.0;
  ev.handlesShared = h.shared;
  const std::size_t fewerHandles = std::min(sa.handleNumbers.size(), sb.handleNumbers.size());
  ev.rawHandleOverlap = fewerHandles > 0 ? static_cast<double>(h.rawShared) / static_cast<double>(fewerHandles) : 0.0;
  // People and time.
  ev.sharedName = sharedName(a, b, ctx);
  if (!ev.sharedName.empty()) {
    ev.nameIgnored = ctx.ignoredNames.count(ev.sharedName) > 0;
    const auto count = ctx.nameDrawings.find(ev.sharedName);
    ev.nameDrawings = count == ctx.nameDrawings.end() ? 2 : count->second;
  }
  ev.sameEditingTime = a.editingMs && b.editingMs && *a.editingMs > 0 && *a.editingMs == *b.editingMs;

  // The score.
  double doubt = 1.0;
  auto weigh = [&](double strength) { doubt *= 1.0 - std::clamp(strength, 0.0, 1.0); };
  if (ev.sameVersion) weigh(kSameVersion);
  else if (ev.sameIdentity) weigh(kSameIdentity);
  if (ev.sameCreatedInstant) weigh(ev.differentIdentities ? kSameInstantOtherIds : kSameInstant);
  // Without a third drawing nothing tells the exercise from a copy's
  // traces, and drawings of one sheet hold the same shapes: only the places,
  // the whole layout piece by piece, tell.
  const double shareOnly = ctx.drawings > 2 ? std::max(work.strength, places.strength) : places.strength;
  const double partOnly = std::max(work.count, places.count);
  const double geometryStrength = std::max(shareOnly, partOnly);
  const double handleStrength = shareStrength(h.weightShared, lighterHandles, 0.0, ctx.pairWeight);
  weigh(geometryStrength);
  // Work drawn freely that no third drawing has, alike to the step of the
  // tolerance in two drawings, is a copy's trace of its own, however small
  // a part of either drawing it is; one such piece alike may be chance.
  const double freelyStrength =
      ctx.drawings > 2 && ctx.pairWeight > 0
          ? kFreelyDrawn * ramp(freelyShared / ctx.pairWeight, kFreelyDrawnFrom, kFreelyDrawnFull)
          : 0.0;
  weigh(freelyStrength);
  weigh(handleStrength);
  if (!ev.sharedName.empty() && !ev.nameIgnored) weigh(ev.nameDrawings <= 2 ? kNameRare : kNameShared);
  if (ev.sameEditingTime) weigh(kSameEditing);
  out.score = static_cast<int>(std::floor(100.0 * (1.0 - doubt) + 1e-9));
  if (out.score >= ctx.thresholds.copy) out.verdict = Verdict::kCopy;
  else if (out.score >= ctx.thresholds.likelyCopy) out.verdict = Verdict::kLikelyCopy;

  // The evidence in words, strongest first.
  auto& r = out.reasons;
  const std::string nameA = displayName(a), nameB = displayName(b);
  if (ev.sameIdentity) {
    r.push_back("Both carry the same drawing identity (FINGERPRINTGUID " + a.fingerprintGuid +
                "): one file was made from the other, by copying it or saving it under a new name.");
    if (ev.sameVersion) r.push_back("Both carry the same saved version (VERSIONGUID " + a.versionGuid +
                                    "): neither was saved again after the copy.");
  }
  if (ev.sameCreatedInstant)
    r.push_back("Both were created at the same millisecond, " + instantText(*a.created, true) +
                (ev.differentIdentities ? ", though their identities differ." : "."));
  if ((g.work.shared > 0 && ctx.drawings > 2) || g.places.shared > 0) {
    const bool aLighter = sa.geometryTotal <= sb.geometryTotal;
    const std::string& lighterName = aLighter ? nameA : nameB;
    const std::string& otherName = aLighter ? nameB : nameA;
    const int own = aLighter ? sa.distinctive : sb.distinctive;
    std::string s;
    if (g.work.rare > 0 && ctx.drawings > 2) {
      s = counted(g.work.rare, "shape or text", "shapes and texts") +
          " that neither the template nor most of the class has are in both drawings";
      if (g.work.onlyTheseTwo > 0)
        s += ", " + std::to_string(g.work.onlyTheseTwo) + " of them in no other drawing of the class";
      s += ": " + std::to_string(std::min(g.work.rare, own)) + " of the " + std::to_string(own) + " such in " +
           lighterName + " are in " + otherName + " (" + std::to_string(sa.distinctive) + " in " + nameA + ", " +
           std::to_string(sb.distinctive) + " in " + nameB + ").";
    }
    if (g.places.rare > 0) {
      std::string p = counted(g.places.rare, "part sits", "parts sit") +
                      " next to the same neighbour at the same distance and angle in both drawings";
      if (g.places.onlyTheseTwo > 0)
        p += ", " + std::to_string(g.places.onlyTheseTwo) + " of them in no other drawing of the class";
      p += byPlaces || g.work.rare == 0 ? ", whatever the size, turn or position of the whole." : ".";
      s += (s.empty() ? "" : " ") + p;
    }
    const int freely = g.work.freelyDrawn() + g.places.freelyDrawn();
    const int typed = g.work.typed + g.places.typed;
    if (freely == 0 && typed > 0 && ctx.typedAlone < 1.0) {
      s += " All of it has round measures, as anyone drawing the same numbers gets; nothing drawn freely "
           "(a clicked point, a construction line, a note in own words) is shared.";
    } else if (isCopy(out.verdict) && typed > 0 && freely > 0 && ctx.typedAlone < 1.0) {
      s += " " + std::to_string(freely) + " of what they share " + (freely == 1 ? "was" : "were") +
           " drawn freely, not to round measures, which two students do not draw alike by chance.";
    }
    if (!isCopy(out.verdict) && out.score < kNotable) s += " That is little against what each drew.";
    r.push_back("They share work: " + s);
  }
  if (h.shared > 0)
    r.push_back("They hold " + counted(h.shared, "entity", "entities") +
                " under the same handles with the same shape, beyond the template (" +
                percentText(ev.handleOverlap) + " of what the lighter drawing holds beyond the class's common work).");
  if (!ev.sharedName.empty()) {
    const std::string shown = "\"" + spelled(a, ev.sharedName) + "\"";
    if (ev.nameIgnored) {
      const auto why = ctx.whyIgnored.find(ev.sharedName);
      r.push_back("Both name " + shown + " as author or last saver, which is not evidence: " +
                  (why == ctx.whyIgnored.end() ? std::string("it is ignored") : why->second) + ".");
    } else if (ev.nameDrawings <= 2) {
      r.push_back("Both name " + shown + " as author or last saver, and no other drawing does.");
    } else {
      r.push_back("Both name " + shown + " as author or last saver, as " + std::to_string(ev.nameDrawings) +
                  " drawings of the class do.");
    }
  }
  if (ev.sameEditingTime) r.push_back("Both show the same total editing time, " + durationText(*a.editingMs) + ".");

  // What matched but is explained.
  std::vector<std::string> innocent;
  if (ev.sameCreatedSecond) {
    std::string s = "Both were created in the same second, " + instantText(*a.created);
    s += ev.differentIdentities ? ", but each carries an identity of its own: a class that starts together does that."
                                : ", which a class that starts together does.";
    innocent.push_back(s);
  }
  if (ev.identityFromTemplate)
    innocent.push_back("Both carry the identity most of the class (or a template) carries, so it tells nothing.");
  if (ev.createdFromTemplate)
    innocent.push_back("Both carry the creation instant most of the class (or a template) carries, so it tells nothing.");
  if (ev.rawHandleOverlap >= kLooksAlike && handleStrength < 0.5)
    innocent.push_back(percentText(ev.rawHandleOverlap) +
                       " of the handle numbers are the same, but they are the template's, or numbers every "
                       "drawing started from the template gives out, holding other entities.");
  if (ev.geometrySimilarity >= kLooksAlike && geometryStrength < 0.5 && g.work.onlyTheseTwo == 0)
    innocent.push_back("They are " + percentText(ev.geometrySimilarity) +
                       " alike, but what they share is what most of the class draws (the exercise and the template).");
  const bool somethingMatched =
      ev.sameCreatedSecond || (!ev.sharedName.empty() && !ev.nameIgnored) || out.score >= kNotable;
  if (out.verdict == Verdict::kNone && somethingMatched) out.verdict = Verdict::kCoincidence;
  if (!isCopy(out.verdict)) r.insert(r.end(), innocent.begin(), innocent.end());

  // Direction.
  Direction d;
  weighDirection(a, b, ev, d);
  const int lead = d.pointsA - d.pointsB;
  if (lead >= kDirectionLead || lead <= -kDirectionLead) {
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
