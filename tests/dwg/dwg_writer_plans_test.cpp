// Drawings made from other drawings, as the evidence tests need them: a file
// copy, a copy edited later, entities pasted into a fresh drawing and moved,
// renamed layers, honest work from one template, the same drawing in another
// version.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "drawing_probe.h"
#include "written_drawing.h"
#include "dwgwrite/dwg_writer.h"
#include "dwgwrite/plan_edits.h"
#include "veldra/dwg/reader.h"

namespace veldra::dwgwrite {
namespace {

using Bytes = std::vector<std::uint8_t>;

using dwg::testbytes::headerOf;
using dwg::testbytes::written;

std::vector<std::uint64_t> handlesOf(const Bytes& file) {
  dwg::Summary summary;
  EXPECT_TRUE(dwg::readSummary(file, summary).ok());
  std::vector<std::uint64_t> handles;
  for (const auto& e : summary.entities) handles.push_back(e.handle);
  return handles;
}

// A student's bracket: a plate, two holes, a note and a bolt symbol.
DrawingSpec bracket() {
  DrawingSpec plan;
  plan.version = "AC1018";
  plan.days = 2460300;
  plan.milliseconds = 36000000;
  plan.layers = {"Outline", "Notes"};
  plan.blocks = {{"Bolt", {{"CIRCLE", 0x2F0, false, "Outline", {0, 0, 0, 0.3}, ""}}}};
  plan.entities = {{"LWPOLYLINE", 0x2A0, false, "Outline", {0, 0, 0, 40, 0, 0, 40, 20, 0.5, 0, 20, 0}, ""},
                   {"CIRCLE", 0x2A1, false, "Outline", {10, 10, 0, 3}, ""},
                   {"CIRCLE", 0x2A2, false, "Outline", {30, 10, 0, 3}, ""},
                   {"TEXT", 0x2A3, false, "Notes", {0, -5, 2.5}, "Bracket, 2 mm steel"},
                   {"INSERT", 0x2A4, false, "", {20, 10, 0, 1, 1, 1, 0}, "Bolt"},
                   {"LINE", 0x2A5, true, "", {}, ""}};
  plan.summaryInfo.author = "Anna";
  return plan;
}

TEST(DwgWriterPlans, AFileCopyIsTheSameBytesAndACopyEditedLaterKeepsTheIdentity) {
  const DrawingSpec original = bracket();
  EXPECT_EQ(written(original), written(bracket()));

  DrawingSpec edited = original;
  edited.fingerprintGuid = fingerprintGuidOf(original);
  edited.entities[1].numbers[3] = 3.5;
  edited.entities.push_back({"LINE", 0x2A6, false, "Outline", {0, 0, 0, 40, 20, 0}, ""});
  edited.editingTime = Stamp{0, 40 * 60000};
  const auto a = headerOf(written(original));
  const auto b = headerOf(written(edited));
  EXPECT_EQ(a.fingerprintGuid, b.fingerprintGuid);
  EXPECT_NE(a.versionGuid, b.versionGuid);
  EXPECT_EQ(a.created.milliseconds, b.created.milliseconds);
  EXPECT_GT(b.updated.milliseconds, a.updated.milliseconds);
  EXPECT_EQ(b.handseed, 0x2F1u);
}

TEST(DwgWriterPlans, PastedIntoAFreshDrawingWithNewHandlesMoved) {
  const DrawingSpec source = bracket();
  DrawingSpec fresh;
  fresh.version = "AC1018";
  fresh.days = 2460301;
  fresh.milliseconds = 50000000;
  fresh.layers = {"notes"};
  fresh.editingTime = Stamp{0, 90000};
  fresh.entities = {{"POINT", 0x100, false, "", {1, 1, 0}, ""}};
  const DrawingSpec pasted = pasteInto(fresh, source, 0x100, 100, -50, 0);

  ASSERT_EQ(pasted.entities.size(), 7u);
  EXPECT_EQ(pasted.entities[1].handle, 0x101u);  // 0x100 is the fresh drawing's own
  EXPECT_EQ(pasted.entities[1].numbers,
            (std::vector<double>{100, -50, 0, 140, -50, 0.0, 140, -30, 0.5, 100, -30, 0}));
  EXPECT_EQ(pasted.entities[2].numbers, (std::vector<double>{110, -40, 0, 3}));
  EXPECT_EQ(pasted.entities[4].numbers, (std::vector<double>{100, -55, 2.5}));
  EXPECT_EQ(pasted.entities[4].text, "Bracket, 2 mm steel");
  // An entity placed by the writer gets that placement, moved.
  EXPECT_EQ(pasted.entities[6].numbers, (std::vector<double>{100, -50, 0, 100.5, -49.5, 0}));
  EXPECT_TRUE(pasted.entities[6].paperSpace);
  // The layer "Notes" matches the fresh drawing's "notes"; "Outline" is added.
  EXPECT_EQ(pasted.layers, (std::vector<std::string>{"notes", "Outline"}));
  ASSERT_EQ(pasted.blocks.size(), 1u);
  EXPECT_EQ(pasted.blocks[0].entities[0].handle, 0x107u);

  for (const std::string& version : knownVersions()) {
    SCOPED_TRACE(version);
    DrawingSpec plan = pasted;
    plan.version = version;
    const Bytes file = written(plan);
    EXPECT_EQ(handlesOf(file), (std::vector<std::uint64_t>{0x100, 0x101, 0x102, 0x103, 0x104, 0x105, 0x106}));
    DrawingSpec original = source;
    original.version = version;
    const auto a = headerOf(written(original));
    const auto b = headerOf(file);
    EXPECT_NE(a.created.days, b.created.days);
    EXPECT_EQ(b.editingTime.milliseconds, 90000);
    if (version >= "AC1015") {
      EXPECT_NE(a.fingerprintGuid, b.fingerprintGuid);
    }
  }
}

TEST(DwgWriterPlans, RenamedLayersAndTexts) {
  DrawingSpec plan = bracket();
  EXPECT_TRUE(renameLayer(plan, "OUTLINE", "Kontur"));
  EXPECT_FALSE(renameLayer(plan, "Hatch", "X"));
  plan.entities[3].text = "Winkel, 2 mm Stahl";
  EXPECT_EQ(plan.layers, (std::vector<std::string>{"Kontur", "Notes"}));
  EXPECT_EQ(plan.entities[0].layer, "Kontur");
  EXPECT_EQ(plan.blocks[0].entities[0].layer, "Kontur");
  EXPECT_EQ(plan.entities[3].layer, "Notes");
  EXPECT_EQ(handlesOf(written(plan)), handlesOf(written(bracket())));
  EXPECT_NE(fingerprintGuidOf(plan), fingerprintGuidOf(bracket()));
}

// Students start from the teacher's template: its layers, block and title
// entities with their handles, and its next free handle, from which their
// own entities are numbered. Two who press New in the same second still get
// identities of their own.
TEST(DwgWriterPlans, HonestDrawingsFromOneTemplateInTheSameSecond) {
  DrawingSpec templ;
  templ.version = "AC1032";
  templ.layers = {"Title", "Outline"};
  templ.blocks = {{"Frame", {{"LWPOLYLINE", 0x80, false, "Title", {0, 0, 0, 297, 0, 0, 297, 210, 0, 0, 210, 0}, ""}}}};
  templ.entities = {{"INSERT", 0x90, true, "Title", {0, 0, 0, 1, 1, 1, 0}, "Frame"},
                    {"TEXT", 0x91, true, "Title", {200, 10, 5}, "Exercise 3"}};
  templ.handseed = 0x200;

  const auto student = [&templ](double holeX, const char* author) {
    DrawingSpec plan = templ;
    plan.days = 2460300;
    plan.milliseconds = 32400000;  // the lab starts at nine
    plan.summaryInfo.author = author;
    plan.entities.push_back({"CIRCLE", 0x200, false, "Outline", {holeX, 10, 0, 3}, ""});
    plan.entities.push_back({"LINE", 0x201, false, "Outline", {0, 0, 0, 40, 0, 0}, ""});
    plan.handseed = 0x202;
    return plan;
  };
  const DrawingSpec anna = student(10, "Anna");
  const DrawingSpec ben = student(12, "Ben");
  const auto a = headerOf(written(anna));
  const auto b = headerOf(written(ben));
  EXPECT_EQ(a.created.days, b.created.days);
  EXPECT_EQ(a.created.milliseconds, b.created.milliseconds);
  EXPECT_NE(a.fingerprintGuid, b.fingerprintGuid);
  EXPECT_EQ(a.handseed, 0x202u);
  EXPECT_EQ(handlesOf(written(anna)), handlesOf(written(ben)));
  EXPECT_EQ(handlesOf(written(anna)), (std::vector<std::uint64_t>{0x200, 0x201, 0x90, 0x91}));
}

// The same plan saved in every version: the same entities and handles, one
// identity, the creation date as stored.
TEST(DwgWriterPlans, TheSameDrawingInEveryVersion) {
  std::string fingerprint;
  for (const std::string& version : knownVersions()) {
    SCOPED_TRACE(version);
    DrawingSpec plan = bracket();
    plan.version = version;
    const Bytes file = written(plan);
    EXPECT_EQ(handlesOf(file), (std::vector<std::uint64_t>{0x2A0, 0x2A1, 0x2A2, 0x2A3, 0x2A4, 0x2A5}));
    const auto facts = headerOf(file);
    EXPECT_EQ(facts.created.milliseconds, 36000000);
    if (version < "AC1015") continue;
    if (fingerprint.empty()) fingerprint = *facts.fingerprintGuid;
    EXPECT_EQ(facts.fingerprintGuid, fingerprint);
    EXPECT_EQ(facts.fingerprintGuid, fingerprintGuidOf(plan));
    EXPECT_EQ(facts.versionGuid, versionGuidOf(plan));
  }
}

}  // namespace
}  // namespace veldra::dwgwrite
