// The writer (src/dwgwrite) in every version it writes: what the reader
// reads back (geometry, layers, texts, evidence, summary information,
// previews, colours by seed; the reader verifies its check values as it
// reads), the plans it refuses, plans made from plans, and veldra-dwgwrite's
// argument forms.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>
#include <tuple>

#include "drawing_probe.h"
#include "dwgwrite/command_line.h"
#include "dwgwrite/dwg_writer.h"
#include "dwgwrite/plan_edits.h"
#include "support/temp_dir.h"
#include "veldra/dwg/evidence.h"

namespace veldra::dwgwrite {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

Bytes written(const DrawingSpec& plan) {
  Bytes bytes;
  EXPECT_EQ(writeDrawing(plan, bytes), "");
  return bytes;
}

dwg::Drawing readBack(const Bytes& bytes) {
  dwg::Drawing drawing;
  const dwg::Status status = dwg::readDrawing(bytes, {.evidence = true, .geometry = true}, drawing);
  EXPECT_TRUE(status.ok()) << status.message << " at " << status.offset << " in " << status.section;
  EXPECT_FALSE(drawing.summary.doubtful()) << drawing.summary.damage.front().message;
  return drawing;
}

std::pair<int, int> dayAndTime(const dwg::StoredDate& date) { return {date.days, date.milliseconds}; }

// Equal to the bit, so that NaN equals NaN and -0 differs from 0.
bool sameNumbers(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// Every kind on named layers (a layer named in other case, one of 240
// characters), a block, huge numbers and NaN, texts with line breaks and
// beyond ASCII: code page 1252 before R2007, any character from R2007 on.
DrawingSpec everyKind(const std::string& version, bool wide) {
  const std::string layer = wide ? "Стены 壁" : "Wände-Ø";
  const std::string longName(240, 'L');
  DrawingSpec plan;
  plan.version = version;
  plan.days = 2459632;
  plan.milliseconds = 37383000;
  plan.layers = {layer, "Notes", longName};
  plan.blocks = {{"Tür", {{"LINE", 0x500, false, layer, {0, 0, 0, 1, 0, 0}, ""}}}};
  plan.entities = {{"LINE", 0x100, false, layer, {0, 0, 0, 10, 0.5, -3}, ""},
                   {"CIRCLE", 0x101, false, "", {5, 5, 0, 2.5}, ""},
                   {"ARC", 0x102, false, "notes", {1, 2, 3, 4, 0.5, 2.5}, ""},
                   {"ELLIPSE", 0x103, false, "", {0, 0, 0, 3, 1, 0, 0.5, 0.25, 6}, ""},
                   {"POINT", 0x104, false, "", {7, 8, 9}, ""},
                   {"LWPOLYLINE", 0x105, false, layer, {0, 0, 0, 1, 0, 0.5, 1, 1, 0}, ""},
                   {"TEXT", 0x106, false, "Notes", {2, 3, 0.25}, wide ? "Привет 😀 — 漢字" : "Maße: 12 × 3 ½ €"},
                   {"TEXT", 0x107, false, longName, {0, 0, 1}, "first line\r\nsecond\tcolumn"},
                   {"INSERT", 0x108, false, "", {4, 4, 0, 2, 3, 1, 0.5}, "Tür"},
                   {"INSERT", 0x109, true, layer, {1, 1, 1, 1, 1, 1, 0}, "tür"},
                   {"LINE", 0x10A, true, "", {1e300, -1e308, kNaN, kInf, -kInf, 4.9e-324}, ""},
                   {"CIRCLE", 0x10B, true, "", {kNaN, -0.0, 1e-300, 1e300}, ""},
                   {"TEXT", 0x10C, true, "", {kNaN, 1e308, 0}, std::string(3000, 'x') + "é"},
                   {"TEXT", 0x10D, true, "", {0, 0, 1}, ""}};
  return plan;
}

TEST(Writer, EveryVersionReadsBackWhatThePlanHolds) {
  const Bytes bmp{40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 8, 0, 0, 0,
                  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 0, 0};
  const Bytes png{0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                  0, 0, 1, 0, 0, 0, 0, 102, 8, 6, 0, 0, 0, 1, 2, 3, 4};
  for (const std::string& version : knownVersions()) {
    SCOPED_TRACE(version);
    DrawingSpec plan = everyKind(version, version >= "AC1021");
    plan.editingTime = Stamp{1, 7200000};
    plan.userTimer = Stamp{0, 5};
    plan.updated = Stamp{2459700, 86399999};
    plan.handseed = 0x123456789ull;
    plan.fingerprintGuid = "{11111111-2222-3333-4444-555555555555}";
    plan.versionGuid = "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";
    plan.summaryInfo = {"Bracket", "Exercise 3", "Anna Müller", "steel", "", "lab-07", "4", "https://example.org/"};
    const bool paged = version >= "AC1018";
    plan.preview = paged ? PreviewSpec{PreviewFormat::kPng, png} : PreviewSpec{PreviewFormat::kBmp, bmp};
    const Bytes bytes = written(plan);
    const dwg::Drawing d = readBack(bytes);

    EXPECT_EQ(d.summary.version, version);
    EXPECT_EQ(dayAndTime(d.summary.created), std::pair(2459632, 37383000));
    ASSERT_EQ(d.summary.entities.size(), plan.entities.size());
    ASSERT_EQ(d.geometry.size(), plan.entities.size());
    for (std::size_t i = 0; i < plan.entities.size(); ++i) {
      // Model space is listed first; the plan lists it first too.
      const EntitySpec& e = plan.entities[i];
      const dwg::EntityGeometry& g = d.geometry[i];
      SCOPED_TRACE(e.type + " " + dwg::handleText(e.handle));
      EXPECT_EQ(d.summary.entities[i].handle, e.handle);
      EXPECT_EQ(d.summary.entities[i].space == dwg::Space::kPaper, e.paperSpace);
      EXPECT_EQ(g.layer, e.layer.empty() ? "0" : e.layer == "notes" ? "Notes" : e.layer);
      EXPECT_TRUE(sameNumbers(g.numbers, e.numbers));
      EXPECT_EQ(g.text.value_or(""), e.type == "INSERT" ? "Tür" : e.text);
    }

    const dwg::Evidence& ev = d.evidence;
    ASSERT_TRUE(ev.updated && ev.editingTime && ev.userTimer && ev.handseed);
    EXPECT_EQ(dayAndTime(*ev.updated), std::pair(2459700, 86399999));
    EXPECT_EQ(dayAndTime(*ev.editingTime), std::pair(1, 7200000));
    EXPECT_EQ(ev.userTimer->milliseconds, 5);
    EXPECT_EQ(*ev.handseed, 0x123456789ull);
    EXPECT_EQ(ev.fingerprintGuid.has_value(), version >= "AC1015");
    if (version >= "AC1015") {
      EXPECT_EQ(ev.fingerprintGuid, plan.fingerprintGuid);
      EXPECT_EQ(ev.versionGuid, plan.versionGuid);
    }
    EXPECT_EQ(ev.summaryInfo.has_value(), paged);
    if (paged) {
      const dwg::SummaryInfo& s = *ev.summaryInfo;
      EXPECT_EQ(std::tie(s.title, s.subject, s.author, s.keywords, s.comments, s.lastSavedBy, s.revisionNumber,
                         s.hyperlinkBase),
                std::tie(plan.summaryInfo.title, plan.summaryInfo.subject, plan.summaryInfo.author,
                         plan.summaryInfo.keywords, plan.summaryInfo.comments, plan.summaryInfo.lastSavedBy,
                         plan.summaryInfo.revisionNumber, plan.summaryInfo.hyperlinkBase));
    }
    EXPECT_EQ(ev.preview.format, paged ? dwg::PreviewFormat::kPng : dwg::PreviewFormat::kBmp);
    EXPECT_EQ(ev.preview.bytes, paged ? png : bmp);
    EXPECT_EQ(ev.preview.width, paged ? 256 : 2);

    // The header variables run to their last one, as in real drawings (the
    // probe's own test): only padding is left.
    const dwg::probe::HeaderFacts facts = dwg::probe::headerOf(bytes);
    EXPECT_TRUE(facts.ok);
    EXPECT_LT(facts.unreadBits, 8u);
  }
}

// The probe must read real drawings before it may judge the writer's: their
// header variables to the last one, one identity in every copy.
TEST(Writer, TheProbeReadsTheHeaderOfTheSampleDrawings) {
  const auto folder = testing::sharedDrawings();
  std::optional<std::string> fingerprint;
  for (const char* version : {"AC1014", "AC1015", "AC1018", "AC1021", "AC1024", "AC1027", "AC1032"}) {
    SCOPED_TRACE(version);
    const std::string text = testing::slurp(folder / ("sample_" + std::string(version) + ".dwg"));
    const dwg::probe::HeaderFacts facts = dwg::probe::headerOf(Bytes(text.begin(), text.end()));
    EXPECT_TRUE(facts.ok);
    EXPECT_LT(facts.unreadBits, 8u);
    EXPECT_NEAR(facts.editingTime.milliseconds, 18602500, 1000);
    if (std::string(version) == "AC1014") continue;
    if (!fingerprint) fingerprint = facts.fingerprintGuid;
    EXPECT_EQ(facts.fingerprintGuid, fingerprint);
  }
}

// Low handles interleave with the writer's own objects; thousands of
// entries need several object map sections; the largest handles need all
// eight bytes, and alone lie more than 2^63 past the writer's own (once
// written as a signed step and lost).
TEST(Writer, ManyEntitiesAndLargeHandlesAmongTheWritersOwn) {
  DrawingSpec plan{2459632, 1, {}};
  std::vector<std::uint64_t> expected;
  const char* types[] = {"LINE", "CIRCLE", "ARC", "POINT", "TEXT"};
  for (std::uint64_t i = 0; i < 3000; ++i) {
    const std::uint64_t handle = i < 40 ? 2 * i + 1 : 0x10000000000ull + i * 0x10001;
    plan.entities.push_back({types[i % 5], handle, false});
    expected.push_back(handle);
  }
  for (std::uint64_t handle : {0xFFFFFFFFFFFFFFFEull, 0x8000000000000000ull, 0xFFull}) {
    plan.entities.push_back({"POINT", handle, true});
    expected.push_back(handle);
  }
  const auto handles = [](const DrawingSpec& p) {
    std::vector<std::uint64_t> out;
    for (const dwg::Entity& e : readBack(written(p)).summary.entities) out.push_back(e.handle);
    return out;
  };
  EXPECT_EQ(handles(plan), expected);
  EXPECT_EQ(handles({2459632, 1, {{"LINE", 0xFFFFFFFFFFFFFFFEull, false}}}),
            std::vector<std::uint64_t>{0xFFFFFFFFFFFFFFFEull});
}

// Colours of every form (an index, a true colour, a colour of a colour book
// with or without its names, a transparency) between plain entities, drawn
// by seed, never stand between the reader and an entity's layer, numbers
// and text: a colour book's names were once read past where they stand.
TEST(Writer, EveryColourLeavesLayerAndGeometry) {
  for (const std::string& version : knownVersions()) {
    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
      SCOPED_TRACE(version + " seed " + std::to_string(seed));
      std::mt19937 random(seed);
      DrawingSpec plan{2459632, 37383000, {}, version};
      plan.layers = {"WALLS", "Doors"};
      const int count = 6 + static_cast<int>(random() % 10);
      for (int i = 0; i < count; ++i) {
        EntitySpec e;
        e.handle = 0x100 + static_cast<std::uint64_t>(i);
        e.layer = random() % 3 == 0 ? "" : plan.layers[random() % 2];
        const double x = static_cast<double>(random() % 1000) / 8;
        switch (random() % 3) {
          case 0: e.type = "CIRCLE", e.numbers = {x, 2, 0, 1.5 + i}; break;
          case 1: e.type = "LINE", e.numbers = {x, 0, 0, x + 3, 4, 0}; break;
          default: e.type = "TEXT", e.numbers = {x, 1, 0.25}, e.text = "T" + std::to_string(i); break;
        }
        if (random() % 3 != 0) {
          EntityColour& c = e.colour;
          switch (random() % 5) {
            case 0: c.index = static_cast<std::uint16_t>(random() % 257); break;
            case 1: c.rgb = 0xC2000000u | (random() & 0xFFFFFF); break;
            case 2: c.colourObject = 0x900 + random() % 16; break;
            default:
              c.colourObject = 0x900 + random() % 16;
              c.name = "RAL " + std::to_string(1000 + random() % 9000);
              if (random() % 2) c.bookName = "RAL CLASSIC";
              break;
          }
          if (random() % 3 == 0) c.transparency = 0x02000000u | (random() % 256);
        }
        plan.entities.push_back(e);
      }
      const dwg::Drawing d = readBack(written(plan));
      ASSERT_EQ(d.geometry.size(), plan.entities.size());
      for (std::size_t i = 0; i < plan.entities.size(); ++i) {
        const EntitySpec& e = plan.entities[i];
        EXPECT_EQ(d.geometry[i].layer, e.layer.empty() ? "0" : e.layer);
        EXPECT_EQ(d.geometry[i].numbers, e.numbers);
        EXPECT_EQ(d.geometry[i].text.value_or(""), e.text);
      }
    }
  }
}

TEST(Writer, RefusesPlansTheFormatCannotHoldWithAReasonAndNoBytes) {
  using Change = void (*)(DrawingSpec&);
  const std::vector<std::pair<Change, std::string>> cases{
      {[](DrawingSpec& p) { p.entities[0].handle = 0; }, "handle 0"},
      {[](DrawingSpec& p) { p.entities.push_back({"POINT", 0x30, true}); }, "30 is used twice"},
      {[](DrawingSpec& p) { p.entities[0].handle = 0xFFFFFFFFFFFFFFFFull; }, "no next handle"},
      {[](DrawingSpec& p) { p.milliseconds = 86400000; }, "milliseconds"},
      {[](DrawingSpec& p) { p.version = "AC1021"; }, "unknown version \"AC1021\""},
      {[](DrawingSpec& p) { p.entities[0].numbers = {1, 2}; }, "LINE 30 has 2 numbers"},
      {[](DrawingSpec& p) { p.entities[0].layer = "Walls"; }, "layer \"Walls\", which the plan does not list"},
      {[](DrawingSpec& p) { p.entities = {{"INSERT", 0x30, false, "", {}, "Door"}}; },
       "block \"Door\", which is not defined before it"},
      {[](DrawingSpec& p) { p.entities = {{"TEXT", 0x30, false, "", {}, "\xFF"}}; }, "not UTF-8"},
      {[](DrawingSpec& p) { p.entities = {{"TEXT", 0x30, false, "", {}, "\xCE\xA9"}}; }, "code page 1252 lacks"},
      {[](DrawingSpec& p) { p.preview = {PreviewFormat::kPng, {1}}; }, "PNG preview needs AC1018"},
      // What a version before R13 cannot hold is refused, never dropped.
      {[](DrawingSpec& p) { p.version = "AC1.40", p.entities[0].type = "LWPOLYLINE"; }, "AC1.40 does not have"},
      {[](DrawingSpec& p) { p.version = "AC1004", p.entities[0].numbers = {0, 0, 1, 1, 1, 1}; }, "a height"},
      {[](DrawingSpec& p) { p.version = "AC1009", p.layers = {std::string(32, 'L')}; }, "longer than 31 bytes"},
      {[](DrawingSpec& p) { p.version = "AC1009", p.preview = {PreviewFormat::kBmp, {1}}; }, "a preview needs"},
      {[](DrawingSpec& p) { p.version = "AC1009", p.entities[0].handle = 0; }, "handle 0"},
  };
  for (const auto& [change, reason] : cases) {
    SCOPED_TRACE(reason);
    DrawingSpec plan{2459632, 0, {{"LINE", 0x30, false}}};
    change(plan);
    Bytes out{1, 2, 3};
    EXPECT_NE(writeDrawing(plan, out).find(reason), std::string::npos);
    EXPECT_TRUE(out.empty());
  }
  testing::TempDir dir;
  EXPECT_NE(writeDrawingFile(dir.path() / "bad.dwg", {2459632, 0, {{"LINE", 0, false}}}), "");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "bad.dwg"));
  EXPECT_NE(writeDrawingFile(dir.path() / "missing" / "x.dwg", {}), "");
}

