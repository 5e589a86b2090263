#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "r2007_codec.h"
#include "sections.h"
#include "support/temp_dir.h"

namespace veldra::dwg::detail {
namespace {

using Bytes = std::vector<std::uint8_t>;
using r2007::kCodewordSize;

const Bytes kHeaderSentinel = {0xCF, 0x7B, 0x1F, 0x23, 0xFD, 0xDE, 0x38, 0xA9,
                               0x5F, 0x7C, 0x68, 0xB8, 0x4E, 0x6D, 0x33, 0x5F};
const Bytes kHeaderEndSentinel = {0x30, 0x84, 0xE0, 0xDC, 0x02, 0x21, 0xC7, 0x56,
                                  0xA0, 0x83, 0x97, 0x47, 0xB1, 0x92, 0xCC, 0xA0};
const Bytes kClassesSentinel = {0x8D, 0xA1, 0xC4, 0xB8, 0xC4, 0xA9, 0xF8, 0xC5,
                                0xC0, 0xDC, 0xF4, 0x5F, 0xE7, 0xCF, 0xB6, 0x8A};

// ---- A small AC1021 writer: stores pages uncompressed unless given
// compressed bytes, writes no parity (the reader does not check it) and
// repeats system page data as the format does.

void put64(Bytes& out, std::size_t at, std::uint64_t value) {
  for (std::size_t k = 0; k < 8; ++k) out[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
}
void append64(Bytes& out, std::uint64_t value) {
  out.resize(out.size() + 8);
  put64(out, out.size() - 8, value);
}

// Interleaves `data` (padded with zeros) over as many code words as it needs.
Bytes interleave(const Bytes& data, std::size_t dataPerBlock) {
  const std::size_t blocks = std::max<std::size_t>(1, r2007::blocksFor(data.size(), dataPerBlock));
  Bytes coded(blocks * kCodewordSize, 0);
  for (std::size_t b = 0; b < blocks; ++b) {
    for (std::size_t j = 0; j < dataPerBlock && b * dataPerBlock + j < data.size(); ++j) {
      coded[j * blocks + b] = data[b * dataPerBlock + j];
    }
  }
  return coded;
}

Bytes padTo(Bytes bytes, std::size_t multiple) {
  bytes.resize((bytes.size() + multiple - 1) / multiple * multiple, 0);
  return bytes;
}

struct PageSpec {
  std::uint64_t id = 0;
  std::uint64_t dataOffset = 0;
  Bytes data;                // what the page holds once read
  std::optional<Bytes> compressed;  // stored form, when compressed
  std::optional<std::uint64_t> idField, compressedField, uncompressedField, checksumField;
};

struct SectionSpec {
  std::string name;
  std::uint64_t dataSize = 0;
  std::uint64_t encryption = 0;
  std::uint64_t encoding = 4;
  std::vector<PageSpec> pages;
  std::optional<std::uint64_t> pageCountField, nameBytesField;
};

struct Layout {
  std::vector<SectionSpec> sections;
  std::uint64_t pageMapCorrection = 3;
  std::uint64_t sectionMapCorrection = 2;
  std::optional<std::uint64_t> sectionMapIdField, pageMapCorrectionField,
      sectionMapCorrectionField;
  std::optional<std::int32_t> headerLengthField;
  std::vector<std::pair<std::int64_t, std::int64_t>> extraPageMapEntries;  // size, id
};

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

PageSpec page(std::uint64_t id, std::uint64_t dataOffset, Bytes data,
              std::optional<Bytes> compressed = std::nullopt) {
  PageSpec spec;
  spec.id = id;
  spec.dataOffset = dataOffset;
  spec.data = std::move(data);
  spec.compressed = std::move(compressed);
  return spec;
}

SectionSpec section(std::string name, std::uint64_t dataSize, std::uint64_t encoding,
                    std::vector<PageSpec> pages) {
  SectionSpec spec;
  spec.name = std::move(name);
  spec.dataSize = dataSize;
  spec.encoding = encoding;
  spec.pages = std::move(pages);
  return spec;
}

Layout sampleLayout() {
  Layout layout;
  Bytes header = kHeaderSentinel;
  for (int k = 0; k < 40; ++k) header.push_back(static_cast<std::uint8_t>(k * 7));
  header.insert(header.end(), kHeaderEndSentinel.begin(), kHeaderEndSentinel.end());
  layout.sections.push_back(section("AcDb:Header", header.size(), 4, {page(2, 0, header)}));

  // Stored compressed: one 'x', then 256 more copied from one byte back.
  layout.sections.push_back(section(
      "AcDb:Classes", 257, 4,
      {page(3, 0, Bytes(257, 'x'), Bytes{0x20, 0, 0, 0x01, 'x', 0x28, 0, 0, 0, 0})}));

  layout.sections.push_back(section("AcDb:Handles", 4, 1, {page(4, 0, Bytes{0, 2, 0, 0})}));

  // Two pages with a left-out zero page between them; the second spans
  // several interleaved code words.
  Bytes second(600);
  for (std::size_t k = 0; k < second.size(); ++k) second[k] = static_cast<std::uint8_t>(k % 251);
  layout.sections.push_back(section("AcDb:AcDbObjects", 10 + 20 + 600, 4,
                                    {page(5, 0, bytesOf("objects...")), page(6, 30, second)}));
  layout.sections.push_back(section("AcDb:Preview", 3, 1, {page(7, 0, bytesOf("img"))}));
  return layout;
}

Bytes systemPage(const Bytes& data, std::uint64_t correction) {
  const Bytes aligned = padTo(data, 8);
  Bytes repeated;
  for (std::uint64_t k = 0; k < correction; ++k) {
    repeated.insert(repeated.end(), aligned.begin(), aligned.end());
  }
  return padTo(interleave(repeated, r2007::kSystemBlockData), 0x20);
}

Bytes dataPage(const SectionSpec& section, const PageSpec& page) {
  const Bytes stored = padTo(page.compressed.value_or(page.data), 8);
  if (section.encoding == 1) {
    Bytes coded = stored;
    coded.resize(r2007::blocksFor(stored.size(), r2007::kDataBlockData) * kCodewordSize, 0);
    return padTo(coded, 0x20);
  }
  return padTo(interleave(stored, r2007::kDataBlockData), 0x20);
}

Bytes sectionMap(const Layout& layout) {
  Bytes map;
  for (const SectionSpec& section : layout.sections) {
    Bytes name;
    for (char c : section.name) name.insert(name.end(), {static_cast<std::uint8_t>(c), 0});
    name.insert(name.end(), {0, 0});
    for (std::uint64_t value :
         {section.dataSize, std::uint64_t{0xf800}, section.encryption, std::uint64_t{0},
          section.nameBytesField.value_or(name.size()), std::uint64_t{0}, section.encoding,
          section.pageCountField.value_or(section.pages.size())}) {
      append64(map, value);
    }
    map.insert(map.end(), name.begin(), name.end());
    for (const PageSpec& page : section.pages) {
      const std::uint64_t stored = page.compressed ? page.compressed->size() : page.data.size();
      for (std::uint64_t value :
           {page.dataOffset, std::uint64_t{page.data.size()}, page.idField.value_or(page.id),
            page.uncompressedField.value_or(page.data.size()), page.compressedField.value_or(stored),
            page.checksumField.value_or(r2007::pageChecksum(0, page.data)), std::uint64_t{0}}) {
        append64(map, value);
      }
    }
  }
  return map;
}

Bytes build(const Layout& layout) {
  constexpr std::uint64_t kPageMapId = 1;
  constexpr std::uint64_t kSectionMapId = 9;
  std::vector<std::pair<std::uint64_t, Bytes>> pages;  // id, coded page
  for (const SectionSpec& section : layout.sections) {
    for (const PageSpec& page : section.pages) pages.emplace_back(page.id, dataPage(section, page));
  }
  const Bytes sections = sectionMap(layout);
  const Bytes sectionPage = systemPage(sections, layout.sectionMapCorrection);

  // The page map lists itself, the data pages and the section map.
  const std::size_t entries = pages.size() + 2 + layout.extraPageMapEntries.size();
  const std::size_t pageMapSize = systemPage(Bytes(entries * 16), layout.pageMapCorrection).size();
  Bytes pageMap;
  append64(pageMap, pageMapSize);
  append64(pageMap, kPageMapId);
  for (const auto& [id, coded] : pages) {
    append64(pageMap, coded.size());
    append64(pageMap, id);
  }
  append64(pageMap, sectionPage.size());
  append64(pageMap, kSectionMapId);
  for (const auto& [size, id] : layout.extraPageMapEntries) {
    append64(pageMap, static_cast<std::uint64_t>(size));
    append64(pageMap, static_cast<std::uint64_t>(id));
  }

  Bytes fields(0x110, 0);
  put64(fields, 0x00, 0x70);
  put64(fields, 0x18, layout.pageMapCorrectionField.value_or(layout.pageMapCorrection));
  put64(fields, 0x38, 0);
  put64(fields, 0x50, pageMap.size());
  put64(fields, 0x58, pageMap.size());
  put64(fields, 0xb0, sections.size());
  put64(fields, 0xc0, layout.sectionMapIdField.value_or(kSectionMapId));
  put64(fields, 0xc8, sections.size());
  put64(fields, 0xd8, layout.sectionMapCorrectionField.value_or(layout.sectionMapCorrection));
  Bytes header(0x20, 0);
  const auto length = static_cast<std::uint32_t>(layout.headerLengthField.value_or(-0x110));
  for (std::size_t k = 0; k < 4; ++k) header[0x18 + k] = static_cast<std::uint8_t>(length >> (8 * k));
  header.insert(header.end(), fields.begin(), fields.end());
  header.resize(3 * r2007::kSystemBlockData, 0);

  Bytes file(0x480, 0);
  const std::string version = "AC1021";
  std::copy(version.begin(), version.end(), file.begin());
  file[0x0b] = 0x1f;
  const Bytes codedHeader = interleave(header, r2007::kSystemBlockData);
  std::copy(codedHeader.begin(), codedHeader.end(), file.begin() + 0x80);
  const Bytes pageMapPage = systemPage(pageMap, layout.pageMapCorrection);
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
  const Layout layout = sampleLayout();
  Sections out;
  const Status s = readBytes(build(layout), out);
  ASSERT_TRUE(s.ok()) << s.message;
  EXPECT_EQ(out.version, "AC1021");
  EXPECT_EQ(out.maintenance, 0x1f);
  EXPECT_EQ(out.header, layout.sections[0].pages[0].data);
  EXPECT_EQ(out.classes, Bytes(257, 'x'));
  EXPECT_EQ(out.handles, (Bytes{0, 2, 0, 0}));
  ASSERT_EQ(out.objects.size(), 630u);
  EXPECT_EQ(Bytes(out.objects.begin(), out.objects.begin() + 10), bytesOf("objects..."));
  EXPECT_EQ(Bytes(out.objects.begin() + 10, out.objects.begin() + 30), Bytes(20, 0));
  EXPECT_EQ(Bytes(out.objects.begin() + 30, out.objects.end()), layout.sections[3].pages[1].data);
}

struct BrokenCase {
  const char* what;
  void (*change)(Layout&);
  ErrorKind kind;
  const char* section;
};

TEST(R2007Container, BrokenMapsAndPagesGiveCleanErrors) {
  const BrokenCase cases[] = {
      {"page missing from the page map", [](Layout& l) { l.sections[0].pages[0].idField = 99; },
       ErrorKind::kCorrupt, "AcDb:Header"},
      {"stored size larger than the page",
       [](Layout& l) { l.sections[1].pages[0].compressedField = 1u << 20; }, ErrorKind::kCorrupt,
       "AcDb:Classes"},
      {"stored size larger than the data",
       [](Layout& l) { l.sections[2].pages[0].uncompressedField = 2; }, ErrorKind::kCorrupt,
       "AcDb:Handles"},
      {"compressed page announcing more than it gives",
       [](Layout& l) { l.sections[1].pages[0].uncompressedField = 300; }, ErrorKind::kCorrupt,
       "AcDb:Classes"},
      {"page placed past the section's end",
       [](Layout& l) { l.sections[3].pages[1].dataOffset = 1u << 30; }, ErrorKind::kCorrupt,
       "AcDb:AcDbObjects"},
      {"section size beyond any real drawing",
       [](Layout& l) { l.sections[3].dataSize = std::uint64_t{1} << 60; }, ErrorKind::kCorrupt,
       "AcDb:AcDbObjects"},
      {"wrong checksum", [](Layout& l) { l.sections[0].pages[0].checksumField = 1; },
       ErrorKind::kCorrupt, "AcDb:Header"},
      {"encrypted section", [](Layout& l) { l.sections[0].encryption = 1; },
       ErrorKind::kUnsupported, "AcDb:Header"},
      {"unknown page coding", [](Layout& l) { l.sections[2].encoding = 7; }, ErrorKind::kCorrupt,
       "AcDb:Handles"},
      {"section missing", [](Layout& l) { l.sections[2].name = "AcDb:Handlez"; },
       ErrorKind::kCorrupt, "section map"},
      {"page count beyond the map",
       [](Layout& l) { l.sections[0].pageCountField = std::uint64_t{1} << 58; },
       ErrorKind::kCorrupt, "section map"},
      {"name length beyond the map",
       [](Layout& l) { l.sections[0].nameBytesField = 1u << 20; }, ErrorKind::kCorrupt,
       "section map"},
      {"section map page unknown", [](Layout& l) { l.sectionMapIdField = 42; },
       ErrorKind::kCorrupt, "section map"},
      {"section map repeat count zero", [](Layout& l) { l.sectionMapCorrectionField = 0; },
       ErrorKind::kCorrupt, "section map"},
      {"page map repeat count past the file",
       [](Layout& l) { l.pageMapCorrectionField = 40; }, ErrorKind::kTruncated, "page map"},
      {"page listed twice", [](Layout& l) { l.extraPageMapEntries.push_back({32, 2}); },
       ErrorKind::kCorrupt, "page map"},
      {"negative page size", [](Layout& l) { l.extraPageMapEntries.push_back({-32, 12}); },
       ErrorKind::kCorrupt, "page map"},
      {"file header length zero", [](Layout& l) { l.headerLengthField = 0; },
       ErrorKind::kCorrupt, "file header"},
      {"file header length past its block", [](Layout& l) { l.headerLengthField = 5000; },
       ErrorKind::kCorrupt, "file header"},
      {"file header stored too short", [](Layout& l) { l.headerLengthField = -5; },
       ErrorKind::kCorrupt, "file header"},
      {"file header data not compressed as claimed",
       [](Layout& l) { l.headerLengthField = 0x40; }, ErrorKind::kCorrupt, "file header"},
  };
  for (const BrokenCase& c : cases) {
    Layout layout = sampleLayout();
    c.change(layout);
    Sections out;
    const Status s = readBytes(build(layout), out);
    EXPECT_EQ(s.kind, c.kind) << c.what << ": " << s.message;
    EXPECT_EQ(s.section, c.section) << c.what << ": " << s.message;
    EXPECT_FALSE(s.message.empty()) << c.what;
  }
}

TEST(R2007Container, EveryShortenedFileFailsCleanly) {
  const Bytes file = build(sampleLayout());
  for (std::size_t length = 0; length + 0x20 < file.size(); ++length) {
    Sections out;
    const Status s = readBytes(Bytes(file.begin(), file.begin() + length), out);
    ASSERT_TRUE(cleanFailure(s)) << "cut at " << length << ": " << s.message;
  }
}

TEST(R2007Container, EveryFlippedByteIsReadOrRefusedCleanly) {
  const Bytes file = build(sampleLayout());
  for (std::size_t at = 0; at < file.size(); ++at) {
    Bytes changed = file;
    changed[at] ^= 0x5a;
    Sections out;
    const Status s = readBytes(changed, out);
    ASSERT_TRUE(s.ok() || cleanFailure(s)) << "flip at " << at << ": " << s.message;
  }
}

// ---- The real AC1021 sample drawing.

Bytes sampleFile() {
  const auto folder = veldra::testing::sharedDrawings();
  if (folder.empty()) return {};
  std::ifstream in(folder / "sample_AC1021.dwg", std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool startsWith(const Bytes& data, const Bytes& prefix) {
  return data.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), data.begin());
}

// Modular characters: 7 bits a byte, low first; the last byte's 0x40 is the
// sign when `isSigned`.
std::int64_t readMC(const Bytes& data, std::size_t& at, std::size_t end, bool isSigned, bool& ok) {
  std::uint64_t value = 0;
  for (int shift = 0; at < end && shift < 63; shift += 7) {
    const std::uint8_t byte = data[at++];
    if (byte & 0x80) {
      value |= std::uint64_t{byte & 0x7fu} << shift;
      continue;
    }
    if (isSigned) {
      value |= std::uint64_t{byte & 0x3fu} << shift;
      return (byte & 0x40) ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
    }
    return static_cast<std::int64_t>(value | (std::uint64_t{byte} << shift));
  }
  ok = false;
  return 0;
}

class R2007Sample : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = sampleFile();
    if (file_.empty()) GTEST_SKIP() << "sample drawings not found";
  }
  Bytes file_;
};

TEST_F(R2007Sample, SectionsStartAtTheirSentinels) {
  Sections out;
  const Status s = readBytes(file_, out);
  ASSERT_TRUE(s.ok()) << s.section << ": " << s.message;
  EXPECT_EQ(out.version, "AC1021");
  EXPECT_EQ(out.maintenance, file_[0x0b]);
  ASSERT_TRUE(startsWith(out.header, kHeaderSentinel));
  EXPECT_TRUE(std::equal(kHeaderEndSentinel.begin(), kHeaderEndSentinel.end(),
                         out.header.end() - 16));
  EXPECT_TRUE(startsWith(out.classes, kClassesSentinel));
}

TEST_F(R2007Sample, ObjectMapLeadsToEveryExpectedEntity) {
  Sections out;
  ASSERT_TRUE(readBytes(file_, out).ok());
  // Runs of big-endian size (counting itself) and handle / offset deltas,
  // each run followed by a CRC, ended by an empty run.
  std::set<std::uint64_t> handles;
  std::size_t at = 0;
  bool ended = false;
  while (at + 2 <= out.handles.size()) {
    const std::size_t size = (std::size_t{out.handles[at]} << 8) | out.handles[at + 1];
    if (size == 2) {
      ended = true;
      break;
    }
    ASSERT_GT(size, 2u);
    ASSERT_LE(at + size + 2, out.handles.size());
    const std::size_t end = at + size;
    std::uint64_t handle = 0;
    std::int64_t offset = 0;
    bool ok = true;
    for (std::size_t pos = at + 2; pos < end && ok;) {
      handle += static_cast<std::uint64_t>(readMC(out.handles, pos, end, false, ok));
      offset += readMC(out.handles, pos, end, true, ok);
      ASSERT_TRUE(ok);
      ASSERT_GE(offset, 0);
      ASSERT_LT(static_cast<std::size_t>(offset), out.objects.size());
      // Each object opens with its size in modular shorts (at least one
      // two-byte unit) and must end, with its CRC, inside the section.
      std::size_t object = static_cast<std::size_t>(offset);
      std::uint64_t objectSize = 0;
      for (int shift = 0;; shift += 15) {
        ASSERT_LE(object + 2, out.objects.size());
        const unsigned unit = out.objects[object] | (unsigned{out.objects[object + 1]} << 8);
        object += 2;
        objectSize |= std::uint64_t{unit & 0x7fffu} << shift;
        if ((unit & 0x8000) == 0) break;
      }
      EXPECT_LE(object + objectSize + 2, out.objects.size()) << "handle " << handle;
      handles.insert(handle);
    }
    at = end + 2;
  }
  EXPECT_TRUE(ended);

  std::ifstream expected(veldra::testing::sharedDrawings() / "sample_AC1021.expected.tsv");
  std::string line;
  int entities = 0;
  while (std::getline(expected, line)) {
    std::istringstream fields(line);
    std::string name, handle, space;
    if (!(fields >> name >> handle >> space) || (space != "MODEL" && space != "PAPER")) continue;
    ++entities;
    EXPECT_TRUE(handles.count(std::stoull(handle, nullptr, 16))) << "handle " << handle;
  }
  EXPECT_GE(entities, 100);
}

TEST_F(R2007Sample, ShortenedCopiesFailCleanly) {
  // Every page the four sections need lies before 100000.
  for (std::size_t length = 0; length < 100000; length += 997) {
    Sections out;
    const Status s = readBytes(Bytes(file_.begin(), file_.begin() + length), out);
    ASSERT_TRUE(cleanFailure(s)) << "cut at " << length;
  }
}

TEST_F(R2007Sample, DamagedPagesAreCaught) {
  Sections out;
  ASSERT_TRUE(readBytes(file_, out).ok());
  // A flipped data byte in the first objects page (page map offset 32928).
  Bytes damaged = file_;
  damaged[0x480 + 32928 + 1000] ^= 0x01;
  Status s = readBytes(damaged, out);
  EXPECT_EQ(s.kind, ErrorKind::kCorrupt);
  EXPECT_EQ(s.section, "AcDb:AcDbObjects");

  // Flips across the file header and the page map never do harm.
  for (std::size_t at = 0x80; at < 0x480 + 1024; at += 7) {
    damaged = file_;
    damaged[at] ^= 0xa5;
    s = readBytes(damaged, out);
    ASSERT_TRUE(s.ok() || cleanFailure(s)) << "flip at " << at;
  }
}

}  // namespace
}  // namespace veldra::dwg::detail
