// Names and texts beyond the writer's plain cases, read back through the
// evidence reader: layer and block names outside ASCII in both encodings,
// long names, texts beyond code page 1252 from R2010 on, line breaks inside
// texts; and one plan saved in every version keeps its geometry and identity.

#include <gtest/gtest.h>

#include <cstring>

#include "dwgwrite/dwg_writer.h"
#include "veldra/dwg/evidence.h"

namespace veldra::dwg {
namespace {

using dwgwrite::DrawingSpec;
using dwgwrite::EntitySpec;

Drawing readBack(const DrawingSpec& plan) {
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(dwgwrite::writeDrawing(plan, bytes), "") << plan.version;
  Drawing drawing;
  const Status status = readDrawing(bytes, ReadRequest{.evidence = true, .geometry = true}, drawing);
  EXPECT_TRUE(status.ok()) << plan.version << ": " << status.message;
  EXPECT_TRUE(drawing.summary.damage.empty()) << plan.version;
  return drawing;
}

DrawingSpec namedPlan(const std::string& version, bool wide) {
  const std::string longName(240, 'L');
  const std::string layer = wide ? "Стены 壁" : "Wände-Ø";
  const std::string block = wide ? "Tür 门" : "Tür";
  DrawingSpec plan;
  plan.version = version;
  plan.layers = {layer, longName};
  plan.blocks = {{block, {{"CIRCLE", 0x600, false, layer, {0, 0, 0, 1}, ""}}}};
  plan.entities = {
      {"TEXT", 0x100, false, layer, {1, 2, 0.5}, wide ? "Привет 😀 — 漢字" : "Maße: 12 × 3 ½ €"},
      {"TEXT", 0x101, false, longName, {0, 0, 1}, "first line\r\nsecond\tcolumn"},
      {"TEXT", 0x102, false, "", {0, 0, 1}, ""},
      {"INSERT", 0x103, true, layer, {0, 0, 0, 1, 1, 1, 0}, block},
  };
  return plan;
}

TEST(EvidenceRoundTrip, NamesAndTextsInTheEncodingOfEachVersion) {
  for (const std::string& version : dwgwrite::knownVersions()) {
    // Code page 1252 before R2007; UTF-16 from R2007 on carries any character.
    for (const bool wide : {false, true}) {
      if (wide && version < "AC1021") continue;
      SCOPED_TRACE(version + (wide ? " wide" : ""));
      const DrawingSpec plan = namedPlan(version, wide);
      const Drawing d = readBack(plan);
      ASSERT_EQ(d.geometry.size(), plan.entities.size());
      for (std::size_t i = 0; i < plan.entities.size(); ++i) {
        const EntitySpec& e = plan.entities[i];
        EXPECT_EQ(d.geometry[i].layer, e.layer.empty() ? "0" : e.layer);
        EXPECT_EQ(d.geometry[i].text.value_or("(none)"), e.text);
      }
    }
  }
}

TEST(EvidenceRoundTrip, OnePlanInEveryVersionKeepsItsGeometryAndIdentity) {
  DrawingSpec plan;
  plan.days = 2459632;
  plan.milliseconds = 37383000;
  plan.layers = {"Walls"};
  plan.entities = {{"LINE", 0x2A0, false, "Walls", {0.1, 0.2, 0, 1e15, -7.25, 0}, ""},
                   {"LWPOLYLINE", 0x2A1, false, "", {0, 0, 0.414, 3, 0, 0, 3, 4, -1}, ""},
                   {"ELLIPSE", 0x2A2, true, "Walls", {1, 1, 0, 0, 2, 0, 0.25, 1, 2}, ""}};
  const Drawing first = readBack(plan);
  std::optional<std::string> fingerprint;
  for (const std::string& version : dwgwrite::knownVersions()) {
    SCOPED_TRACE(version);
    plan.version = version;
    const Drawing d = readBack(plan);
    ASSERT_EQ(d.geometry.size(), first.geometry.size());
    for (std::size_t i = 0; i < d.geometry.size(); ++i) {
      EXPECT_EQ(d.geometry[i].layer, first.geometry[i].layer);
      EXPECT_EQ(d.geometry[i].numbers, first.geometry[i].numbers);
    }
    // The next free handle lies past the highest one the plan uses.
    ASSERT_TRUE(d.evidence.handseed.has_value());
    EXPECT_GT(*d.evidence.handseed, 0x2A2u);
    if (version < "AC1015") {
      EXPECT_FALSE(d.evidence.fingerprintGuid.has_value());
      continue;
    }
    ASSERT_TRUE(d.evidence.fingerprintGuid.has_value());
    if (!fingerprint) fingerprint = d.evidence.fingerprintGuid;
    EXPECT_EQ(d.evidence.fingerprintGuid, fingerprint);
  }
}

}  // namespace
}  // namespace veldra::dwg