// Plans made from plans, as a class of students makes drawings from each
// other's: entities pasted into a fresh drawing get new handles past its
// own, are moved (also those the writer places), keep their spaces and
// bring their layers and blocks; a copy edited later keeps its identity
// only when told to; renamed layers are renamed everywhere.
TEST(Writer, PlansMadeFromPlans) {
  DrawingSpec source{2460300, 36000000, {}, "AC1018"};
  source.layers = {"Outline", "Notes"};
  source.blocks = {{"Bolt", {{"CIRCLE", 0x2F0, false, "Outline", {0, 0, 0, 0.3}, ""}}}};
  source.entities = {{"LWPOLYLINE", 0x2A0, false, "Outline", {0, 0, 0, 40, 0, 0, 40, 20, 0.5}, ""},
                     {"TEXT", 0x2A1, false, "Notes", {0, -5, 2.5}, "Bracket"},
                     {"INSERT", 0x2A2, false, "", {20, 10, 0, 1, 1, 1, 0}, "Bolt"},
                     {"LINE", 0x2A3, true, "", {}, ""}};
  DrawingSpec fresh{2460301, 50000000, {{"POINT", 0x100, false, "", {1, 1, 0}, ""}}, "AC1018"};
  fresh.layers = {"notes"};
  const DrawingSpec pasted = pasteInto(fresh, source, 0x100, 100, -50, 0);
  ASSERT_EQ(pasted.entities.size(), 5u);
  EXPECT_EQ(pasted.entities[1].handle, 0x101u);
  EXPECT_EQ(pasted.entities[1].numbers, (std::vector<double>{100, -50, 0, 140, -50, 0.0, 140, -30, 0.5}));
  EXPECT_EQ(pasted.entities[2].numbers, (std::vector<double>{100, -55, 2.5}));
  EXPECT_EQ(pasted.entities[4].numbers, (std::vector<double>{100, -50, 0, 100.5, -49.5, 0}));
  EXPECT_TRUE(pasted.entities[4].paperSpace);
  EXPECT_EQ(pasted.layers, (std::vector<std::string>{"notes", "Outline"}));
  ASSERT_EQ(pasted.blocks.size(), 1u);
  EXPECT_EQ(pasted.blocks[0].entities[0].handle, 0x105u);
  EXPECT_EQ(readBack(written(pasted)).summary.entities.size(), 5u);

  DrawingSpec edited = source;
  edited.entities[0].numbers[3] = 41;
  EXPECT_NE(fingerprintGuidOf(edited), fingerprintGuidOf(source));
  edited.fingerprintGuid = fingerprintGuidOf(source);
  EXPECT_EQ(fingerprintGuidOf(edited), fingerprintGuidOf(source));
  EXPECT_NE(versionGuidOf(edited), versionGuidOf(source));

  EXPECT_TRUE(renameLayer(source, "OUTLINE", "Kontur"));
  EXPECT_FALSE(renameLayer(source, "Hatch", "X"));
  EXPECT_EQ(source.layers, (std::vector<std::string>{"Kontur", "Notes"}));
  EXPECT_EQ(source.entities[0].layer, "Kontur");
  EXPECT_EQ(source.blocks[0].entities[0].layer, "Kontur");
}

