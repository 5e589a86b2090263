#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "dwgwrite/bit_writer.h"
#include "dwgwrite/command_line.h"
#include "dwgwrite/dwg_writer.h"
#include "support/temp_dir.h"
#include "veldra/dwg/reader.h"

namespace veldra::dwgwrite {
namespace {

using Bytes = std::vector<std::uint8_t>;
using dwg::Space;

dwg::Summary roundTrip(const DrawingSpec& plan) {
  Bytes bytes;
  const std::string problem = writeDrawing(plan, bytes);
  EXPECT_EQ(problem, "");
  dwg::Summary summary;
  const dwg::Status status = dwg::readSummary(bytes, summary);
  EXPECT_TRUE(status.ok()) << status.message << " at " << status.offset << " in " << status.section;
  return summary;
}

// One "Class HANDLE SPACE" line per entity read back.
std::vector<std::string> entityLines(const dwg::Summary& summary) {
  std::vector<std::string> lines;
  for (const auto& e : summary.entities)
    lines.push_back(e.className + " " + dwg::handleText(e.handle) + (e.space == Space::kModel ? " MODEL" : " PAPER"));
  return lines;
}

std::uint32_t rl(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint16_t rs(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8)); }

TEST(DwgWriterRoundTrip, KeepsVersionAndCreationDateToTheMillisecond) {
  for (const auto& [days, ms] : std::vector<std::pair<std::int32_t, std::int32_t>>{
           {2459632, 37383000}, {2451545, 0}, {2460000, 86399999}, {2440588, 1}, {0, 43200000}}) {
    SCOPED_TRACE(std::to_string(days) + ":" + std::to_string(ms));
    const dwg::Summary summary = roundTrip({days, ms, {{"LINE", 0x100, false}}});
    EXPECT_EQ(summary.version, "AC1015");
    EXPECT_EQ(summary.created.days, days);
    EXPECT_EQ(summary.created.milliseconds, ms);
  }
  EXPECT_TRUE(roundTrip({2459632, 37383000, {}}).entities.empty());
}

TEST(DwgWriterRoundTrip, ModelSpaceComesFirstThenPaperSpaceEachInGivenOrder) {
  const DrawingSpec plan{2459632, 37383000,
                         {{"TEXT", 0x2A0, true}, {"LINE", 0x28E, false}, {"circle", 0x1, true},
                          {"POINT", 0x298, false}, {"ARC", 0x250, false}, {"LINE", 0x5, true}}};
  EXPECT_EQ(entityLines(roundTrip(plan)),
            (std::vector<std::string>{"AcDbLine 28E MODEL", "AcDbPoint 298 MODEL", "AcDbArc 250 MODEL",
                                      "AcDbText 2A0 PAPER", "AcDbCircle 1 PAPER", "AcDbLine 5 PAPER"}));
}

TEST(DwgWriterRoundTrip, ManyEntitiesAndLargeHandlesAmongTheWritersOwn) {
  // Low handles interleave with the writer's own objects; thousands of
  // entries need several object map sections; the largest handles need all
  // eight handle bytes.
  DrawingSpec plan{2459632, 1, {}};
  std::vector<std::string> expected;
  const char* types[] = {"LINE", "CIRCLE", "ARC", "POINT", "TEXT"};
  const char* classes[] = {"AcDbLine", "AcDbCircle", "AcDbArc", "AcDbPoint", "AcDbText"};
  for (std::uint64_t i = 0; i < 3000; ++i) {
    const std::uint64_t handle = i < 40 ? 2 * i + 1 : 0x10000000000ull + i * 0x10001;
    plan.entities.push_back({types[i % 5], handle, false});
    expected.push_back(std::string(classes[i % 5]) + " " + dwg::handleText(handle) + " MODEL");
  }
  for (std::uint64_t handle : {0xFFFFFFFFFFFFFFFEull, 0x8000000000000000ull, 0xFFull}) {
    plan.entities.push_back({"POINT", handle, true});
    expected.push_back("AcDbPoint " + dwg::handleText(handle) + " PAPER");
  }
  EXPECT_EQ(entityLines(roundTrip(plan)), expected);

  // Alone, the largest handle lies more than 2^63 past the writer's own.
  EXPECT_EQ(entityLines(roundTrip({2459632, 1, {{"LINE", 0xFFFFFFFFFFFFFFFEull, false}}})),
            std::vector<std::string>{"AcDbLine FFFFFFFFFFFFFFFE MODEL"});
}

TEST(DwgWriterRoundTrip, SameSpecGivesTheSameBytesAndTheFileHoldsThem) {
  const DrawingSpec plan{2459632, 37383000, {{"LINE", 0x28E, false}, {"TEXT", 0x2A0, true}}};
  Bytes first;
  Bytes second;
  ASSERT_EQ(writeDrawing(plan, first), "");
  ASSERT_EQ(writeDrawing(plan, second), "");
  EXPECT_EQ(first, second);

  testing::TempDir dir;
  const auto file = dir.path() / "copy.dwg";
  ASSERT_EQ(writeDrawingFile(file, plan), "");
  const std::string stored = testing::slurp(file);
  EXPECT_EQ(Bytes(stored.begin(), stored.end()), first);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  EXPECT_NE(writeDrawingFile(dir.path() / "missing" / "x.dwg", plan), "");
}

TEST(DwgWriterRefuses, BadSpecsWithAReasonAndNoBytes) {
  const std::vector<std::pair<DrawingSpec, std::string>> cases{
      {{2459632, 0, {{"LINE", 0, false}}}, "handle 0"},
      {{2459632, 0, {{"LINE", 0x30, false}, {"POINT", 0x30, true}}}, "30 is used twice"},
      {{2459632, 0, {{"SPLINE", 0x30, false}}}, "unknown entity type \"SPLINE\""},
      {{2459632, 0, {{"LINE", 0xFFFFFFFFFFFFFFFFull, false}}}, "no next handle"},
      {{2459632, 86400000, {}}, "milliseconds"},
      {{2459632, -1, {}}, "milliseconds"},
      {{-1, 0, {}}, "negative day"},
  };
  for (const auto& [plan, reason] : cases) {
    SCOPED_TRACE(reason);
    Bytes out{1, 2, 3};
    const std::string problem = writeDrawing(plan, out);
    EXPECT_NE(problem.find(reason), std::string::npos) << problem;
    EXPECT_TRUE(out.empty());
  }
  testing::TempDir dir;
  EXPECT_NE(writeDrawingFile(dir.path() / "bad.dwg", cases[0].first), "");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "bad.dwg"));
}

