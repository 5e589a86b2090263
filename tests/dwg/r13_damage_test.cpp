// R13-R2000 drawings whose check values fail: each is still read through,
// with the damage named; sound drawings carry none.

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "bit_reader.h"
#include "checksum.h"
#include "drawing_bytes.h"
#include "dwgwrite/bit_writer.h"
#include "format.h"
#include "testwrite/r13_repack.h"
#include "veldra/dwg/evidence.h"

namespace veldra::dwg {
namespace {

using namespace testbytes;

std::vector<std::string> entityLines(const Summary& summary) {
  std::vector<std::string> lines;
  for (const Entity& e : summary.entities) lines.push_back(e.className + " " + handleText(e.handle));
  return lines;
}

std::string damageText(const Summary& summary) {
  std::string text;
  for (const Damage& d : summary.damage) text += d.section + ": " + d.message + "\n";
  return text;
}

// The offset of the object with `handle`, through the reader's own map.
std::size_t objectOffset(const Bytes& bytes, std::uint64_t handle) {
  detail::Sections sections;
  detail::ObjectMap map;
  std::vector<Damage> damage;
  if (!detail::readR13Sections(bytes, sections).ok() || !detail::readObjectMap(sections, map, damage).ok()) return 0;
  const auto it = map.find(handle);
  return it == map.end() ? 0 : static_cast<std::size_t>(it->second);
}

// Where the CRC of the object at `offset` lies: after its MS size and data.
std::size_t objectCrcAt(const Bytes& bytes, std::size_t offset) {
  detail::BitReader r(bytes, offset * 8, bytes.size() * 8);
  const std::uint64_t size = r.readMS();
  return static_cast<std::size_t>(r.position() / 8 + size);
}

void refreshObjectCrc(Bytes& bytes, std::size_t offset) {
  const std::size_t crcAt = objectCrcAt(bytes, offset);
  const std::uint16_t crc = detail::crc16(std::span(bytes).subspan(offset, crcAt - offset), detail::kSectionCrcSeed);
  bytes[crcAt] = static_cast<std::uint8_t>(crc & 0xFF);
  bytes[crcAt + 1] = static_cast<std::uint8_t>(crc >> 8);
}

struct Alteration {
  const char* what;
  std::function<void(Bytes&)> alter;
  const char* section;  // of the one damage expected
};

std::vector<Alteration> alterations() {
  const auto framedCrcAt = [](const Bytes& b, std::uint8_t number) {
    const Place p = r13Section(b, number);
    return p.seeker + 20 + getRL(b, p.seeker + 16);
  };
  return {
      {"file header: maintenance byte", [](Bytes& b) { b[0x0B] ^= 0x01; }, "file header"},
      {"file header: its CRC", [](Bytes& b) { b[0x19 + getRL(b, 0x15) * 9] ^= 0x80; }, "file header"},
      {"header variables: last data byte",
       [=](Bytes& b) { b[framedCrcAt(b, 0) - 1] ^= 0x01; }, "AcDb:Header"},
      {"header variables: their CRC", [=](Bytes& b) { b[framedCrcAt(b, 0) + 1] ^= 0x20; }, "AcDb:Header"},
      {"class definitions: their CRC", [=](Bytes& b) { b[framedCrcAt(b, 1)] ^= 0x04; }, "AcDb:Classes"},
      {"object map: the first block's CRC",
       [](Bytes& b) {
         const Place p = r13Section(b, 2);
         b[p.seeker + ((b[p.seeker] << 8) | b[p.seeker + 1])] ^= 0x10;
       },
       "AcDb:Handles"},
      {"object map: the last, empty block's CRC",
       [](Bytes& b) {
         const Place p = r13Section(b, 2);
         b[p.seeker + p.size - 1] ^= 0x01;
       },
       "AcDb:Handles"},
  };
}

class R13Damage : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    bytes_ = std::string(GetParam()) == "writer" ? writerDrawing() : loadSample(GetParam());
    if (bytes_.empty()) GTEST_SKIP() << "no sample drawings beside the repository";
    ASSERT_TRUE(readSummary(bytes_, sound_).ok());
  }
  Bytes bytes_;
  Summary sound_;
};

