#include "evidence/judging/judge.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>
#include <optional>
#include <span>
#include <thread>
#include <unordered_map>

#include "evidence/judging/class_index.h"
#include "evidence/judging/pair_judgement.h"
#include "evidence/judging/parallel.h"
#include "evidence/judging/words.h"
#include "evidence/features/placement.h"
#include "evidence/features/rules.h"
#include "evidence/judging/union_find.h"

namespace veldra::evidence {

namespace {

using namespace rules;

// Features shared by more drawings than this do not propose pairs (they are
// still weighed when a pair is judged): the cost of the index stays near
// the number of features, not the square of the class.
std::size_t proposalLimit(std::size_t drawings) { return std::max<std::size_t>(16, drawings / 16); }
// Sketch values an earlier drawing must share to be judged.
constexpr int kArchiveShared = 2;
// Earlier drawings judged per drawing at most: those sharing the most.
constexpr std::size_t kArchiveCandidates = 50;
// A handle weighs what the shape it holds weighs: one holding a shape most
// of the class draws says nothing, since two drawings that hand out handles
// without gaps (two pastes, or two students who never erased anything) hold
// the exercise under the same handles when they drew it in the same order.
// Only without geometry (a reader that gave none) do handles count on their
// own, by their rarity in the class.

// A project drawing ready to be measured.
struct Prepared {
  DrawingFeatures features;
  std::vector<float> geometryWeight;
  std::vector<std::uint32_t> geometryDf;
  std::vector<float> handleWeight;
  double geometryTotal = 0;  // shapes and words
  double placeTotal = 0;
  double handleTotal = 0;
  int distinctive = 0;
  int choicesMade = 0;  // made freely (chance.h)
  double heldByOthers = 0;  // of shapes and words
  double placesHeldByOthers = 0;
};

bool isPlace(std::uint64_t key) { return featureKind(key) == FeatureKind::kPlace; }

int distinctiveOf(std::span<const Feature> geometry, std::span<const float> weights) {
  int count = 0;
  for (std::size_t k = 0; k < geometry.size(); ++k) {
    const FeatureKind kind = featureKind(geometry[k].key);
    if (weights[k] > 0 && (kind == FeatureKind::kShape || kind == FeatureKind::kWords))
      count += static_cast<int>(geometry[k].count);
  }
  return count;
}

// What the rest of the class holds of a drawing: each feature weighs as
// often as another drawing has it.
// `places` chooses places or the other features (shapes, words, handles).
double heldByOthersOf(std::span<const Feature> features, std::span<const float> weights,
                      std::span<const std::uint32_t> dfs, bool places) {
  double held = 0;
  for (std::size_t k = 0; k < features.size(); ++k)
    if (isPlace(features[k].key) == places)
      held += static_cast<double>(weights[k]) * features[k].count * (dfs[k] > 0 ? dfs[k] - 1 : 0);
  return held;
}

double totalOf(std::span<const Feature> features, std::span<const float> weights, bool places = false) {
  double total = 0;
  for (std::size_t k = 0; k < features.size(); ++k)
    if (isPlace(features[k].key) == places) total += static_cast<double>(weights[k]) * features[k].count;
  return total;
}

// Fills in a prepared drawing's totals from its weights.
void sumUp(Prepared& p) {
  p.geometryTotal = totalOf(p.features.geometry, p.geometryWeight);
  p.placeTotal = totalOf(p.features.geometry, p.geometryWeight, true);
  p.handleTotal = totalOf(p.features.handles, p.handleWeight);
  p.distinctive = distinctiveOf(p.features.geometry, p.geometryWeight);
  p.choicesMade = choicesMade(p.features.freeChoices);
  if (!p.geometryDf.empty()) {
    p.heldByOthers = heldByOthersOf(p.features.geometry, p.geometryWeight, p.geometryDf, false);
    p.placesHeldByOthers = heldByOthersOf(p.features.geometry, p.geometryWeight, p.geometryDf, true);
  }
}

PairSide sideOf(const DrawingFacts& facts, const Prepared& p) {
  PairSide s;
  s.facts = &facts;
  s.geometry = p.features.geometry;
  s.geometryWeight = p.geometryWeight;
  s.geometryDf = p.geometryDf;
  s.handles = p.features.handles;
  s.handleWeight = p.handleWeight;
  s.handleNumbers = p.features.handleNumbers;
  s.freeChoices = p.features.freeChoices;
  s.choicesMade = p.choicesMade;
  s.geometryTotal = p.geometryTotal;
  s.placeTotal = p.placeTotal;
  s.handleTotal = p.handleTotal;
  s.distinctive = p.distinctive;
  s.heldByOthers = p.heldByOthers;
  s.placesHeldByOthers = p.placesHeldByOthers;
  return s;
}

bool containsKey(std::span<const std::uint64_t> sorted, std::uint64_t key) {
  return std::binary_search(sorted.begin(), sorted.end(), key);
}

// How often typed numbers repeat from drawing to drawing in this class, so
// that two students draw alike by them: the middle, over drawings with a few
// typed shapes beyond the template that most of the class does not draw, of
// the share of those shapes that two other drawings at least draw too, each
// shape counted once (the six holes of one size are one number typed, not
// six). Near 1 when students draw variants of an exercise: each number is
// one of a few, and two given the same numbers draw alike. Lower when
// everyone chooses numbers of their own (a radius or a length now and then
// alike, the rest held by none but a copy). None when everyone draws one
// sheet from one set of numbers: then few drawings hold typed shapes that
// most of the class does not draw, and those are a drawing's own slip or
// stray line, or a few students' extra view.
std::optional<double> typedNumbersVary(const std::vector<Prepared>& prepared,
                                       const std::vector<std::uint64_t>& templateKeys) {
  std::vector<double> shares;
  for (const Prepared& p : prepared) {
    double typed = 0, alike = 0;
    for (std::size_t t = 0; t < p.features.geometry.size(); ++t) {
      const Feature& f = p.features.geometry[t];
      if (featureKind(f.key) != FeatureKind::kShape || !isTyped(f.key) || p.geometryWeight[t] <= 0 ||
          containsKey(templateKeys, f.key))
        continue;
      typed += 1;
      if (p.geometryDf[t] >= 3) alike += 1;
    }
    if (typed >= rules::kTypedShapesToTell) shares.push_back(alike / typed);
  }
  if (shares.empty() ||
      static_cast<double>(shares.size()) < rules::kDrawingsTellingVariants * static_cast<double>(prepared.size()))
    return std::nullopt;
  const auto middle = shares.begin() + static_cast<std::ptrdiff_t>(shares.size() / 2);
  std::nth_element(shares.begin(), middle, shares.end());
  return *middle;
}

// Without a template: what the drawings were started from. An entity that
// enough drawings hold under the same handle with the same shape among their
// lowest handles (rules.h) is of a file they started from when at least a
// few such entities are held by the very same drawings (the one or two a
// class draws first in the same order are not); of each such entity, the
// features as many hold beside it are the template's too (a hole's place
// beside its neighbour is one drawing's, though its circle is everyone's).
// Adds them and the handle features to `keys`, and says so in `notes`.
void estimateTemplate(const std::vector<Prepared>& prepared, std::vector<std::uint64_t>& keys,
                      std::vector<std::string>& notes) {
  const double n = static_cast<double>(prepared.size());
  auto enough = [&](std::size_t holders) {
    return holders >= rules::kStartedAlikeAtLeast && static_cast<double>(holders) > rules::kStartedAlikeShare * n;
  };
  // Each entity's handle feature with the drawing holding it, by handle feature.
  std::vector<std::pair<std::uint64_t, std::uint32_t>> held;
  std::size_t all = 0;
  for (const Prepared& p : prepared) all += p.features.startKeys.size();
  held.reserve(all / 2 + 1);
  for (std::uint32_t d = 0; d < prepared.size(); ++d) {
    const auto& start = prepared[d].features.startKeys;
    for (std::size_t k = 0; k < start.size(); ++k)
      if (k == 0 || start[k].first != start[k - 1].first) held.emplace_back(start[k].first, d);
  }
  std::sort(held.begin(), held.end());
  // The entities held widely enough, each with a mark of the drawings
  // holding it; of them, those a few entities share their holders with.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> sets;  // holders' mark, handle feature
  std::map<std::uint64_t, std::size_t> setSize;
  for (std::size_t i = 0; i < held.size();) {
    std::size_t j = i + 1;
    while (j < held.size() && held[j].first == held[i].first) ++j;
    if (enough(j - i)) {
      std::uint64_t mark = 0x5EED0020;
      for (std::size_t k = i; k < j; ++k) mark = mixKey(mark ^ held[k].second);
      sets.emplace_back(mark, held[i].first);
      setSize[mark] = j - i;
    }
    i = j;
  }
  std::sort(sets.begin(), sets.end());
  std::vector<std::uint64_t> started;
  std::size_t drawings = 0;
  for (std::size_t i = 0; i < sets.size();) {
    std::size_t j = i + 1;
    while (j < sets.size() && sets[j].first == sets[i].first) ++j;
    if (j - i >= rules::kStartedAlikeEntities) {
      for (std::size_t k = i; k < j; ++k) started.push_back(sets[k].second);
      drawings = std::max(drawings, setSize[sets[i].first]);
    }
    i = j;
  }
  if (started.empty()) return;
  std::sort(started.begin(), started.end());
  // Of each such entity, the features enough drawings hold beside it: few
  // that differ, held by many drawings, so counted rather than sorted.
  struct PairHash {
    std::size_t operator()(const std::pair<std::uint64_t, std::uint64_t>& p) const {
      return static_cast<std::size_t>(mixKey(p.first) ^ p.second);
    }
  };
  std::unordered_map<std::pair<std::uint64_t, std::uint64_t>, std::size_t, PairHash> beside;
  for (const Prepared& p : prepared)
    for (const auto& entry : p.features.startKeys)
      if (std::binary_search(started.begin(), started.end(), entry.first)) ++beside[entry];
  for (const auto& [entry, holders] : beside)
    if (enough(holders)) keys.push_back(entry.second);
  keys.insert(keys.end(), started.begin(), started.end());
  notes.push_back("No template was named: the entities that drawings hold under the same handle since they were "
                  "started are taken as the template (" + std::to_string(started.size()) + " entities, held by " +
                  std::to_string(drawings) + " of the " + std::to_string(prepared.size()) + " drawings).");
}

// What the class says about names, identities and creation instants.
ClassContext contextOf(const std::vector<const DrawingFacts*>& readable, const std::vector<DrawingEvidence>& templates,
                       const EvidenceSettings& settings, std::vector<std::string>& notes) {
  ClassContext ctx;
  ctx.drawings = readable.size();
  ctx.pairWeight = rarityWeight(2, std::max<std::size_t>(readable.size(), 2));
  ctx.thresholds = settings.thresholds;
  std::unordered_map<std::string, int> identities;
  std::unordered_map<std::int64_t, int> created;
  for (const DrawingFacts* f : readable) {
    for (const auto& name : namesOf(*f)) ++ctx.nameDrawings[name];
    if (!f->fingerprintGuid.empty()) ++identities[f->fingerprintGuid];
    if (f->created) ++created[f->created->unixMs];
  }
  const auto n = readable.size();
  for (const auto& ignored : settings.ignoredAuthors) {
    const std::string name = normalName(ignored);
    if (name.empty()) continue;
    ctx.ignoredNames.insert(name);
    ctx.whyIgnored[name] = "the teacher listed it as a shared login";
  }
  for (const auto& t : templates) {
    for (const auto& name : namesOf(t.facts)) {
      if (ctx.ignoredNames.insert(name).second) ctx.whyIgnored[name] = "a template drawing carries it";
    }
    if (!t.facts.fingerprintGuid.empty()) ctx.commonIdentities.insert(t.facts.fingerprintGuid);
    if (t.facts.created) ctx.commonCreated.insert(t.facts.created->unixMs);
  }
  std::map<std::string, int> sortedNames(ctx.nameDrawings.begin(), ctx.nameDrawings.end());
  for (const auto& [name, count] : sortedNames) {
    if (!mostOfClass(static_cast<std::size_t>(count), n) || ctx.ignoredNames.count(name)) continue;
    ctx.ignoredNames.insert(name);
    ctx.whyIgnored[name] = "it is on " + std::to_string(count) + " of the " + std::to_string(n) +
                           " drawings, a shared login";
    notes.push_back("The name \"" + name + "\" is on " + std::to_string(count) + " of the " + std::to_string(n) +
                    " drawings: taken for a shared login, not evidence.");
  }
  // An identity most of the class carries is the template's only when no
  // template was named and the drawings were saved since (their versions
  // differ); the same saved version is one file, however many hand it in.
  if (templates.empty())
    for (const auto& [guid, count] : identities)
      if (mostOfClass(static_cast<std::size_t>(count), n)) ctx.commonIdentities.insert(guid);
  for (const auto& [instant, count] : created)
    if (mostOfClass(static_cast<std::size_t>(count), n)) ctx.commonCreated.insert(instant);
  return ctx;
}

// Drawings (by position among the readable ones) that share a value, in
// groups small enough to be anything but the class's own.
// With `star`, a larger group is judged drawing by drawing against its
// first: one file handed in by most of the class is copying, and the group
// it forms holds them all.
template <class Key, class Of>
void pairGroups(std::size_t count, Of valueOf, std::vector<std::vector<std::uint32_t>>& partners, bool star = false) {
  std::map<Key, std::vector<std::uint32_t>> groups;
  for (std::size_t k = 0; k < count; ++k)
    for (const Key& v : valueOf(k)) groups[v].push_back(static_cast<std::uint32_t>(k));
  for (const auto& [value, members] : groups) {
    if (members.size() < 2) continue;
    if (members.size() > kLargestGroupPaired) {
      if (star)
        for (std::size_t y = 1; y < members.size(); ++y) partners[members[0]].push_back(members[y]);
      continue;
    }
    for (std::size_t x = 0; x < members.size(); ++x)
      for (std::size_t y = x + 1; y < members.size(); ++y) partners[members[x]].push_back(members[y]);
  }
}

void formGroups(Findings& findings) {
  UnionFind sets(findings.drawings.size());
  for (const auto& p : findings.pairs)
    if (isCopy(p.verdict)) sets.join(p.a, p.b);
  std::map<std::size_t, std::vector<std::size_t>> byRoot;
  for (const auto& p : findings.pairs) {
    if (!isCopy(p.verdict)) continue;
    for (const std::size_t d : {p.a, p.b}) {
      auto& members = byRoot[sets.find(d)];
      if (std::find(members.begin(), members.end(), d) == members.end()) members.push_back(d);
    }
  }
  // Per group, in one pass over the pairs: its highest score, and for each
  // member how many of its pairs name it the source less those naming it
  // the copy.
  struct Tally {
    int score = 0;
    std::map<std::size_t, int> lead;
  };
  std::map<std::size_t, Tally> tallies;
  for (const auto& p : findings.pairs) {
    if (!isCopy(p.verdict)) continue;
    Tally& t = tallies[sets.find(p.a)];
    t.score = std::max(t.score, p.score);
    if (!p.likelySource) continue;
    const std::size_t source = *p.likelySource;
    ++t.lead[source];
    --t.lead[source == p.a ? p.b : p.a];
  }
  std::vector<CopyGroup> groups;
  for (auto& [root, members] : byRoot) {
    std::sort(members.begin(), members.end());
    CopyGroup g;
    g.members = members;
    // The likely source: named the source by more of its pairs than it is named the copy.
    const Tally& tally = tallies[root];
    g.score = std::max(g.score, tally.score);
    const std::map<std::size_t, int>& lead = tally.lead;
    int best = 0;
    bool tie = false;
    for (const auto& [drawing, points] : lead) {
      if (points > best) {
        best = points;
        g.likelySource = drawing;
        tie = false;
      } else if (points == best && best > 0) {
        tie = true;
      }
    }
    if (tie) g.likelySource.reset();
    groups.push_back(std::move(g));
  }
  std::stable_sort(groups.begin(), groups.end(), [](const CopyGroup& x, const CopyGroup& y) {
    if (x.score != y.score) return x.score > y.score;
    return x.members.size() > y.members.size();
  });
  std::unordered_map<std::size_t, int> numberOf;
  for (std::size_t k = 0; k < groups.size(); ++k) {
    groups[k].number = static_cast<int>(k + 1);
    for (const std::size_t m : groups[k].members) numberOf[m] = groups[k].number;
  }
  for (auto& p : findings.pairs)
    if (isCopy(p.verdict)) p.group = numberOf[p.a];
  std::stable_sort(findings.pairs.begin(), findings.pairs.end(), [&](const PairFinding& x, const PairFinding& y) {
    const int gx = x.group ? x.group : 1 << 30, gy = y.group ? y.group : 1 << 30;
    if (gx != gy) return gx < gy;
    if (x.score != y.score) return x.score > y.score;
    if (x.a != y.a) return x.a < y.a;
    return x.b < y.b;
  });
  findings.groups = std::move(groups);
}

// Takes out of the findings (and their pairs, kept parallel) those that
// `out` says go; `out` may move a finding elsewhere before saying so.
template <class Out>
void leaveOut(std::vector<PairFinding>& judged, std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs, Out&& out) {
  std::size_t kept = 0;
  for (std::size_t c = 0; c < judged.size(); ++c) {
    if (out(judged[c], pairs[c])) continue;
    if (kept != c) {
      judged[kept] = std::move(judged[c]);
      pairs[kept] = pairs[c];
    }
    ++kept;
  }
  judged.resize(kept);
  pairs.resize(kept);
}

// Each readable drawing's located pieces for laying, worked out once per
// run on first need and kept only while pairs still to be laid hold the
// drawing: a drawing taken over from the store is read again once, not once
// a pair, and a drawing of one pair is not kept at all.
class PiecesForLaying {
 public:
  using Pieces = std::shared_ptr<const std::vector<LocatedPiece>>;