TEST(DwgWriterRefuses, PlansTheFormatCannotHold) {
  using Change = void (*)(DrawingSpec&);
  const std::vector<std::pair<Change, std::string>> cases{
      {[](DrawingSpec& p) { p.version = "AC1021"; }, "unknown version \"AC1021\""},
      {[](DrawingSpec& p) { p.entities[0].numbers = {1, 2}; }, "LINE 30 has 2 numbers"},
      {[](DrawingSpec& p) { p.entities = {{"LWPOLYLINE", 0x30, false, "", {1, 2, 3, 4}, ""}}; }, "has 4 numbers"},
      {[](DrawingSpec& p) { p.entities[0].layer = "Walls"; }, "layer \"Walls\", which the plan does not list"},
      {[](DrawingSpec& p) { p.layers = {"A", "a"}; }, "layer \"a\" is listed twice"},
      {[](DrawingSpec& p) { p.layers = {"0"}; }, "listed twice"},
      {[](DrawingSpec& p) { p.entities = {{"INSERT", 0x30, false, "", {}, "Door"}}; },
       "block \"Door\", which is not defined before it"},
      {[](DrawingSpec& p) { p.blocks = {{"B", {{"INSERT", 0x31, false, "", {}, "B"}}}}; },
       "block \"B\", which is not defined before it"},
      {[](DrawingSpec& p) { p.blocks = {{"B", {}}, {"b", {}}}; }, "defined twice"},
      {[](DrawingSpec& p) { p.blocks = {{"*Model_Space", {}}}; }, "not starting with '*'"},
      {[](DrawingSpec& p) { p.blocks = {{"B", {{"LINE", 0x30, false}}}}; }, "30 is used twice"},
      {[](DrawingSpec& p) { p.entities = {{"TEXT", 0x30, false, "", {}, "\xFF"}}; }, "not UTF-8"},
      {[](DrawingSpec& p) { p.entities = {{"TEXT", 0x30, false, "", {}, "\xCE\xA9"}}; }, "code page 1252 lacks"},
      {[](DrawingSpec& p) {
         p.codePage = 28;
         p.entities = {{"TEXT", 0x30, false, "", {}, "caf\xC3\xA9"}};
       },
       "needs code page 30"},
      {[](DrawingSpec& p) { p.entities = {{"TEXT", 0x30, false, "", {}, std::string(70000, 'x')}}; }, "too long"},
      {[](DrawingSpec& p) { p.editingTime = Stamp{0, 86400000}; }, "milliseconds of the editing time"},
      {[](DrawingSpec& p) { p.updated = Stamp{-2, 0}; }, "the update date has a negative day"},
      {[](DrawingSpec& p) { p.fingerprintGuid = "{\xC3\xA9}"; }, "printable ASCII"},
      {[](DrawingSpec& p) { p.preview = {PreviewFormat::kPng, {1}}; }, "PNG preview needs AC1018"},
      {[](DrawingSpec& p) { p.preview = {PreviewFormat::kBmp, {}}; }, "no bytes"},
      {[](DrawingSpec& p) {
         p.version = "AC1018";
         p.summaryInfo.author = "\xCE\xA9";
       },
       "code page 1252 lacks"},
  };
  for (const auto& [change, reason] : cases) {
    SCOPED_TRACE(reason);
    DrawingSpec plan{2459632, 0, {{"LINE", 0x30, false}}};
    change(plan);
    Bytes out{1, 2, 3};
    const std::string problem = writeDrawing(plan, out);
    EXPECT_NE(problem.find(reason), std::string::npos) << problem;
    EXPECT_TRUE(out.empty());
  }
}