TEST_P(R13Damage, SoundDrawingHasNone) { EXPECT_EQ(damageText(sound_), ""); }

TEST_P(R13Damage, FailedCheckValuesAreNamedAndTheDrawingStillRead) {
  for (const Alteration& a : alterations()) {
    Bytes altered = bytes_;
    a.alter(altered);
    Summary summary;
    const Status status = readSummary(altered, summary);
    ASSERT_TRUE(status.ok()) << a.what << ": " << status.message;
    EXPECT_TRUE(summary.doubtful()) << a.what;
    ASSERT_EQ(summary.damage.size(), 1u) << a.what << "\n" << damageText(summary);
    EXPECT_EQ(summary.damage[0].section, a.section) << a.what;
    EXPECT_EQ(entityLines(summary), entityLines(sound_)) << a.what;
  }
}

// An entity, and the block table, which the reader opens twice: each named once.
TEST_P(R13Damage, AnObjectFailingItsCrcIsNamedOnce) {
  for (const std::uint64_t handle : {sound_.entities.at(sound_.entities.size() / 2).handle, std::uint64_t{1}}) {
    Bytes altered = bytes_;
    const std::size_t offset = objectOffset(altered, handle);
    ASSERT_NE(offset, 0u);
    altered[objectCrcAt(altered, offset)] ^= 0x01;
    Summary summary;
    ASSERT_TRUE(readSummary(altered, summary).ok());
    ASSERT_EQ(summary.damage.size(), 1u) << damageText(summary);
    EXPECT_EQ(summary.damage[0].section, "AcDb:AcDbObjects");
    EXPECT_EQ(summary.damage[0].offset, offset);
    EXPECT_NE(summary.damage[0].message.find("object " + handleText(handle) + " "), std::string::npos)
        << summary.damage[0].message;
    EXPECT_EQ(entityLines(summary), entityLines(sound_));
  }
}

// A layer is opened only for the names of the entities on it: each layer
// whose CRC fails is named once, when and only when an entity names it; the
// entities and their numbers stay.
TEST_P(R13Damage, ALayerOpenedForItsNameIsCheckedToo) {
  const ReadRequest geometry{.geometry = true};
  Drawing sound;
  ASSERT_TRUE(readDrawing(bytes_, geometry, sound).ok());
  std::set<std::string> used;
  for (const EntityGeometry& g : sound.geometry)
    if (!g.layer.empty()) used.insert(g.layer);
  ASSERT_FALSE(used.empty());

  detail::Sections sections;
  detail::ObjectMap map;
  std::vector<Damage> ignored;
  ASSERT_TRUE(detail::readR13Sections(bytes_, sections).ok());
  ASSERT_TRUE(detail::readObjectMap(sections, map, ignored).ok());
  std::size_t named = 0;
  for (const auto& [handle, offset] : map) {
    detail::BitReader r(bytes_, offset * 8, bytes_.size() * 8);
    r.readMS();
    if (r.readBS() != 0x33) continue;  // a layer
    Bytes altered = bytes_;
    altered[objectCrcAt(altered, static_cast<std::size_t>(offset))] ^= 0x01;
    Drawing drawing;
    ASSERT_TRUE(readDrawing(altered, geometry, drawing).ok());
    if (drawing.summary.damage.empty()) continue;
    ++named;
    ASSERT_EQ(drawing.summary.damage.size(), 1u) << damageText(drawing.summary);
    EXPECT_EQ(drawing.summary.damage[0].message, "object " + handleText(handle) + " fails its CRC");
    ASSERT_EQ(drawing.geometry.size(), sound.geometry.size());
    for (std::size_t i = 0; i < drawing.geometry.size(); ++i) {
      EXPECT_EQ(drawing.geometry[i].layer, sound.geometry[i].layer);
      EXPECT_EQ(drawing.geometry[i].numbers, sound.geometry[i].numbers);
    }
  }
  EXPECT_EQ(named, used.size());
}

