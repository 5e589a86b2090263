// The list of signals, on pairs whose evidence is drawn by seed: the score
// joins the strengths as independent signs, every signal that counts says
// so in words, and a pair called a copy is not explained away.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <random>
#include <set>
#include <string_view>

#include "evidence/judging/class_index.h"
#include "evidence/judging/pair_judgement.h"
#include "evidence/judging/pair_measure.h"
#include "evidence/judging/signals.h"

namespace veldra::evidence {
namespace {

// The choices made freely that a drawing's features drawn freely tell, each
// its own: a measure of its own for a shape, a piece of its own for a place.
std::vector<FreeChoice> choicesOf(const std::vector<Feature>& g) {
  std::vector<FreeChoice> out;
  for (const Feature& f : g)
    if (!isTyped(f.key))
      out.push_back({f.key, featureKind(f.key) == FeatureKind::kPlace ? 0.0 : 1.0 + 0.0137249 * static_cast<double>(f.key & 0xFFFF),
                     static_cast<std::uint32_t>(f.key & 0xFFFF)});
  return out;
}

// A pair of drawings with the evidence of `random`: an identity, a
// creation instant, a name and editing time either shared or not, and some
// shared work, typed or drawn freely, beside work of each one's own.
struct DrawnPair {
  DrawingFacts fa, fb;
  std::vector<Feature> ga, gb;
  std::vector<float> wa, wb;
  std::vector<Feature> handles;  // both hold them, or neither
  std::vector<float> handleWeights;
  std::vector<FreeChoice> ca, cb;
  ClassContext ctx;

  explicit DrawnPair(std::mt19937_64& random) {
    auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
    for (DrawingFacts* f : {&fa, &fb}) {
      f->readable = true;
      f->version = "AC1032";
    }
    fa.name = "anna/drawing.dwg";
    fb.name = "ben/drawing.dwg";
    fa.fingerprintGuid = "{A}";
    fb.fingerprintGuid = chance(20) ? "{A}" : "{B}";
    fa.versionGuid = "{V}";
    fb.versionGuid = chance(30) ? "{V}" : "{W}";
    const std::int64_t at = 1760000000123;
    fa.created = Instant{at, true};
    fb.created = Instant{chance(20) ? at : chance(30) ? at + 400 : at + 3600000, true};
    fa.author = "anna";
    fb.author = chance(20) ? "Anna" : "ben";
    fa.editingMs = 3600000;
    fb.editingMs = chance(15) ? 3600000 : 5400000;
    ctx.drawings = 3 + random() % 30;
    ctx.pairWeight = 4.0;
    ctx.typedAlone = chance(50) ? 1.0 : 0.25;
    ctx.ownNumbers = ctx.typedAlone >= 1.0 && chance(50);
    ctx.nameDrawings = {{"anna", chance(50) ? 2 : 5}, {"ben", 1}};
    // Shared features, then each one's own; keys in order as featuresOf gives them.
    std::uint64_t key = 1;
    auto add = [&](std::vector<Feature>& g, std::vector<float>& w, FeatureKind kind, bool typed) {
      const std::uint64_t k = (static_cast<std::uint64_t>(kind) << 62) | (typed ? std::uint64_t{1} << 61 : 0) | key;
      g.push_back({k, 1});
      w.push_back(4.0f);
    };
    const int shared = static_cast<int>(random() % 20), own = 1 + static_cast<int>(random() % 15);
    for (int k = 0; k < shared; ++k, ++key) {
      const FeatureKind kind = chance(60) ? FeatureKind::kShape : FeatureKind::kPlace;
      const bool typed = chance(70);
      add(ga, wa, kind, typed);
      add(gb, wb, kind, typed);
    }
    for (int k = 0; k < own; ++k, ++key) add(ga, wa, FeatureKind::kShape, chance(50));
    for (int k = 0; k < own + 3; ++k, ++key) add(gb, wb, FeatureKind::kShape, chance(50));
    auto sortBoth = [](std::vector<Feature>& g, std::vector<float>& w) {
      std::vector<std::size_t> order(g.size());
      for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
      std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) { return g[x].key < g[y].key; });
      std::vector<Feature> g2;
      std::vector<float> w2;
      for (const std::size_t k : order) g2.push_back(g[k]), w2.push_back(w[k]);
      g = g2;
      w = w2;
    };
    sortBoth(ga, wa);
    sortBoth(gb, wb);
    ca = choicesOf(ga);
    cb = choicesOf(gb);
    if (chance(30))
      for (std::uint64_t k = 0; k < 8; ++k) {
        handles.push_back({(static_cast<std::uint64_t>(FeatureKind::kHandle) << 62) | k, 1});
        handleWeights.push_back(4.0f);
      }
  }

