// What the evidence reader reads back from the test writer's drawings in
// every version: the header evidence, the summary information, the preview
// and the geometry of every top-level entity, texts in both encodings,
// huge coordinates and NaN included.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "dwgwrite/dwg_writer.h"
#include "written_drawing.h"
#include "veldra/dwg/evidence.h"

namespace veldra::dwgwrite {
namespace {

using Bytes = std::vector<std::uint8_t>;

using dwg::testbytes::kInf;
using dwg::testbytes::kNaN;

dwg::Drawing readBack(const DrawingSpec& plan) {
  Bytes bytes;
  EXPECT_EQ(writeDrawing(plan, bytes), "");
  dwg::Drawing drawing;
  const dwg::Status status = dwg::readDrawing(bytes, {true, true}, drawing);
  EXPECT_TRUE(status.ok()) << status.message << " at " << status.offset << " in " << status.section;
  EXPECT_FALSE(drawing.summary.doubtful());
  return drawing;
}

// Equal to the bit, so that NaN equals NaN and -0 differs from 0.
bool sameNumbers(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

std::string numbersText(const std::vector<double>& numbers) {
  std::string out;
  for (double n : numbers) out += std::to_string(n) + " ";
  return out;
}

DrawingSpec everyKind(const std::string& version) {
  DrawingSpec plan;
  plan.version = version;
  plan.days = 2459632;
  plan.milliseconds = 37383000;
  plan.layers = {"Walls", "Notes"};
  plan.blocks = {{"Door", {{"LINE", 0x500, false, "Walls", {0, 0, 0, 1, 0, 0}, ""}}}};
  plan.entities = {{"LINE", 0x100, false, "Walls", {0, 0, 0, 10, 0.5, -3}, ""},
                   {"CIRCLE", 0x101, false, "", {5, 5, 0, 2.5}, ""},
                   {"ARC", 0x102, false, "notes", {1, 2, 3, 4, 0.5, 2.5}, ""},
                   {"ELLIPSE", 0x103, false, "", {0, 0, 0, 3, 1, 0, 0.5, 0.25, 6}, ""},
                   {"POINT", 0x104, false, "", {7, 8, 9}, ""},
                   {"LWPOLYLINE", 0x105, false, "Walls", {0, 0, 0, 1, 0, 0.5, 1, 1, 0}, ""},
                   {"LWPOLYLINE", 0x106, false, "", {0, 0, 0, 5, 5, 0}, ""},
                   {"TEXT", 0x107, false, "Notes", {2, 3, 0.25}, "Grüße, café €"},
                   {"INSERT", 0x108, false, "", {4, 4, 0, 2, 3, 1, 0.5}, "Door"},
                   {"INSERT", 0x109, true, "Walls", {1, 1, 1, 1, 1, 1, 0}, "door"},
                   {"LINE", 0x10A, true, "", {1e300, -1e308, kNaN, kInf, -kInf, 4.9e-324}, ""},
                   {"CIRCLE", 0x10B, true, "", {kNaN, -0.0, 1e-300, 1e300}, ""},
                   {"TEXT", 0x10C, true, "", {kNaN, 1e308, 0}, std::string(2000, 'x') + "é"}};
  return plan;
}

TEST(DwgWriterEvidence, GeometryLayersAndTextsReadBackInEveryVersion) {
  for (const std::string& version : knownVersions()) {
    SCOPED_TRACE(version);
    const DrawingSpec plan = everyKind(version);
    const dwg::Drawing drawing = readBack(plan);
    ASSERT_EQ(drawing.geometry.size(), drawing.summary.entities.size());
    ASSERT_EQ(drawing.summary.entities.size(), plan.entities.size());
    for (std::size_t i = 0; i < plan.entities.size(); ++i) {
      // Model space is listed first; the plan lists it first too.
      const EntitySpec& e = plan.entities[i];
      const dwg::EntityGeometry& g = drawing.geometry[i];
      SCOPED_TRACE(e.type + " " + dwg::handleText(e.handle));
      EXPECT_EQ(drawing.summary.entities[i].handle, e.handle);
      const std::string layer = e.layer.empty() ? "0" : e.layer == "notes" ? "Notes" : e.layer;
      EXPECT_EQ(g.layer, layer);
      EXPECT_TRUE(sameNumbers(g.numbers, e.numbers)) << numbersText(g.numbers) << "/ " << numbersText(e.numbers);
      if (e.type == "TEXT") {
        EXPECT_EQ(g.text, e.text);
      } else if (e.type == "INSERT") {
        EXPECT_EQ(g.text, "Door");
      } else {
        EXPECT_FALSE(g.text.has_value());
      }
    }
  }
}

TEST(DwgWriterEvidence, HeaderEvidenceSummaryInformationAndPreview) {
  const Bytes bmp{40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 8, 0, 0, 0,
                  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 0, 0};
  const Bytes png{0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                  0, 0, 1, 0, 0, 0, 0, 102, 8, 6, 0, 0, 0, 1, 2, 3, 4};
  for (const std::string& version : knownVersions()) {
    SCOPED_TRACE(version);
    DrawingSpec plan = everyKind(version);
    plan.editingTime = Stamp{1, 7200000};
    plan.userTimer = Stamp{0, 5};
    plan.updated = Stamp{2459700, 86399999};
    plan.handseed = 0x123456789ull;
    plan.fingerprintGuid = "{11111111-2222-3333-4444-555555555555}";
    plan.versionGuid = "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";
    plan.summaryInfo = {"Bracket", "Exercise 3", "Anna Müller", "steel", "", "lab-07", "4", "https://example.org/"};
    const bool paged = version >= "AC1018";
    plan.preview = paged ? PreviewSpec{PreviewFormat::kPng, png} : PreviewSpec{PreviewFormat::kBmp, bmp};
    const dwg::Evidence e = readBack(plan).evidence;
    ASSERT_TRUE(e.updated && e.editingTime && e.userTimer && e.handseed);
    EXPECT_EQ(e.updated->days, 2459700);
    EXPECT_EQ(e.updated->milliseconds, 86399999);
    EXPECT_EQ(e.editingTime->days, 1);
    EXPECT_EQ(e.editingTime->milliseconds, 7200000);
    EXPECT_EQ(e.userTimer->milliseconds, 5);
    EXPECT_EQ(*e.handseed, 0x123456789ull);
    if (version >= "AC1015") {
      EXPECT_EQ(e.fingerprintGuid, plan.fingerprintGuid);
      EXPECT_EQ(e.versionGuid, plan.versionGuid);
    } else {
      EXPECT_FALSE(e.fingerprintGuid.has_value());
      EXPECT_FALSE(e.versionGuid.has_value());
    }
    if (paged) {
      ASSERT_TRUE(e.summaryInfo.has_value());
      EXPECT_EQ(e.summaryInfo->title, "Bracket");
      EXPECT_EQ(e.summaryInfo->subject, "Exercise 3");
      EXPECT_EQ(e.summaryInfo->author, "Anna Müller");
      EXPECT_EQ(e.summaryInfo->keywords, "steel");
      EXPECT_EQ(e.summaryInfo->comments, "");
      EXPECT_EQ(e.summaryInfo->lastSavedBy, "lab-07");
      EXPECT_EQ(e.summaryInfo->revisionNumber, "4");
      EXPECT_EQ(e.summaryInfo->hyperlinkBase, "https://example.org/");
      EXPECT_EQ(e.preview.format, dwg::PreviewFormat::kPng);
      EXPECT_EQ(e.preview.bytes, png);
      EXPECT_EQ(e.preview.width, 256);
      EXPECT_EQ(e.preview.height, 102);
    } else {
      EXPECT_FALSE(e.summaryInfo.has_value());
      EXPECT_EQ(e.preview.format, dwg::PreviewFormat::kBmp);
      EXPECT_EQ(e.preview.bytes, bmp);
      EXPECT_EQ(e.preview.width, 2);
      EXPECT_EQ(e.preview.height, 1);
    }
  }
}

TEST(DwgWriterEvidence, NoPreviewEmptySummaryAndAWmf) {
  for (const std::string& version : knownVersions()) {
    SCOPED_TRACE(version);
    DrawingSpec plan;
    plan.version = version;
    dwg::Evidence e = readBack(plan).evidence;
    EXPECT_EQ(e.preview.format, dwg::PreviewFormat::kNone);
    if (version >= "AC1018") {
      ASSERT_TRUE(e.summaryInfo.has_value());
      EXPECT_EQ(e.summaryInfo->author, "");
      EXPECT_EQ(e.summaryInfo->hyperlinkBase, "");
    }
    plan.preview = {PreviewFormat::kWmf, {0xD7, 0xCD, 0xC6, 0x9A, 1, 2}};
    e = readBack(plan).evidence;
    EXPECT_EQ(e.preview.format, dwg::PreviewFormat::kWmf);
    EXPECT_EQ(e.preview.bytes, plan.preview.bytes);
  }
}

}  // namespace
}  // namespace veldra::dwgwrite
