// Drawings as strokes: each kind's shape, polylines' bulges as true arcs,
// what is left undrawn counted, fitting into a box, shared parts found after
// a move, and real drawings from other programs drawn with something in them.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <random>

#include "sketch/overlay.h"
#include "sketch/raster.h"
#include "sketch/sketch.h"
#include "veldra/dwg/evidence.h"

namespace veldra::sketch {
namespace {

constexpr double kPi = std::numbers::pi;

Shape shape(std::string_view kind, const std::vector<double>& numbers, std::string_view text = {}, bool paper = false) {
  return Shape{kind, paper, numbers, text};
}

double distance(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

TEST(Sketch, DrawsEachKindWhereItIs) {
  const std::vector<double> line{1, 2, 0, 11, 2, 0}, circle{5, 5, 0, 2}, arc{0, 0, 0, 3, 1.5 * kPi, 0.5 * kPi},
      ellipse{10, 0, 0, 4, 0, 0, 0.5, 0, 2 * kPi}, solid{0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, text{3, 4, 2.5},
      insert{7, 7, 0, 1, 1, 1, 0};
  const std::vector<Shape> shapes{shape("AcDbLine", line),         shape("AcDbCircle", circle),
                                  shape("AcDbArc", arc),           shape("AcDbEllipse", ellipse),
                                  shape("AcDbSolid", solid),       shape("AcDbText", text, "ROOM_1"),
                                  shape("AcDbBlockReference", insert, "DOOR")};
  const Sketch s = sketchOf(shapes);
  EXPECT_EQ(s.drawn, 7u);
  EXPECT_EQ(s.notDrawn, 0u);
  ASSERT_EQ(s.strokes.size(), 6u);
  EXPECT_EQ(s.strokes[0].points, (std::vector<Point>{{1, 2}, {11, 2}}));
  for (const auto& p : s.strokes[1].points) EXPECT_NEAR(distance(p, {5, 5}), 2, 1e-9);
  // An arc from 270 to 90 degrees goes counterclockwise through 0: the right half.
  for (const auto& p : s.strokes[2].points) {
    EXPECT_NEAR(distance(p, {0, 0}), 3, 1e-9);
    EXPECT_GE(p.x, -1e-9);
  }
  // The ellipse keeps its axes: 4 along x, 2 along y.
  double maxX = 0, maxY = 0;
  for (const auto& p : s.strokes[3].points) {
    maxX = std::max(maxX, p.x - 10);
    maxY = std::max(maxY, p.y);
  }
  EXPECT_NEAR(maxX, 4, 1e-9);
  EXPECT_NEAR(maxY, 2, 0.01);
  // A solid's corners go round as 1 2 4 3.
  EXPECT_EQ(s.strokes[4].points, (std::vector<Point>{{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}));
  ASSERT_EQ(s.labels.size(), 1u);
  EXPECT_EQ(s.labels[0].text, "ROOM_1");
  EXPECT_EQ(s.labels[0].at, (Point{3, 4}));
  EXPECT_EQ(s.strokes[5].entity, 6u);  // the block reference's marker, at its insertion
  for (const auto& p : s.strokes[5].points) EXPECT_LT(distance(p, {7, 7}), 1);
}

TEST(Sketch, CountsWhatItCannotDrawAndDrawsPaperSpaceOnlyWhenModelSpaceIsEmpty) {
  const std::vector<double> line{0, 0, 0, 1, 1, 0}, broken{0, 0, 0, NAN, 1, 0}, none{};
  Sketch s = sketchOf(std::vector<Shape>{shape("AcDbLine", line), shape("AcDbLine", broken),
                                         shape("AcDbHatch", none), shape("AcDbLine", line, {}, true)});
  EXPECT_EQ(s.drawn, 1u);
  EXPECT_EQ(s.notDrawn, 2u);  // the paper-space line is not of the space drawn
  EXPECT_FALSE(s.paperSpace);
  s = sketchOf(std::vector<Shape>{shape("AcDbLine", line, {}, true), shape("AcDbProxyEntity", none, {}, true)});
  EXPECT_TRUE(s.paperSpace);
  EXPECT_EQ(s.drawn, 1u);
  EXPECT_EQ(s.notDrawn, 1u);
  EXPECT_TRUE(sketchOf({}).empty());
}

// A bulged span is the arc through both vertices whose height over the chord
// is bulge times half the chord, on the left for a positive bulge.
TEST(Sketch, PolylineBulgesBecomeTheirArcs) {
  std::mt19937 random(2403);
  std::uniform_real_distribution<double> coordinate(-500, 500), bulgeOf(-3, 3);
  for (int round = 0; round < 200; ++round) {
    const Point p{coordinate(random), coordinate(random)}, q{coordinate(random), coordinate(random)};
    const double bulge = bulgeOf(random);
    if (std::abs(bulge) < 1e-3) continue;
    const std::vector<double> numbers{p.x, p.y, bulge, q.x, q.y, 0};
    const Sketch s = sketchOf(std::vector<Shape>{shape("AcDbPolyline", numbers)});
    ASSERT_EQ(s.strokes.size(), 1u);
    const auto& points = s.strokes[0].points;
    ASSERT_GT(points.size(), 2u);
    EXPECT_EQ(points.front(), p);
    EXPECT_EQ(points.back(), q);
    const double chord = distance(p, q);
    // Signed distance from the chord, left positive.
    double highest = 0;
    for (const auto& point : points) {
      const double side = ((q.x - p.x) * (point.y - p.y) - (q.y - p.y) * (point.x - p.x)) / chord;
      if (std::abs(side) > std::abs(highest)) highest = side;
    }
    const double tolerance = chord * 0.02 * std::max(1.0, std::abs(bulge));
    EXPECT_NEAR(highest, -bulge * chord / 2, tolerance) << "bulge " << bulge;
  }
}

TEST(Sketch, FitKeepsProportionsAndCentresTheDrawing) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> value(-1e5, 1e5), size(1, 1e4);
  for (int round = 0; round < 100; ++round) {
    Box box;
    const Point a{value(random), value(random)};
    box.add(a);
    box.add({a.x + size(random), a.y + size(random)});
    const double w = 50 + size(random) / 10, h = 50 + size(random) / 10;
    const Fit fit = Fit::of(box, w, h, 8);
    const Point lo = fit({box.minX, box.minY}), hi = fit({box.maxX, box.maxY});
    EXPECT_GE(lo.x, 8 - 1e-6);
    EXPECT_LE(hi.x, w - 8 + 1e-6);
    EXPECT_LE(lo.y, h - 8 + 1e-6);  // y turned downwards
    EXPECT_GE(hi.y, 8 - 1e-6);
    EXPECT_NEAR((lo.x + hi.x) / 2, w / 2, 1e-6);
    EXPECT_NEAR((lo.y + hi.y) / 2, h / 2, 1e-6);
    // One side fills its room.
    const bool wide = std::abs(hi.x - lo.x - (w - 16)) < 1e-6, tall = std::abs(lo.y - hi.y - (h - 16)) < 1e-6;
    EXPECT_TRUE(wide || tall);
  }
}

// A copy moved, turned and scaled, with parts taken away and added, laid
// back over its source by the map: the parts both have are found, one to one.
TEST(Overlay, FindsTheSharedPartsOfACopyMappedBack) {
  for (const unsigned seed : {1u, 2u, 3u, 4u, 5u}) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> value(0, 1000);
    std::vector<std::vector<double>> lines;
    for (int k = 0; k < 60; ++k) lines.push_back({value(random), value(random), 0, value(random), value(random), 0});
    std::vector<Shape> source;
    for (const auto& l : lines) source.push_back(shape("AcDbLine", l));
    const Sketch a = sketchOf(source);
    // The copy: lines 0..9 dropped, 10 own ones added, the rest shuffled and some drawn backwards.
    Sketch b;
    for (std::size_t k = 10; k < a.strokes.size(); ++k) {
      Stroke s = a.strokes[k];
      if (random() % 2) std::reverse(s.points.begin(), s.points.end());
      b.strokes.push_back(s);
    }
    for (int k = 0; k < 10; ++k) b.strokes.push_back({0, {{value(random), value(random)}, {value(random), value(random)}}});
    std::shuffle(b.strokes.begin(), b.strokes.end(), random);
    const Similarity there = Similarity::of(value(random), -value(random), value(random), 0.5 + value(random) / 1000,
                                            seed % 2 == 0);
    const Sketch moved = mapped(b, there);
    EXPECT_LT(sharedParts(a, moved).shared(), 5u) << "an unmapped copy shares little in place";
    // The map back, as the judgement would give it.
    const double det = there.a * there.d - there.b * there.c;
    Similarity back;
    back.a = there.d / det;
    back.b = -there.b / det;
    back.c = -there.c / det;
    back.d = there.a / det;
    back.tx = -(back.a * there.tx + back.b * there.ty);
    back.ty = -(back.c * there.tx + back.d * there.ty);
    const SharedParts shared = sharedParts(a, mapped(moved, back));
    EXPECT_EQ(shared.shared(), 50u) << seed;
    for (std::size_t k = 0; k < 10; ++k) EXPECT_FALSE(shared.strokesA[k]);
    EXPECT_EQ(std::count(shared.strokesB.begin(), shared.strokesB.end(), true), 50);
  }
}

TEST(Raster, LinesReachTheirEndsAndFarOnesCostNothing) {
  Canvas c(40, 30);
  c.line({2, 3}, {37, 25}, 1);
  EXPECT_EQ(c.at(2, 3), 1);
  EXPECT_EQ(c.at(37, 25), 1);
  EXPECT_GE(c.ink(), 36u);
  Canvas far(40, 30);
  far.line({-1e12, 15}, {1e12, 15}, 2);  // across the canvas from far away
  EXPECT_EQ(far.ink(), 40u);
  far.line({-1e12, -1e12}, {-1e11, 1e12}, 2);  // wholly outside
  EXPECT_EQ(far.ink(), 40u);
}

// A block reference draws its block's own entities, scaled, turned and
// moved as it says, blocks within blocks too; a block that holds itself
// or is not given is marked where it is inserted.
TEST(Sketch, BlockReferencesDrawTheirBlocks) {
  const std::vector<double> line{0, 0, 0, 1, 0, 0}, circle{0, 0, 0, 0.5}, text{0, 1, 0.25};
  const std::vector<Shape> bolt{shape("AcDbLine", line), shape("AcDbCircle", circle), shape("AcDbText", text, "M8")};
  const std::vector<double> left{0, 0, 0, 1, 1, 1, 0}, right{5, 0, 0, 1, 1, 1, 0}, self{3, 3, 0, 1, 1, 1, 0};
  const std::vector<Shape> pair{shape("AcDbBlockReference", left, "BOLT"), shape("AcDbBlockReference", right, "BOLT")};
  const std::vector<Shape> loop{shape("AcDbLine", line), shape("AcDbBlockReference", self, "LOOP")};
  const std::vector<Block> blocks{{"BOLT", bolt}, {"PAIR", pair}, {"LOOP", loop}};

  const std::vector<double> turned{10, 20, 0, 2, 2, 1, kPi / 2}, mirrored{-10, 0, 0, -1, 1, 1, 0},
      twice{0, -10, 0, 1, 1, 1, 0}, looped{0, 30, 0, 1, 1, 1, 0}, unknown{40, 40, 0, 1, 1, 1, 0};
  const std::vector<Shape> shapes{shape("AcDbBlockReference", turned, "BOLT"),
                                  shape("AcDbBlockReference", mirrored, "BOLT"),
                                  shape("AcDbBlockReference", twice, "PAIR"),
                                  shape("AcDbBlockReference", looped, "LOOP"),
                                  shape("AcDbBlockReference", unknown, "NOSUCH")};
  const Sketch s = sketchOf(shapes, blocks);
  EXPECT_EQ(s.drawn, 5u);
  auto strokesOf = [&](std::uint32_t entity) {
    std::vector<const Stroke*> out;
    for (const auto& st : s.strokes)
      if (st.entity == entity) out.push_back(&st);
    return out;
  };
  // Scaled by 2 and turned a quarter: the line runs up from the insertion,
  // the circle's radius is 1, the words sit left of it at twice the height.
  const auto first = strokesOf(0);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_NEAR(first[0]->points[0].x, 10, 1e-9);
  EXPECT_NEAR(first[0]->points[1].x, 10, 1e-9);
  EXPECT_NEAR(first[0]->points[1].y, 22, 1e-9);
  for (const auto& p : first[1]->points) EXPECT_NEAR(distance(p, {10, 20}), 1, 1e-9);
  ASSERT_GE(s.labels.size(), 1u);
  EXPECT_EQ(s.labels[0].entity, 0u);
  EXPECT_NEAR(s.labels[0].at.x, 8, 1e-9);
  EXPECT_NEAR(s.labels[0].at.y, 20, 1e-9);
  EXPECT_NEAR(s.labels[0].height, 0.5, 1e-9);
  // Mirrored: the line runs to the left.
  const auto second = strokesOf(1);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_NEAR(second[0]->points[1].x, -11, 1e-9);
  // A block of two bolts: both drawn, five apart, as the one reference.
  EXPECT_EQ(strokesOf(2).size(), 4u);
  // A block that holds itself: its line, and a mark for the reference within.
  EXPECT_EQ(strokesOf(3).size(), 2u);
  // A block not given: a mark at its insertion.
  const auto last = strokesOf(4);
  ASSERT_EQ(last.size(), 1u);
  for (const auto& p : last[0]->points) EXPECT_LT(distance(p, {40, 40}), 2);
}

}  // namespace
}  // namespace veldra::sketch
