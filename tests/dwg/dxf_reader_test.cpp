// The DXF reader: drawings written by ezdxf in every version, text and
// binary, listed entity by entity as ezdxf says it wrote them; the header's
// dates and identity; the preview; text in a code page.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "dwg/ezdxf_python.h"
#include "dxf_groups.h"
#include "support/temp_dir.h"
#include "veldra/dwg/evidence.h"
#include "veldra/dwg/reader.h"

namespace veldra::dwg {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> split(const std::string& line, char by) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(line);
  while (std::getline(in, part, by)) parts.push_back(part);
  if (!line.empty() && line.back() == by) parts.emplace_back();
  return parts;
}

using namespace dxftext;

bool hasDamage(const Summary& s, const std::string& words) {
  for (const auto& d : s.damage)
    if (d.message.find(words) != std::string::npos) return true;
  return false;
}

// Every drawing ezdxf writes for a seed, checked against the listing it
// writes beside: class, handle, space, layer, numbers and text, in order.
void checkEzdxfDrawings(unsigned seed) {
  testing::TempDir dir;
  const fs::path script = fs::path(VELDRA_SOURCE_DIR) / "tests/dwg/ezdxf_drawings.py";
  ASSERT_EQ(testing::runEzdxfScript(script, {std::to_string(seed), dir.path().string()}), "");
  int files = 0, references = 0;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    if (entry.path().extension() != ".dxf") continue;
    ++files;
    std::string stem = entry.path().stem().string();
    if (stem.ends_with("_bin")) stem.resize(stem.size() - 4);
    std::ifstream expectedFile(dir.path() / (stem + ".expected.tsv"));
    std::vector<std::string> expected;
    for (std::string line; std::getline(expectedFile, line);) expected.push_back(line);
    SCOPED_TRACE(entry.path().filename().string() + " (seed " + std::to_string(seed) + ")");

    Drawing d;
    ASSERT_TRUE(readDrawingFile(entry.path(), ReadRequest{true, true}, d).ok());
    EXPECT_TRUE(d.summary.damage.empty()) << d.summary.damage.front().message;
    ASSERT_EQ(expected.size(), d.summary.entities.size() + 1);
    EXPECT_EQ(expected[0], "version\t" + d.summary.version);
    ASSERT_EQ(d.geometry.size(), d.summary.entities.size());
    for (std::size_t i = 0; i < d.summary.entities.size(); ++i) {
      const auto want = split(expected[i + 1], '\t');
      ASSERT_GE(want.size(), 5u) << expected[i + 1];
      const Entity& e = d.summary.entities[i];
      const EntityGeometry& g = d.geometry[i];
      SCOPED_TRACE(expected[i + 1]);
      EXPECT_EQ(e.className, want[0]);
      EXPECT_TRUE(e.hasHandle);
      EXPECT_EQ(handleText(e.handle), want[1]);
      EXPECT_EQ(e.space == Space::kModel ? "MODEL" : "PAPER", want[2]);
      EXPECT_EQ(g.layer, want[3]);
      const auto numbers = split(want[4], ' ');
      ASSERT_EQ(g.numbers.size(), want[4].empty() ? 0 : numbers.size());
      for (std::size_t k = 0; k < g.numbers.size(); ++k) {
        const double w = std::stod(numbers[k]);
        EXPECT_NEAR(g.numbers[k], w, 1e-9 * std::max(1.0, std::abs(w))) << "number " << k;
      }
      EXPECT_EQ(g.text.has_value(), want.size() > 5);
      if (g.text && want.size() > 5) {
        EXPECT_EQ(*g.text, want[5]);
      }
    }
    // Asked for blocks too, the block every reference names is there with
    // the circle and the line ezdxf drew in it, and nothing else changes.
    Drawing withBlocks;
    ASSERT_TRUE(readDrawingFile(entry.path(), ReadRequest{.evidence = true, .geometry = true, .blocks = true}, withBlocks).ok());
    EXPECT_TRUE(withBlocks.summary.damage.empty());
    EXPECT_EQ(withBlocks.summary.entities.size(), d.summary.entities.size());
    EXPECT_TRUE(d.blocks.empty());
    for (std::size_t i = 0; i < d.summary.entities.size(); ++i) {
      if (d.summary.entities[i].className != "AcDbBlockReference") continue;
      const auto block = std::find_if(withBlocks.blocks.begin(), withBlocks.blocks.end(),
                                      [&](const BlockContents& b) { return b.name == d.geometry[i].text; });
      ASSERT_NE(block, withBlocks.blocks.end()) << *d.geometry[i].text;
      ++references;
      EXPECT_EQ(block->kinds, (std::vector<std::string>{"AcDbCircle", "AcDbLine"}));
      ASSERT_EQ(block->geometry.size(), 2u);
      EXPECT_EQ(block->geometry[0].numbers, (std::vector<double>{0, 0, 0, 5}));
    }
    // The plain summary lists the same entities.
    Summary plain;
    ASSERT_TRUE(readSummaryFile(entry.path(), plain).ok());
    ASSERT_EQ(plain.entities.size(), d.summary.entities.size());
    for (std::size_t i = 0; i < plain.entities.size(); ++i) EXPECT_EQ(plain.entities[i].handle, d.summary.entities[i].handle);
    FileLook look;
    EXPECT_TRUE(lookAtFile(entry.path(), look).ok());
    EXPECT_EQ(look.version, d.summary.version);
  }
  EXPECT_EQ(files, 14);
  EXPECT_GT(references, 0);
}