// Reads what the object map and object framing need, to check the writer
// without the reader.
struct MiniReader {
  const Bytes& b;
  std::size_t bit;
  unsigned take(unsigned n) {
    unsigned v = 0;
    for (unsigned i = 0; i < n; ++i, ++bit) v = (v << 1) | ((b[bit / 8] >> (7 - bit % 8)) & 1u);
    return v;
  }
  std::uint64_t modularChar(bool isSigned) {
    std::uint64_t v = 0;
    for (unsigned shift = 0;; shift += 7) {
      const unsigned c = take(8);
      if ((c & 0x80) == 0) {
        v |= static_cast<std::uint64_t>(c & (isSigned ? 0x3F : 0x7F)) << shift;
        return isSigned && (c & 0x40) ? 0 - v : v;
      }
      v |= static_cast<std::uint64_t>(c & 0x7F) << shift;
    }
  }
};

// Checks a reader need not make: the file header check value, the framing
// of the header variables, the object map's section sizes and checks, and
// each mapped object's framing, check value and own handle.
TEST(DwgWriterStructure, ChecksSentinelsAndObjectFramingAreRight) {
  const std::uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(crc16(check, 0), 0xBB3D);  // the standard check value of this CRC
  for (const std::string version : {"AC1012", "AC1014", "AC1015"}) {
    SCOPED_TRACE(version);
    DrawingSpec plan{2459632, 37383000, {}, version};
    for (std::uint64_t i = 0; i < 1000; ++i) plan.entities.push_back({"TEXT", 0x20 + i * 0x101, i % 3 == 0});
    plan.entities.push_back({"ARC", 0xFFFFFFFFFFFFFFF0ull, false});
    Bytes b;
    ASSERT_EQ(writeDrawing(plan, b), "");
    // R2000 lists six section locators, R13 and R14 five; the check value of
    // the file header is masked by a constant for the count.
    const std::uint32_t locators = rl(b, 0x15);
    ASSERT_EQ(locators, version == "AC1015" ? 6u : 5u);
    const std::size_t crcAt = 0x19 + locators * 9;
    EXPECT_EQ(rs(b, crcAt), crc16(std::span(b.data(), crcAt), 0) ^ (locators == 6 ? 0x8461 : 0x3CC4));
    EXPECT_EQ(b[crcAt + 2], 0x95);
    EXPECT_EQ(b[crcAt + 17], 0x00);

    // The header variables and the classes: sentinel, size, data, check value
    // over size and data, sentinel.
    for (int section = 0; section < 2; ++section) {
      const std::size_t start = rl(b, 0x19 + section * 9 + 1);
      const std::size_t size = rl(b, start + 16);
      EXPECT_EQ(b[start], section == 0 ? 0xCF : 0x8D);
      EXPECT_EQ(rs(b, start + 20 + size), crc16(std::span(b.data() + start + 16, size + 4), 0xC0C1));
      EXPECT_EQ(rl(b, 0x19 + section * 9 + 5), 16 + 4 + size + 2 + 16);
    }

    std::size_t at = rl(b, 0x19 + 2 * 9 + 1);
    const std::size_t mapEnd = at + rl(b, 0x19 + 2 * 9 + 5);
    int sections = 0;
    std::size_t objects = 0;
    std::uint64_t previous = 0;
    for (std::size_t sectionSize = 0; sectionSize != 2; at += sectionSize + 2, ++sections) {
      sectionSize = (b[at] << 8) | b[at + 1];
      ASSERT_LE(sectionSize, 2034u);
      const std::uint16_t stored = static_cast<std::uint16_t>((b[at + sectionSize] << 8) | b[at + sectionSize + 1]);
      EXPECT_EQ(stored, crc16(std::span(b.data() + at, sectionSize), 0xC0C1));
      MiniReader map{b, (at + 2) * 8};
      std::uint64_t handle = 0;
      std::uint64_t offset = 0;
      while (map.bit < (at + sectionSize) * 8) {
        handle += map.modularChar(false);
        offset += map.modularChar(true);
        ASSERT_GT(handle, previous);
        previous = handle;
        // The object: MS size, then type, the bit size (R2000) and its own
        // handle; a check value over size and data follows it.
        ASSERT_LT(offset + 2, b.size());
        const std::size_t objectSize = rs(b, offset) & 0x7FFF;
        ASSERT_EQ(rs(b, offset) & 0x8000, 0);
        ASSERT_LE(offset + 2 + objectSize + 2, b.size());
        EXPECT_EQ(rs(b, offset + 2 + objectSize), crc16(std::span(b.data() + offset, objectSize + 2), 0xC0C1));
        MiniReader object{b, (offset + 2) * 8};
        const unsigned typeCode = object.take(2);
        object.take(typeCode == 0 ? 16 : typeCode == 1 ? 8 : 0);
        if (version == "AC1015") object.take(32);
        EXPECT_EQ(object.take(4), 0u);
        std::uint64_t own = 0;
        for (unsigned n = object.take(4); n > 0; --n) own = (own << 8) | object.take(8);
        EXPECT_EQ(own, handle);
        ++objects;
      }
    }
    EXPECT_EQ(at, mapEnd);
    EXPECT_GE(sections, 3);
    EXPECT_EQ(previous, 0xFFFFFFFFFFFFFFF0ull);
    EXPECT_GT(objects, plan.entities.size() + 20);
  }
}

