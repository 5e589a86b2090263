// Hostile drawings and what CAD programs really write, made here by a small
// generator of DXF text: blocks nested or fanned out past any limit, numbers
// out of reach, previews that lie about their size, sections out of order,
// and files that must be read as they mean. Each goes from the reader to
// the picture as veldra-dwginfo --draw takes it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "sketch/block_walk.h"
#include "sketch/drawing_blocks.h"
#include "sketch/raster.h"
#include "dxf_groups.h"
#include "support/temp_dir.h"
#include "veldra/dwg/evidence.h"
#include "veldra/dwg/reader.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

// A namespace of its own: the tests are built together with the others'.
namespace veldra::dwg::hostile {
namespace {

using namespace dxftext;
using sketch::Placement;
using sketch::Shape;

// ---- The generator

Groups line(double x1, double y1, double x2, double y2, const std::string& layer = "0") {
  return {{0, "LINE"}, {8, layer}, {10, num(x1)}, {20, num(y1)}, {11, num(x2)}, {21, num(y2)}};
}

Groups text(double x, double y, double height, const std::string& words) {
  return {{0, "TEXT"}, {8, "0"}, {10, num(x)}, {20, num(y)}, {40, num(height)}, {1, words}};
}

Groups insert(const std::string& block, double x = 0, double y = 0, double scale = 1) {
  return {{0, "INSERT"}, {8, "0"}, {2, block}, {10, num(x)}, {20, num(y)}, {41, num(scale)}, {42, num(scale)}};
}

// `count` references to `block`, a unit apart.
Groups row(const std::string& block, int count) {
  Groups out;
  for (int i = 0; i < count; ++i) out += insert(block, i);
  return out;
}

Groups blocks(const std::vector<std::pair<std::string, Groups>>& defined) {
  Groups body;
  for (const auto& [name, entities] : defined) {
    body += Groups{{0, "BLOCK"}, {2, name}, {70, "0"}};
    body += entities;
    body += Groups{{0, "ENDBLK"}};
  }
  return section("BLOCKS", body);
}

sketch::Sketch drawn(const Drawing& d) {
  std::vector<std::vector<Shape>> blockShapes;
  return sketch::sketchOf(sketch::shapesOf(d), sketch::blocksOf(d.blocks, blockShapes));
}

bool has(const std::vector<Note>& notes, const std::string& words) {
  for (const auto& n : notes)
    if (n.message.find(words) != std::string::npos) return true;
  return false;
}

// ---- Blocks

// Whatever the blocks hold, the picture is drawn in bounded time and memory,
// with ink where it claims some, and what it left out is told in words.
TEST(HostileDrawings, BlocksAreDrawnWithinBoundsAndWhatIsLeftOutIsTold) {
  struct Case {
    const char* name;
    std::function<Groups()> make;
    std::vector<std::string> told;  // describe()'s lines, in order
    std::size_t strokes = 0, labels = 0;
  };
  const Case cases[] = {
      {"a chain of references 20,000 deep",
       [] {
         std::vector<std::pair<std::string, Groups>> chain;
         for (int i = 0; i < 20000; ++i)
           chain.emplace_back("B" + std::to_string(i), line(0, i, 1, i) + insert("B" + std::to_string(i + 1)));
         return blocks(chain) + section("ENTITIES", insert("B0"));
       },
       {"1 block reference beyond 8 levels not drawn"}, 8 + 1, 0},
      {"a billion lines in three levels of a thousand",
       [] {
         return blocks({{"C", line(0, 0, 1, 0)}, {"B", row("C", 1000)}, {"A", row("B", 1000)}}) +
                section("ENTITIES", row("A", 1000));
       },
       {"999,800,000 lines beyond the limit left out"}, sketch::kMaxPoints / 2, 0},
      {"a billion texts in three levels of a thousand",
       [] {
         return blocks({{"C", text(0, 0, 1, "x")}, {"B", row("C", 1000)}, {"A", row("B", 1000)}}) +
                section("ENTITIES", row("A", 1000));
       },
       {"999,900,000 texts beyond the limit left out"}, 0, sketch::kMaxPoints / 4},
      {"blocks that hold each other",
       [] { return blocks({{"A", line(0, 0, 1, 1) + insert("B")}, {"B", line(0, 1, 1, 0) + insert("A")}}) +
                section("ENTITIES", insert("A")); },
       {"1 block reference to a block that holds itself not drawn"}, 2, 0},
      {"a block scaled by 1e300 twice",
       [] { return blocks({{"S2", line(0, 0, 1, 1)}, {"S1", insert("S2", 0, 0, 1e300)}}) +
                section("ENTITIES", line(0, 0, 10, 10) + insert("S1", 0, 0, 1e300)); },
       {"1 entity out of reach (numbers too large) not drawn"}, 2, 0},
      {"a text 1e308 high",
       [] { return section("ENTITIES", line(0, 0, 10, 10) + text(0, 0, 1e308, "huge") + text(1, 1, 1, "fine")); },
       {"1 entity out of reach (numbers too large) not drawn"}, 1, 1},
      {"an array of 3 rows and 4 columns from R2000 on",
       [] {
         return header("AC1015") + blocks({{"BOLT", line(0, 0, 1, 0)}}) +
                section("ENTITIES", insert("BOLT") + Groups{{70, "4"}, {71, "3"}, {44, "5"}, {45, "7"}});
       },
       {}, 12, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const sketch::Sketch s = drawn(readDxf(dxfFile(c.make()), {.evidence = true, .geometry = true, .blocks = true}));
    EXPECT_EQ(sketch::describe(s.leftOut), c.told);
    EXPECT_EQ(s.strokes.size(), c.strokes);
    EXPECT_EQ(s.labels.size(), c.labels);
    const sketch::Box box = s.bounds();
    ASSERT_TRUE(std::isfinite(box.width()) && std::isfinite(box.height()));
    sketch::Canvas canvas(200, 150);
    sketch::draw(canvas, s, sketch::Fit::of(box, 200, 150, 4), 1, 2);
    EXPECT_GT(canvas.ink(), 20u);
  }
}

// A nearly straight bulge is a straight side: the picture keeps the
// polyline's own extent rather than a point thrown far out.
TEST(HostileDrawings, NearlyStraightBulgesStayInTheirBox) {
  for (const char* bulge : {"1e-18", "1e-20", "-1e-12"}) {
    SCOPED_TRACE(bulge);
    const Groups polyline = {{0, "LWPOLYLINE"}, {8, "0"}, {90, "4"}, {70, "1"}, {10, "0"},  {20, "0"}, {10, "100"},
                             {20, "0"},         {42, bulge}, {10, "100"}, {20, "50"}, {10, "0"}, {20, "50"}};
    const sketch::Box box = drawn(readDxf(dxfFile(header("AC1015") + section("ENTITIES", polyline)))).bounds();
    EXPECT_NEAR(box.minX, 0, 1e-6);
    EXPECT_NEAR(box.maxX, 100, 1e-6);
    EXPECT_NEAR(box.minY, 0, 1e-6);
    EXPECT_NEAR(box.maxY, 50, 1e-6);
  }
}

// The numbers placed out of a block land where the block's picture is
// drawn: two ways to the same place (points mapped one by one, numbers
// placed as a whole) must agree, under every kind of placement.
TEST(HostileDrawings, PlacedNumbersLandWhereTheBlockIsDrawn) {
  constexpr double kPi = std::numbers::pi;
  const std::vector<std::pair<std::string_view, std::vector<double>>> kinds = {
      {"AcDbLine", {1, 2, 0, 4, 6, 0}},
      {"AcDbCircle", {1, 1, 0, 2}},
      {"AcDbArc", {0, 0, 0, 3, 0.2, 2.5}},
      {"AcDbEllipse", {1, 0, 0, 3, 1, 0, 0.5, 0.3, 4.0}},
      {"AcDbPolyline", {0, 0, 0.4, 5, 0, -1, 5, 5, 0}},
      {"AcDbText", {2, 3, 1.5}},
  };
  // Reference numbers: x y z, scales x y z, rotation.
  const std::vector<std::vector<double>> references = {
      {10, -4, 0, 1, 1, 1, 0.7},   {3, 3, 0, -2, 2, 1, 1.1},  {0, 0, 0, 2, -2, 1, -0.4},
      {-5, 8, 0, 0.5, 0.5, 1, kPi}, {1, 1, 0, 3, 1, 1, 0.3},
  };
  // Every point of one picture lies on a stroke of the other (within the
  // chords arcs are drawn with), and the texts stand alike.
  auto onStrokes = [](const sketch::Sketch& a, const sketch::Sketch& b) {
    for (const auto& sa : a.strokes)
      for (const auto& p : sa.points) {
        double best = INFINITY;
        for (const auto& sb : b.strokes)
          for (std::size_t k = 0; k + 1 < sb.points.size(); ++k) {
            const sketch::Point u = sb.points[k], v = sb.points[k + 1];
            const double dx = v.x - u.x, dy = v.y - u.y, length = dx * dx + dy * dy;
            const double t = length > 0 ? std::clamp(((p.x - u.x) * dx + (p.y - u.y) * dy) / length, 0.0, 1.0) : 0;
            best = std::min(best, std::hypot(p.x - u.x - t * dx, p.y - u.y - t * dy));
          }
        if (best > 0.01) return false;
      }
    return true;
  };
  auto near = [&](const sketch::Sketch& a, const sketch::Sketch& b) {
    if (a.labels.size() != b.labels.size()) return false;
    for (std::size_t k = 0; k < a.labels.size(); ++k)
      if (std::hypot(a.labels[k].at.x - b.labels[k].at.x, a.labels[k].at.y - b.labels[k].at.y) > 1e-9 ||
          std::abs(a.labels[k].height - b.labels[k].height) > 1e-9)
        return false;
    return !a.strokes.empty() == !b.strokes.empty() && onStrokes(a, b) && onStrokes(b, a);
  };
  for (const auto& [kind, numbers] : kinds) {
    const std::vector<Shape> inside{{kind, false, numbers, "T"}};
    const std::vector<sketch::Block> blocks{{"B", inside}};
    for (const auto& reference : references) {
      SCOPED_TRACE(std::string(kind) + " under " + std::to_string(reference[3]) + " " + std::to_string(reference[4]));
      const Placement p = Placement::ofReference(reference);
      const sketch::Sketch viaBlock = sketch::sketchOf(std::vector<Shape>{{"AcDbBlockReference", false, reference, "B"}}, blocks);
      std::vector<double> placed;
      if (!sketch::placedNumbers(inside[0], p, placed)) {
        // Only an unequal scale may leave a kind unplaced, and not a line.
        EXPECT_FALSE(p.keepsShapes());
        EXPECT_NE(kind, "AcDbLine");
        continue;
      }
      const sketch::Sketch direct = sketch::sketchOf(std::vector<Shape>{{kind, false, placed, "T"}});
      EXPECT_TRUE(near(viaBlock, direct));
    }
  }
}

// ---- What the reader makes of real and hostile files

TEST(HostileDrawings, DxfFilesAreReadAsTheyMean) {
  const std::string bmpHead = "28000000" "A0860100" "A0860100" "0100" "1800" + std::string(24, '0');  // 100000 x 100000
  const auto thumbnail = [](const std::string& head) {
    const std::string hex = head + std::string(112 - head.size(), '0');  // 56 bytes in all
    return section("THUMBNAILIMAGE", {{90, "56"}, {310, hex}});
  };
  struct Case {
    const char* name;
    Groups groups;
    std::function<void(const Drawing&)> check;
  };
  const Case cases[] = {
      {"a HEADER after the entities",
       section("ENTITIES", line(0, 0, 1, 1)) +
           header("AC1015", {{9, "$TDUCREATE"}, {40, "2459000.25"}, {9, "$FINGERPRINTGUID"}, {2, "{A-1}"}}),
       [](const Drawing& d) {
         EXPECT_EQ(d.summary.version, "AC1015");
         EXPECT_EQ(d.summary.created.julian(), 2459000.25);
         EXPECT_EQ(d.evidence.fingerprintGuid, "{A-1}");
         for (const auto& damage : d.summary.damage) EXPECT_EQ(damage.message.find("$ACADVER"), std::string::npos);
       }},
      {"a version name of 1986",
       header("AC2.10") + section("ENTITIES", line(0, 0, 1, 1)),
       [](const Drawing& d) {
         EXPECT_EQ(d.summary.version, "AC2.10");
         EXPECT_TRUE(d.summary.damage.empty());
       }},
      {"a layer name with an escape, and a layer kept past a number that does not parse",
       header("AC1009") + section("ENTITIES", line(0, 0, 1, 1, "\\U+039Bx") +
                                                  Groups{{0, "LINE"}, {8, "Walls"}, {10, "1,5"}, {20, "0"}}),
       [](const Drawing& d) {
         ASSERT_EQ(d.geometry.size(), 2u);
         EXPECT_EQ(d.geometry[0].layer, "\u039Bx");
         EXPECT_EQ(d.geometry[1].layer, "Walls");
         EXPECT_TRUE(d.geometry[1].numbers.empty());
       }},
      {"a code page not known",
       header("AC1009", {{9, "$DWGCODEPAGE"}, {3, "UNDEFINED"}}) + section("ENTITIES", line(0, 0, 1, 1)),
       [](const Drawing& d) {
         EXPECT_TRUE(d.summary.damage.empty());
         EXPECT_TRUE(has(d.summary.notes, "unknown code page UNDEFINED"));
       }},
      {"the Macintosh page by another name",
       header("AC1009", {{9, "$DWGCODEPAGE"}, {3, "MAC-ROMAN"}}) + section("ENTITIES", text(0, 0, 1, "caf\x8E")),
       [](const Drawing& d) {
         EXPECT_TRUE(d.summary.notes.empty());
         EXPECT_EQ(d.geometry[0].text, "caf\u00E9");
       }},
      {"a universal creation date left from a template",
       header("AC1015", {{9, "$TDCREATE"}, {40, "2459418.5"}, {9, "$TDUCREATE"}, {40, "2459000.5"}}),
       [](const Drawing& d) { EXPECT_TRUE(has(d.summary.notes, "418 days apart")); }},
      {"creation dates a time zone apart",
       header("AC1015", {{9, "$TDCREATE"}, {40, "2459000.9"}, {9, "$TDUCREATE"}, {40, "2459000.5"}}),
       [](const Drawing& d) { EXPECT_TRUE(d.summary.notes.empty()); }},
      {"a bitmap preview claiming 100000 x 100000 in 56 bytes",
       header("AC1015") + section("ENTITIES", line(0, 0, 1, 1)) + thumbnail(bmpHead),
       [](const Drawing& d) {
         EXPECT_EQ(d.evidence.preview.format, PreviewFormat::kNone);
         EXPECT_FALSE(d.evidence.previewNote.empty());
       }},
      {"an old-style polyline with a vertex that does not parse",
       header("AC1009") + section("ENTITIES", Groups{{0, "POLYLINE"}, {8, "0"}, {70, "0"}, {0, "VERTEX"}, {10, "0"},
                                                     {20, "0"}, {0, "VERTEX"}, {10, "x"}, {20, "1"}, {0, "VERTEX"},
                                                     {10, "5"}, {20, "5"}, {0, "SEQEND"}}),
       [](const Drawing& d) {
         ASSERT_EQ(d.geometry.size(), 1u);
         EXPECT_TRUE(d.geometry[0].numbers.empty());
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.check(readDxf(dxfFile(c.groups)));
  }
}

// Saved before R2018, a paragraph text's columns after the first and its
// frame are entities of their own, which the text names; R2018 keeps them
// within the text. The drawing counts the same either way.
TEST(HostileDrawings, ParagraphTextPiecesCountAsTheirText) {
  const Groups main2007 = {{0, "MTEXT"}, {5, "9D"}, {8, "0"}, {1, "Lorem"}, {1001, "ACAD"},
                           {1000, "ACAD_MTEXT_COLUMNS_BEGIN"}, {1070, "47"}, {1070, "3"}, {1005, "1B4"},
                           {1005, "1B5"}, {1000, "ACAD_MTEXT_COLUMNS_END"}, {1000, "ACAD_MTEXT_TEXT_BORDERS_BEGIN"},
                           {1070, "5"}, {1005, "1B6"}, {1000, "ACAD_MTEXT_TEXT_BORDERS_END"}};
  const auto piece = [](const char* handle, const char* kind) { return Groups{{0, kind}, {5, handle}, {8, "0"}}; };
  const Groups line2A = {{0, "LINE"}, {5, "2A"}, {8, "0"}};
  const Drawing old = readDxf(dxfFile(header("AC1021") + section("ENTITIES", main2007 + piece("1B4", "MTEXT") + line2A +
                                                                          piece("1B5", "MTEXT") +
                                                                          piece("1B6", "LWPOLYLINE"))));
  const Drawing now = readDxf(dxfFile(header("AC1032") + section("ENTITIES", Groups{{0, "MTEXT"}, {5, "9D"}, {8, "0"},
                                                                             {1, "Lorem"}} + line2A)));
  for (const Drawing* d : {&old, &now}) {
    ASSERT_EQ(d->summary.entities.size(), 2u);
    EXPECT_EQ(d->summary.entities[0].className, "AcDbMText");
    EXPECT_EQ(d->summary.entities[1].handle, 0x2Au);
    EXPECT_EQ(d->geometry.size(), 2u);
  }
}

// A drawing refused for the memory it would take is refused, not also
// told as cut short: its sections were not read to their end.
TEST(HostileDrawings, ARefusalForMemoryIsNoUnclosedSection) {
  std::string text = "0\nSECTION\n2\nENTITIES\n";
  // Arcs are the dearest entities to keep for their bytes.
  for (int i = 0; i < 1200000; ++i) text += "0\nARC\n";
  text += "0\nENDSEC\n0\nEOF\n";
  Drawing d;
  const Status s = readDrawing(bytesOf(text), {false, true}, d);
  EXPECT_EQ(s.kind, ErrorKind::kCorrupt);
  for (const auto& damage : d.summary.damage) EXPECT_EQ(damage.message.find("not closed"), std::string::npos);
}

#if !defined(_WIN32)
// A pipe named as a drawing is refused at once, not waited on.
TEST(HostileDrawings, APipeIsNoDrawing) {
  testing::TempDir dir;
  const auto pipe = dir.path() / "pipe.dwg";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  Drawing d;
  const Status s = readDrawingFile(pipe, ReadRequest{}, d);
  EXPECT_EQ(s.kind, ErrorKind::kIo);
  EXPECT_NE(s.message.find("pipe"), std::string::npos);
}
#endif

}  // namespace
}  // namespace veldra::dwg::hostile