TEST(WriterCommandLine, DatesEntitiesAndFurtherChoices) {
  DrawingSpec plan;
  // The fraction 0.9999999999 rounds up into the next day.
  for (const auto& [text, days, ms] : std::vector<std::tuple<const char*, std::int32_t, std::int32_t>>{
           {"2459632.432673611", 2459632, 37383000}, {"2451545.9999999999", 2451546, 0},
           {"2460000:86399999", 2460000, 86399999}}) {
    ASSERT_EQ(parseDate(text, plan), "") << text;
    EXPECT_EQ(plan.days, days) << text;
    EXPECT_EQ(plan.milliseconds, ms) << text;
  }
  for (const char* bad : {"", "12.", "12.3a", "-1.5", "12:86400000", "99999999999.5", "1:2:3"})
    EXPECT_NE(parseDate(bad, plan), "") << bad;
  EXPECT_EQ(plan.days, 2460000);

  ASSERT_EQ(parseEntity("POINT:FFFFFFFFFFFFFFFE:paper", plan), "");
  ASSERT_EQ(parseEntity("arc:a-c:model", plan), "");
  ASSERT_EQ(plan.entities.size(), 4u);
  EXPECT_TRUE(plan.entities[0].paperSpace);
  EXPECT_EQ(plan.entities[3].handle, 0xCu);
  for (const char* bad : {"LINE", "LINE:xyz", "LINE:5:side", "LINE:9-5", "LINE:10000000000000000"})
    EXPECT_NE(parseEntity(bad, plan), "") << bad;
  testing::TempDir dir;
  ASSERT_EQ(parseEntityFile(dir.write("good.txt", "# entities\r\nCIRCLE:300\r\n\r\n  TEXT:301:paper  \r\n").string(),
                            plan),
            "");
  EXPECT_EQ(plan.entities.size(), 6u);
  EXPECT_NE(parseEntityFile(dir.write("bad.txt", "CIRCLE:400\nCIRCLE\n").string(), plan).find("line 2"),
            std::string::npos);
  EXPECT_EQ(plan.entities.size(), 6u);

  bool known = false;
  const auto option = [&](const char* name, const std::string& value) { return parseOption(name, value, plan, known); };
  EXPECT_EQ(option("version", "AC1012"), "");
  EXPECT_NE(option("version", "AC1021"), "");
  EXPECT_EQ(plan.version, "AC1012");
  EXPECT_EQ(option("handseed", "2A0"), "");
  EXPECT_EQ(plan.handseed, 0x2A0u);
  EXPECT_EQ(option("summary", "LastSavedBy=lab=07"), "");
  EXPECT_EQ(plan.summaryInfo.lastSavedBy, "lab=07");
  EXPECT_NE(option("summary", "owner=x"), "");
  // A bitmap loses its file header.
  EXPECT_EQ(option("preview", dir.write("p.bmp", std::string("BM") + std::string(12, '\0') + "DIB").string()), "");
  EXPECT_EQ(plan.preview.bytes, (Bytes{'D', 'I', 'B'}));
  EXPECT_NE(option("preview", dir.write("q.bmp", "not a bitmap").string()), "");
  EXPECT_TRUE(known);
  EXPECT_EQ(option("colour", "red"), "");
  EXPECT_FALSE(known);
}

}  // namespace
}  // namespace veldra::dwgwrite
