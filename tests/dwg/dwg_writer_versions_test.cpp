// The test writer in every version it writes: what the summary reader reads
// back, the evidence in the header variables, the check values of both
// layouts, the summary information, the preview and the stored texts.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "drawing_probe.h"
#include "written_drawing.h"
#include "dwgwrite/dwg_writer.h"
#include "support/temp_dir.h"
#include "veldra/dwg/reader.h"

namespace veldra::dwgwrite {
namespace {

using Bytes = std::vector<std::uint8_t>;
using dwg::probe::HeaderFacts;
using dwg::probe::Release;

using dwg::testbytes::kInf;
using dwg::testbytes::kNaN;

// One of every entity kind, on named layers, with a block definition.
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

using dwg::testbytes::headerOf;
using dwg::testbytes::written;

bool paged(const std::string& version) { return version >= "AC1018"; }

TEST(DwgWriterVersions, EveryVersionReadsBackThroughTheSummaryReader) {
  for (const std::string& version : knownVersions()) {
    SCOPED_TRACE(version);
    const Bytes bytes = written(richPlan(version));
    dwg::Summary summary;
    const dwg::Status status = dwg::readSummary(bytes, summary);
    ASSERT_TRUE(status.ok()) << status.message << " at " << status.offset << " in " << status.section;
    EXPECT_FALSE(summary.doubtful());
    EXPECT_EQ(summary.version, version);
    EXPECT_EQ(summary.created.days, 2459632);
    EXPECT_EQ(summary.created.milliseconds, 37383000);
    std::string listed;
    for (const auto& e : summary.entities)
      listed += e.className + " " + dwg::handleText(e.handle) + (e.space == dwg::Space::kModel ? ";" : " paper;");
    // The block's own entities are not top-level.
    EXPECT_EQ(listed,
              "AcDbLine 100;AcDbCircle 101;AcDbEllipse 103;AcDbPoint 104;AcDbPolyline 105;AcDbText 106;"
              "AcDbBlockReference 107;AcDbArc 102 paper;");
  }
}

// The probe must read real drawings before it may judge the writer's.
TEST(DrawingProbe, ReadsTheEvidenceOfTheSampleDrawings) {
  const auto folder = veldra::testing::sharedDrawings();
  if (folder.empty()) GTEST_SKIP() << "sample drawings not found";
  std::string fingerprint;
  for (const char* version : {"AC1014", "AC1015", "AC1018", "AC1021", "AC1024", "AC1027", "AC1032"}) {
    SCOPED_TRACE(version);
    const std::string text = veldra::testing::slurp(folder / ("sample_" + std::string(version) + ".dwg"));
    const HeaderFacts facts = headerOf(Bytes(text.begin(), text.end()));
    EXPECT_EQ(facts.editingTime.days, 0);
    EXPECT_NEAR(facts.editingTime.milliseconds, 18602500, 1000);
    EXPECT_LT(facts.unreadBits, 8u);  // every variable read, only padding left
    EXPECT_GT(facts.handseed, 0x28Eu);
    if (std::string(version) == "AC1014") {
      EXPECT_FALSE(facts.fingerprintGuid.has_value());
      continue;
    }
    EXPECT_EQ(facts.created.days, 2459632);
    EXPECT_EQ(facts.created.milliseconds, 37383000);
    ASSERT_TRUE(facts.fingerprintGuid.has_value());
    EXPECT_EQ(facts.fingerprintGuid->size(), 38u);
    if (fingerprint.empty()) fingerprint = *facts.fingerprintGuid;
    EXPECT_EQ(*facts.fingerprintGuid, fingerprint);
  }
}

TEST(DwgWriterVersions, EvidenceFieldsAreStoredAsGiven) {
  for (const std::string& version : knownVersions()) {
    SCOPED_TRACE(version);
    DrawingSpec plan = richPlan(version);
    plan.editingTime = Stamp{2, 3600000};
    plan.userTimer = Stamp{0, 61000};
    plan.updated = Stamp{2459700, 86399999};
    plan.handseed = 0xABCDEF12345ull;
    plan.fingerprintGuid = "{11111111-2222-3333-4444-555555555555}";
    plan.versionGuid = "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";
    const HeaderFacts facts = headerOf(written(plan));
    EXPECT_EQ(facts.created.days, 2459632);
    EXPECT_EQ(facts.created.milliseconds, 37383000);
    EXPECT_EQ(facts.updated.days, 2459700);
    EXPECT_EQ(facts.updated.milliseconds, 86399999);
    EXPECT_EQ(facts.editingTime.days, 2);
    EXPECT_EQ(facts.editingTime.milliseconds, 3600000);
    EXPECT_EQ(facts.userTimer.days, 0);
    EXPECT_EQ(facts.userTimer.milliseconds, 61000);
    EXPECT_EQ(facts.handseed, 0xABCDEF12345ull);
    EXPECT_LT(facts.unreadBits, 8u);
    if (version >= "AC1015") {
      EXPECT_EQ(facts.fingerprintGuid, plan.fingerprintGuid);
      EXPECT_EQ(facts.versionGuid, plan.versionGuid);
    } else {
      EXPECT_FALSE(facts.fingerprintGuid.has_value());
    }
  }
}

// Unless given: the last save 25 minutes of editing after the creation, the
// user timer at the editing time, the next handle past every handle used,
// one identity for the plan in every version and a version identity of each
// save.
TEST(DwgWriterVersions, EvidenceDefaultsFollowThePlan) {
  std::set<std::string> versionGuids;
  std::string fingerprint;
  for (const std::string& version : knownVersions()) {
    SCOPED_TRACE(version);
    DrawingSpec plan = richPlan(version);
    plan.milliseconds = 86400000 - 60000;  // the update falls on the next day
    const HeaderFacts facts = headerOf(written(plan));
    EXPECT_EQ(facts.updated.days, 2459633);
    EXPECT_EQ(facts.updated.milliseconds, 25 * 60000 - 60000);
    EXPECT_EQ(facts.editingTime.days, 0);
    EXPECT_EQ(facts.editingTime.milliseconds, 25 * 60000);
    EXPECT_EQ(facts.userTimer.milliseconds, 25 * 60000);
    // 0x107 is the highest entity handle, above the writer's own objects.
    EXPECT_EQ(facts.handseed, 0x502u);
    if (version < "AC1015") continue;
    ASSERT_TRUE(facts.fingerprintGuid && facts.versionGuid);
    if (fingerprint.empty()) fingerprint = *facts.fingerprintGuid;
    EXPECT_EQ(*facts.fingerprintGuid, fingerprint);
    EXPECT_TRUE(versionGuids.insert(*facts.versionGuid).second);
    EXPECT_EQ(facts.fingerprintGuid->size(), 38u);
  }
  // Another drawing, even one differing only in a coordinate, has another identity.
  DrawingSpec other = richPlan("AC1015");
  other.milliseconds = 86400000 - 60000;
  other.entities[1].numbers[3] = 2.5000001;
  EXPECT_NE(headerOf(written(other)).fingerprintGuid, fingerprint);
  // A small drawing's next handle follows the writer's own objects.
  DrawingSpec empty;
  EXPECT_LT(headerOf(written(empty)).handseed, 0x40u);
}

// Every object the map lists, in every version: its size, its check value
// and its own handle.
TEST(DwgWriterVersions, EveryObjectIsFramedWithItsCheckValue) {
  for (const std::string& version : knownVersions()) {
    SCOPED_TRACE(version);
    const Bytes file = written(richPlan(version));
    dwg::detail::Sections sections;
    ASSERT_TRUE(dwg::probe::sectionsOf(file, sections).ok());
    dwg::detail::ObjectMap map;
    std::vector<dwg::Damage> damage;
    ASSERT_TRUE(dwg::detail::readObjectMap(sections, map, damage).ok());
    EXPECT_TRUE(damage.empty());
    const Release release = dwg::probe::releaseOf(file);
    const std::span<const std::uint8_t> objects(sections.objects);
    if (paged(version)) {
      EXPECT_EQ(dwg::probe::rl(objects, 0), 0x0DCAu);
    }
    EXPECT_GT(map.size(), 40u);
    for (const auto& [handle, offset] : map) {
      dwg::detail::BitReader r(objects, offset * 8, objects.size() * 8);
      const std::uint64_t size = r.readMS();
      if (release >= Release::kR2010) r.readUMC();
      const std::uint64_t start = r.position() / 8;
      ASSERT_LE(start + size + 2, objects.size());
      const std::uint16_t stored = static_cast<std::uint16_t>(objects[start + size] | (objects[start + size + 1] << 8));
      // The check value runs from the size fields to the end of the object.
      std::uint32_t c = 0xC0C1;
      for (std::size_t at = offset; at < start + size; ++at) {
        c ^= objects[at];
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
      }
      EXPECT_EQ(stored, c) << "object " << std::hex << handle;
      if (release >= Release::kR2010) {
        r.readOT();
      } else {
        r.readBS();
        if (release >= Release::kR2000) r.readRL();
      }
      EXPECT_EQ(r.readH().value, handle);
    }
  }
}

SummaryInfoSpec someSummary() {
  return {"Bracket", "Exercise 3", "Anna Müller", "steel, bracket", "first try", "lab-pc-07", "4",
          "https://example.org/"};
}

// Eight texts, each a 16-bit length counting a closing NUL, then the
// editing time and the creation and update dates.
std::vector<std::string> summaryTexts(const Bytes& s, bool utf16, std::size_t& at) {
  std::vector<std::string> texts;
  at = 0;
  for (int i = 0; i < 8; ++i) {
    const std::size_t length = s[at] | (s[at + 1] << 8);
    at += 2;
    std::string text;
    for (std::size_t k = 0; k + 1 < length; ++k) {
      const unsigned unit = utf16 ? s[at + 2 * k] | (s[at + 2 * k + 1] << 8) : s[at + k];
      if (unit < 0x80) {
        text += static_cast<char>(unit);
      } else {
        text += "<" + std::to_string(unit) + ">";
      }
    }
    at += utf16 ? 2 * length : length;
    texts.push_back(text);
  }
  return texts;
}

TEST(DwgWriterVersions, PagedFilesCarryCheckValuesSummaryInformationAndPreview) {
  const Bytes png{0x89, 'P', 'N', 'G', 13, 10, 26, 10, 1, 2, 3, 4, 5};
  for (const std::string version : {"AC1018", "AC1024", "AC1027", "AC1032"}) {
    SCOPED_TRACE(version);
    DrawingSpec plan = richPlan(version);
    plan.summaryInfo = someSummary();
    plan.preview = {PreviewFormat::kPng, png};
    plan.editingTime = Stamp{1, 2};
    plan.updated = Stamp{2459640, 5};
    const Bytes file = written(plan);
    const dwg::probe::PagedFile paged = dwg::probe::readPaged(file);
    EXPECT_TRUE(paged.problems.empty()) << paged.problems.front();
    for (const char* name : {"AcDb:Header", "AcDb:Classes", "AcDb:Handles", "AcDb:AcDbObjects", "AcDb:Template",
                             "AcDb:SummaryInfo", "AcDb:Preview"}) {
      EXPECT_EQ(paged.sections.count(name), 1u) << name;
    }

    const Bytes& summary = paged.sections.at("AcDb:SummaryInfo");
    const bool utf16 = std::string(version) >= "AC1021";
    std::size_t at = 0;
    EXPECT_EQ(summaryTexts(summary, utf16, at),
              (std::vector<std::string>{"Bracket", "Exercise 3", "Anna M<252>ller",
                                        "steel, bracket", "first try", "lab-pc-07", "4", "https://example.org/"}));
    const auto rl = [&](std::size_t k) { return dwg::probe::rl(summary, at + 4 * k); };
    EXPECT_EQ(std::vector<std::uint32_t>({rl(0), rl(1), rl(2), rl(3), rl(4), rl(5)}),
              std::vector<std::uint32_t>({1, 2, 2459632, 37383000, 2459640, 5}));
    // The file header points at the summary's data in its plain page.
    EXPECT_EQ(file[paged.summaryAddress + 2], 'B');

    // The preview: sentinel, size, two entries (header data and the PNG,
    // code 6) whose starts are file offsets, then the picture itself.
    const Bytes& preview = paged.sections.at("AcDb:Preview");
    ASSERT_GT(preview.size(), 16 + 4 + 1 + 18 + 80 + png.size());
    EXPECT_EQ(preview[0], 0x1F);
    EXPECT_EQ(preview[20], 2);
    EXPECT_EQ(preview[30], 6);
    const std::uint32_t start = dwg::probe::rl(preview, 31);
    EXPECT_EQ(dwg::probe::rl(preview, 35), png.size());
    EXPECT_EQ(Bytes(file.begin() + start, file.begin() + start + png.size()), png);
    EXPECT_EQ(file[paged.previewAddress], 0x1F);
  }
  // In a drawing with nothing to say, the summary texts are empty (a lone NUL).
  DrawingSpec bare;
  bare.version = "AC1032";
  const dwg::probe::PagedFile paged = dwg::probe::readPaged(written(bare));
  EXPECT_TRUE(paged.problems.empty());
  std::size_t at = 0;
  EXPECT_EQ(summaryTexts(paged.sections.at("AcDb:SummaryInfo"), true, at), std::vector<std::string>(8));
  EXPECT_EQ(paged.sections.at("AcDb:Preview")[20], 0);
}

TEST(DwgWriterVersions, PreviewThroughTheImageSeekerBeforeR2004) {
  const Bytes bmp{40, 0, 0, 0, 8, 0, 0, 0, 4, 0, 0, 0, 1, 0, 8, 0, 9, 9};
  const Bytes wmf{0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 7};
  for (const std::string version : {"AC1012", "AC1014", "AC1015"}) {
    for (const auto& [format, code, picture] :
         {std::tuple{PreviewFormat::kBmp, 2, bmp}, std::tuple{PreviewFormat::kWmf, 3, wmf}}) {
      SCOPED_TRACE(version + " " + std::to_string(code));
      DrawingSpec plan = richPlan(version);
      plan.preview = {format, picture};
      const Bytes file = written(plan);
      const std::uint32_t seeker = dwg::probe::rl(file, 0x0D);
      EXPECT_EQ(file[seeker], 0x1F);
      EXPECT_EQ(file[seeker + 20], 2);
      EXPECT_EQ(file[seeker + 21], 1);
      EXPECT_EQ(file[seeker + 30], code);
      const std::uint32_t start = dwg::probe::rl(file, seeker + 31);
      EXPECT_EQ(dwg::probe::rl(file, seeker + 35), picture.size());
      EXPECT_EQ(Bytes(file.begin() + start, file.begin() + start + picture.size()), picture);
      EXPECT_EQ(file[start + picture.size()], 0xE0);  // the end sentinel follows
      dwg::Summary summary;
      EXPECT_TRUE(dwg::readSummary(file, summary).ok());
    }
  }
}

// The units of the texts of a drawing's TEXT entities, as stored: code page
// bytes before R2007, UTF-16 units (from each object's string stream) after.
std::u16string storedTextOf(const Bytes& file, std::uint64_t handle) {
  dwg::detail::Sections sections;
  EXPECT_TRUE(dwg::probe::sectionsOf(file, sections).ok());
  dwg::detail::ObjectMap map;
  std::vector<dwg::Damage> damage;
  EXPECT_TRUE(dwg::detail::readObjectMap(sections, map, damage).ok());
  const std::span<const std::uint8_t> objects(sections.objects);
  dwg::detail::BitReader r(objects, map.at(handle) * 8, objects.size() * 8);
  const std::uint64_t size = r.readMS();
  const std::uint64_t handleBits = r.readUMC();
  const std::uint64_t end = r.position() + size * 8;
  dwg::detail::BitReader strings;
  EXPECT_TRUE(dwg::detail::openStringStream(objects, r.position(), end - handleBits, strings));
  return dwg::probe::readUnits(strings);
}

TEST(DwgWriterVersions, TextsInTheCodePageBeforeR2007AndInUtf16After) {
  const std::string long_(3000, 'x');
  for (const std::string& version : knownVersions()) {
    SCOPED_TRACE(version);
    DrawingSpec plan = richPlan(version);
    plan.entities.push_back({"TEXT", 0x108, false, "", {0, 0, 1}, long_ + "€"});
    const Bytes file = written(plan);
    if (version < "AC1021") {
      // "Grüße" and the euro sign in code page 1252, closed by a NUL.
      const Bytes greeting{'G', 'r', 0xFC, 0xDF, 'e', ',', ' ', 'c', 'a', 'f', 0xE9, 0};
      const Bytes tail{'x', 'x', 0x80, 0};
      bool found = false;
      bool foundTail = false;
      // Texts sit at any bit position; try every shift.
      for (int shift = 0; shift < 8 && !(found && foundTail); ++shift) {
        Bytes shifted;
        for (std::size_t i = 0; i + 1 < file.size(); ++i)
          shifted.push_back(static_cast<std::uint8_t>((file[i] << shift) | (shift ? file[i + 1] >> (8 - shift) : 0)));
        found = found || std::search(shifted.begin(), shifted.end(), greeting.begin(), greeting.end()) != shifted.end();
        foundTail = foundTail || std::search(shifted.begin(), shifted.end(), tail.begin(), tail.end()) != shifted.end();
      }
      EXPECT_TRUE(found);
      EXPECT_TRUE(foundTail);
    } else {
      EXPECT_EQ(storedTextOf(file, 0x106), u"Grüße, café");
      EXPECT_EQ(storedTextOf(file, 0x108), std::u16string(3000, u'x') + u"€");
    }
  }
  // A character code page 1252 lacks can only be stored from R2007 on.
  DrawingSpec greek = richPlan("AC1015");
  greek.entities[6].text = "Ωμέγα 🙂";
  Bytes out;
  EXPECT_NE(writeDrawing(greek, out).find("code page 1252"), std::string::npos);
  greek.version = "AC1032";
  const Bytes file = written(greek);
  EXPECT_EQ(storedTextOf(file, 0x106), u"Ωμέγα 🙂");
}

TEST(DwgWriterVersions, HugeCoordinatesAndNaNAreWritten) {
  for (const std::string& version : knownVersions()) {
    SCOPED_TRACE(version);
    DrawingSpec plan;
    plan.version = version;
    plan.entities = {{"LINE", 0x100, false, "", {1e300, -1e308, kNaN, kInf, -kInf, 4.9e-324}, ""},
                     {"CIRCLE", 0x101, false, "", {kNaN, kNaN, kNaN, kNaN}, ""},
                     {"LWPOLYLINE", 0x102, false, "", {1e300, 1e300, kNaN, -1e300, kNaN, 0}, ""},
                     {"TEXT", 0x103, false, "", {kNaN, 1e308, -0.0}, ""},
                     {"INSERT", 0x104, false, "", {1e200, 0, 0, kNaN, 0, -1, kInf}, "B"}};
    plan.blocks = {{"B", {}}};
    dwg::Summary summary;
    const dwg::Status status = dwg::readSummary(written(plan), summary);
    ASSERT_TRUE(status.ok()) << status.message;
    EXPECT_EQ(summary.entities.size(), 5u);
  }
}

}  // namespace
}  // namespace veldra::dwgwrite
