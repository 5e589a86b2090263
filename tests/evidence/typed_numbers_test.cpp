// Classes whose numbers vary: students draw one of a few variants of the
// exercise, each from its own numbers. Two students given the same numbers
// draw the same shapes and places without copying; what tells a copy is
// what was drawn freely beside them (a construction line, where a note was
// put), and the words say which it was.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "evidence/judging/judge.h"

namespace veldra::evidence {
namespace {

struct Variant {
  double w, h, r, bolt;
  int holes;
};

struct Placed {
  double dx = 0, dy = 0, turn = 0;
  std::pair<double, double> at(double x, double y) const {
    return {dx + x * std::cos(turn) - y * std::sin(turn), dy + x * std::sin(turn) + y * std::cos(turn)};
  }
};

EntityFacts lineAt(const Placed& p, double x1, double y1, double x2, double y2) {
  const auto [a, b] = p.at(x1, y1);
  const auto [c, d] = p.at(x2, y2);
  return {"AcDbLine", 0, false, false, "0", {a, b, 0, c, d, 0}, std::nullopt};
}
EntityFacts circleAt(const Placed& p, double x, double y, double r) {
  const auto [a, b] = p.at(x, y);
  return {"AcDbCircle", 0, false, false, "0", {a, b, 0, r}, std::nullopt};
}
EntityFacts textAt(const Placed& p, double x, double y, std::string words) {
  const auto [a, b] = p.at(x, y);
  return {"AcDbText", 0, false, false, "0", {a, b, 2.5}, std::move(words)};
}

// A student's own drawing of a variant: its outline, hole and bolt circle at
// the typed numbers, the note where they clicked, a construction line or
// two of their own, all in their own order from their own origin.
std::vector<EntityFacts> drawVariant(const Variant& v, std::mt19937_64& random, int strays) {
  auto uniform = [&](double lo, double hi) { return lo + (hi - lo) * static_cast<double>(random() % 1000003) / 1000003; };
  const Placed p{uniform(0, 300), uniform(0, 200), 0};
  std::vector<EntityFacts> out{lineAt(p, 0, 0, v.w, 0), lineAt(p, v.w, 0, v.w, v.h), lineAt(p, v.w, v.h, 0, v.h),
                               lineAt(p, 0, v.h, 0, 0), circleAt(p, v.w / 2, v.h / 2, v.r),
                               circleAt(p, v.w / 2, v.h / 2, v.bolt)};
  for (int k = 0; k < v.holes; ++k) {
    const double a = 2 * std::numbers::pi * k / v.holes;
    out.push_back(circleAt(p, v.w / 2 + v.bolt * std::cos(a), v.h / 2 + v.bolt * std::sin(a), 2.5));
  }
  out.push_back(textAt(p, uniform(-5, 5), -uniform(6, 14),
                       std::to_string(static_cast<int>(v.w)) + " x " + std::to_string(static_cast<int>(v.h))));
  for (int k = 0; k < strays; ++k)
    out.push_back(lineAt(p, uniform(-20, v.w), uniform(-20, v.h), uniform(0, v.w + 20), uniform(0, v.h + 20)));
  std::shuffle(out.begin(), out.end(), random);
  return out;
}

// A paste of `source`, turned and moved, in its own order.
std::vector<EntityFacts> paste(const std::vector<EntityFacts>& source, std::mt19937_64& random) {
  const Placed p{static_cast<double>(random() % 40000) / 97, static_cast<double>(random() % 40000) / 89,
                 static_cast<double>(random() % 360) * std::numbers::pi / 180};
  std::vector<EntityFacts> out;
  for (EntityFacts e : source) {
    const std::size_t points = e.kind == "AcDbLine" ? 2 : 1;
    for (std::size_t k = 0; k < points; ++k) {
      const auto [x, y] = p.at(e.numbers[3 * k], e.numbers[3 * k + 1]);
      e.numbers[3 * k] = x;
      e.numbers[3 * k + 1] = y;
    }
    out.push_back(std::move(e));
  }
  std::shuffle(out.begin(), out.end(), random);
  return out;
}

DrawingEvidence student(const std::string& name, std::vector<EntityFacts> entities, std::mt19937_64& random) {
  DrawingEvidence d;
  d.facts.path = "/class/" + name + "/drawing.dwg";
  d.facts.name = name + "/drawing.dwg";
  d.facts.readable = true;
  d.facts.version = "AC1032";
  d.facts.created = Instant{1760000000000 + static_cast<std::int64_t>(random() % 86400) * 1000, true};
  d.facts.author = d.facts.lastSavedBy = name;
  d.entities = std::move(entities);
  d.facts.entityCount = d.entities.size();
  return d;
}

TEST(TypedNumbers, SameNumbersAreNoCopyButWhatWasDrawnFreelyBesideThemIs) {
  const std::vector<Variant> variants{{80, 50, 10, 20, 4}, {90, 60, 12.5, 22, 6}, {100, 50, 8, 18, 6},
                                      {120, 70, 10, 25, 4}};
  for (unsigned seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937_64 random(seed);
    ClassInput input;
    input.project = "CAD1";
    // Three students per variant, each drawing it in their own way; the
    // first of variant 0 with no construction line of their own.
    for (int s = 0; s < 12; ++s) {
      const int strays = s == 0 ? 0 : 1 + static_cast<int>(random() % 2);
      input.drawings.push_back(
          student("s" + std::to_string(s), drawVariant(variants[static_cast<std::size_t>(s % 4)], random, strays), random));
    }
    // Pastes, turned and moved: of a drawing with construction lines, and of
    // the one whose only free work is where its note sits.
    input.drawings.push_back(student("copier1", paste(input.drawings[5].entities, random), random));
    input.drawings.push_back(student("copier2", paste(input.drawings[0].entities, random), random));
    const Findings f = judgeClass(input, {}, nullptr, RunControl{}).findings;
    auto pairOf = [&](std::size_t a, std::size_t b) -> const PairFinding* {
      for (const auto& p : f.pairs)
        if ((p.a == a && p.b == b) || (p.a == b && p.b == a)) return &p;
      return nullptr;
    };
    for (std::size_t a = 0; a < 12; ++a)
      for (std::size_t b = a + 1; b < 12; ++b) {
        const PairFinding* p = pairOf(a, b);
        EXPECT_TRUE(p == nullptr || !isCopy(p->verdict)) << a << " and " << b << " drew the same numbers";
        if (p != nullptr && a % 4 == b % 4 && !p->reasons.empty() && p->reasons[0].starts_with("They share work")) {
          EXPECT_NE(p->reasons[0].find("round measures"), std::string::npos) << p->reasons[0];
        }
      }
    for (const auto& [source, copier] : {std::pair<std::size_t, std::size_t>{5, 12}, {0, 13}}) {
      const PairFinding* p = pairOf(source, copier);
      ASSERT_NE(p, nullptr) << copier << " pasted " << source;
      EXPECT_TRUE(isCopy(p->verdict)) << copier << " pasted " << source << ": score " << p->score;
      ASSERT_FALSE(p->reasons.empty());
      EXPECT_NE(p->reasons[0].find("placed freely"), std::string::npos) << p->reasons[0];
    }
  }
}

}  // namespace
}  // namespace veldra::evidence
