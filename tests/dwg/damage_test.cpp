// Damaged drawings of every format, as one table of named cases: refused
// with a clean reason where what the drawing needs is gone or cannot be
// right, read and doubted where only a check value or a part fails. The
// fuzz targets cut and flip every format's bytes anywhere; these are the
// cases a reader once got wrong or must never get wrong.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "containers.h"
#include "drawing_bytes.h"
#include "dxf_groups.h"
#include "dwgwrite/bit_writer.h"
#include "dwgwrite/r12_writer.h"
#include "dwgwrite/r13_repack.h"
#include "veldra/dwg/evidence.h"
#include "veldra/dwg/reader.h"

namespace veldra::dwg {
namespace {

using namespace testbytes;
using enum ErrorKind;

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string damageText(const Summary& summary) {
  std::string out;
  for (const Damage& d : summary.damage) out += d.section + ": " + d.message + "\n";
  return out;
}

std::vector<std::string> entityLines(const Summary& summary) {
  std::vector<std::string> lines;
  for (const Entity& e : summary.entities) lines.push_back(e.className + " " + handleText(e.handle));
  return lines;
}

// ---- Makers of damaged drawings.

Bytes altered(Bytes bytes, const std::function<void(Bytes&)>& alter) {
  if (!bytes.empty()) alter(bytes);
  return bytes;
}

// The writer's drawing with entity 104's link to the next entity (105)
// leading to `next` instead (0: nowhere).
Bytes withNextEntityOf104(std::uint16_t next) {
  Bytes bytes = writerDrawing();
  const std::size_t offset = objectOffset(bytes, 0x104);
  // A soft pointer to 103, then one to 105, both of two bytes.
  const std::uint64_t pattern = (0x42ull << 40) | (0x103ull << 24) | (0x42ull << 16) | 0x105;
  for (std::size_t bit = offset * 8; bit + 48 <= objectCrcAt(bytes, offset) * 8; ++bit) {
    detail::BitReader r(bytes, bit, bytes.size() * 8);
    std::uint64_t value = 0;
    for (int k = 0; k < 6; ++k) value = (value << 8) | r.readRC();
    if (value != pattern) continue;
    for (std::size_t k = 0; k < 16; ++k) {
      const std::size_t at = bit + 32 + k;
      const auto mask = static_cast<std::uint8_t>(0x80u >> (at % 8));
      bytes[at / 8] = static_cast<std::uint8_t>(((next >> (15 - k)) & 1) ? bytes[at / 8] | mask : bytes[at / 8] & ~mask);
    }
    refreshObjectCrc(bytes, offset);
    return bytes;
  }
  return {};
}

// An R14 drawing whose class list gives the light-weight polyline no name:
// fuzzing found that its entity was once listed with no kind at all.
Bytes namelessClass() {
  dwgwrite::DrawingSpec plan{2459632, 37383000, {{"LINE", 0x100}, {"LWPOLYLINE", 0x101}}, "AC1014"};
  Bytes bytes;
  dwgwrite::writeDrawing(plan, bytes);
  detail::Sections sections;
  detail::ClassTable classes;
  if (!detail::readR13Sections(bytes, sections).ok() ||
      !detail::readClassesSection(sections, detail::Release::kR14, classes).ok())
    return {};
  dwgwrite::BitWriter w;
  for (const auto& [number, info] : classes) {
    w.writeBS(number);
    w.writeBS(0);
    w.writeTV("ObjectDBX Classes");
    w.writeTV(info.cppName == "AcDbPolyline" ? "" : info.cppName);
    w.writeTV("CLASS");
    w.writeB(false);
    w.writeBS(info.isEntity ? 0x1F2 : 0x1F3);
  }
  dwgwrite::R13Parts parts;
  if (!dwgwrite::splitR13(bytes, parts)) return {};
  parts.classes = w.bytes();
  return dwgwrite::joinR13(parts);
}

// An old drawing of three entities, the second stored behind a jump into
// the extra section when asked.
Bytes oldDrawing(const std::string& version, bool jump = false) {
  dwgwrite::OldDrawingSpec wanted;
  wanted.version = version;
  wanted.created = {2447893, 43200000};
  using Kind = dwgwrite::OldEntitySpec::Kind;
  for (const auto& [kind, handle] : {std::pair{Kind::kLine, 0x20}, {Kind::kCircle, 0x21}, {Kind::kText, 0x22}}) {
    dwgwrite::OldEntitySpec e;
    e.kind = kind;
    e.handle = static_cast<std::uint64_t>(handle);
    e.numbers = {1, 2, 3, 4, 5, 6};
    wanted.entities.push_back(e);
  }
  wanted.entities[1].viaExtras = jump;
  wanted.entities[2].text = "Title";
  dwgwrite::OldEntitySpec polyline;
  polyline.kind = Kind::kPolyline;
  polyline.handle = 0x40;
  polyline.vertices = {{0, 0, 0}, {1, 1, 1}};
  wanted.entities.push_back(polyline);
  return dwgwrite::writeOldDrawing(wanted);
}

std::uint32_t oldEntitiesStart(const Bytes& b) { return getRL(b, 0x14); }

// The jump standing in for the old drawing's second entity, after the line.
std::size_t oldJump(const Bytes& b) {
  const std::size_t start = oldEntitiesStart(b);
  return start + (b[start + 2] | (b[start + 3] << 8));
}

using namespace dxftext;

// A text DXF of AC1021 in code page 1251 with `entities`; no EOF when not `closed`.
std::string dxfDrawing(const Groups& entities, bool closed = true) {
  const Groups head = header("AC1021", {{9, "$DWGCODEPAGE"}, {3, "ANSI_1251"}});
  return closed ? dxfFile(head + section("ENTITIES", entities)) : dxf(head);
}

Bytes r2004Container(const std::function<void(r2004::ContainerPlan&)>& change) {
  r2004::ContainerPlan plan = r2004::soundPlan();
  change(plan);
  return r2004::buildContainer(plan);
}

// ---- The table.

enum class Reader { kWhole, kContainer };

struct Case {
  Case(std::string name_, Bytes bytes_, ErrorKind refused_ = kNone, std::string section_ = "", std::string words_ = "",
       int damages_ = -1, int entities_ = -1, Bytes sound_ = {}, Reader reader_ = Reader::kWhole)
      : name(std::move(name_)), bytes(std::move(bytes_)), refused(refused_), section(std::move(section_)),
        words(std::move(words_)), damages(damages_), entities(entities_), sound(std::move(sound_)), reader(reader_) {}
  std::string name;
  Bytes bytes;
  ErrorKind refused;    // kNone: read, and doubted
  std::string section;  // of the refusal, or of every damage noted; empty: any
  std::string words;    // in the refusal's message or in a damage's; empty: any
  int damages;          // how many damages are noted; -1: one or more
  int entities;         // how many entities are listed; -1: any
  Bytes sound;          // when given, the same entities as this drawing
  Reader reader;
};

Status readCase(const Case& c, Summary& summary) {
  if (c.reader == Reader::kWhole) {
    Drawing drawing;
    const Status status = readDrawing(c.bytes, ReadRequest{.evidence = true, .geometry = true}, drawing);
    summary = drawing.summary;
    return status;
  }
  detail::Sections sections;
  const Status status = detail::readR2004Sections(c.bytes, sections);
  summary.damage = sections.damage;
  return status;
}

std::vector<Case> cases() {
  const Bytes r2000 = loadSample("sample_AC1015.dwg");
  const Bytes r14 = loadSample("sample_AC1014.dwg");
  const Bytes r2004 = loadSample("sample_AC1018.dwg");
  const Bytes written = writerDrawing();
  const Bytes old = oldDrawing("AC1009");
  const Bytes oldJumping = oldDrawing("AC1009", true);
  std::vector<Case> all = {
      // Not drawings, or of versions not read.
      {"an empty file", {}, kNotDwg},
      {"a text file", text("Hello, this is a text file and no drawing."), kNotDwg},
      {"cut inside the version", text("AC10"), kNotDwg},
      {"an unknown signature", text("ACAB15" + std::string(200, '\0')), kNotDwg},
      {"a signature of a version not read", text("AC1008" + std::string(300, '\0')), kUnsupported, "",
       "unsupported DWG version AC1008 (older than R13)"},
      {"a version after the last one read", text("AC1040" + std::string(300, '\0')), kUnsupported, "",
       "unsupported DWG version AC1040"},
      {"an old drawing of a version between those read", altered(old, [](Bytes& b) { std::memcpy(b.data(), "AC2.22", 6); }),
       kUnsupported, "", "older than R13"},
      {"an old drawing with a signature of no version", altered(old, [](Bytes& b) { std::memcpy(b.data(), "AD1009", 6); }),
       kNotDwg},

      // R13-R2000: fields pointing outside, maps cut short, chains and classes.
      {"the header locator pointing past the file", altered(r2000, [](Bytes& b) { putRL(b, 0x19 + 1, 0xFFFFFF00); }),
       kCorrupt, "AcDb:Header"},
      {"the object map's first block larger than the section", altered(r2000, [](Bytes& b) {
         const Place map = r13Section(b, 2);
         b[map.seeker] = 0x7F;
         b[map.seeker + 1] = 0xFF;
       }),
       kCorrupt, "AcDb:Handles"},
      // The reader once stepped past the end of the data and walked the heap.
      {"the object map cut before its last block's check value", altered(r2000, [](Bytes& b) {
         putRL(b, 0x19 + 9 * 2 + 5, getRL(b, 0x19 + 9 * 2 + 5) - 6);
       }),
       kTruncated, "AcDb:Handles"},
      {"an entity chain running in a loop", withNextEntityOf104(0x102), kCorrupt, "",
       "entity chain runs in a loop (object 102)"},
      {"an entity of a class without a name", namelessClass(), kCorrupt, "AcDb:AcDbObjects"},
      {"an entity chain ending before its last entity", withNextEntityOf104(0), kNone, "AcDb:AcDbObjects",
       "ends before its last entity 109", 1, 7},

      // R2004 family.
      {"the page map's address flipped", altered(r2004, [](Bytes& b) { b[0x80 + 0x54 + 3] ^= 0x7F; }), kCorrupt,
       "page map"},
      {"the encrypted header's signature", altered(loadSample("sample_AC1032.dwg"), [](Bytes& b) { b[0x81] ^= 0x01; }),
       kCorrupt},
      {"the encrypted header's check value", altered(r2004, [](Bytes& b) {
         r2004::maskFileHeader(b);
         b[0x80 + 0x24] ^= 0x01;  // a field the reader does not use
         r2004::maskFileHeader(b);
       }),
       kNone, "file header", "", 1, -1, r2004},
      {"pages of a section overlapping", r2004Container([](auto& p) { p.sections[3].pages[1].start = 0x80; }), kCorrupt,
       "AcDb:AcDbObjects", "", -1, -1, {}, Reader::kContainer},
      // 4 MB of file whose header lists one page of a few kilobytes 1024
      // times over: 1 GB once decompressed, refused from the section map alone.
      {"a section expanding past what one drawing may take", r2004Container([](r2004::ContainerPlan& plan) {
         Bytes bomb{0x01, 0, 0, 0, 0, 0x20};  // four literals, then one long copy of them
         bomb.insert(bomb.end(), 4100, 0x00);
         bomb.insert(bomb.end(), {0x01, 0x0C, 0x00, 0x11});
         plan.pages.push_back({99, 1, bomb, false});
         r2004::SectionPlan& header = plan.sections[0];
         header = {"AcDb:Header", std::uint64_t{1} << 30, 0x100000, 2, {}};
         for (std::uint64_t k = 0; k < 1024; ++k) header.pages.push_back({99, k << 20});
         plan.padTo = 4 << 20;
       }),
       kCorrupt, "AcDb:Header", "more than one drawing may take", -1, -1, {}, Reader::kContainer},

      // Old drawings.
      {"an old drawing cut inside its header", Bytes(old.begin(), old.begin() + 0x300), kTruncated},
      {"an old drawing's entities placed after the end",
       altered(old, [](Bytes& b) { putRL(b, 0x14, static_cast<std::uint32_t>(b.size() + 10)); }), kCorrupt},
      {"an old drawing's entities placed inside the header", altered(old, [](Bytes& b) { putRL(b, 0x14, 0x100); }),
       kCorrupt},
      {"an old drawing created past the day's last millisecond", altered(old, [](Bytes& b) { putRL(b, 0x31F + 4, 90000000); }),
       kCorrupt},
      {"an old drawing cut inside its second entity",
       Bytes(old.begin(), old.begin() + oldEntitiesStart(old) + 70), kNone, "", "", -1, 1},
      {"an old drawing's first entity too small to be one", altered(old, [](Bytes& b) {
         b[oldEntitiesStart(b) + 2] = 3, b[oldEntitiesStart(b) + 3] = 0;
       }),
       kNone, "", "", -1, 0},
      {"an old drawing's first entity larger than its section", altered(old, [](Bytes& b) {
         b[oldEntitiesStart(b) + 2] = 0xFF, b[oldEntitiesStart(b) + 3] = 0x7F;
       }),
       kNone, "", "", -1, 0},
      {"an old drawing's entity of an unknown kind", altered(old, [](Bytes& b) { b[oldEntitiesStart(b)] = 60; }), kNone,
       "", "", -1, 3},
      {"an old drawing's jump past the extra section",
       altered(oldJumping, [](Bytes& b) { putRL(b, oldJump(b) + 4, 0x80FFFFF0u); }), kNone, "", "", -1, 1},
      {"an old drawing's jump into the header", altered(oldJumping, [](Bytes& b) { putRL(b, oldJump(b) + 4, 0x10); }),
       kNone, "", "", -1, 1},
      {"an old drawing's jump to itself",
       altered(oldJumping, [](Bytes& b) { putRL(b, oldJump(b) + 4, static_cast<std::uint32_t>(oldJump(b))); }), kNone,
       "", "", -1, 1},
      {"an old drawing's jump into an extra section of no bytes", altered(oldJumping, [](Bytes& b) {
         putRL(b, oldJump(b) + 4, 0x80000000u);
         putRL(b, 0x28, 0);
       }),
       kNone, "", "", -1, 1},

      // DXF.
      {"a DXF group code out of range", text(dxfDrawing({{0, "LINE"}, {1072, "x"}})), kCorrupt},
      {"a DXF group code that is no number", text(dxfDrawing({}, false) + "ten\nx\n"), kCorrupt},
      {"a negative DXF group code", text(dxfDrawing({}, false) + "-1\nx\n"), kCorrupt},
      {"a DXF line longer than any real file holds",
       text(dxfDrawing({}, false) + "0\nLINE\n1\n" + std::string(200000, 'x') + "\n0\nEOF\n"), kCorrupt},
      {"a DXF ending after a group code", text(dxfDrawing({}, false) + "0\n"), kTruncated},
      {"a file that resembles DXF only further in", text("hello\n0\nSECTION\n"), kNotDwg},
      {"a DXF section without ENDSEC and no EOF",
       text(dxfDrawing({}, false) + dxf({{0, "SECTION"}, {2, "ENTITIES"}, {0, "LINE"}, {5, "2A"}, {8, "0"}})), kNone,
       "", "without EOF", -1, 1},
      {"a DXF number that does not parse", text(dxfDrawing({{0, "CIRCLE"}, {5, "2B"}, {40, "1,5"}})), kNone, "",
       "does not parse", -1, 1},
      {"a DXF entity without a type", text(dxfDrawing({{0, ""}, {5, "2D"}, {0, "LINE"}, {5, "2E"}})), kNone, "",
       "without a type", -1, 1},
      {"a DXF entity without a handle where the version has them", text(dxfDrawing({{0, "POINT"}, {5, "ZZ"}})), kNone,
       "", "no handle", -1, 1},
  };

  // R13-R2000: each check value failing in turn; the drawing is read through.
  const auto framedCrcAt = [](const Bytes& b, std::uint8_t number) {
    const Place p = r13Section(b, number);
    return p.seeker + 20 + getRL(b, p.seeker + 16);
  };
  // An entity and the block table, which the reader opens twice, each named once.
  const auto objectCrc = [](Bytes& b, std::uint64_t handle) { b[objectCrcAt(b, objectOffset(b, handle))] ^= 0x01; };
  const struct {
    const char* name;
    const char* section;
    std::function<void(Bytes&)> alter;
  } checks[] = {
      {"the file header's maintenance byte", "file header", [](Bytes& b) { b[0x0B] ^= 0x01; }},
      {"the file header's check value", "file header", [](Bytes& b) { b[0x19 + getRL(b, 0x15) * 9] ^= 0x80; }},
      {"the header variables' last byte", "AcDb:Header", [=](Bytes& b) { b[framedCrcAt(b, 0) - 1] ^= 0x01; }},
      {"the header variables' check value", "AcDb:Header", [=](Bytes& b) { b[framedCrcAt(b, 0) + 1] ^= 0x20; }},
      {"the class definitions' check value", "AcDb:Classes", [=](Bytes& b) { b[framedCrcAt(b, 1)] ^= 0x04; }},
      {"the object map's first block's check value", "AcDb:Handles",
       [](Bytes& b) {
         const Place p = r13Section(b, 2);
         b[p.seeker + ((b[p.seeker] << 8) | b[p.seeker + 1])] ^= 0x10;
       }},
      {"the object map's empty last block's check value", "AcDb:Handles",
       [](Bytes& b) {
         const Place p = r13Section(b, 2);
         b[p.seeker + p.size - 1] ^= 0x01;
       }},
      {"the block table's check value", "AcDb:AcDbObjects", [=](Bytes& b) { objectCrc(b, 1); }},
      {"an entity's check value", "AcDb:AcDbObjects",
       [=](Bytes& b) {
         Summary s;
         if (readSummary(b, s).ok() && !s.entities.empty()) objectCrc(b, s.entities[s.entities.size() / 2].handle);
       }},
  };
  for (const auto& [name, sound] : {std::pair{"R14", r14}, {"R2000", r2000}, {"written R2000", written},
                                    {"R14 of another program", loadSample("mleader_AC1014.dwg")}}) {
    for (const auto& check : checks)
      all.push_back({std::string(name) + ": " + check.name, altered(sound, check.alter), kNone, check.section,
                     check.section == std::string("AcDb:AcDbObjects") ? "fails its CRC" : "", 1, -1, sound});
  }

  return all;
}

TEST(Damage, EachNamedCaseIsRefusedOrReadAndDoubted) {
  if (loadSample("sample_AC1015.dwg").empty()) GTEST_SKIP() << "no sample drawings beside the repository";
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    Summary summary;
    const Status status = readCase(c, summary);
    if (c.refused != kNone) {
      EXPECT_EQ(status.kind, c.refused) << status.message;
      EXPECT_FALSE(status.message.empty());
      if (!c.section.empty()) {
        EXPECT_EQ(status.section, c.section) << status.message;
      }
      if (!c.words.empty()) {
        EXPECT_NE(status.message.find(c.words), std::string::npos) << status.message;
      }
      continue;
    }
    ASSERT_TRUE(status.ok()) << status.message << " [" << status.section << "]";
    EXPECT_TRUE(summary.doubtful());
    if (c.damages >= 0) {
      EXPECT_EQ(summary.damage.size(), static_cast<std::size_t>(c.damages)) << damageText(summary);
    }
    for (const Damage& d : summary.damage)
      if (!c.section.empty()) {
        EXPECT_EQ(d.section, c.section) << d.message;
      }
    if (!c.words.empty()) {
      EXPECT_NE(damageText(summary).find(c.words), std::string::npos) << damageText(summary);
    }
    if (c.entities >= 0) {
      EXPECT_EQ(summary.entities.size(), static_cast<std::size_t>(c.entities));
    }
    if (!c.sound.empty()) {
      Summary sound;
      ASSERT_TRUE(readSummary(c.sound, sound).ok());
      EXPECT_EQ(damageText(sound), "");
      EXPECT_EQ(entityLines(summary), entityLines(sound));
    }
    for (const Entity& e : summary.entities) {
      EXPECT_FALSE(e.className.empty());
    }
  }
}

}  // namespace
}  // namespace veldra::dwg