INSTANTIATE_TEST_SUITE_P(Drawings, R13Damage,
                         ::testing::Values("writer", "sample_AC1014.dwg", "sample_AC1015.dwg", "mleader_AC1014.dwg"),
                         [](const auto& p) {
                           const std::string name = p.param;
                           return name == "writer" ? name : name.substr(0, name.size() - 4);
                         });

// The date two drawings store differs in a few bytes of their header
// variables: carried over without their CRC, the other date is read, but
// doubted.
TEST(R13Damage, AChangedCreationDateIsDoubted) {
  const Bytes original = writerDrawing();
  dwgwrite::DrawingSpec other{2451545, 1000, {}};
  for (std::uint64_t h = 0x100; h < 0x10A; ++h) other.entities.push_back({"LINE", h, false});
  other.entities.push_back({"CIRCLE", 0x200, true});
  other.entities.push_back({"TEXT", 0x201, true});
  Bytes donor;
  ASSERT_EQ(dwgwrite::writeDrawing(other, donor), "");
  ASSERT_EQ(donor.size(), original.size());
  const Place header = r13Section(original, 0);
  const std::size_t crcAt = header.seeker + 20 + getRL(original, header.seeker + 16);
  Bytes altered = original;
  const auto dataStart = static_cast<std::ptrdiff_t>(header.seeker + 20);
  std::copy(donor.begin() + dataStart, donor.begin() + static_cast<std::ptrdiff_t>(crcAt), altered.begin() + dataStart);
  ASSERT_NE(altered, original);

  Summary summary;
  ASSERT_TRUE(readSummary(altered, summary).ok());
  EXPECT_EQ(summary.created.days, 2451545);
  EXPECT_EQ(summary.created.milliseconds, 1000);
  ASSERT_EQ(summary.damage.size(), 1u) << damageText(summary);
  EXPECT_EQ(summary.damage[0].section, "AcDb:Header");
  EXPECT_EQ(summary.damage[0].message, "the header variables fail their CRC");
}

// Sets the 16 bits at `bit` to zero.
void clearBits16(Bytes& b, std::size_t bit) {
  for (std::size_t k = bit; k < bit + 16; ++k) b[k / 8] &= static_cast<std::uint8_t>(~(0x80u >> (k % 8)));
}

// The bit position of a soft pointer to `previous` followed by one to
// `next`, both of two bytes, inside the object at `offset`.
std::size_t findLinks(const Bytes& b, std::size_t offset, std::uint16_t previous, std::uint16_t next) {
  const std::uint64_t pattern = (0x42ull << 40) | (static_cast<std::uint64_t>(previous) << 24) | (0x42ull << 16) | next;
  const std::size_t end = objectCrcAt(b, offset) * 8;
  for (std::size_t bit = offset * 8; bit + 48 <= end; ++bit) {
    detail::BitReader r(b, bit, end);
    std::uint64_t value = 0;
    for (int k = 0; k < 6; ++k) value = (value << 8) | r.readRC();
    if (value == pattern) return bit;
  }
  return 0;
}

// The writer's drawing with entity 104's link to the next entity (105)
// leading to `next` instead (0: nowhere); empty when the link is not found.
Bytes withNextEntityOf104(std::uint16_t next) {
  Bytes bytes = writerDrawing();
  const std::size_t offset = objectOffset(bytes, 0x104);
  const std::size_t links = offset ? findLinks(bytes, offset, 0x103, 0x105) : 0;
  if (links == 0) return {};
  clearBits16(bytes, links + 32);
  for (std::size_t k = 0; k < 16; ++k)
    if ((next >> (15 - k)) & 1) bytes[(links + 32 + k) / 8] |= static_cast<std::uint8_t>(0x80u >> ((links + 32 + k) % 8));
  refreshObjectCrc(bytes, offset);
  return bytes;
}