  PairSide side(const DrawingFacts& f, const std::vector<Feature>& g, const std::vector<float>& w) const {
    PairSide s;
    s.facts = &f;
    s.geometry = g;
    s.geometryWeight = w;
    s.freeChoices = &f == &fa ? ca : cb;
    s.choicesMade = static_cast<int>(s.freeChoices.size());
    s.handles = handles;
    s.handleWeight = handleWeights;
    s.handleTotal = 4.0 * static_cast<double>(handles.size()) + 8.0;
    for (std::size_t k = 0; k < g.size(); ++k) {
      (featureKind(g[k].key) == FeatureKind::kPlace ? s.placeTotal : s.geometryTotal) += w[k];
      if (featureKind(g[k].key) != FeatureKind::kPlace) ++s.distinctive;
    }
    return s;
  }
};

// Whether one of a finding's reasons starts so.
bool saysFirst(const PairFinding& f, std::string_view start) {
  return std::any_of(f.reasons.begin(), f.reasons.end(), [&](const std::string& r) { return r.starts_with(start); });
}

// Two drawings of a class as a test lays out their features, each of one
// weight and kept in key order as a drawing keeps them: shared, or one
// drawing's own; a third drawing holds the given shares by chance.
struct LaidOutPair {
  DrawingFacts fa, fb;
  std::vector<Feature> ga, gb;
  std::vector<float> wa, wb;
  std::uint64_t key = 1;
  float weight = 1.0f;
  double heldByOthers = 0, placesHeldByOthers = 0;
  std::vector<FreeChoice> ca, cb;
  ClassContext ctx;

  LaidOutPair(const char* a, const char* b, int drawings, float featureWeight, double typedAlone) {
    fa.readable = fb.readable = true;
    fa.name = a;
    fb.name = b;
    weight = featureWeight;
    ctx.drawings = static_cast<std::size_t>(drawings);
    ctx.pairWeight = featureWeight;
    ctx.typedAlone = typedAlone;
  }

  // `shared` features in both, then `onlyA` and `onlyB` of each's own.
  LaidOutPair& add(int shared, int onlyA, int onlyB, FeatureKind kind = FeatureKind::kShape, bool typed = true) {
    for (int k = 0; k < shared + onlyA + onlyB; ++k, ++key) {
      if (k < shared + onlyA) put(ga, wa, kind, typed);
      if (k < shared || k >= shared + onlyA) put(gb, wb, kind, typed);
    }
    return *this;
  }

  PairFinding judge(const std::optional<Laid>& laid) {
    ca = choicesOf(ga);
    cb = choicesOf(gb);
    return judgePair(side(fa, ga, wa), side(fb, gb, wb), ctx, laid);
  }

 private:
  void put(std::vector<Feature>& g, std::vector<float>& w, FeatureKind kind, bool typed) {
    const Feature f{(static_cast<std::uint64_t>(kind) << 62) | (typed ? std::uint64_t{1} << 61 : 0) | key, 1};
    const auto at =
        std::lower_bound(g.begin(), g.end(), f.key, [](const Feature& x, std::uint64_t k) { return x.key < k; });
    w.insert(w.begin() + (at - g.begin()), weight);
    g.insert(at, f);
  }

  PairSide side(const DrawingFacts& facts, const std::vector<Feature>& g, const std::vector<float>& w) const {
    PairSide s;
    s.facts = &facts;
    s.geometry = g;
    s.geometryWeight = w;
    s.freeChoices = &facts == &fa ? ca : cb;
    s.choicesMade = static_cast<int>(s.freeChoices.size());
    for (const float x : w) s.geometryTotal += x;
    s.distinctive = static_cast<int>(g.size());
    s.heldByOthers = heldByOthers * s.geometryTotal;
    s.placesHeldByOthers = placesHeldByOthers;
    return s;
  }
};