TEST(DxfReader, ListsWhatEzdxfWroteInEveryVersionTextAndBinary) {
  if (const std::string why = testing::ezdxfMissing(); !why.empty()) GTEST_SKIP() << why;
  // Two fixed seeds and one new each run, told so that a failure can be repeated.
  const unsigned fresh = std::random_device{}() % 100000;
  std::cout << "ezdxf drawings of seeds 11, 23 and " << fresh << '\n';
  for (const unsigned seed : {11u, 23u, fresh}) checkEzdxfDrawings(seed);
}

TEST(DxfReader, DatesMeanWhatTheyMeanInADwgOfTheSameVersion) {
  const Groups entities = section("ENTITIES", {{0, "LINE"}, {5, "2A"}, {8, "0"}});
  const Groups created = {{9, "$TDCREATE"}, {40, "2460000.25"}}, universal = {{9, "$TDUCREATE"}, {40, "2460000.5"}};
  // From R2000 on the universal date, as a DWG of that version stores it.
  const Groups updated = {{9, "$TDUPDATE"}, {40, "2460001.75"}, {9, "$TDUUPDATE"}, {40, "2460001.125"}};
  Drawing d = readDxf(dxfFile(header("AC1015", created + universal + updated) + entities), ReadRequest{true, false});
  EXPECT_EQ(d.summary.created.days, 2460000);
  EXPECT_EQ(d.summary.created.milliseconds, 43200000);
  ASSERT_TRUE(d.evidence.updated);
  EXPECT_EQ(d.evidence.updated->milliseconds, 10800000);
  EXPECT_TRUE(d.summary.damage.empty());
  // Before R2000 the local clock, whatever else is stored.
  d = readDxf(dxfFile(header("AC1009", created + universal) + entities), ReadRequest{});
  EXPECT_EQ(d.summary.created.milliseconds, 21600000);
  // Only the local date of a version that should store both: taken, and told.
  d = readDxf(dxfFile(header("AC1032", created) + entities), ReadRequest{});
  EXPECT_EQ(d.summary.created.milliseconds, 21600000);
  EXPECT_TRUE(hasDamage(d.summary, "only as local time"));
  // A day's last moment rounds into the next day, not to 86400000 ms.
  d = readDxf(dxfFile(header("AC1009", {{9, "$TDCREATE"}, {40, "2460000.9999999999"}})), ReadRequest{});
  EXPECT_EQ(d.summary.created.days, 2460001);
  EXPECT_EQ(d.summary.created.milliseconds, 0);
}

TEST(DxfReader, TellsDxfByContentAndOldDrawingsWithoutHandles) {
  testing::TempDir dir;
  // Comments, blanks and CRLF before the first section; named .dwg.
  std::string text = "999\r\nwritten by hand\r\n  0\r\nSECTION\r\n  2\r\nHEADER\r\n  9\r\n$ACADVER\r\n  1\r\nAC1009\r\n"
                     "  9\r\n$HANDLING\r\n 70\r\n     0\r\n  0\r\nENDSEC\r\n  0\r\nSECTION\r\n  2\r\nENTITIES\r\n"
                     "  0\r\nCIRCLE\r\n  8\r\n0\r\n 10\r\n1.5\r\n 20\r\n2\r\n 40\r\n3\r\n 67\r\n1\r\n"
                     "  0\r\nPOLYLINE\r\n  8\r\n0\r\n 66\r\n1\r\n  0\r\nVERTEX\r\n 10\r\n1\r\n 20\r\n2\r\n 42\r\n0.5\r\n"
                     "  0\r\nVERTEX\r\n 10\r\n3\r\n 20\r\n4\r\n  0\r\nSEQEND\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
  const fs::path file = dir.write("hand.dwg", text);
  FileLook look;
  ASSERT_TRUE(lookAtFile(file, look).ok());
  EXPECT_EQ(look.version, "AC1009");
  Drawing d;
  ASSERT_TRUE(readDrawingFile(file, ReadRequest{false, true}, d).ok());
  ASSERT_EQ(d.summary.entities.size(), 2u);
  EXPECT_TRUE(d.summary.damage.empty());
  EXPECT_FALSE(d.summary.entities[0].hasHandle);
  // Model space comes first, as a DWG lists it.
  EXPECT_EQ(d.summary.entities[0].className, "AcDbPolyline");
  EXPECT_EQ(d.geometry[0].numbers, (std::vector<double>{1, 2, 0.5, 3, 4, 0}));
  EXPECT_EQ(d.summary.entities[1].space, Space::kPaper);
  EXPECT_EQ(d.geometry[1].numbers, (std::vector<double>{1.5, 2, 0, 3}));
}