  // `uses[k]`: how many pairs to be laid hold readable drawing k.
  PiecesForLaying(const ClassInput& input, const std::vector<std::size_t>& readable, const Tolerance& tolerance,
                  const std::vector<std::uint32_t>& uses)
      : input_(input), readable_(readable), tolerance_(tolerance), slots_(new Slot[uses.size()]) {
    for (std::size_t k = 0; k < uses.size(); ++k) slots_[k].left.store(uses[k]);
  }

  // Drawing k's pieces, for one of the pairs counted in its uses.
  Pieces take(std::size_t k) {
    Slot& slot = slots_[k];
    std::call_once(slot.once, [&] { slot.pieces = std::make_shared<const std::vector<LocatedPiece>>(work(k)); });
    Pieces pieces = slot.pieces;
    if (slot.left.fetch_sub(1) == 1) slot.pieces.reset();
    return pieces;
  }

 private:
  struct Slot {
    std::once_flag once;
    Pieces pieces;
    std::atomic<std::uint32_t> left{0};
  };

  std::vector<LocatedPiece> work(std::size_t k) const {
    // A drawing taken over from the store comes without its entities.
    const std::size_t drawing = readable_[k];
    const auto& own = input_.drawings[drawing].entities;
    const bool known = drawing < input_.known.size() && input_.known[drawing].has_value();
    if (!own.empty() || !known || !input_.entitiesAgain) return locatedPieces(own, tolerance_);
    return locatedPieces(input_.entitiesAgain(drawing), tolerance_);
  }