TEST(R13Damage, AnEntityChainEndingBeforeItsLastEntityIsDoubted) {
  const Bytes bytes = withNextEntityOf104(0);
  ASSERT_FALSE(bytes.empty());

  Summary summary;
  ASSERT_TRUE(readSummary(bytes, summary).ok());
  EXPECT_EQ(entityLines(summary),
            (std::vector<std::string>{"AcDbLine 100", "AcDbLine 101", "AcDbLine 102", "AcDbLine 103", "AcDbLine 104",
                                      "AcDbCircle 200", "AcDbText 201"}));
  ASSERT_EQ(summary.damage.size(), 1u) << damageText(summary);
  EXPECT_EQ(summary.damage[0].section, "AcDb:AcDbObjects");
  EXPECT_NE(summary.damage[0].message.find("ends before its last entity 109"), std::string::npos)
      << summary.damage[0].message;
}

// An entity whose link leads back to an entity already listed would list
// the chain for ever: the drawing is refused at the entity met again.
TEST(R13Damage, AnEntityChainRunningInALoopIsRefused) {
  const Bytes bytes = withNextEntityOf104(0x102);
  ASSERT_FALSE(bytes.empty());

  Summary summary;
  const Status status = readSummary(bytes, summary);
  EXPECT_EQ(status.kind, ErrorKind::kCorrupt);
  EXPECT_EQ(status.message, "entity chain runs in a loop (object 102)");
  EXPECT_EQ(status.offset, objectOffset(bytes, 0x102));
}

// Fuzzing found this: a class list whose entry has no name gave entities
// with no class name at all, read as a success.
TEST(R13Damage, AnEntityOfANamelessClassIsRefused) {
  dwgwrite::DrawingSpec plan{2459632, 37383000, {}};
  plan.version = "AC1014";  // where the light-weight polyline is a class of the drawing's own
  plan.entities.push_back({"LINE", 0x100});
  plan.entities.push_back({"LWPOLYLINE", 0x101});
  Bytes bytes;
  ASSERT_EQ(dwgwrite::writeDrawing(plan, bytes), "");
  detail::Sections sections;
  ASSERT_TRUE(detail::readR13Sections(bytes, sections).ok());
  detail::ClassTable classes;
  ASSERT_TRUE(detail::readClassesSection(sections, detail::Release::kR14, classes).ok());

  // The same classes, each written anew; the polyline's without its name.
  const auto classList = [&](bool nameless) {
    dwgwrite::BitWriter w;
    for (const auto& [number, info] : classes) {
      w.writeBS(number);
      w.writeBS(0);
      w.writeTV("ObjectDBX Classes");
      w.writeTV(nameless && info.cppName == "AcDbPolyline" ? "" : info.cppName);
      w.writeTV("CLASS");
      w.writeB(false);
      w.writeBS(info.isEntity ? 0x1F2 : 0x1F3);
    }
    return w.bytes();
  };
  for (bool nameless : {false, true}) {
    dwgwrite::R13Parts parts;
    ASSERT_TRUE(dwgwrite::splitR13(bytes, parts));
    parts.classes = classList(nameless);
    Summary summary;
    const Status status = readSummary(dwgwrite::joinR13(parts), summary);
    EXPECT_TRUE(summary.damage.empty()) << damageText(summary);
    if (!nameless) {
      ASSERT_TRUE(status.ok()) << status.message;
      EXPECT_EQ(entityLines(summary), (std::vector<std::string>{"AcDbLine 100", "AcDbPolyline 101"}));
      continue;
    }
    EXPECT_EQ(status.kind, ErrorKind::kCorrupt);
    EXPECT_EQ(status.section, "AcDb:AcDbObjects");
    for (const Entity& entity : summary.entities) EXPECT_FALSE(entity.className.empty());
  }
}

}  // namespace
}  // namespace veldra::dwg