TEST(DxfReader, ListsLayoutsInTheirOrderAndNamesKindsByTheirMarkers) {
  const std::string text = dxfFile(
      header("AC1018") +
      section("BLOCKS", {{0, "BLOCK"}, {5, "10"}, {2, "*Paper_Space0"}, {0, "LINE"}, {5, "11"}, {0, "ENDBLK"},
                         {5, "12"}, {0, "BLOCK"}, {5, "13"}, {2, "PART"}, {0, "CIRCLE"}, {5, "14"}, {0, "ENDBLK"},
                         {5, "15"}, {0, "BLOCK"}, {5, "16"}, {2, "*Model_Space"}, {0, "ENDBLK"}, {5, "17"}}) +
      section("ENTITIES", {{0, "ARC"}, {5, "20"}, {67, "1"}, {0, "DIMENSION"}, {5, "21"}, {70, "33"},
                           {0, "INSERT"}, {5, "22"}, {2, "PART"}, {70, "2"}, {71, "3"}, {66, "1"},
                           {0, "ATTRIB"}, {5, "23"}, {0, "SEQEND"}, {5, "24"}, {0, "POLYLINE"}, {5, "25"},
                           {70, "8"}, {0, "VERTEX"}, {5, "26"}, {0, "SEQEND"}, {5, "27"},
                           {0, "FANCYTHING"}, {5, "28"}, {100, "AcDbEntity"}, {100, "AcDbFancy"}}));
  Summary s;
  ASSERT_TRUE(readSummary(bytesOf(text), s).ok());
  std::vector<std::string> listed;
  for (const Entity& e : s.entities)
    listed.push_back(e.className + " " + handleText(e.handle) + (e.space == Space::kModel ? " M" : " P"));
  EXPECT_EQ(listed, (std::vector<std::string>{"AcDbAlignedDimension 21 M", "AcDbMInsertBlock 22 M",
                                              "AcDb3dPolyline 25 M", "AcDbFancy 28 M", "AcDbArc 20 P",
                                              "AcDbLine 11 P"}));
}

TEST(DxfReader, ReadsThePreviewBitmapAndChecksItsSize) {
  // A 2 x 3 bitmap: its 40-byte info header and three rows of 8 bytes.
  std::string hex = "28000000" "02000000" "03000000" "0100" "1800" + std::string(48 + 48, '0');
  const auto withPreview = [&](const std::string& size) {
    return readDxf(dxfFile(header("AC1015") + section("THUMBNAILIMAGE", {{90, size}, {310, hex.substr(0, 40)},
                                                                         {310, hex.substr(40)}})),
                   ReadRequest{true, false});
  };
  Drawing d = withPreview(std::to_string(hex.size() / 2));
  EXPECT_EQ(d.evidence.preview.format, PreviewFormat::kBmp);
  EXPECT_EQ(d.evidence.preview.width, 2);
  EXPECT_EQ(d.evidence.preview.height, 3);
  EXPECT_EQ(d.evidence.preview.bytes.size(), hex.size() / 2);
  EXPECT_EQ(previewFileBytes(d.evidence.preview).size(), hex.size() / 2 + 14);
  d = withPreview("10");
  EXPECT_EQ(d.evidence.preview.format, PreviewFormat::kNone);
  EXPECT_FALSE(d.evidence.previewNote.empty());
}

// Text that is not UTF-8 in a version that stores UTF-8 is read in the
// drawing's code page, and told. Other damage is in damage_test.cpp.
TEST(DxfReader, TextNotInUtf8IsReadInTheCodePage) {
  const Drawing d = readDxf(dxfFile(header("AC1021", {{9, "$DWGCODEPAGE"}, {3, "ANSI_1251"}}) +
                                    section("ENTITIES", {{0, "TEXT"}, {5, "2C"}, {1, "\xC2\xE0\xEB"}})));
  ASSERT_TRUE(d.geometry.at(0).text);
  EXPECT_EQ(*d.geometry[0].text, "Вал");
  EXPECT_TRUE(hasDamage(d.summary, "not UTF-8"));
}

}  // namespace
}  // namespace veldra::dwg