TEST(Signals, ScoreWordsAndVerdictAgreeOnEveryPair) {
  std::set<std::string_view> counted;
  for (unsigned seed = 1; seed <= 400; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937_64 random(seed);
    const DrawnPair pair(random);
    const PairSide a = pair.side(pair.fa, pair.ga, pair.wa), b = pair.side(pair.fb, pair.gb, pair.wb);
    // Some pairs were laid onto one another, whole or apart, with or without
    // pieces placed freely among what lies alike.
    std::optional<Laid> laid;
    if (random() % 3 == 0) {
      const int tried = 1 + static_cast<int>(random() % 20);
      const int mapped = static_cast<int>(random() % static_cast<unsigned>(tried + 1));
      laid = Laid{mapped, tried, static_cast<int>(random() % static_cast<unsigned>(mapped + 1)), random() % 2 == 0};
      laid->held = mapped + static_cast<int>(random() % static_cast<unsigned>(tried - mapped + 1));
      laid->alongside = static_cast<int>(random() % 12);
    }
    const PairMeasure m = measurePair(a, b, pair.ctx, laid);
    const PairFinding f = judgePair(a, b, pair.ctx, laid);
    double doubt = 1.0;
    for (const Signal& s : signals()) {
      const double strength = s.strength(m);
      ASSERT_GE(strength, 0.0) << s.name;
      ASSERT_LE(strength, 1.0) << s.name;
      doubt *= 1.0 - strength;
      std::vector<std::string> words;
      s.reasons(m, Told{f.verdict, f.score, {}}, words);
      // A signal that counts is told: in its own words, or within the
      // shared work's.
      if (strength > 0 && s.name != "work drawn freely") {
        EXPECT_FALSE(words.empty()) << s.name << " counts " << strength << " but says nothing";
      }
      if (strength > 0) counted.insert(s.name);
      for (const auto& w : words)
        EXPECT_NE(std::find(f.reasons.begin(), f.reasons.end(), w), f.reasons.end()) << w;
    }
    EXPECT_EQ(f.score, static_cast<int>(std::floor(100.0 * (1.0 - doubt) + 1e-9)));
    // A copy is not explained away; a pair explained away says why.
    for (const auto& r : f.reasons) {
      const bool explaining = r.find("tells nothing") != std::string::npos ||
                              r.find("which is not evidence") != std::string::npos ||
                              r.find("class that starts together") != std::string::npos;
      if (isCopy(f.verdict) && r.find("which is not evidence") == std::string::npos) {
        EXPECT_FALSE(explaining) << r;
      }
    }
    if (f.verdict == Verdict::kNone) {
      EXPECT_LT(f.score, 20);
    }
  }
  // The seeds reach every signal.
  EXPECT_EQ(counted.size(), signals().size());
}

// Two drawings that share only typed work, in a class where that counts
// fully: laid onto one another, a copy lies as a whole and is judged as
// before; two students who drew the same numbers their own way (the same
// outline, other holes) lie apart, and their typed work counts as in a class
// of variants, which the words say. Work drawn freely shared beside it is a
// copy's trace however the rest lies.
TEST(Signals, TypedWorkThatLiesApartIsTwoDrawingsOfTheSameNumbers) {
  auto judge = [&](int freelyShared, std::optional<Laid> laid) {
    LaidOutPair pair("yara/drawing.dxf", "zoe/drawing.dxf", 25, 4.0f, 1.0);
    pair.add(11, 0, 0).add(freelyShared, 0, 0, FeatureKind::kShape, false).add(0, 4, 7);
    return pair.judge(laid);
  };
  auto told = [](const PairFinding& f, int mapped = 10) {
    for (const auto& r : f.reasons)
      if (r.find("only " + std::to_string(mapped) + " of the 21 lines") != std::string::npos) return true;
    return false;
  };
  const PairFinding unlaid = judge(0, std::nullopt);
  ASSERT_TRUE(isCopy(unlaid.verdict)) << unlaid.score;
  const PairFinding whole = judge(0, Laid{19, 21});
  EXPECT_EQ(whole.score, unlaid.score);
  EXPECT_FALSE(told(whole));
  const PairFinding apart = judge(0, Laid{10, 21});
  EXPECT_LT(apart.score, unlaid.score);
  EXPECT_FALSE(isCopy(apart.verdict)) << apart.score;
  EXPECT_TRUE(told(apart));
  // Just over half of it alike is still two students' own work: a
  // symmetric outline of the same numbers lies on itself turned, with the
  // holes of one among the other's.
  const PairFinding overHalf = judge(0, Laid{11, 21});
  EXPECT_FALSE(isCopy(overHalf.verdict)) << overHalf.score;
  EXPECT_TRUE(told(overHalf, 11));
  const PairFinding freely = judge(2, Laid{10, 21});
  EXPECT_EQ(freely.score, judge(2, std::nullopt).score);
  EXPECT_FALSE(told(freely));
}

