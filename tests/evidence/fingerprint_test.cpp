#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <tuple>

#include "evidence/features/feature_codec.h"
#include "evidence/features/fingerprint.h"
#include "turned_sheet.h"

namespace veldra::evidence {
namespace {

EntityFacts line(double x1, double y1, double x2, double y2, std::uint64_t handle = 0x100, std::string layer = "0") {
  return {"AcDbLine", handle, true, false, std::move(layer), {x1, y1, 0, x2, y2, 0}, std::nullopt};
}
EntityFacts text(double x, double y, std::string words, std::uint64_t handle = 0x200) {
  return {"AcDbText", handle, true, false, "Text", {x, y, 3.5}, std::move(words)};
}

std::vector<std::uint64_t> keysOf(const DrawingFeatures& f, FeatureKind kind) {
  std::vector<std::uint64_t> keys;
  for (const auto& x : f.geometry)
    if (featureKind(x.key) == kind) keys.push_back(x.key);
  return keys;
}

// A part of a drawing: an outline, a slanted line and a note put by hand.
std::vector<EntityFacts> part(double dx, double dy) {
  return {line(dx + 0, dy + 0, dx + 120.5, dy + 0), line(dx + 120.5, dy + 0, dx + 120.5, dy + 60.25),
          line(dx + 10.125, dy + 5, dx + 47.3, dy + 33.333), text(dx + 1.37, dy - 19.83, "ALL DIMENSIONS IN MM")};
}

TEST(Fingerprints, SurviveWhatACopierChangesButNotTheDrawing) {
  const auto original = featuresOf(part(0, 0), Tolerance{});
  // Moved by an awkward vector, with new handles and layers.
  auto moved = part(1234.567, -89.01);
  for (auto& e : moved) {
    e.handle += 0x5000;
    e.layer = "renamed";
  }
  EXPECT_EQ(featuresOf(moved, Tolerance{}).geometry.size(), original.geometry.size());
  EXPECT_TRUE(std::equal(original.geometry.begin(), original.geometry.end(), featuresOf(moved, Tolerance{}).geometry.begin(),
                         [](const Feature& a, const Feature& b) { return a.key == b.key && a.count == b.count; }));
  // A line drawn the other way round, and noise far below the tolerance.
  auto reversed = part(0, 0);
  reversed[2] = line(47.3 + 1e-9, 33.333, 10.125, 5 - 1e-9);
  EXPECT_EQ(keysOf(featuresOf(reversed, Tolerance{}), FeatureKind::kShape), keysOf(original, FeatureKind::kShape));
  // The note's words in another case and spacing are the same words.
  auto respaced = part(0, 0);
  respaced[3].text = "  all dimensions   in mm ";
  EXPECT_EQ(keysOf(featuresOf(respaced, Tolerance{}), FeatureKind::kWords), keysOf(original, FeatureKind::kWords));

  // What does change the drawing changes its features.
  auto longer = part(0, 0);
  longer[2] = line(10.125, 5, 47.31, 33.333);
  EXPECT_NE(keysOf(featuresOf(longer, Tolerance{}), FeatureKind::kShape), keysOf(original, FeatureKind::kShape));
  auto reworded = part(0, 0);
  reworded[3].text = "Dimensions in millimetres";
  const auto rewordedFeatures = featuresOf(reworded, Tolerance{});
  EXPECT_NE(keysOf(rewordedFeatures, FeatureKind::kWords), keysOf(original, FeatureKind::kWords));
  // ... but a reworded note keeps its shape and its place among the others.
  EXPECT_EQ(keysOf(rewordedFeatures, FeatureKind::kShape), keysOf(original, FeatureKind::kShape));
  EXPECT_EQ(keysOf(rewordedFeatures, FeatureKind::kPlace), keysOf(original, FeatureKind::kPlace));
  // Another order of work changes nothing; another neighbour changes places.
  auto reordered = part(0, 0);
  std::swap(reordered[0], reordered[2]);
  const auto reorderedFeatures = featuresOf(reordered, Tolerance{});
  EXPECT_EQ(keysOf(reorderedFeatures, FeatureKind::kShape), keysOf(original, FeatureKind::kShape));
  EXPECT_EQ(keysOf(reorderedFeatures, FeatureKind::kPlace), keysOf(original, FeatureKind::kPlace));
  auto shifted = part(0, 0);
  shifted[2] = line(20.125, 5, 57.3, 33.333);
  EXPECT_NE(keysOf(featuresOf(shifted, Tolerance{}), FeatureKind::kPlace), keysOf(original, FeatureKind::kPlace));
}

// The part as a copier's ROTATE, MIRROR and SCALE leave it, about a point.
std::vector<EntityFacts> transformed(double degrees, bool mirror, double scale, double dx, double dy) {
  auto out = part(0, 0);
  const double a = degrees * 3.14159265358979323846 / 180, c = std::cos(a), s = std::sin(a);
  for (auto& e : out) {
    auto& n = e.numbers;
    for (std::size_t i = 0; i + 1 < n.size(); i += 3) {
      if (e.kind == "AcDbText" && i > 0) break;
      const double x = n[i], y = mirror ? -n[i + 1] : n[i + 1];
      n[i] = scale * (c * x - s * y) + dx;
      n[i + 1] = scale * (s * x + c * y) + dy;
    }
    if (e.kind == "AcDbText") n[2] *= scale;
  }
  return out;
}

TEST(Fingerprints, TurnedMirroredAndScaledWorkKeepsWhatTheyLeaveAlone) {
  const auto original = featuresOf(part(0, 0), Tolerance{});
  std::mt19937_64 random(21);
  for (int round = 0; round < 20; ++round) {
    const double degrees = round < 4 ? 90.0 * round : static_cast<double>(random() % 36000) / 100;
    const bool mirror = round % 3 == 1;
    const double dx = static_cast<double>(random() % 100000) / 100 - 500, dy = static_cast<double>(random() % 1000);
    const auto turned = featuresOf(transformed(degrees, mirror, 1, dx, dy), Tolerance{});
    EXPECT_EQ(keysOf(turned, FeatureKind::kShape), keysOf(original, FeatureKind::kShape)) << degrees << " " << mirror;
    EXPECT_EQ(keysOf(turned, FeatureKind::kPlace), keysOf(original, FeatureKind::kPlace)) << degrees << " " << mirror;
    const double scale = 0.5 + static_cast<double>(random() % 350) / 100;
    const auto scaled = featuresOf(transformed(degrees, mirror, scale, dx, dy), Tolerance{});
    EXPECT_EQ(keysOf(scaled, FeatureKind::kPlace), keysOf(original, FeatureKind::kPlace)) << scale;
    EXPECT_NE(keysOf(scaled, FeatureKind::kShape), keysOf(original, FeatureKind::kShape)) << scale;
  }
}

// Two students who put the same note by hand two thousandths of a unit
// apart beside the same lines share the lines' places, not the note's.
TEST(Fingerprints, ANotePutByHandIsToldApartFromOneNearby) {
  const auto original = featuresOf(part(0, 0), Tolerance{});
  auto nearby = part(0, 0);
  nearby.back() = text(1.3715, -19.8313, "ALL DIMENSIONS IN MM");
  const auto other = featuresOf(nearby, Tolerance{});
  std::vector<std::uint64_t> typedA, typedB, freeA, freeB;
  for (const auto& [features, typed, free] : {std::tie(original, typedA, freeA), std::tie(other, typedB, freeB)})
    for (const std::uint64_t key : keysOf(features, FeatureKind::kPlace)) (isTyped(key) ? typed : free).push_back(key);
  EXPECT_EQ(typedA, typedB);
  ASSERT_FALSE(freeA.empty());
  for (const std::uint64_t key : freeA) EXPECT_EQ(std::count(freeB.begin(), freeB.end(), key), 0);
}

TEST(Fingerprints, AnExplodedPolylineIsTheSameLinesAndArcs) {
  // A slot: a line, a half circle, a line back and a half circle home.
  const std::vector<EntityFacts> polyline{
      {"AcDbPolyline", 5, true, false, "0", {0, 0, 0, 30, 0, 1, 30, 10, 0, 0, 10, 1, 0, 0, 0}, std::nullopt}};
  const double pi = 3.14159265358979323846;
  const std::vector<EntityFacts> exploded{
      line(0, 0, 30, 0), {"AcDbArc", 6, true, false, "0", {30, 5, 0, 5, -pi / 2, pi / 2}, std::nullopt},
      line(30, 10, 0, 10), {"AcDbArc", 7, true, false, "0", {0, 5, 0, 5, pi / 2, 3 * pi / 2}, std::nullopt}};
  const auto whole = featuresOf(polyline, Tolerance{}), pieces = featuresOf(exploded, Tolerance{});
  EXPECT_EQ(keysOf(whole, FeatureKind::kShape), keysOf(pieces, FeatureKind::kShape));
  EXPECT_EQ(keysOf(whole, FeatureKind::kPlace), keysOf(pieces, FeatureKind::kPlace));
  // A bulge the other way round is the same arc seen from its other end.
  auto backwards = polyline;
  backwards[0].numbers = {0, 0, -1, 0, 10, 0, 30, 10, -1, 30, 0, 0, 0, 0, 0};
  EXPECT_EQ(keysOf(featuresOf(backwards, Tolerance{}), FeatureKind::kShape), keysOf(whole, FeatureKind::kShape));
}

// What typing numbers gives is marked, whatever the turn and position of
// the whole: a typed length, radius, sweep or chamfer, words of numbers; a
// line to a clicked point, a note in words and where a text sits are not.
TEST(Fingerprints, MarkWhatTypedNumbersGive) {
  auto typedOf = [](std::vector<EntityFacts> entities, FeatureKind kind) {
    std::vector<bool> marks;
    for (const auto& x : featuresOf(entities, Tolerance{}).geometry)
      if (featureKind(x.key) == kind) marks.push_back(isTyped(x.key));
    return marks;
  };
  auto circle = [](double x, double y, double r) {
    return EntityFacts{"AcDbCircle", 0x300, true, false, "0", {x, y, 0, r}, std::nullopt};
  };
  auto arc = [](double x, double y, double r, double from, double to) {
    return EntityFacts{"AcDbArc", 0x301, true, false, "0", {x, y, 0, r, from, to}, std::nullopt};
  };
  const double degree = std::numbers::pi / 180;
  std::mt19937_64 random(7);
  for (int round = 0; round < 8; ++round) {
    const double turn = round == 0 ? 0 : static_cast<double>(random() % 36000) / 100 * degree;
    const double ox = static_cast<double>(random() % 100000) / 997, oy = static_cast<double>(random() % 100000) / 991;
    const testing::TurnedSheet sheet{ox, oy, turn};
    auto placedLine = [&](double x1, double y1, double x2, double y2) { return sheet.line(x1, y1, x2, y2); };
    const auto [cx, cy] = sheet.at(40, 20);
    SCOPED_TRACE(round);
    // An 80 long edge, a 5 x 5 chamfer, a hole of 12.5 and a quarter arc:
    // typed; a line of 37.2839... to a clicked point: not.
    EXPECT_EQ(typedOf({placedLine(0, 0, 80, 0)}, FeatureKind::kShape), std::vector<bool>{true});
    EXPECT_EQ(typedOf({placedLine(80, 0, 85, 5)}, FeatureKind::kShape), std::vector<bool>{true});
    EXPECT_EQ(typedOf({circle(cx, cy, 12.5)}, FeatureKind::kShape), std::vector<bool>{true});
    EXPECT_EQ(typedOf({arc(cx, cy, 8, turn, turn + 90 * degree)}, FeatureKind::kShape), std::vector<bool>{true});
    EXPECT_EQ(typedOf({placedLine(3.1416, 2.7183, 33.7, 24.11)}, FeatureKind::kShape), std::vector<bool>{false});
    EXPECT_EQ(typedOf({circle(cx, cy, 12.5371)}, FeatureKind::kShape), std::vector<bool>{false});
    // Places: an edge beside a hole is where the numbers put it; a text
    // beside the edge is where the student clicked.
    EXPECT_EQ(typedOf({placedLine(0, 0, 80, 0), circle(cx, cy, 12.5)}, FeatureKind::kPlace),
              (std::vector<bool>{true, true}));
    const auto [tx, ty] = sheet.at(2, -11.37);
    EXPECT_EQ(typedOf({placedLine(0, 0, 80, 0), text(tx, ty, "80 x 50")}, FeatureKind::kPlace),
              (std::vector<bool>{false, false}));
    // A name put at typed offsets from the frame's edge (a title block's
    // field) lies where numbers put it, however the sheet was turned.
    const auto [nx, ny] = sheet.at(2, -11.5);
    EXPECT_EQ(typedOf({placedLine(0, 0, 80, 0), text(nx, ny, "Mia")}, FeatureKind::kPlace),
              (std::vector<bool>{true, true}));
  }
  // Words are phrased alike by chance: typed, whatever they say.
  EXPECT_EQ(typedOf({text(0, 0, "80 x 50"), text(9, 9, "Dims in mm")}, FeatureKind::kWords),
            (std::vector<bool>{true, true}));
  // Inches typed as fractions are typed too.
  EXPECT_EQ(typedOf({line(0, 0, 2.125, 0), line(0, 1, 0.0625, 1)}, FeatureKind::kShape),
            (std::vector<bool>{true, true}));
}

TEST(Fingerprints, HandleFeaturesTieTheHandleToTheShape) {
  const auto original = featuresOf(part(0, 0), Tolerance{});
  ASSERT_EQ(original.handles.size(), original.handleShapes.size());
  auto otherHandles = part(0, 0);
  otherHandles[1].handle = 0x999;
  auto otherShape = part(0, 0);
  otherShape[1] = line(120.5, 0, 120.5, 61, otherShape[1].handle);
  for (const auto& changed : {otherHandles, otherShape}) {
    const auto f = featuresOf(changed, Tolerance{});
    std::size_t same = 0;
    for (const auto& h : f.handles)
      same += std::any_of(original.handles.begin(), original.handles.end(), [&](const Feature& o) { return o.key == h.key; });
    EXPECT_EQ(same, original.handles.size() - 1);
  }
  EXPECT_EQ(original.handleNumbers, (std::vector<std::uint64_t>{0x100, 0x200}));
}

TEST(Fingerprints, KindsWithoutNumbersAndOddNumbersStillGiveFeatures) {
  std::vector<EntityFacts> odd = {{"AcDbPolyline", 1, true, false, "0", {}, std::nullopt},
                                  {"AcDbHatch", 2, true, true, "0", {1e300, -1e300, 0}, std::nullopt},
                                  {"AcDbLine", 3, true, false, "0", {std::nan(""), 1, 0, 2, 2}, std::nullopt},
                                  {"AcDbBlockReference", 4, true, false, "0", {5, 5, 0, 1, 1, 1, 0}, "BOLT"}};
  const auto f = featuresOf(odd, Tolerance{});
  EXPECT_EQ(f.entities, 4u);
  EXPECT_EQ(keysOf(f, FeatureKind::kShape).size(), 4u);
  // A polyline's vertices (x, y, bulge) move with it; its bulges do not.
  const std::vector<EntityFacts> polyline{{"AcDbPolyline", 5, true, false, "0", {0, 0, 0, 10, 0, 0.5, 10, 5, 0}, std::nullopt}};
  auto moved = polyline;
  moved[0].numbers = {100, -7, 0, 110, -7, 0.5, 110, -2, 0};
  auto bent = polyline;
  bent[0].numbers[5] = 0.25;
  EXPECT_EQ(keysOf(featuresOf(moved, Tolerance{}), FeatureKind::kShape), keysOf(featuresOf(polyline, Tolerance{}), FeatureKind::kShape));
  EXPECT_NE(keysOf(featuresOf(bent, Tolerance{}), FeatureKind::kShape), keysOf(featuresOf(polyline, Tolerance{}), FeatureKind::kShape));
  EXPECT_TRUE(keysOf(f, FeatureKind::kWords).empty());  // a block name is part of the shape
  EXPECT_TRUE(f.geometryKnown);
  EXPECT_FALSE(featuresOf(std::vector<EntityFacts>{odd[0]}, Tolerance{}).geometryKnown);
}

// Of a drawing's entities, those under its lowest handles are kept beside
// their features, whatever order the reader gives them in: what a drawing
// started with from a template.
TEST(Fingerprints, KeepWhatTheLowestHandlesHold) {
  std::vector<EntityFacts> entities;
  for (std::uint64_t k = 0; k < kStartEntities + 40; ++k)
    entities.push_back(line(0, 0, 10.0 + static_cast<double>(k), 0, 0x30 + k));
  std::mt19937 random(11);
  std::shuffle(entities.begin(), entities.end(), random);
  const auto f = featuresOf(entities, Tolerance{});
  std::vector<std::uint64_t> handles;
  for (const auto& [handle, key] : f.startKeys) {
    EXPECT_NE(featureKind(key), FeatureKind::kHandle);
    if (handles.empty() || handles.back() != handle) handles.push_back(handle);
  }
  ASSERT_EQ(handles.size(), kStartEntities);
  // The highest of them is the 256th handle's line, the next one's is not.
  auto handleOf = [&](std::uint64_t number) {
    for (const auto& e : entities)
      if (e.handle == number) return featuresOf(std::vector<EntityFacts>{e}, Tolerance{}).handles.front().key;
    return std::uint64_t{0};
  };
  EXPECT_TRUE(std::binary_search(handles.begin(), handles.end(), handleOf(0x30 + kStartEntities - 1)));
  EXPECT_FALSE(std::binary_search(handles.begin(), handles.end(), handleOf(0x30 + kStartEntities)));
  EXPECT_TRUE(std::is_sorted(f.startKeys.begin(), f.startKeys.end()));
}

TEST(FeatureCodec, KeepsFeaturesAndRefusesBytesItDidNotWrite) {
  auto entities = part(3, 4);
  entities.push_back(line(0, 0, 1, 1, 0xFFFFFFFFFFull));
  const auto f = featuresOf(entities, Tolerance{});
  const auto bytes = encodeFeatures(f);
  const auto back = decodeFeatures(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(encodeFeatures(*back), bytes);
  EXPECT_EQ(back->handleNumbers, f.handleNumbers);
  EXPECT_EQ(back->handleShapes, f.handleShapes);
  EXPECT_EQ(back->entities, f.entities);

  std::mt19937 random(5);
  for (std::size_t cut = 0; cut < bytes.size(); ++cut)
    EXPECT_FALSE(decodeFeatures(std::span(bytes.data(), cut))) << "cut at " << cut;
  for (int round = 0; round < 500; ++round) {
    auto flipped = bytes;
    flipped[random() % flipped.size()] ^= static_cast<std::uint8_t>(1 + random() % 255);
    (void)decodeFeatures(flipped);  // must not crash or read past the end
  }
  // What the drawing was started from comes back too; features kept by the
  // version before it read back without it.
  EXPECT_FALSE(f.startKeys.empty());
  EXPECT_EQ(back->startKeys, f.startKeys);
  EXPECT_EQ(back->freeChoices, f.freeChoices);
  auto older = encodeFeatures(DrawingFeatures{f.geometry, f.handles, f.handleShapes, f.handleNumbers, {}, {},
                                              f.entities, f.geometryKnown});
  older.front() = 3;
  older.resize(older.size() - 2);  // no count of start keys, nor of choices made freely
  const auto olderBack = decodeFeatures(older);
  ASSERT_TRUE(olderBack);
  EXPECT_TRUE(olderBack->startKeys.empty());
  EXPECT_EQ(olderBack->handleNumbers, f.handleNumbers);
  older.front() = 2;
  EXPECT_FALSE(decodeFeatures(older));

  const std::vector<std::uint64_t> unsorted{5, 3};
  EXPECT_FALSE(decodeKeys(encodeKeys(unsorted)));
  EXPECT_EQ(decodeKeys(encodeKeys(std::vector<std::uint64_t>{3, 5})), (std::vector<std::uint64_t>{3, 5}));
}

}  // namespace
}  // namespace veldra::evidence
