// The reader on drawings older than R13 from the old writer (each version
// with its date, handles and kinds, as veldra-dwgwrite writes it, is read
// back in tests/dwginfo/written.cmake): the kinds and spaces of R11/R12,
// jumps into the extra section, the evidence and geometry, and drawings cut
// after their entities. Other damage is in damage_test.cpp.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "dwgwrite/r12_writer.h"
#include "veldra/dwg/evidence.h"
#include "veldra/dwg/reader.h"

namespace veldra::dwg {
namespace {

using dwgwrite::OldDrawingSpec;
using dwgwrite::OldEntitySpec;
using Kind = OldEntitySpec::Kind;

// An entity, with `more` of its fields set by the caller.
OldEntitySpec entity(Kind kind, std::uint64_t handle, std::vector<double> numbers = {}, bool paper = false,
                     const std::function<void(OldEntitySpec&)>& more = {}) {
  OldEntitySpec e;
  e.kind = kind;
  e.handle = handle;
  e.numbers = std::move(numbers);
  e.paper = paper;
  if (more) more(e);
  return e;
}

std::vector<std::string> listing(const Summary& summary) {
  std::vector<std::string> lines;
  for (const Entity& e : summary.entities)
    lines.push_back(e.className + " " + (e.hasHandle ? handleText(e.handle) : std::string("-")) +
                    (e.space == Space::kModel ? " MODEL" : " PAPER"));
  return lines;
}

// The drawing as written and read back, which must be read.
Drawing readAll(const OldDrawingSpec& wanted) {
  Drawing drawing;
  const Status s =
      readDrawing(dwgwrite::writeOldDrawing(wanted), ReadRequest{.evidence = true, .geometry = true}, drawing);
  EXPECT_TRUE(s.ok()) << s.message;
  return drawing;
}

OldDrawingSpec simple(const std::string& version) {
  OldDrawingSpec wanted;
  wanted.version = version;
  wanted.created = {2447893, 43200000};
  wanted.entities = {entity(Kind::kLine, 0x20, {0, 0, 0, 10, 5, 0}), entity(Kind::kCircle, 0x21, {3, 4, 2}),
                   entity(Kind::kText, 0x22, {1, 2, 0.5})};
  wanted.entities[2].text = "Title";
  return wanted;
}

// R11/R12: the kinds as the automation interface names them, paper space,
// erased entities left out, sub-entities not listed, and an entity moved into
// the extra section listed where its jump stands.
TEST(OldDrawings, R12KindsSpacesErasedAndJumpedEntities) {
  OldDrawingSpec wanted;
  wanted.blocks = {"DOOR"};
  std::uint64_t handle = 0x30;
  for (const Kind kind : {Kind::kPoint, Kind::kArc, Kind::kTrace, Kind::kSolid, Kind::kFace, Kind::kShape,
                          Kind::kInsert, Kind::kAttributeDefinition})
    wanted.entities.push_back(entity(kind, handle++));
  for (const auto& [at, flags] : {std::pair{0x38, 0}, {0x40, 2}, {0x48, 8}, {0x58, 16}, {0x60, 64}})
    wanted.entities.push_back(entity(Kind::kPolyline, static_cast<std::uint64_t>(at), {}, false, [&](OldEntitySpec& e) {
      e.flags = static_cast<std::uint8_t>(flags);
      e.vertices = {{0, 0, 0}, {5, 0, 0.5}, {5, 5, 0}};
    }));
  wanted.entities.insert(
      wanted.entities.end(),
      {entity(Kind::kLine, 0x50, {}, false, [](OldEntitySpec& e) { e.erased = true; }),
       entity(Kind::kCircle, 0x51, {1, 1, 1}, false, [](OldEntitySpec& e) { e.viaExtras = true; }),
       entity(Kind::kInsert, 0x52, {}, false, [](OldEntitySpec& e) { e.columns = 3; }), entity(Kind::kDimension, 0x70),
       entity(Kind::kDimension, 0x53, {}, false, [](OldEntitySpec& e) { e.flags = 4; }),
       entity(Kind::kViewport, 0x71, {}, true), entity(Kind::kLine, 0x72, {}, true),
       entity(Kind::kDimension, 0x54, {}, true, [](OldEntitySpec& e) { e.flags = 6 | 0x40; })});
  Summary summary;
  const Status s = readSummary(dwgwrite::writeOldDrawing(wanted), summary);
  ASSERT_TRUE(s.ok()) << s.message;
  EXPECT_TRUE(summary.damage.empty()) << summary.damage.front().message;
  EXPECT_EQ(listing(summary), (std::vector<std::string>{
                                  "AcDbPoint 30 MODEL",         "AcDbArc 31 MODEL",
                                  "AcDbTrace 32 MODEL",         "AcDbSolid 33 MODEL",
                                  "AcDbFace 34 MODEL",          "AcDbShape 35 MODEL",
                                  "AcDbBlockReference 36 MODEL", "AcDbAttributeDefinition 37 MODEL",
                                  "AcDbPolyline 38 MODEL",      "AcDb2dPolyline 40 MODEL",
                                  "AcDb3dPolyline 48 MODEL",    "AcDbPolygonMesh 58 MODEL",
                                  "AcDbPolyFaceMesh 60 MODEL",  "AcDbCircle 51 MODEL",
                                  "AcDbMInsertBlock 52 MODEL",  "AcDbRotatedDimension 70 MODEL",
                                  "AcDbRadialDimension 53 MODEL", "AcDbViewport 71 PAPER",
                                  "AcDbLine 72 PAPER",          "AcDbOrdinateDimension 54 PAPER"}));
}

TEST(OldDrawings, EvidenceGivesTheStoredDatesAndTheSeedWhileHandlingIsOn) {
  OldDrawingSpec wanted = simple("AC1009");
  wanted.updated = {2447900, 1000};
  wanted.editingTime = {1, 7200000};
  wanted.userTimer = {0, 60000};
  wanted.handseed = 0x1A2B;
  const Drawing drawing = readAll(wanted);
  const Evidence& e = drawing.evidence;
  ASSERT_TRUE(e.updated && e.editingTime && e.userTimer && e.handseed);
  EXPECT_EQ(e.updated->days, 2447900);
  EXPECT_EQ(e.updated->milliseconds, 1000);
  EXPECT_EQ(e.editingTime->days, 1);
  EXPECT_EQ(e.editingTime->milliseconds, 7200000);
  EXPECT_EQ(e.userTimer->milliseconds, 60000);
  EXPECT_EQ(*e.handseed, 0x1A2Bu);
  EXPECT_FALSE(e.fingerprintGuid || e.versionGuid || e.summaryInfo);
  EXPECT_EQ(e.preview.format, PreviewFormat::kNone);

  wanted.handling = false;
  EXPECT_FALSE(readAll(wanted).evidence.handseed.has_value());
}

// Geometry in the order later versions give it, layers by name through the
// layer table (by number in AC1.40), z from the elevation where the kind
// stores none of its own.
TEST(OldDrawings, GeometryOfTheCommonKinds) {
  for (const char* version : {"AC1009", "AC1004", "AC1.40"}) {
    SCOPED_TRACE(version);
    const std::string v = version;
    const bool early = v == "AC1.40";
    const bool threeD = v == "AC1009";
    OldDrawingSpec wanted;
    wanted.version = version;
    wanted.layers = {"0", "Walls", "\xDCnits"};  // U-umlaut in the 1252 page
    wanted.blocks = {"DOOR"};
    wanted.entities = {entity(Kind::kLine, 0x20, {1, 2, 3, 4, 5, 6}, false, [](OldEntitySpec& e) { e.layer = 1; }),
                       entity(Kind::kCircle, 0x21, {7, 8, 9}, false,
                              [&](OldEntitySpec& e) { e.layer = 2, e.elevation = early ? 0.0 : 2.5; }),
                       entity(Kind::kText, 0x22, {1, 1, 0.25}, false,
                              [](OldEntitySpec& e) { e.text = "Plan \xC4"; }),  // A-umlaut in 1252
                       entity(Kind::kInsert, 0x23, {10, 20, 2, 3, 0.5}),
                       entity(Kind::kArc, 0x25, {1, 2, 3, 0, 1.5}),
                       entity(Kind::kPoint, 0x26, {6, 7, 8}),
                       entity(Kind::kPolyline, 0x24, {}, false, [](OldEntitySpec& e) {
                         e.vertices = {{0, 0, 0}, {4, 0, 1}, {4, 4, 0}};
                       })};
    const Drawing drawing = readAll(wanted);
    EXPECT_TRUE(drawing.summary.damage.empty()) << drawing.summary.damage.front().message;
    const auto& g = drawing.geometry;
    ASSERT_EQ(g.size(), early ? 6u : 7u);
    EXPECT_EQ(g[0].layer, early ? "1" : "Walls");
    EXPECT_EQ(g[0].numbers, threeD ? (std::vector<double>{1, 2, 3, 4, 5, 6}) : (std::vector<double>{1, 2, 0, 4, 5, 0}));
    EXPECT_EQ(g[1].layer, early ? "2" : "\xC3\x9Cnits");
    EXPECT_EQ(g[1].numbers, (std::vector<double>{7, 8, early ? 0.0 : 2.5, 9}));
    EXPECT_EQ(g[2].numbers, (std::vector<double>{1, 1, 0.25}));
    EXPECT_EQ(g[2].text, "Plan \xC3\x84");
    EXPECT_EQ(g[3].numbers, (std::vector<double>{10, 20, 0, 2, 3, 1, 0.5}));
    EXPECT_EQ(g[3].text, "DOOR");
    EXPECT_EQ(g[4].numbers, (std::vector<double>{1, 2, 0, 3, 0, 1.5}));
    EXPECT_EQ(g[5].numbers, threeD ? (std::vector<double>{6, 7, 8}) : (std::vector<double>{6, 7, 0}));
    if (!early) {
      EXPECT_EQ(g[6].numbers, (std::vector<double>{0, 0, 0, 4, 0, 1, 4, 4, 0}));
    }
  }
}

// The common fields in their stored order: extended data straight after the
// extra flags and before the colour, a 3D line keeping the common elevation
// for an end without a z of its own, and a dimension with an elevation and
// the z of its line point both. The entity after them shows that none
// overran.
TEST(OldDrawings, CommonFieldsInTheirStoredOrder) {
  for (const char* version : {"AC1006", "AC1009"}) {
    SCOPED_TRACE(version);
    const bool r11 = std::string(version) == "AC1009";
    OldDrawingSpec wanted;
    wanted.version = version;
    wanted.entities = {
        entity(Kind::kCircle, 0x30, {7, 8, 9}, true,
               [](OldEntitySpec& e) {
                 e.elevation = 2.5;
                 e.extendedData = {0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47};
               }),
        entity(Kind::kLine3d, 0x31, {1, 2, 3, 4, 5, 0}, false, [](OldEntitySpec& e) { e.elevation = 1.5; }),
        entity(Kind::kDimension, 0x32, {1, 2, 0, 3, 4}, false,
               [](OldEntitySpec& e) { e.flags = 3, e.elevation = 4.0; }),
        entity(Kind::kPoint, 0x33, {6, 7, 8})};
    const Drawing drawing = readAll(wanted);
    EXPECT_TRUE(drawing.summary.damage.empty()) << drawing.summary.damage.front().message;
    EXPECT_EQ(listing(drawing.summary),
              (std::vector<std::string>{r11 ? "AcDbCircle 30 PAPER" : "AcDbCircle 30 MODEL", "AcDbLine 31 MODEL",
                                        "AcDbDiametricDimension 32 MODEL", "AcDbPoint 33 MODEL"}));
    const auto& g = drawing.geometry;
    ASSERT_EQ(g.size(), 4u);
    EXPECT_EQ(g[0].numbers, (std::vector<double>{7, 8, 2.5, 9}));
    EXPECT_EQ(g[1].numbers, (std::vector<double>{1, 2, 3, 4, 5, 1.5}));
    EXPECT_EQ(g[3].numbers, (std::vector<double>{6, 7, 8}));
  }
}

TEST(OldDrawings, LayerOrBlockOutsideItsTableLosesOnlyThatGeometry) {
  OldDrawingSpec wanted = simple("AC1009");
  wanted.entities[0].layer = 7;
  wanted.entities.push_back(entity(Kind::kInsert, 0x30, {}, false, [](OldEntitySpec& e) { e.block = 3; }));
  const Drawing drawing = readAll(wanted);
  ASSERT_EQ(drawing.geometry.size(), 4u);
  EXPECT_TRUE(drawing.geometry[0].numbers.empty());
  EXPECT_EQ(drawing.geometry[1].numbers.size(), 4u);
  EXPECT_TRUE(drawing.geometry[3].numbers.empty());
  EXPECT_EQ(drawing.summary.damage.size(), 2u);
}

}  // namespace
}  // namespace veldra::dwg