TEST(DwgWriterCommandLine, DatesAsJulianFractionOrMilliseconds) {
  DrawingSpec plan;
  // The fraction 0.9999999999 rounds up into the next day.
  for (const auto& [text, days, ms] : std::vector<std::tuple<const char*, std::int32_t, std::int32_t>>{
           {"2459632.432673611", 2459632, 37383000}, {"2451545.5", 2451545, 43200000},
           {"2451545.9999999999", 2451546, 0}, {"2460000:86399999", 2460000, 86399999}}) {
    ASSERT_EQ(parseDate(text, plan), "") << text;
    EXPECT_EQ(plan.days, days) << text;
    EXPECT_EQ(plan.milliseconds, ms) << text;
  }
  for (const char* bad : {"", "x", "12.", "12.3a", "-1.5", "12:86400000", "12:-1", "99999999999.5", "1:2:3"}) {
    SCOPED_TRACE(bad);
    EXPECT_NE(parseDate(bad, plan), "");
    EXPECT_EQ(plan.days, 2460000);
  }
}

TEST(DwgWriterCommandLine, EntitiesSinglyInRunsAndFromAFile) {
  DrawingSpec plan;
  ASSERT_EQ(parseEntity("LINE:28E", plan), "");
  ASSERT_EQ(parseEntity("POINT:FFFFFFFFFFFFFFFE:paper", plan), "");
  ASSERT_EQ(parseEntity("arc:a-c:model", plan), "");
  ASSERT_EQ(plan.entities.size(), 5u);
  EXPECT_EQ(plan.entities[0].handle, 0x28Eu);
  EXPECT_TRUE(plan.entities[1].paperSpace);
  EXPECT_EQ(plan.entities[4].type, "arc");
  EXPECT_EQ(plan.entities[4].handle, 0xCu);
  EXPECT_FALSE(plan.entities[4].paperSpace);
  for (const char* bad : {"LINE", "LINE:", "LINE:xyz", "LINE:5:side", "LINE:9-5", "LINE:10000000000000000"}) {
    SCOPED_TRACE(bad);
    EXPECT_NE(parseEntity(bad, plan), "");
  }
  EXPECT_EQ(plan.entities.size(), 5u);

  testing::TempDir dir;
  const auto good = dir.write("good.txt", "# entities\r\nCIRCLE:300\r\n\r\n  TEXT:301:paper  \r\n");
  const auto bad = dir.write("bad.txt", "CIRCLE:400\nCIRCLE\n");
  ASSERT_EQ(parseEntityFile(good.string(), plan), "");
  ASSERT_EQ(plan.entities.size(), 7u);
  EXPECT_EQ(plan.entities[6].handle, 0x301u);
  EXPECT_TRUE(plan.entities[6].paperSpace);
  EXPECT_NE(parseEntityFile(bad.string(), plan).find("line 2"), std::string::npos);
  EXPECT_NE(parseEntityFile((dir.path() / "none.txt").string(), plan), "");
  EXPECT_EQ(plan.entities.size(), 7u);
}

}  // namespace
}  // namespace veldra::dwgwrite