  const ClassInput& input_;
  const std::vector<std::size_t>& readable_;
  const Tolerance& tolerance_;
  std::unique_ptr<Slot[]> slots_;
};

// Which pieces of a drawing weigh something in the class.
std::vector<std::uint8_t> rarePieces(const std::vector<LocatedPiece>& pieces, const Prepared& side) {
  std::vector<std::uint8_t> rare(pieces.size(), 0);
  const auto& geometry = side.features.geometry;
  auto weighs = [&](std::uint64_t key) {
    const auto at = std::lower_bound(geometry.begin(), geometry.end(), key,
                                     [](const Feature& x, std::uint64_t v) { return x.key < v; });
    return at != geometry.end() && at->key == key && side.geometryWeight[static_cast<std::size_t>(at - geometry.begin())] > 0;
  };
  for (std::size_t t = 0; t < pieces.size(); ++t)
    rare[t] = weighs(pieces[t].shape) || (pieces[t].places[0] && weighs(pieces[t].places[0]));
  return rare;
}

// How a placement moves the work, empty where it lies in the same place.
std::string howMoved(const Placement& p) {
  std::string how = placementText(p);
  return how == "in the same place" ? std::string() : how;
}

// What a placement found tells the judgement; `reversed` where the second
// drawing's work was laid onto the first's.
Laid laidBy(const Placement& p, bool reversed) {
  Laid laid{p.mapped, p.tried, p.freelyMapped, reversed, howMoved(p)};
  laid.howBack = howMoved(inverse(p));
  laid.held = p.held;
  laid.alongside = p.alongside;
  laid.spots = p.spots;
  return laid;
}

// How one drawing's work lies on the other's, and what that tells.
struct Laying {
  std::optional<Placement> placement;
  Laid laid;
};

// Lays a's rare work onto b's, or b's onto a's where that lies whole and a's
// does not: part of a drawing pasted among the copier's own lies whole on
// its source the other way round. Shared typed work whose rest lies apart is
// no copy's, and typed work that lies whole with pieces placed freely among
// it is.
Laying layPair(const std::vector<LocatedPiece>& a, const std::vector<LocatedPiece>& b, const Prepared& sideA,
               const Prepared& sideB, const ClassContext& ctx, const Tolerance& tolerance) {
  const auto rareA = rarePieces(a, sideA);
  Laying out;
  out.placement = findPlacement(a, b, rareA, tolerance);
  out.laid = out.placement ? laidBy(*out.placement, false)
                           : Laid{0, static_cast<int>(std::count(rareA.begin(), rareA.end(), 1)), 0};
  if (liesWhole(out.laid)) return out;
  const auto rareB = rarePieces(b, sideB);
  if (std::count(rareB.begin(), rareB.end(), 1) >= out.laid.tried) return out;
  auto back = findPlacement(b, a, rareB, tolerance);
  if (!back) return out;
  const Laid laidBack = laidBy(*back, true);
  if (liesWholeWithFreePieces(laidBack) || liesWholeOfOwnNumbers(laidBack, ctx)) {
    out.placement = std::move(back);
    out.laid = laidBack;
  }
  return out;
}

// The pair judged again with how its work lies: the finding is replaced
// where its verdict or score changed.
void judgeAgainLaid(PairFinding& f, const PairSide& a, const PairSide& b, const ClassContext& ctx, const Laid& laid) {
  PairFinding again = judgePair(a, b, ctx, laid);
  if (again.verdict == f.verdict && again.score == f.score) return;
  again.a = f.a;
  again.b = f.b;
  if (again.likelySource) again.likelySource = *again.likelySource == 0 ? again.a : again.b;
  f = std::move(again);
}

// Tells in a copy's reasons how its work was laid from one drawing onto the
// other, as the copier did it where the source is known (where the laying
// is a sign of its own, its words say how already); keeps the placement as
// the first drawing's work laid onto the second's, as the pictures lay them.
void tellLaying(PairFinding& f, const Laying& laying, const DrawingFacts& laidFrom, const DrawingFacts& laidOnto) {
  const Laid& laid = laying.laid;
  const Placement& placement = *laying.placement;
  std::optional<bool> fromIsSource;
  if (f.likelySource) fromIsSource = *f.likelySource == (laid.reversed ? f.b : f.a);
  const std::string opening =
      laidOpening(displayName(laidFrom), displayName(laidOnto), laid.how, laid.howBack, fromIsSource);
  const bool told = std::any_of(f.reasons.begin(), f.reasons.end(),
                                [&](const std::string& r) { return r.find(opening) != std::string::npos; });
  if (!laid.how.empty() && !told)
    f.reasons.push_back(opening + std::to_string(placement.mapped) + " of the " + std::to_string(placement.tried) +
                        " lines, arcs, circles and texts of " + displayName(laidFrom) +
                        " that most of the class does not draw lie on the same ones.");
  f.evidence.placement = laid.reversed ? inverse(placement) : placement;
}

// How each copy's work lies on its source's: found for pairs called a copy
// that share rare pieces, weighed (a pair that shares only typed work whose
// rest lies apart is judged again so), and told when it was moved, turned,
// mirrored or scaled. Pairs that then tell nothing are dropped. False when
// cancelled.
bool layCopies(std::vector<PairFinding>& judged, std::vector<std::pair<std::uint32_t, std::uint32_t>>& judgedPairs,
               const std::vector<Prepared>& prepared, const ClassInput& input, const std::vector<std::size_t>& readable,
               const std::vector<const DrawingFacts*>& readableFacts, const ClassContext& ctx,
               const EvidenceSettings& settings, const RunControl& control) {
  auto laidHere = [&](std::size_t c) {
    const auto [k, j] = judgedPairs[c];
    return worthLaying(judged[c], ctx) && prepared[k].features.geometryKnown && prepared[j].features.geometryKnown;
  };
  std::vector<std::uint32_t> uses(prepared.size(), 0);
  for (std::size_t c = 0; c < judged.size(); ++c)
    if (laidHere(c)) ++uses[judgedPairs[c].first], ++uses[judgedPairs[c].second];
  PiecesForLaying pieces(input, readable, settings.tolerance, uses);
  const bool laidAll = parallelFor(judged.size(), control, "Laying copies onto one another", [&](std::size_t c) {
    if (!laidHere(c)) return;
    const auto [k, j] = judgedPairs[c];
    const auto a = pieces.take(k), b = pieces.take(j);
    const Laying laying = layPair(*a, *b, prepared[k], prepared[j], ctx, settings.tolerance);
    PairFinding& f = judged[c];
    judgeAgainLaid(f, sideOf(*readableFacts[k], prepared[k]), sideOf(*readableFacts[j], prepared[j]), ctx,
                   laying.laid);
    if (!isCopy(f.verdict) || !laying.placement || laying.placement->mapped < kPlacedAtLeast) return;
    const bool reversed = laying.laid.reversed;
    tellLaying(f, laying, *readableFacts[reversed ? j : k], *readableFacts[reversed ? k : j]);
  });
  if (!laidAll) return false;
  // A pair that told nothing once laid is no finding.
  leaveOut(judged, judgedPairs, [](PairFinding& f, const auto&) { return f.verdict == Verdict::kNone; });
  return true;
}

// Judges the candidate pairs (positions among the readable drawings) in
// batches on all cores, and hands each finding to `keep` in the order of
// the candidates: a large class never holds a finding for every candidate.
// False when cancelled.
template <class Keep>
bool judgeCandidates(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& candidates,
                     const std::vector<Prepared>& prepared, const std::vector<std::size_t>& readable,
                     const std::vector<const DrawingFacts*>& readableFacts, const ClassContext& ctx,
                     const RunControl& control, Keep&& keep) {
  constexpr std::size_t kBatch = 4096;
  const std::size_t all = candidates.size();
  std::vector<PairFinding> batch;
  std::size_t from = 0;
  RunControl part = control;
  part.progress = [&](const Progress& p) { control.report(p.stage, from + p.done, all); };
  do {
    const std::size_t count = std::min(kBatch, all - from);
    batch.assign(count, PairFinding{});
    if (!parallelFor(count, part, "Judging pairs", [&](std::size_t c) {
          const auto [k, j] = candidates[from + c];
          PairFinding f = judgePair(sideOf(*readableFacts[k], prepared[k]), sideOf(*readableFacts[j], prepared[j]), ctx);
          f.a = readable[k];
          f.b = readable[j];
          if (f.likelySource) f.likelySource = *f.likelySource == 0 ? f.a : f.b;
          batch[c] = std::move(f);
        }))
      return false;
    for (std::size_t c = 0; c < count; ++c) keep(from + c, std::move(batch[c]));
    from += count;
  } while (from < all);
  return true;
}

// A pair judged a coincidence in a class that lists only the strongest few.
struct Coincidence {
  int score = 0;
  std::uint32_t k = 0, j = 0;  // positions among the readable drawings
};

// The coincidences listed, strongest first (then in the order of their
// drawings), each while both its drawings are listed in fewer than
// kCoincidencesPerDrawing; sorted as candidates are.
std::vector<std::pair<std::uint32_t, std::uint32_t>> strongestCoincidences(std::vector<Coincidence>& all,
                                                                           std::size_t drawings) {
  std::sort(all.begin(), all.end(), [](const Coincidence& x, const Coincidence& y) {
    if (x.score != y.score) return x.score > y.score;
    if (x.k != y.k) return x.k < y.k;
    return x.j < y.j;
  });
  std::vector<int> listedIn(drawings, 0);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> listed;
  for (const Coincidence& c : all) {
    if (listedIn[c.k] >= kCoincidencesPerDrawing || listedIn[c.j] >= kCoincidencesPerDrawing) continue;
    ++listedIn[c.k];
    ++listedIn[c.j];
    listed.emplace_back(c.k, c.j);
  }
  std::sort(listed.begin(), listed.end());
  return listed;
}

// The candidate pairs (positions among the readable drawings) judged and
// laid, kept as findings beside their pairs: only those with something to
// tell, and in a class that lists only the strongest coincidences, those;
// `notes` counts the others. False when cancelled.
bool judgePairs(std::vector<std::pair<std::uint32_t, std::uint32_t>>&& candidates, const std::vector<Prepared>& prepared,
                const ClassInput& input, const std::vector<std::size_t>& readable,
                const std::vector<const DrawingFacts*>& readableFacts, const ClassContext& ctx,
                const EvidenceSettings& settings, const RunControl& control, std::vector<PairFinding>& judged,
                std::vector<std::pair<std::uint32_t, std::uint32_t>>& judgedPairs, std::vector<std::string>& notes) {
  const std::size_t n = readable.size();
  // Candidates are judged in batches, and only the pairs with something to
  // tell are kept: most candidates of a large class tell nothing.
  std::vector<Coincidence> coincidences;  // held back, in a class that lists only the strongest few
  const bool fewCoincidences = n > kCoincidencesAllListedUpTo;
  if (!judgeCandidates(candidates, prepared, readable, readableFacts, ctx, control, [&](std::size_t c, PairFinding&& f) {
        // A pair that tells nothing is left, unless laying it may tell.
        if (f.verdict == Verdict::kNone && !worthLaying(f, ctx)) return;
        if (fewCoincidences && f.verdict == Verdict::kCoincidence) {
          coincidences.push_back({f.score, candidates[c].first, candidates[c].second});
          return;
        }
        judged.push_back(std::move(f));
        judgedPairs.push_back(candidates[c]);
      }))
    return false;
  candidates = {};
  if (control.cancelled()) return false;
  if (!layCopies(judged, judgedPairs, prepared, input, readable, readableFacts, ctx, settings, control)) return false;
  // Where only the strongest coincidences are listed, a copy that its laying
  // made a coincidence is ranked with them, and keeps its words if listed.
  std::map<std::pair<std::uint32_t, std::uint32_t>, PairFinding> laidApart;
  if (fewCoincidences) {
    leaveOut(judged, judgedPairs, [&](PairFinding& f, const std::pair<std::uint32_t, std::uint32_t>& pair) {
      if (f.verdict != Verdict::kCoincidence) return false;
      coincidences.push_back({f.score, pair.first, pair.second});
      laidApart.emplace(pair, std::move(f));
      return true;
    });
  }
  if (!coincidences.empty()) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> again;
    for (const auto& pair : strongestCoincidences(coincidences, n)) {
      if (const auto laid = laidApart.find(pair); laid != laidApart.end()) {
        judged.push_back(std::move(laid->second));
        judgedPairs.push_back(pair);
      } else {
        again.push_back(pair);
      }
    }
    if (!judgeCandidates(again, prepared, readable, readableFacts, ctx, control, [&](std::size_t c, PairFinding&& f) {
          judged.push_back(std::move(f));
          judgedPairs.push_back(again[c]);
        }))
      return false;
  }
  if (fewCoincidences) {
    std::size_t listedCoincidences = 0;
    for (const auto& f : judged) listedCoincidences += f.verdict == Verdict::kCoincidence;
    if (const std::size_t left = coincidences.size() - listedCoincidences; left > 0)
      notes.push_back(std::to_string(left) +
                      " further pairs judged coincidences are not listed: in a class of more than " +
                      std::to_string(kCoincidencesAllListedUpTo) + " drawings each drawing is listed in at most " +
                      std::to_string(kCoincidencesPerDrawing) + " coincidences, the strongest first.");
  }
  return true;
}

// The earlier drawings worth judging against the class, each with the
// readable drawings (positions) to judge it against: those sharing most of
// a drawing's sketch, and those of its identity. False when cancelled.
bool earlierWanted(ArchiveSource* archive, const Judgement& out, const std::vector<std::size_t>& readable,
                   const std::vector<const DrawingFacts*>& readableFacts, const ClassContext& ctx,
                   const RunControl& control, std::map<std::int64_t, std::vector<std::uint32_t>>& wanted) {
  const std::size_t n = readable.size();
  // The archive is asked for a batch of drawings at once (one round trip to
  // a shared store), as many as a class usually has.
  constexpr std::size_t kBatch = 1024;
  for (std::size_t first = 0; first < n; first += kBatch) {
    if (control.cancelled()) {
      return false;
    }
    control.report("Comparing with earlier projects", first, n);
    const std::size_t end = std::min(n, first + kBatch);
    std::vector<std::span<const std::uint64_t>> sketches;
    std::vector<std::string> guids;
    for (std::size_t k = first; k < end; ++k) {
      sketches.emplace_back(out.judged[readable[k]].sketch);
      const auto& guid = readableFacts[k]->fingerprintGuid;
      guids.push_back(ctx.commonIdentities.count(guid) ? std::string() : guid);
    }
    auto similarOf = archive->similarEach(sketches, kArchiveShared);
    const auto sameIdentity = archive->withIdentityEach(guids);
    for (std::size_t k = first; k < end; ++k) {
      if (k - first < similarOf.size()) {
        auto& similar = similarOf[k - first];
        std::stable_sort(similar.begin(), similar.end(),
                         [](const auto& x, const auto& y) { return x.second > y.second; });
        if (similar.size() > kArchiveCandidates) similar.resize(kArchiveCandidates);
        for (const auto& [id, shared] : similar) wanted[id].push_back(static_cast<std::uint32_t>(k));
      }
      if (k - first < sameIdentity.size() && !guids[k - first].empty())
        for (const std::int64_t id : sameIdentity[k - first]) wanted[id].push_back(static_cast<std::uint32_t>(k));
    }
  }
  return true;
}

// What weighs something of the class and of an earlier project in each.
struct WeighedAgainst {
  const ClassIndex& geometry;
  const ClassIndex& handles;
  const std::vector<std::uint64_t>& templateKeys;
  const std::vector<std::uint64_t>& earlierCommon;  // what weighs nothing in the earlier drawing's project
  std::size_t drawings;  // the class with the earlier drawing
};

// An earlier drawing weighed as one more drawing of this class; what weighs
// nothing here or in its own project weighs nothing.
Prepared weighEarlier(DrawingFeatures&& features, const WeighedAgainst& by) {
  Prepared earlier;
  earlier.features = std::move(features);
  auto weighAgainst = [&](const ClassIndex& index, std::span<const Feature> list, std::vector<float>& weights,
                          std::vector<std::uint32_t>* dfs) {
    weights.resize(list.size());
    if (dfs) dfs->resize(list.size());
    for (std::size_t t = 0; t < list.size(); ++t) {
      const std::uint64_t key = list[t].key;
      const std::int64_t slot = index.find(key);
      std::size_t df = 1;
      bool nothing = containsKey(by.earlierCommon, key) || containsKey(by.templateKeys, key);
      if (slot >= 0) {
        df += index.df(static_cast<std::uint32_t>(slot));
        nothing = nothing || index.weight(static_cast<std::uint32_t>(slot)) <= 0;
      }
      nothing = nothing || (isPlace(key) && commonPlace(df, by.drawings));
      weights[t] = nothing ? 0.0f : static_cast<float>(rarityWeight(df, by.drawings));
      if (dfs) (*dfs)[t] = static_cast<std::uint32_t>(df);
    }
  };
  weighAgainst(by.geometry, earlier.features.geometry, earlier.geometryWeight, &earlier.geometryDf);
  if (earlier.features.geometryKnown) {
    // A handle weighs what its shape weighs.
    const auto& geometry = earlier.features.geometry;
    earlier.handleWeight.assign(earlier.features.handles.size(), 0.0f);
    for (std::size_t t = 0; t < earlier.features.handles.size(); ++t) {
      const std::uint64_t shape = earlier.features.handleShapes[t];
      const auto at = std::lower_bound(geometry.begin(), geometry.end(), shape,
                                       [](const Feature& f, std::uint64_t key) { return f.key < key; });
      if (at != geometry.end() && at->key == shape && !containsKey(by.templateKeys, earlier.features.handles[t].key))
        earlier.handleWeight[t] = earlier.geometryWeight[static_cast<std::size_t>(at - geometry.begin())];
    }
  } else {
    weighAgainst(by.handles, earlier.features.handles, earlier.handleWeight, nullptr);
  }
  sumUp(earlier);
  return earlier;
}

// A drawing of the class as judged against an earlier drawing: what weighs
// nothing in the earlier project weighs nothing here either. The side
// refers to the weights it keeps in `current`.
PairSide sideAgainstEarlier(const DrawingFacts& facts, const Prepared& p,
                            const std::vector<std::uint64_t>& earlierCommon, Prepared& current) {
  current.geometryWeight = p.geometryWeight;
  current.handleWeight = p.handleWeight;
  for (std::size_t t = 0; t < p.features.geometry.size(); ++t)
    if (containsKey(earlierCommon, p.features.geometry[t].key)) current.geometryWeight[t] = 0;
  for (std::size_t t = 0; t < p.features.handles.size(); ++t) {
    if (containsKey(earlierCommon, p.features.handles[t].key)) current.handleWeight[t] = 0;
    else if (containsKey(earlierCommon, p.features.handleShapes[t]) && p.features.geometryKnown)
      current.handleWeight[t] = 0;
  }
  PairSide a = sideOf(facts, p);
  a.geometryWeight = current.geometryWeight;
  a.handleWeight = current.handleWeight;
  a.geometryDf = {};
  a.geometryTotal = totalOf(p.features.geometry, current.geometryWeight);
  a.placeTotal = totalOf(p.features.geometry, current.geometryWeight, true);
  a.handleTotal = totalOf(p.features.handles, current.handleWeight);
  a.distinctive = distinctiveOf(p.features.geometry, current.geometryWeight);
  a.heldByOthers = heldByOthersOf(p.features.geometry, current.geometryWeight, p.geometryDf, false);
  a.placesHeldByOthers = heldByOthersOf(p.features.geometry, current.geometryWeight, p.geometryDf, true);
  return a;
}

// The class against the earlier projects an archive holds: each earlier
// drawing that shares enough with a drawing of the class is judged as one
// more drawing of it. False when cancelled.
bool compareWithEarlier(ArchiveSource* archive, Judgement& out, const std::vector<Prepared>& prepared,
                        const std::vector<std::size_t>& readable, const std::vector<const DrawingFacts*>& readableFacts,
                        const ClassContext& ctx, const std::vector<std::uint64_t>& templateKeys,
                        const ClassIndex& geometryIndex, const ClassIndex& handleIndex, const RunControl& control) {
  Findings& findings = out.findings;
  const std::size_t n = readable.size();
  findings.earlierDrawings = archive->size();
  std::map<std::int64_t, std::vector<std::uint32_t>> wanted;  // archived drawing -> readable positions
  if (!earlierWanted(archive, out, readable, readableFacts, ctx, control, wanted)) return false;
  std::map<std::string, std::vector<std::uint64_t>> commonOf;
  std::size_t unloadable = 0;
  // An earlier drawing is judged as one more drawing of this class.
  ClassContext earlierCtx = ctx;
  earlierCtx.drawings = n + 1;
  earlierCtx.pairWeight = rarityWeight(2, n + 1);
  for (auto& [id, positions] : wanted) {
    if (control.cancelled()) return false;
    auto loaded = archive->load(id);
    if (!loaded) {
      ++unloadable;
      continue;
    }
    auto& earlierCommon = commonOf[loaded->facts.project];
    if (earlierCommon.empty()) earlierCommon = archive->commonKeys(loaded->facts.project);
    const Prepared earlier =
        weighEarlier(std::move(loaded->features), {geometryIndex, handleIndex, templateKeys, earlierCommon, n + 1});
    std::optional<std::size_t> index;  // in findings.drawings, once it matters
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    for (const std::uint32_t k : positions) {
      PairSide b = sideOf(loaded->facts, earlier);
      b.geometryDf = {};
      Prepared current;
      PairFinding f =
          judgePair(sideAgainstEarlier(*readableFacts[k], prepared[k], earlierCommon, current), b, earlierCtx);
      if (f.verdict == Verdict::kNone) continue;
      if (!index) {
        index = findings.drawings.size();
        findings.drawings.push_back(loaded->facts);
      }
      f.a = readable[k];
      f.b = *index;
      if (f.likelySource) f.likelySource = *f.likelySource == 0 ? f.a : f.b;
      findings.pairs.push_back(std::move(f));
    }
  }
  if (unloadable > 0)
    findings.notes.push_back(std::to_string(unloadable) +
                             " drawings of earlier projects could not be read back from the evidence store and "
                             "were not compared: damaged, or kept by an earlier version of the check; judge "
                             "their project again to compare against it.");
  findings.pairsJudged += n * findings.earlierDrawings;
  return true;
}

// What the templates hold: what a named template holds, or without one
// what the drawings were started from; sorted, each key once.
std::vector<std::uint64_t> templateKeysOf(const ClassInput& input, const EvidenceSettings& settings,
                                          const std::vector<Prepared>& prepared, std::vector<std::string>& notes) {
  std::vector<std::uint64_t> templateKeys;
  for (const auto& t : input.templates) {
    if (!t.facts.readable) {
      notes.push_back("The template " + utf8Path(t.facts.path) + " could not be read (" +
                      (t.facts.problem ? problemReason(*t.facts.problem) : std::string("unknown")) +
                      "); nothing of it is subtracted.");
      continue;
    }
    const DrawingFeatures f = featuresOf(t.entities, settings.tolerance);
    for (const auto& x : f.geometry) templateKeys.push_back(x.key);
    for (const auto& x : f.handles) templateKeys.push_back(x.key);
  }
  if (templateKeys.empty()) estimateTemplate(prepared, templateKeys, notes);
  std::sort(templateKeys.begin(), templateKeys.end());
  templateKeys.erase(std::unique(templateKeys.begin(), templateKeys.end()), templateKeys.end());
  return templateKeys;
}

// Each drawing's features weighed by the class: their weights, how many
// drawings hold them, and its totals.
void weighFeatures(std::vector<Prepared>& prepared, const ClassIndex& geometryIndex, const ClassIndex& handleIndex,
                   const std::vector<std::uint64_t>& templateKeys, const RunControl& control) {
  parallelFor(prepared.size(), control, "Indexing features", [&](std::size_t k) {
    Prepared& p = prepared[k];
    const auto gs = geometryIndex.slotsOf(k);
    p.geometryWeight.resize(gs.size());
    p.geometryDf.resize(gs.size());
    for (std::size_t t = 0; t < gs.size(); ++t) {
      p.geometryWeight[t] = geometryIndex.weight(gs[t]);
      p.geometryDf[t] = geometryIndex.df(gs[t]);
    }
    p.handleWeight.resize(p.features.handles.size());
    if (p.features.geometryKnown) {
      for (std::size_t t = 0; t < p.handleWeight.size(); ++t) {
        const std::int64_t shape = geometryIndex.find(p.features.handleShapes[t]);
        const bool nothing = shape < 0 || containsKey(templateKeys, p.features.handles[t].key);
        p.handleWeight[t] = nothing ? 0.0f : geometryIndex.weight(static_cast<std::uint32_t>(shape));
      }
    } else {
      const auto hs = handleIndex.slotsOf(k);
      for (std::size_t t = 0; t < hs.size(); ++t) p.handleWeight[t] = handleIndex.weight(hs[t]);
    }
    sumUp(p);
  });
}

// Per drawing, the weight of its features too common to propose a pair
// (shared by more than `limit` drawings): of shapes and words, of places
// and of handles.
struct Unproposed {
  std::vector<double> geometry, places, handles;
};

Unproposed unproposedOf(const std::vector<Prepared>& prepared, const ClassIndex& geometryIndex,
                        const ClassIndex& handleIndex, std::size_t limit) {
  const std::size_t n = prepared.size();
  Unproposed out{std::vector<double>(n, 0.0), std::vector<double>(n, 0.0), std::vector<double>(n, 0.0)};
  for (std::size_t k = 0; k < n; ++k) {
    auto massOf = [&](const ClassIndex& index, std::span<const Feature> list, std::span<const float> weights,
                      bool places) {
      const auto slots = index.slotsOf(k);
      double mass = 0;
      for (std::size_t t = 0; t < slots.size(); ++t)
        if (index.df(slots[t]) > limit && isPlace(list[t].key) == places)
          mass += static_cast<double>(weights[t]) * list[t].count;
      return mass;
    };
    const Prepared& p = prepared[k];
    out.geometry[k] = massOf(geometryIndex, p.features.geometry, p.geometryWeight, false);
    out.places[k] = massOf(geometryIndex, p.features.geometry, p.geometryWeight, true);
    out.handles[k] = massOf(handleIndex, p.features.handles, p.handleWeight, false);
  }
  return out;
}

// What one drawing shares with each later drawing through the features rare
// enough to propose a pair, per other drawing: the shared weight of shapes
// and words, of places, of handles and of what was drawn freely, and of the
// shapes and words what each of the two holds of the other. Kept per
// thread, and cleared for the next drawing by what it touched.
struct SharedWeights {
  std::vector<double> geometry, places, handles, freely, heldByJ, heldByK;
  std::vector<std::uint8_t> seen;
  std::vector<std::uint32_t> touched;  // the later drawings sharing something

