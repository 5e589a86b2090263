// Pairs of drawings laid out feature by feature: what shared typed work,
// work drawn freely and a laying onto one another make of a pair.

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
