// The reader on R13 (AC1012) and R14 (AC1014) drawings from the test writer:
// the header variables of those releases before the creation date, the
// object size field after the extended data and the graphic flag, the
// linetype bit and the layer handle before the entity links, links stored
// and links assumed, the object map, and the class list that gives the
// light-weight polyline its type before R2000.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dwgwrite/dwg_writer.h"
#include "written_drawing.h"
#include "veldra/dwg/reader.h"

namespace veldra::dwg {
namespace {

using Bytes = std::vector<std::uint8_t>;
using dwgwrite::DrawingSpec;
using dwgwrite::EntitySpec;

const char* const kOldVersions[] = {"AC1012", "AC1014"};

using testbytes::written;

std::vector<std::string> listing(const Summary& summary) {
  std::vector<std::string> lines;
  for (const Entity& e : summary.entities)
    lines.push_back(e.className + " " + handleText(e.handle) + (e.space == Space::kModel ? " MODEL" : " PAPER"));
  return lines;
}

// Thousands of entities: runs of consecutive handles (links assumed) and
// scattered ones (links stored), every kind, both spaces, with a block
// whose entities stay out of the listing, over several object map sections.
DrawingSpec bigPlan(const char* version, std::vector<std::string>& expected) {
  DrawingSpec plan;
  plan.version = version;
  plan.days = 2450000;
  plan.milliseconds = 1234;
  plan.assumeNeighbourLinks = true;
  plan.layers = {"Hidden", "Dims"};
  plan.blocks = {{"Bolt", {{"CIRCLE", 0x90000, false, "Dims", {}, ""}, {"LINE", 0x90001, false, "", {}, ""}}}};
  const char* types[] = {"LINE", "CIRCLE", "ARC", "POINT", "TEXT", "ELLIPSE", "LWPOLYLINE", "INSERT"};
  const char* classes[] = {"AcDbLine",  "AcDbCircle",  "AcDbArc",      "AcDbPoint",
                           "AcDbText",  "AcDbEllipse", "AcDbPolyline", "AcDbBlockReference"};
  std::vector<std::string> paper;
  for (std::uint64_t i = 0; i < 2500; ++i) {
    const std::uint64_t handle = i < 2000 ? 0x400 + i : 0x100000 + i * 0x35;
    const bool inPaper = i % 7 == 3;
    EntitySpec e{types[i % 8], handle, inPaper, i % 3 == 0 ? "Hidden" : "", {}, i % 8 == 7 ? "Bolt" : ""};
    plan.entities.push_back(e);
    const std::string line = std::string(classes[i % 8]) + " " + handleText(handle) + (inPaper ? " PAPER" : " MODEL");
    (inPaper ? paper : expected).push_back(line);
  }
  expected.insert(expected.end(), paper.begin(), paper.end());
  return plan;
}

TEST(R13Reader, ReadsEntityChainsThroughTheObjectMapInBothSpaces) {
  for (const char* version : kOldVersions) {
    SCOPED_TRACE(version);
    std::vector<std::string> expected;
    Summary summary;
    const Status status = readSummary(written(bigPlan(version, expected)), summary);
    ASSERT_TRUE(status.ok()) << status.message << " at " << status.offset << " in " << status.section;
    EXPECT_EQ(summary.version, version);
    EXPECT_EQ(listing(summary), expected);
    EXPECT_FALSE(summary.doubtful());
  }
}

TEST(R13Reader, EmptyAndSingleEntitySpaces) {
  for (const char* version : kOldVersions) {
    SCOPED_TRACE(version);
    Summary summary;
    ASSERT_TRUE(readSummary(written({2450000, 0, {}, version}), summary).ok());
    EXPECT_TRUE(summary.entities.empty());
    ASSERT_TRUE(readSummary(written({2450000, 0, {{"POINT", 0x1, true}}, version}), summary).ok());
    EXPECT_EQ(listing(summary), std::vector<std::string>{"AcDbPoint 1 PAPER"});
    // Consecutive handles whose links are assumed; the chain ends at the
    // last entity the block record names.
    DrawingSpec run{2450000, 0, {{"LINE", 0x7000, false}, {"LINE", 0x7001, false}, {"LINE", 0x7002, false}}, version};
    run.assumeNeighbourLinks = true;
    ASSERT_TRUE(readSummary(written(run), summary).ok());
    EXPECT_EQ(listing(summary),
              (std::vector<std::string>{"AcDbLine 7000 MODEL", "AcDbLine 7001 MODEL", "AcDbLine 7002 MODEL"}));
  }
}

// R13 and R14 store the local time of the saving machine; the reader gives
// the stored value unchanged and says which clock it is.
TEST(R13Reader, DatesAreTheStoredLocalTime) {
  for (const char* version : {"AC1012", "AC1014", "AC1015", "AC1032"}) {
    SCOPED_TRACE(version);
    for (const auto& [days, ms] : std::vector<std::pair<std::int32_t, std::int32_t>>{
             {2459632, 37383000}, {2440588, 0}, {2460000, 86399999}}) {
      Summary summary;
      ASSERT_TRUE(readSummary(written({days, ms, {{"LINE", 0x100, false}}, version}), summary).ok());
      EXPECT_EQ(summary.created.days, days);
      EXPECT_EQ(summary.created.milliseconds, ms);
    }
    EXPECT_EQ(storesUniversalTime(version), std::string(version) >= "AC1015");
  }
}

// Cut short or with a byte changed anywhere, an R13 drawing is read or
// refused with a reason; it never takes the reader outside its buffer.
TEST(R13Reader, DamagedR13DrawingsAreReadOrRefusedCleanly) {
  DrawingSpec plan{2450000, 5, {}, "AC1012"};
  for (std::uint64_t h = 0x300; h < 0x310; ++h) plan.entities.push_back({h % 2 ? "TEXT" : "LWPOLYLINE", h, h > 0x30C});
  const Bytes file = written(plan);
  // Everything the summary needs lies before the end of the object map.
  const auto rl = [&file](std::size_t at) {
    return file[at] | (file[at + 1] << 8) | (file[at + 2] << 16) | (static_cast<std::uint32_t>(file[at + 3]) << 24);
  };
  const std::size_t mapEnd = rl(0x19 + 2 * 9 + 1) + rl(0x19 + 2 * 9 + 5);
  ASSERT_LT(mapEnd, file.size());
  for (std::size_t length = 0; length < file.size(); length += 7) {
    Summary summary;
    const Status status = readSummary(Bytes(file.begin(), file.begin() + length), summary);
    EXPECT_EQ(status.ok(), length >= mapEnd) << "cut at " << length << ": " << status.message;
    EXPECT_TRUE(status.ok() || !status.message.empty());
  }
  for (std::size_t at = 0; at < file.size(); at += 3) {
    Bytes changed = file;
    changed[at] ^= 0xA5;
    Summary summary;
    const Status status = readSummary(changed, summary);
    EXPECT_TRUE(status.ok() || !status.message.empty()) << "changed at " << at;
  }
}

}  // namespace
}  // namespace veldra::dwg