  void begin(std::size_t n) {
    for (auto* v : {&geometry, &places, &handles, &freely, &heldByJ, &heldByK})
      if (v->size() != n) v->assign(n, 0.0);
    if (seen.size() != n) seen.assign(n, 0);
    touched.clear();
  }
  void clear() {
    for (const std::uint32_t j : touched) {
      geometry[j] = places[j] = handles[j] = freely[j] = heldByJ[j] = heldByK[j] = 0;
      seen[j] = 0;
    }
  }
  // Adds what drawing k shares through one index (`isGeometry`: shapes,
  // words and places; otherwise handles).
  void scan(std::size_t k, const ClassIndex& index, std::span<const Feature> list, std::span<const float> weights,
            bool isGeometry, std::size_t limit) {
    const auto slots = index.slotsOf(k);
    for (std::size_t t = 0; t < slots.size(); ++t) {
      const std::uint32_t slot = slots[t];
      const std::uint32_t df = index.df(slot);
      if (df < 2 || df > limit || weights[t] <= 0) continue;
      const double w = weights[t];
      const bool place = isGeometry && isPlace(list[t].key);
      auto& shared = !isGeometry ? handles : place ? places : geometry;
      for (const Posting& p : index.postings(slot)) {
        if (p.drawing <= k) continue;
        if (!seen[p.drawing]) {
          seen[p.drawing] = 1;
          touched.push_back(p.drawing);
        }
        shared[p.drawing] += w * std::min(p.count, list[t].count);
        if (isGeometry && !isTyped(list[t].key)) freely[p.drawing] += w * std::min(p.count, list[t].count);
        if (isGeometry && !place) {
          heldByJ[p.drawing] += w * list[t].count;
          heldByK[p.drawing] += w * p.count;
        }
      }
    }
  }
};

// Whether what drawings k and j (k < j) share, with all the features too
// common to propose counted as if shared, could make the pair notable.
bool worthProposing(const std::vector<Prepared>& prepared, std::size_t k, std::uint32_t j, const SharedWeights& s,
                    const Unproposed& u, const ClassContext& ctx) {
  const std::size_t n = prepared.size();
  // What the pair could share at most, the features too common to propose
  // counted as shared; and so the least chance.
  const Prepared& pk = prepared[k];
  const Prepared& pj = prepared[j];
  const bool kLighter = pk.geometryTotal <= pj.geometryTotal;
  const double chance = kLighter
                            ? chanceShare(pk.heldByOthers, s.heldByJ[j] + u.geometry[k], pk.geometryTotal, n)
                            : chanceShare(pj.heldByOthers, s.heldByK[j] + u.geometry[j], pj.geometryTotal, n);
  const double geometry = shareStrength(s.geometry[j] + std::min(u.geometry[k], u.geometry[j]),
                                        std::min(pk.geometryTotal, pj.geometryTotal), chance, ctx.pairWeight);
  const double places = shareStrength(s.places[j] + std::min(u.places[k], u.places[j]),
                                      std::max(pk.placeTotal, pj.placeTotal), 0.0, ctx.pairWeight);
  const double part =
      n > 2 ? std::max(countStrength(s.geometry[j], ctx.pairWeight), countStrength(s.places[j], ctx.pairWeight)) : 0.0;
  const double handles = shareStrength(s.handles[j] + std::min(u.handles[k], u.handles[j]),
                                       std::min(pk.handleTotal, pj.handleTotal), 0.0, ctx.pairWeight);
  // Two drawings alone are told apart by their places only (see judgePair).
  const double shapes = n > 2 ? geometry : 0.0;
  // Work drawn freely alike in two drawings is a sign of its own (the
  // signal "work drawn freely"), however little of either, from more than
  // one piece; one piece tells where the rest lies, laid (worthLaying),
  // where it is not lost among thousands.
  const double freelyPieces = ctx.pairWeight > 0 ? s.freely[j] / ctx.pairWeight : 0.0;
  const bool freely = n > 2 && weighsAtLeast(s.freely[j], kFreelyDrawnFrom, ctx.pairWeight) &&
                      (freelyPieces > kFreelyDrawnFrom * 1.001 ||
                       freelyPieces >= kFreelyLaidShare * std::min(pk.distinctive, pj.distinctive));
  return freely || std::max({shapes, places, part, handles}) >= kProposeStrength;
}

// The pairs that rare features propose, as partners[k] holding the later
// drawings j > k: through the index, a pair is proposed when what it
// shares, with all the features too common to propose counted as if shared,
// could make it notable. False when cancelled.
bool proposePartners(const std::vector<Prepared>& prepared, const ClassIndex& geometryIndex,
                     const ClassIndex& handleIndex, const ClassContext& ctx, const RunControl& control,
                     std::vector<std::vector<std::uint32_t>>& partners) {
  const std::size_t n = prepared.size();
  const std::size_t limit = proposalLimit(n);
  const Unproposed unproposed = unproposedOf(prepared, geometryIndex, handleIndex, limit);
  return parallelFor(n, control, "Finding similar drawings", [&](std::size_t k) {
    thread_local SharedWeights shared;
    shared.begin(n);
    const Prepared& pk = prepared[k];
    shared.scan(k, geometryIndex, pk.features.geometry, pk.geometryWeight, true, limit);
    shared.scan(k, handleIndex, pk.features.handles, pk.handleWeight, false, limit);
    for (const std::uint32_t j : shared.touched)
      if (worthProposing(prepared, k, j, shared, unproposed, ctx)) partners[k].push_back(j);
    shared.clear();
  });
}

// Each readable drawing's features (those made before taken over), as
// `prepared[k]` of readable drawing k. False when cancelled.
bool fingerprintClass(const ClassInput& input, const std::vector<std::size_t>& readable, const Tolerance& tolerance,
                      const RunControl& control, std::vector<Prepared>& prepared) {
  prepared.resize(readable.size());
  return parallelFor(readable.size(), control, "Fingerprinting drawings", [&](std::size_t k) {
    const std::size_t i = readable[k];
    prepared[k].features =
        i < input.known.size() && input.known[i] ? *input.known[i] : featuresOf(input.drawings[i].entities, tolerance);
  });
}

// The class's features with their weights and who holds them.
struct ClassIndexes {
  ClassIndex geometry;
  ClassIndex handles;
};

// Indexes the class, both indexes at once. Handles are indexed only for
// drawings that came without geometry: in the others a handle weighs what
// the shape it holds weighs.
ClassIndexes indexClass(const std::vector<Prepared>& prepared, const std::vector<std::uint64_t>& templateKeys) {
  const std::size_t n = prepared.size();
  std::vector<std::span<const Feature>> geometryLists(n), handleLists(n);
  for (std::size_t k = 0; k < n; ++k) {
    geometryLists[k] = prepared[k].features.geometry;
    if (!prepared[k].features.geometryKnown) handleLists[k] = prepared[k].features.handles;
  }
  std::optional<ClassIndex> handleBuilt;
  std::thread handleBuilder([&] { handleBuilt.emplace(handleLists, templateKeys); });
  ClassIndex geometry(geometryLists, templateKeys);
  handleBuilder.join();
  return {std::move(geometry), std::move(*handleBuilt)};
}

// What weighs nothing here, for the store and for later terms: sorted, each
// key once.
std::vector<std::uint64_t> commonKeysOf(const ClassIndexes& indexes, const std::vector<std::uint64_t>& templateKeys) {
  std::vector<std::uint64_t> common;
  for (const ClassIndex* index : {&indexes.geometry, &indexes.handles})
    for (std::uint32_t slot = 0; slot < index->slots(); ++slot)
      if (index->weight(slot) <= 0) common.push_back(index->key(slot));
  common.insert(common.end(), templateKeys.begin(), templateKeys.end());
  std::sort(common.begin(), common.end());
  common.erase(std::unique(common.begin(), common.end()), common.end());
  return common;
}

// What the class says about names, identities and creation instants, how
// its typed numbers vary and how many pairs it compares; says in `notes`
// what it takes for a shared login.
ClassContext classContext(const std::vector<Prepared>& prepared, const std::vector<const DrawingFacts*>& readableFacts,
                          const std::vector<std::uint64_t>& templateKeys, const ClassInput& input,
                          const EvidenceSettings& settings, ArchiveSource* archive,
                          std::vector<std::string>& notes) {
  ClassContext ctx = contextOf(readableFacts, input.templates, settings, notes);
  const std::optional<double> vary = typedNumbersVary(prepared, templateKeys);
  const double from = rules::kTypedNumbersVaryFrom, to = rules::kTypedNumbersVaryTo;
  const double toward = std::clamp((vary.value_or(0.0) - from) / (to - from), 0.0, 1.0);
  ctx.typedAlone = 1.0 - toward * (1.0 - rules::kTypedAlone);
  ctx.ownNumbers = vary && *vary >= rules::kOwnNumbersRecurFrom && *vary < from;
  const double drawings = static_cast<double>(prepared.size());
  ctx.pairsCompared = drawings * (drawings - 1) / 2 + (archive ? drawings * static_cast<double>(archive->size()) : 0.0);
  for (const Prepared& p : prepared) ctx.meanGeometryTotal += p.geometryTotal / std::max(1.0, drawings);
  for (const auto& name : settings.ignoredAuthors)
    if (!normalName(name).empty()) notes.push_back("The name \"" + name + "\" is on the ignore list: not evidence.");
  return ctx;
}

// Pairs worth judging, each once and in order: those sharing rare features
// or handles, an identity, a creation second or a name. False when
// cancelled.
bool candidatePairs(const std::vector<Prepared>& prepared, const ClassIndexes& indexes, const ClassContext& ctx,
                    const std::vector<const DrawingFacts*>& readableFacts, const RunControl& control,
                    std::vector<std::pair<std::uint32_t, std::uint32_t>>& candidates) {
  const std::size_t n = prepared.size();
  std::vector<std::vector<std::uint32_t>> partners(n);
  if (!proposePartners(prepared, indexes.geometry, indexes.handles, ctx, control, partners)) return false;
  pairGroups<std::string>(n, [&](std::size_t k) {
    const auto& f = *readableFacts[k];
    return f.fingerprintGuid.empty() ? std::vector<std::string>{} : std::vector<std::string>{f.fingerprintGuid};
  }, partners, true);
  pairGroups<std::int64_t>(n, [&](std::size_t k) {
    const auto& f = *readableFacts[k];
    if (!f.created) return std::vector<std::int64_t>{};
    const std::int64_t ms = f.created->unixMs;
    return std::vector<std::int64_t>{(ms >= 0 ? ms : ms - 999) / 1000};
  }, partners);
  pairGroups<std::string>(n, [&](std::size_t k) {
    std::vector<std::string> names;
    for (auto& name : namesOf(*readableFacts[k]))
      if (!ctx.ignoredNames.count(name)) names.push_back(std::move(name));
    return names;
  }, partners);
  for (std::size_t k = 0; k < n; ++k) {
    auto& list = partners[k];
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
    for (const std::uint32_t j : list) candidates.emplace_back(static_cast<std::uint32_t>(k), j);
    list = {};
  }
  return true;
}

}  // namespace

