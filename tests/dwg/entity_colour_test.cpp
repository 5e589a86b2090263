// An entity's own colour, as each version stores it, never stands between
// the reader and the entity's layer and geometry: an index, a true colour, a
// colour of a colour book with or without its names, with or without a
// transparency. Real drawings with true colours and transparencies, and the
// writer's drawings with colours chosen at random by seed.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "drawing_bytes.h"
#include "dwgwrite/dwg_writer.h"
#include "veldra/dwg/evidence.h"

namespace veldra::dwg {
namespace {

using dwgwrite::DrawingSpec;
using dwgwrite::EntityColour;
using dwgwrite::EntitySpec;

std::string damageText(const Summary& summary) {
  std::string text;
  for (const Damage& d : summary.damage) text += d.message + "\n";
  return text;
}

// The saved copies of one drawing hold a point in a true colour (29A) and a
// solid with a transparency (432): both are read with their layer, and no
// entity of any copy loses its geometry.
TEST(EntityColour, RealDrawingsOfEveryVersionGiveEveryGeometry) {
  for (const char* version : {"AC1018", "AC1021", "AC1024", "AC1027", "AC1032"}) {
    SCOPED_TRACE(version);
    const testbytes::Bytes bytes = testbytes::loadSample(std::string("sample_") + version + ".dwg");
    if (bytes.empty()) GTEST_SKIP() << "no sample drawings beside the repository";
    Drawing drawing;
    ASSERT_TRUE(readDrawing(bytes, ReadRequest{.geometry = true}, drawing).ok());
    EXPECT_EQ(damageText(drawing.summary), "");
    int coloured = 0;
    for (std::size_t i = 0; i < drawing.summary.entities.size(); ++i) {
      const std::uint64_t handle = drawing.summary.entities[i].handle;
      if (handle != 0x29A && handle != 0x432) continue;
      ++coloured;
      EXPECT_EQ(drawing.geometry[i].layer, "0") << handleText(handle);
      if (handle == 0x29A) {
        EXPECT_EQ(drawing.geometry[i].numbers.size(), 3u);
      }
    }
    EXPECT_EQ(coloured, 2);
  }
}

EntityColour randomColour(std::mt19937& random) {
  EntityColour c;
  switch (random() % 5) {
    case 0: c.index = static_cast<std::uint16_t>(random() % 257); break;
    case 1: c.rgb = 0xC2000000u | (random() & 0xFFFFFF); break;
    case 2: c.colourObject = 0x900 + random() % 16; break;
    case 3:
      c.colourObject = 0x900 + random() % 16;
      c.name = "PANTONE " + std::to_string(random() % 1000) + " C";
      break;
    default:
      c.colourObject = 0x900 + random() % 16;
      c.name = "RAL " + std::to_string(1000 + random() % 9000);
      c.bookName = random() % 2 ? "RAL CLASSIC" : "PANTONE+ Solid Coated";
      break;
  }
  if (random() % 3 == 0) c.transparency = 0x02000000u | (random() % 256);
  return c;
}

// Circles, lines and texts in random colours between plain ones, on two
// layers, in both spaces: every layer, number and text comes out as written.
// A text after a coloured entity's names checks that the names are taken
// from where they are stored and no further.
TEST(EntityColour, EveryColourOfTheWriterLeavesLayerAndGeometry) {
  for (const std::string& version : dwgwrite::knownVersions()) {
    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
      SCOPED_TRACE(version + " seed " + std::to_string(seed));
      std::mt19937 random(seed);
      DrawingSpec plan;
      plan.version = version;
      plan.days = 2459632;
      plan.milliseconds = 37383000;
      plan.layers = {"WALLS", "Doors"};
      const int count = 6 + static_cast<int>(random() % 10);
      for (int i = 0; i < count; ++i) {
        EntitySpec e;
        e.handle = 0x100 + static_cast<std::uint64_t>(i);
        e.paperSpace = random() % 4 == 0;
        e.layer = random() % 3 == 0 ? "" : plan.layers[random() % 2];
        const double x = static_cast<double>(random() % 1000) / 8;
        switch (random() % 3) {
          case 0: e.type = "CIRCLE", e.numbers = {x, 2, 0, 1.5 + i}; break;
          case 1: e.type = "LINE", e.numbers = {x, 0, 0, x + 3, 4, 0}; break;
          default: e.type = "TEXT", e.numbers = {x, 1, 0.25}, e.text = "T" + std::to_string(i); break;
        }
        if (random() % 3 != 0) e.colour = randomColour(random);
        plan.entities.push_back(e);
      }
      std::vector<std::uint8_t> bytes;
      ASSERT_EQ(dwgwrite::writeDrawing(plan, bytes), "");
      Drawing drawing;
      ASSERT_TRUE(readDrawing(bytes, ReadRequest{.geometry = true}, drawing).ok());
      EXPECT_EQ(damageText(drawing.summary), "");
      ASSERT_EQ(drawing.geometry.size(), plan.entities.size());
      // The reader lists model space first; match the entities by handle.
      for (std::size_t i = 0; i < drawing.summary.entities.size(); ++i) {
        const std::uint64_t handle = drawing.summary.entities[i].handle;
        const EntitySpec& e = plan.entities[static_cast<std::size_t>(handle - 0x100)];
        const EntityGeometry& g = drawing.geometry[i];
        EXPECT_EQ(g.layer, e.layer.empty() ? "0" : e.layer) << handleText(handle);
        if (e.type == "TEXT") {
          EXPECT_EQ(g.text.value_or("(none)"), e.text) << handleText(handle);
          ASSERT_GE(g.numbers.size(), 2u);
          EXPECT_EQ(g.numbers[0], e.numbers[0]);
        } else {
          EXPECT_EQ(g.numbers, e.numbers) << handleText(handle);
        }
      }
    }
  }
}

}  // namespace
}  // namespace veldra::dwg