namespace veldra::dwgwrite {
namespace {

TEST(DwgWriterCommandLine, FurtherChoices) {
  DrawingSpec plan;
  bool known = false;
  const auto option = [&](const char* name, const std::string& value) { return parseOption(name, value, plan, known); };
  EXPECT_EQ(option("version", "AC1012"), "");
  EXPECT_EQ(plan.version, "AC1012");
  EXPECT_NE(option("version", "AC1021"), "");
  EXPECT_EQ(plan.version, "AC1012");
  EXPECT_EQ(option("updated", "2460000.5"), "");
  EXPECT_EQ(plan.updated->days, 2460000);
  EXPECT_EQ(plan.updated->milliseconds, 43200000);
  EXPECT_EQ(option("editing-time", "0:90000"), "");
  EXPECT_EQ(plan.editingTime->milliseconds, 90000);
  EXPECT_NE(option("editing-time", "soon"), "");
  EXPECT_EQ(option("handseed", "2A0"), "");
  EXPECT_EQ(plan.handseed, 0x2A0u);
  EXPECT_NE(option("handseed", "2G"), "");
  EXPECT_EQ(option("fingerprint-guid", "{A}"), "");
  EXPECT_EQ(option("version-guid", "{B}"), "");
  EXPECT_EQ(plan.fingerprintGuid, "{A}");
  EXPECT_EQ(plan.versionGuid, "{B}");
  EXPECT_EQ(option("layer", "Walls"), "");
  EXPECT_EQ(plan.layers, std::vector<std::string>{"Walls"});
  EXPECT_EQ(option("summary", "LastSavedBy=lab=07"), "");
  EXPECT_EQ(plan.summaryInfo.lastSavedBy, "lab=07");
  EXPECT_NE(option("summary", "owner=x"), "");
  EXPECT_NE(option("summary", "author"), "");

  testing::TempDir dir;
  const auto bmp = dir.write("p.bmp", std::string("BM") + std::string(12, '\0') + "DIB");
  EXPECT_EQ(option("preview", bmp.string()), "");
  EXPECT_EQ(plan.preview.format, PreviewFormat::kBmp);
  EXPECT_EQ(plan.preview.bytes, (Bytes{'D', 'I', 'B'}));
  EXPECT_EQ(option("preview", dir.write("p.PNG", "png").string()), "");
  EXPECT_EQ(plan.preview.format, PreviewFormat::kPng);
  EXPECT_NE(option("preview", dir.write("p.gif", "gif").string()), "");
  EXPECT_NE(option("preview", dir.write("q.bmp", "not a bitmap").string()), "");
  EXPECT_NE(option("preview", (dir.path() / "none.wmf").string()), "");
  EXPECT_TRUE(known);
  EXPECT_EQ(option("colour", "red"), "");
  EXPECT_FALSE(known);
}

}  // namespace
}  // namespace veldra::dwgwrite
