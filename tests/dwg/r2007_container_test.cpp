#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "r2007_codec.h"
#include "sections.h"
#include "support/temp_dir.h"

namespace veldra::dwg::detail {
namespace {

using Bytes = std::vector<std::uint8_t>;
using r2007::kCodewordSize;

// ---- A small AC1021 writer. Pages are stored uncompressed unless given
// compressed bytes, without parity (the reader does not check it); system
// page data is repeated as the format does. Tests change the fields of a
// layout to write broken files.

void put64(Bytes& out, std::size_t at, std::uint64_t value) {
  for (std::size_t k = 0; k < 8; ++k) out[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
}
void append64(Bytes& out, std::initializer_list<std::uint64_t> values) {
  for (std::uint64_t value : values) {
    out.resize(out.size() + 8);
    put64(out, out.size() - 8, value);
  }
}
Bytes padTo(Bytes bytes, std::size_t multiple) {
  bytes.resize((bytes.size() + multiple - 1) / multiple * multiple, 0);
  return bytes;
}
// Reed-Solomon parity as the format stores it, worked out independently of
// the reader: byte j of a word is the coefficient of x^j, data first; the
// generator's roots are a^1 .. a^parity.
Bytes codeWord(Bytes data, unsigned polynomial) {
  const std::size_t parity = kCodewordSize - data.size();
  std::uint8_t exp[255], log[256] = {};
  for (unsigned i = 0, x = 1; i < 255; ++i, x = (x << 1) ^ ((x & 0x80) ? polynomial : 0)) {
    exp[i] = static_cast<std::uint8_t>(x);
    log[x] = static_cast<std::uint8_t>(i);
  }
  auto mul = [&](std::uint8_t a, std::uint8_t b) -> std::uint8_t {
    return (a && b) ? exp[(log[a] + log[b]) % 255] : 0;
  };
  Bytes g = {1};  // prod (x + a^i), lowest coefficient first
  for (std::size_t i = 1; i <= parity; ++i) {
    Bytes next(g.size() + 1, 0);
    for (std::size_t k = 0; k < g.size(); ++k) {
      next[k + 1] ^= g[k];
      next[k] ^= mul(g[k], exp[i]);
    }
    g = next;
  }
  Bytes rest(parity, 0);  // data(x) * x^parity mod g(x)
  for (std::size_t j = data.size(); j-- > 0;) {
    const std::uint8_t feedback = data[j] ^ rest[parity - 1];
    for (std::size_t t = parity - 1; t > 0; --t) rest[t] = rest[t - 1] ^ mul(feedback, g[t]);
    rest[0] = mul(feedback, g[0]);
  }
  data.insert(data.end(), rest.begin(), rest.end());
  return data;
}

// Spreads `data` over as many interleaved code words as it needs.
Bytes interleave(const Bytes& data, std::size_t dataPerBlock) {
  const std::size_t blocks = std::max<std::size_t>(1, r2007::blocksFor(data.size(), dataPerBlock));
  Bytes coded(blocks * kCodewordSize, 0);
  for (std::size_t b = 0; b < blocks; ++b) {
    Bytes block(dataPerBlock, 0);
    for (std::size_t j = 0; j < dataPerBlock && b * dataPerBlock + j < data.size(); ++j) {
      block[j] = data[b * dataPerBlock + j];
    }
    const Bytes word = codeWord(block, dataPerBlock == r2007::kDataBlockData ? 0x11d : 0x169);
    for (std::size_t j = 0; j < kCodewordSize; ++j) coded[j * blocks + b] = word[j];
  }
  return padTo(coded, 0x20);
}
Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

struct PageSpec {
  std::uint64_t id, listedId, dataOffset, uncompressed, compressed, checksum;
  Bytes stored;
};
PageSpec page(std::uint64_t id, std::uint64_t dataOffset, const Bytes& data,
              std::optional<Bytes> compressed = std::nullopt) {
  const Bytes stored = compressed.value_or(data);
  return {id, id, dataOffset, data.size(), stored.size(), r2007::pageChecksum(0, data), stored};
}

struct SectionSpec {
  std::string name;
  std::uint64_t dataSize, encoding, encryption, nameBytes, pageCount;
  std::vector<PageSpec> pages;
};
SectionSpec section(const std::string& name, std::uint64_t dataSize, std::uint64_t encoding,
                    std::vector<PageSpec> pages) {
  return {name, dataSize, encoding, 0, 2 * name.size() + 2, pages.size(), std::move(pages)};
}

struct Layout {
  std::vector<SectionSpec> sections;
  std::uint64_t pageMapRepeats = 3, sectionMapRepeats = 2;
  std::optional<std::uint64_t> pageMapRepeatsField, sectionMapIdField;
  std::int32_t headerLength = -0x110;  // negative: the header fields are stored plain
};

Layout smallLayout() {
  Layout layout;
  Bytes header(70);
  for (std::size_t k = 0; k < header.size(); ++k) header[k] = static_cast<std::uint8_t>(k * 7);
  layout.sections.push_back(section("AcDb:Header", header.size(), 4, {page(2, 0, header)}));
  // Stored compressed: one 'x', then 256 more copied from one byte back.
  layout.sections.push_back(section(
      "AcDb:Classes", 257, 4,
      {page(3, 0, Bytes(257, 'x'), Bytes{0x20, 0, 0, 0x01, 'x', 0x28, 0, 0, 0, 0})}));
  layout.sections.push_back(section("AcDb:Handles", 4, 1, {page(4, 0, Bytes{0, 2, 0, 0})}));
  // Two pages around a left-out zero page; the second spans three code words.
  Bytes second(600);
  for (std::size_t k = 0; k < second.size(); ++k) second[k] = static_cast<std::uint8_t>(k % 251);
  layout.sections.push_back(section("AcDb:AcDbObjects", 630, 4,
                                    {page(5, 0, bytesOf("objects...")), page(6, 30, second)}));
  return layout;
}

Bytes systemPage(const Bytes& data, std::uint64_t repeats) {
  Bytes repeated;
  for (std::uint64_t k = 0; k < repeats; ++k) {
    const Bytes aligned = padTo(data, 8);
    repeated.insert(repeated.end(), aligned.begin(), aligned.end());
  }
  return interleave(repeated, r2007::kSystemBlockData);
}

Bytes build(const Layout& layout) {
  constexpr std::uint64_t kPageMapId = 1, kSectionMapId = 9;
  std::vector<std::pair<std::uint64_t, Bytes>> pages;  // id, coded page
  Bytes sectionMap;
  for (const SectionSpec& s : layout.sections) {
    append64(sectionMap, {s.dataSize, 0xf800, s.encryption, 0, s.nameBytes, 0, s.encoding,
                          s.pageCount});
    for (char c : s.name) sectionMap.insert(sectionMap.end(), {static_cast<std::uint8_t>(c), 0});
    sectionMap.insert(sectionMap.end(), {0, 0});
    for (const PageSpec& p : s.pages) {
      append64(sectionMap, {p.dataOffset, p.uncompressed, p.listedId, p.uncompressed, p.compressed,
                            p.checksum, 0});
      const Bytes stored = padTo(p.stored, 8);
      pages.emplace_back(p.id, s.encoding == 1 ? padTo(stored, 0x20)
                                               : interleave(stored, r2007::kDataBlockData));
    }
  }
  const Bytes sectionPage = systemPage(sectionMap, layout.sectionMapRepeats);

  // The page map lists itself, the data pages and the section map.
  const std::size_t entries = pages.size() + 2;
  Bytes pageMap;
  append64(pageMap, {systemPage(Bytes(entries * 16), layout.pageMapRepeats).size(), kPageMapId});
  for (const auto& [id, coded] : pages) append64(pageMap, {coded.size(), id});
  append64(pageMap, {sectionPage.size(), kSectionMapId});

  Bytes header(3 * r2007::kSystemBlockData, 0);
  for (std::size_t k = 0; k < 4; ++k) {
    header[0x18 + k] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(layout.headerLength) >> (8 * k));
  }
  const std::pair<std::size_t, std::uint64_t> fields[] = {
      {0x00, 0x70},
      {0x18, layout.pageMapRepeatsField.value_or(layout.pageMapRepeats)},
      {0x50, pageMap.size()},
      {0x58, pageMap.size()},
      {0xb0, sectionMap.size()},
      {0xc0, layout.sectionMapIdField.value_or(kSectionMapId)},
      {0xc8, sectionMap.size()},
      {0xd8, layout.sectionMapRepeats}};
  for (const auto& [at, value] : fields) put64(header, 0x20 + at, value);

  Bytes file = bytesOf("AC1021");
  file.resize(0x480, 0);
  file[0x0b] = 0x1f;
  const Bytes codedHeader = interleave(header, r2007::kSystemBlockData);
  std::copy(codedHeader.begin(), codedHeader.begin() + 3 * kCodewordSize, file.begin() + 0x80);
  const Bytes pageMapPage = systemPage(pageMap, layout.pageMapRepeats);
  file.insert(file.end(), pageMapPage.begin(), pageMapPage.end());
  for (const auto& page : pages) file.insert(file.end(), page.second.begin(), page.second.end());
  file.insert(file.end(), sectionPage.begin(), sectionPage.end());
  return file;
}

Status readBytes(const Bytes& file, Sections& out) { return readR2007Sections(file, out); }

bool cleanFailure(const Status& s) {
  return !s.ok() && !s.message.empty() &&
         (s.kind == ErrorKind::kTruncated || s.kind == ErrorKind::kCorrupt ||
          s.kind == ErrorKind::kUnsupported);
}

TEST(R2007Container, ReadsEachSectionWholeFromItsPages) {
  const Layout layout = smallLayout();
  Sections out;
  const Status s = readBytes(build(layout), out);
  ASSERT_TRUE(s.ok()) << s.message;
  EXPECT_EQ(out.version, "AC1021");
  EXPECT_EQ(out.maintenance, 0x1f);
  EXPECT_EQ(out.header, layout.sections[0].pages[0].stored);
  EXPECT_EQ(out.classes, Bytes(257, 'x'));
  EXPECT_EQ(out.handles, (Bytes{0, 2, 0, 0}));
  Bytes objects = bytesOf("objects...");
  objects.resize(30, 0);
  objects.insert(objects.end(), layout.sections[3].pages[1].stored.begin(),
                 layout.sections[3].pages[1].stored.end());
  EXPECT_EQ(out.objects, objects);
}

struct BrokenCase {
  const char* what;
  void (*change)(Layout&);
  ErrorKind kind;
  const char* section;
};

TEST(R2007Container, BrokenMapsAndPagesGiveCleanErrors) {
  using enum ErrorKind;
  const BrokenCase cases[] = {
      {"page missing from the page map", [](Layout& l) { l.sections[0].pages[0].listedId = 99; }, kCorrupt,
       "AcDb:Header"},
      {"stored size larger than the page", [](Layout& l) { l.sections[1].pages[0].compressed = 1u << 20; },
       kCorrupt, "AcDb:Classes"},
      {"page placed past the section's end", [](Layout& l) { l.sections[3].pages[1].dataOffset = 1u << 30; },
       kCorrupt, "AcDb:AcDbObjects"},
      {"pages overlapping", [](Layout& l) { l.sections[3].pages[1].dataOffset = 5; }, kCorrupt, "AcDb:AcDbObjects"},
      {"section size beyond any real drawing", [](Layout& l) { l.sections[3].dataSize = std::uint64_t{1} << 60; },
       kCorrupt, "AcDb:AcDbObjects"},
      {"encrypted section", [](Layout& l) { l.sections[0].encryption = 1; }, kUnsupported, "AcDb:Header"},
      {"unknown page coding", [](Layout& l) { l.sections[2].encoding = 7; }, kCorrupt, "AcDb:Handles"},
      {"section missing", [](Layout& l) { l.sections[2].name = "AcDb:Handlez"; }, kCorrupt, "section map"},
      {"page count beyond the map", [](Layout& l) { l.sections[0].pageCount = std::uint64_t{1} << 58; }, kCorrupt,
       "section map"},
      {"name length beyond the map", [](Layout& l) { l.sections[0].nameBytes = 1u << 20; }, kCorrupt, "section map"},
      {"section map page unknown", [](Layout& l) { l.sectionMapIdField = 42; }, kCorrupt, "section map"},
      {"page map repeat count past the file", [](Layout& l) { l.pageMapRepeatsField = 40; }, kTruncated, "page map"},
      {"file header length zero", [](Layout& l) { l.headerLength = 0; }, kCorrupt, "file header"},
      {"file header length past its block", [](Layout& l) { l.headerLength = 5000; }, kCorrupt, "file header"},
      {"file header data not compressed as claimed", [](Layout& l) { l.headerLength = 0x40; }, kCorrupt,
       "file header"},
  };
  for (const BrokenCase& c : cases) {
    Layout layout = smallLayout();
    c.change(layout);
    Sections out;
    const Status s = readBytes(build(layout), out);
    EXPECT_EQ(s.kind, c.kind) << c.what << ": " << s.message;
    EXPECT_EQ(s.section, c.section) << c.what << ": " << s.message;
    EXPECT_FALSE(s.message.empty()) << c.what;
  }
}

TEST(R2007Container, APageFailingItsChecksumIsKeptAndNotedAsDamage) {
  Layout layout = smallLayout();
  layout.sections[0].pages[0].checksum = 1;
  Sections out;
  const Status s = readBytes(build(layout), out);
  ASSERT_TRUE(s.ok()) << s.message;
  EXPECT_EQ(out.header, layout.sections[0].pages[0].stored);
  ASSERT_EQ(out.damage.size(), 1u);
  EXPECT_EQ(out.damage[0].section, "AcDb:Header");
  EXPECT_NE(out.damage[0].message.find("checksum"), std::string::npos) << out.damage[0].message;

  Sections sound;
  ASSERT_TRUE(readBytes(build(smallLayout()), sound).ok());
  EXPECT_TRUE(sound.damage.empty());
}

TEST(R2007Container, EveryShortenedOrFlippedFileIsReadOrRefusedCleanly) {
  const Bytes file = build(smallLayout());
  for (std::size_t length = 0; length + 0x20 < file.size(); ++length) {
    Sections out;
    const Status s = readBytes(Bytes(file.begin(), file.begin() + length), out);
    ASSERT_TRUE(cleanFailure(s)) << "cut at " << length << ": " << s.message;
  }
  for (std::size_t at = 0; at < file.size(); ++at) {
    Bytes changed = file;
    changed[at] ^= 0x5a;
    Sections out;
    const Status s = readBytes(changed, out);
    ASSERT_TRUE(s.ok() || cleanFailure(s)) << "flip at " << at << ": " << s.message;
  }
}

// ---- The real AC1021 sample drawing: what its sections hold is checked by
// the whole-reader sample tests; here, damage the code words can repair.

TEST(R2007Sample, CorrectsWhatTheCodeCanAndCatchesTheRest) {
  const auto folder = veldra::testing::sharedDrawings();
  if (folder.empty()) GTEST_SKIP() << "sample drawings not found";
  const std::string text = veldra::testing::slurp(folder / "sample_AC1021.dwg");
  const Bytes file(text.begin(), text.end());
  Sections clean;
  ASSERT_TRUE(readBytes(file, clean).ok());
  // The first objects page: 92 code words interleaved from file offset 0x480 + 32928.
  const auto objectsByte = [](std::size_t word, std::size_t j) { return 0x480 + 32928 + j * 92 + word; };
  Bytes damaged = file;
  damaged[objectsByte(5, 10)] ^= 0x01;
  damaged[objectsByte(5, 200)] ^= 0xff;
  for (std::size_t j = 0; j < 8; ++j) damaged[0x80 + j * 30 * 3] ^= 0x5a;  // the first file header word
  Sections out;
  ASSERT_TRUE(readBytes(damaged, out).ok());
  EXPECT_EQ(out.objects, clean.objects);
  EXPECT_EQ(out.header, clean.header);
  EXPECT_TRUE(out.damage.empty());

  damaged[objectsByte(5, 100)] ^= 0x10;  // a third wrong byte in one word is too many
  Sections doubtful;
  ASSERT_TRUE(readBytes(damaged, doubtful).ok());
  EXPECT_NE(doubtful.objects, clean.objects);
  ASSERT_EQ(doubtful.damage.size(), 1u);
  EXPECT_EQ(doubtful.damage[0].section, "AcDb:AcDbObjects");
  EXPECT_NE(doubtful.damage[0].message.find("checksum"), std::string::npos) << doubtful.damage[0].message;

  // Where the file outlives the sections, the objects go to a buffer of
  // their own that is not cleared first: they read the same, damage and all,
  // and so does a file whose objects page is cut off.
  Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(objectsByte(0, 100)));
  for (const Bytes* bytes : std::initializer_list<const Bytes*>{&file, &damaged, &cut}) {
    Sections whole;
    Sections inPlace;
    inPlace.inPlace = true;
    const Status wholeStatus = readBytes(*bytes, whole);
    const Status inPlaceStatus = readBytes(*bytes, inPlace);
    ASSERT_EQ(inPlaceStatus.kind, wholeStatus.kind) << inPlaceStatus.message;
    EXPECT_EQ(inPlaceStatus.message, wholeStatus.message);
    if (!wholeStatus.ok()) continue;
    EXPECT_TRUE(inPlace.objects.empty());
    const auto objects = inPlace.objectBytes();
    EXPECT_TRUE(std::equal(objects.begin(), objects.end(), whole.objects.begin(), whole.objects.end()));
    EXPECT_EQ(inPlace.damage.size(), whole.damage.size());
    EXPECT_EQ(inPlace.header, whole.header);
  }
}

}  // namespace
}  // namespace veldra::dwg::detail