std::vector<std::uint64_t> sketchOf(std::span<const Feature> geometry, std::span<const float> geometryWeights,
                                    std::span<const Feature> handles, std::span<const float> handleWeights,
                                    std::size_t size) {
  std::vector<std::uint64_t> values;
  values.reserve(geometry.size() + handles.size());
  for (std::size_t k = 0; k < geometry.size(); ++k)
    if (geometryWeights[k] > 0 && featureKind(geometry[k].key) == FeatureKind::kPlace)
      values.push_back(mixKey(geometry[k].key));
  if (values.empty())
    for (std::size_t k = 0; k < handles.size(); ++k)
      if (handleWeights[k] > 0) values.push_back(mixKey(handles[k].key));
  if (values.size() > size) {
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(size), values.end());
    values.resize(size);
  }
  std::sort(values.begin(), values.end());
  return values;
}

Judgement judgeClass(ClassInput input, const EvidenceSettings& settings, ArchiveSource* archive,
                     const RunControl& control) {
  Judgement out;
  Findings& findings = out.findings;
  findings.project = input.project;
  findings.term = settings.term;
  findings.settings = settings;
  findings.runAtUnixMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
  const std::size_t total = input.drawings.size();
  findings.projectDrawings = total;
  out.judged.resize(total);
  auto cancelled = [&] {
    out.cancelled = true;
    return std::move(out);
  };

  // Fingerprints of every readable drawing and of the templates.
  std::vector<std::size_t> readable;  // drawing index of each readable one
  for (std::size_t i = 0; i < total; ++i)
    if (input.drawings[i].facts.readable) readable.push_back(i);
  const std::size_t n = readable.size();
  std::vector<Prepared> prepared;
  if (!fingerprintClass(input, readable, settings.tolerance, control, prepared)) return cancelled();
  const std::vector<std::uint64_t> templateKeys = templateKeysOf(input, settings, prepared, findings.notes);

  // The class's features, their weights and who has them.
  control.report("Indexing features", 0, 1);
  const ClassIndexes indexes = indexClass(prepared, templateKeys);
  if (control.cancelled()) return cancelled();
  weighFeatures(prepared, indexes.geometry, indexes.handles, templateKeys, control);
  if (control.cancelled()) return cancelled();
  out.commonKeys = commonKeysOf(indexes, templateKeys);

  std::vector<const DrawingFacts*> readableFacts;
  for (const std::size_t i : readable) readableFacts.push_back(&input.drawings[i].facts);
  const ClassContext ctx = classContext(prepared, readableFacts, templateKeys, input, settings, archive, findings.notes);

  std::vector<std::pair<std::uint32_t, std::uint32_t>> candidates;
  if (!candidatePairs(prepared, indexes, ctx, readableFacts, control, candidates)) return cancelled();
  std::vector<PairFinding> judged;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> judgedPairs;  // parallel to judged
  if (!judgePairs(std::move(candidates), prepared, input, readable, readableFacts, ctx, settings, control, judged,
                  judgedPairs, findings.notes))
    return cancelled();
  findings.pairsJudged = n * (n - (n > 0 ? 1 : 0)) / 2;

  // Sketches for the store and for the earlier projects.
  for (std::size_t k = 0; k < n; ++k)
    out.judged[readable[k]].sketch = sketchOf(prepared[k].features.geometry, prepared[k].geometryWeight,
                                              prepared[k].features.handles, prepared[k].handleWeight);

  // The project's drawings come first; their facts move in once nothing
  // reads them through the input any more.
  findings.drawings.resize(total);
  if (findings.pairs.empty()) {
    findings.pairs = std::move(judged);
  } else {
    for (auto& f : judged) findings.pairs.push_back(std::move(f));
  }

  // The class against earlier projects.
  if (archive && !compareWithEarlier(archive, out, prepared, readable, readableFacts, ctx, templateKeys,
                                     indexes.geometry, indexes.handles, control))
    return cancelled();

  for (std::size_t k = 0; k < n; ++k) out.judged[readable[k]].features = std::move(prepared[k].features);
  readableFacts.clear();
  for (std::size_t i = 0; i < total; ++i) findings.drawings[i] = std::move(input.drawings[i].facts);
  formGroups(findings);
  return out;
}

}  // namespace veldra::evidence