// Where every student chose numbers of their own, a part pasted that took
// nothing drawn freely shares typed work alone, too little of either drawing
// to tell by its share; laid onto its source it lies there whole, which two
// students whose numbers are now and then alike do not, and it is a copy.
TEST(Signals, APartOfNumbersOfOnesOwnLaidWholeIsPasted) {
  auto judge = [&](bool ownNumbers, std::optional<Laid> laid) {
    LaidOutPair pair("ines/drawing.dxf", "paul/drawing.dxf", 26, 4.0f, 1.0);
    pair.ctx.ownNumbers = ownNumbers;
    pair.add(6, 12, 14);
    return pair.judge(laid);
  };
  auto told = [](const PairFinding& f) {
    return std::any_of(f.reasons.begin(), f.reasons.end(),
                       [](const std::string& r) { return r.find("chose numbers of their own") != std::string::npos; });
  };
  const PairFinding unlaid = judge(true, std::nullopt);
  EXPECT_FALSE(isCopy(unlaid.verdict)) << unlaid.score;
  const PairFinding whole = judge(true, Laid{12, 16});
  EXPECT_TRUE(isCopy(whole.verdict)) << whole.score;
  EXPECT_TRUE(told(whole));
  // A few pieces alike, or numbers the class shares as variants: no paste.
  for (const PairFinding& f : {judge(true, Laid{6, 10}), judge(true, Laid{9, 16}), judge(false, Laid{12, 16})}) {
    EXPECT_FALSE(isCopy(f.verdict)) << f.score;
    EXPECT_FALSE(told(f));
  }
}

// Part of a drawing pasted among the copier's own, in a class whose numbers
// vary: by its shapes alone it shares a little typed work, which two students
// given the same numbers share too. Laid onto its source it lies there whole
// with a line drawn freely among it, and is a copy, said so with who was laid
// onto whom; whole without any such line, or with one but not whole, it is
// judged as unlaid.
TEST(Signals, PartLaidWholeWithWorkDrawnFreelyIsAPaste) {
  LaidOutPair pair("georg/drawing.dxf", "tina/drawing.dxf", 26, 1.0f, 0.25);
  pair.heldByOthers = 0.5;
  pair.add(5, 8, 3);
  auto judge = [&](std::optional<Laid> laid) { return pair.judge(laid); };
  auto told = [](const PairFinding& f) {
    for (const auto& r : f.reasons)
      if (r.starts_with("Laid onto georg/drawing.dxf, 8 of the 13 lines, arcs, circles and texts of tina/drawing.dxf") &&
          r.find("1 of them drawn or placed freely") != std::string::npos)
        return true;
    return false;
  };
  const PairFinding unlaid = judge(std::nullopt);
  ASSERT_FALSE(isCopy(unlaid.verdict)) << unlaid.score;
  const PairFinding pasted = judge(Laid{8, 13, 1, true});
  EXPECT_TRUE(isCopy(pasted.verdict)) << pasted.score;
  EXPECT_TRUE(told(pasted));
  for (const Laid& laid : {Laid{8, 13, 0, true}, Laid{5, 13, 1, true}, Laid{3, 13, 1, false}}) {
    const PairFinding f = judge(laid);
    EXPECT_EQ(f.score, unlaid.score) << laid.mapped << " of " << laid.tried << ", " << laid.freely << " freely";
    EXPECT_FALSE(told(f));
  }
}

// A part pasted holds only what the other drawing could hold: laid onto its
// source, most of that lies there, a line drawn freely among it, and it is a
// paste, though most of its drawing is not in the other; the words say how
// much the other holds at all.
TEST(Signals, PartLaidWholeAmongWhatTheOtherHoldsIsAPaste) {
  LaidOutPair pair("georg/drawing.dxf", "tina/drawing.dxf", 26, 1.0f, 0.25);
  pair.heldByOthers = 0.5;
  pair.add(5, 8, 3);
  const PairFinding unlaid = pair.judge(std::nullopt);
  Laid part{5, 13, 1, true};
  part.held = 7;
  const PairFinding pasted = pair.judge(part);
  EXPECT_TRUE(isCopy(pasted.verdict)) << pasted.score;
  EXPECT_TRUE(saysFirst(pasted,
                        "Laid onto georg/drawing.dxf, 5 of the 13 lines, arcs, circles and texts of tina/drawing.dxf "
                        "that most of the class does not draw lie on the same ones (georg/drawing.dxf holds the like "
                        "of 7 of them), 1 of them drawn or placed freely"));
  part.held = 9;  // what it could hold lies apart
  EXPECT_EQ(pair.judge(part).score, unlaid.score);
}

