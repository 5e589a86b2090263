#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dwgwrite/dwg_writer.h"
#include "veldra/dwg/reader.h"

namespace veldra::dwgwrite {
namespace {

using Bytes = std::vector<std::uint8_t>;

DrawingSpec richPlan(const std::string& version) {
  DrawingSpec plan;
  plan.version = version;
  plan.days = 2459632;
  plan.milliseconds = 37383000;
  plan.layers = {"Walls", "Text"};
  plan.blocks = {{"Door", {{"LINE", 0x500, false, "Walls", {0, 0, 0, 1, 0, 0}, ""},
                           {"ARC", 0x501, false, "", {0, 0, 0, 1, 0, 1.5707963267948966}, ""}}}};
  plan.entities = {{"LINE", 0x100, false, "Walls", {0, 0, 0, 10, 0, 0}, ""},
                   {"CIRCLE", 0x101, false, "", {5, 5, 0, 2.5}, ""},
                   {"ARC", 0x102, true, "", {1, 2, 3, 4, 0.5, 2.5}, ""},
                   {"ELLIPSE", 0x103, false, "", {0, 0, 0, 3, 0, 0, 0.5, 0, 6.283185307179586}, ""},
                   {"POINT", 0x104, false, "", {7, 8, 9}, ""},
                   {"LWPOLYLINE", 0x105, false, "Walls", {0, 0, 0, 1, 0, 0.5, 1, 1, 0}, ""},
                   {"TEXT", 0x106, false, "Text", {2, 3, 0.25}, "Grüße, café"},
                   {"INSERT", 0x107, false, "", {4, 4, 0, 2, 2, 1, 0.5}, "Door"}};
  return plan;
}

TEST(DwgWriterVersions, EveryVersionReadsBack) {
  for (const std::string& version : knownVersions()) {
    SCOPED_TRACE(version);
    Bytes bytes;
    ASSERT_EQ(writeDrawing(richPlan(version), bytes), "");
    dwg::Summary summary;
    const dwg::Status status = dwg::readSummary(bytes, summary);
    ASSERT_TRUE(status.ok()) << status.message << " at " << status.offset << " in " << status.section;
    EXPECT_EQ(summary.version, version);
    EXPECT_EQ(summary.created.days, 2459632);
    EXPECT_EQ(summary.created.milliseconds, 37383000);
    ASSERT_EQ(summary.entities.size(), 8u);
    std::string classes;
    for (const auto& e : summary.entities) classes += e.className + " " + dwg::handleText(e.handle) + ";";
    EXPECT_EQ(classes,
              "AcDbLine 100;AcDbCircle 101;AcDbEllipse 103;AcDbPoint 104;AcDbPolyline 105;AcDbText 106;"
              "AcDbBlockReference 107;AcDbArc 102;");
  }
}

}  // namespace
}  // namespace veldra::dwgwrite