// Where the whole class typed one set of numbers, a part pasted shares no
// rare shape but the line a student drew to a clicked point. Laid onto its
// source with the typed work the class draws alike around it, that line lies
// on its own: a paste. The line alike with too little beside it to tell where
// it lies, or with the rest of what the other could hold lying apart, is
// judged as unlaid.
TEST(Signals, OneLineDrawnFreelyLaidInItsPlaceAmongTypedWorkIsAPaste) {
  LaidOutPair pair("ulla/drawing.dxf", "zoe/drawing.dxf", 25, 1.0f, 1.0);
  pair.add(1, 2, 5, FeatureKind::kShape, false);
  const PairFinding unlaid = pair.judge(std::nullopt);
  ASSERT_FALSE(isCopy(unlaid.verdict)) << unlaid.score;
  Laid line{1, 7, 1};
  line.held = 1;
  line.alongside = 8;
  const PairFinding pasted = pair.judge(line);
  EXPECT_TRUE(isCopy(pasted.verdict)) << pasted.score;
  EXPECT_TRUE(saysFirst(pasted,
                        "Laid onto zoe/drawing.dxf, 1 of the 7 lines, arcs, circles and texts of ulla/drawing.dxf "
                        "that most of the class does not draw lies on the same one (zoe/drawing.dxf holds the like of "
                        "1 of them), 1 of them drawn or placed freely, to no round measure (a line to a clicked point, "
                        "a note put where the student clicked), in its place beside 8 pieces most of the class draws "
                        "too: a part of one drawing put into the other"));
  line.alongside = 2;
  EXPECT_EQ(pair.judge(line).score, unlaid.score);
  line.alongside = 8;
  line.held = 3;
  EXPECT_EQ(pair.judge(line).score, unlaid.score);
}

// Weights are kept in single precision: one feature only two drawings have
// counts as one, whatever the size of the class, and less does not.
TEST(Signals, OneFeatureOfTwoDrawingsWeighsOneInAClassOfAnySize) {
  for (std::size_t n = 3; n <= 500; ++n) {
    const double pairWeight = rarityWeight(2, n);
    EXPECT_TRUE(weighsAtLeast(static_cast<float>(pairWeight), 1.0, pairWeight)) << n;
    EXPECT_TRUE(weighsAtLeast(2.0 * static_cast<float>(pairWeight), 2.0, pairWeight)) << n;
    EXPECT_FALSE(weighsAtLeast(0.999 * pairWeight, 1.0, pairWeight)) << n;
  }
  EXPECT_FALSE(weighsAtLeast(1.0, 1.0, 0.0));
}

// One drawing of typed numbers taken whole into another, its note with it:
// by its shapes alone it is typed work that two students of one variant
// share, but the note sits by the same neighbours in both, placed freely,
// and the rest lies whole on the other drawing: a copy, said so. The rest
// lying apart, or whole without the note, is judged as unlaid.
TEST(Signals, WorkLaidWholeWithANotePlacedFreelyIsACopy) {
  auto judge = [&](bool note, std::optional<Laid> laid) {
    LaidOutPair pair("ines/drawing.dxf", "rosa/drawing.dxf", 26, 1.0f, 0.25);
    pair.heldByOthers = pair.placesHeldByOthers = 0.5;
    pair.add(4, 0, 0).add(note ? 1 : 0, 0, 0, FeatureKind::kPlace, false).add(0, 12, 9);
    return pair.judge(laid);
  };
  auto told = [](const PairFinding& f) {
    for (const auto& r : f.reasons)
      if (r.starts_with("Laid onto rosa/drawing.dxf, 11 of the 13 lines, arcs, circles and texts of ines/drawing.dxf") &&
          r.find("1 part or pair of neighbouring parts placed freely lies alike in both") != std::string::npos)
        return true;
    return false;
  };
  const PairFinding unlaid = judge(true, std::nullopt);
  ASSERT_FALSE(isCopy(unlaid.verdict)) << unlaid.score;
  const PairFinding taken = judge(true, Laid{11, 13});
  EXPECT_TRUE(isCopy(taken.verdict)) << taken.score;
  EXPECT_TRUE(told(taken));
  // How it was laid is told in the same sentence.
  const PairFinding turned = judge(true, Laid{11, 13, 0, false, "turned by 90° and moved"});
  EXPECT_TRUE(saysFirst(turned, "Laid onto rosa/drawing.dxf, turned by 90° and moved, 11 of the 13 lines"));
  const PairFinding apart = judge(true, Laid{6, 13});
  EXPECT_FALSE(isCopy(apart.verdict)) << apart.score;
  EXPECT_FALSE(told(apart));
  const PairFinding noNote = judge(false, Laid{11, 13});
  EXPECT_FALSE(isCopy(noNote.verdict)) << noNote.score;
  EXPECT_EQ(noNote.score, judge(false, std::nullopt).score);
}

}  // namespace
}  // namespace veldra::evidence
