// The R2004 container's check values: the CRC of the encrypted file header
// and the checksums of every page. Pages failing them are still read, and
// noted as damage; a drawing that would decompress past what one drawing may
// take is refused before anything is decompressed.

#include <gtest/gtest.h>

#include <array>
#include <set>

#include "checksum.h"
#include "drawing_bytes.h"
#include "format.h"
#include "dwgwrite/r2004_repack.h"

namespace veldra::dwg::detail {
namespace {

using testbytes::Bytes;
using testbytes::getRL;
using testbytes::putRL;

constexpr std::uint32_t kPageMapType = 0x41630E3B;
constexpr std::uint32_t kSectionMapType = 0x4163003B;
constexpr std::uint32_t kDataPageType = 0x4163043B;
constexpr std::uint32_t kDataPageMask = 0x4164536B;

void putRLL(Bytes& b, std::size_t at, std::uint64_t value) {
  putRL(b, at, static_cast<std::uint32_t>(value));
  putRL(b, at + 4, static_cast<std::uint32_t>(value >> 32));
}

// The file header at 0x80 is masked with a fixed byte sequence; masking
// twice unmasks.
void maskFileHeader(Bytes& b) {
  std::uint32_t seed = 1;
  for (std::size_t i = 0; i < 0x6C; ++i) {
    seed = seed * 0x343FD + 0x269EC3;
    b[0x80 + i] ^= static_cast<std::uint8_t>(seed >> 16);
  }
}

// ---- A container made here, its sections stored uncompressed unless asked.

struct PageRef {
  std::uint32_t id = 0;
  std::uint64_t start = 0;
};

struct SectionPlan {
  std::string name;
  std::uint64_t size = 0;
  std::uint32_t maxPageSize = 0x7400;
  std::uint32_t compressed = 1;
  std::vector<PageRef> pages;
};

struct DataPage {
  std::uint32_t id = 0;
  std::uint32_t section = 0;
  Bytes data;                   // as stored
  bool wrongChecksum = false;
};

struct ContainerPlan {
  std::vector<DataPage> pages;
  std::vector<SectionPlan> sections;
  std::size_t padTo = 0;  // file size at least this
  bool wrongPageMapChecksum = false;
};

Bytes systemPage(std::uint32_t type, const Bytes& data, bool wrongChecksum) {
  Bytes page(20, 0);
  putRL(page, 0, type);
  putRL(page, 4, static_cast<std::uint32_t>(data.size()));
  putRL(page, 8, static_cast<std::uint32_t>(data.size()));
  putRL(page, 12, 1);  // stored as it is
  putRL(page, 16, pageChecksum(pageChecksum(0, page), data) ^ (wrongChecksum ? 1u : 0u));
  page.insert(page.end(), data.begin(), data.end());
  return page;
}

Bytes buildContainer(const ContainerPlan& plan) {
  Bytes file(0x100, 0);
  const std::string version = "AC1018";
  std::copy(version.begin(), version.end(), file.begin());
  std::vector<std::pair<std::uint32_t, std::uint32_t>> listed;  // id, size
  std::uint32_t lastId = 0;
  for (const DataPage& page : plan.pages) {
    const auto address = static_cast<std::uint32_t>(file.size());
    Bytes header(32, 0);
    putRL(header, 0, kDataPageType);
    putRL(header, 4, page.section);
    putRL(header, 8, static_cast<std::uint32_t>(page.data.size()));
    putRL(header, 12, static_cast<std::uint32_t>(page.data.size()));
    const std::uint32_t dataChecksum = pageChecksum(0, page.data) ^ (page.wrongChecksum ? 1u : 0u);
    putRL(header, 0x1C, dataChecksum);
    putRL(header, 0x18, pageChecksum(dataChecksum, header));
    const std::uint32_t mask = kDataPageMask ^ address;
    for (std::size_t k = 0; k < 32; ++k) header[k] ^= static_cast<std::uint8_t>(mask >> (8 * (k % 4)));
    file.insert(file.end(), header.begin(), header.end());
    file.insert(file.end(), page.data.begin(), page.data.end());
    listed.emplace_back(page.id, static_cast<std::uint32_t>(32 + page.data.size()));
    lastId = std::max(lastId, page.id);
  }
  Bytes map(20, 0);
  putRL(map, 0, static_cast<std::uint32_t>(plan.sections.size()));
  for (const SectionPlan& s : plan.sections) {
    Bytes d(96, 0);
    putRLL(d, 0, s.size);
    putRL(d, 8, static_cast<std::uint32_t>(s.pages.size()));
    putRL(d, 12, s.maxPageSize);
    putRL(d, 20, s.compressed);
    std::copy(s.name.begin(), s.name.end(), d.begin() + 32);
    for (const PageRef& p : s.pages) {
      Bytes ref(16, 0);
      putRL(ref, 0, p.id);
      putRLL(ref, 8, p.start);
      d.insert(d.end(), ref.begin(), ref.end());
    }
    map.insert(map.end(), d.begin(), d.end());
  }
  const std::uint32_t sectionMapId = lastId + 1;
  const Bytes sectionMap = systemPage(kSectionMapType, map, false);
  file.insert(file.end(), sectionMap.begin(), sectionMap.end());
  listed.emplace_back(sectionMapId, static_cast<std::uint32_t>(sectionMap.size()));
  Bytes pageMap;
  for (const auto& [id, size] : listed) {
    Bytes entry(8, 0);
    putRL(entry, 0, id);
    putRL(entry, 4, size);
    pageMap.insert(pageMap.end(), entry.begin(), entry.end());
  }
  const std::uint64_t pageMapAddress = file.size();
  const Bytes pageMapPage = systemPage(kPageMapType, pageMap, plan.wrongPageMapChecksum);
  file.insert(file.end(), pageMapPage.begin(), pageMapPage.end());
  if (file.size() < plan.padTo) file.resize(plan.padTo, 0);

  const std::string id = "AcFssFcAJMB";
  std::copy(id.begin(), id.end(), file.begin() + 0x80);
  putRLL(file, 0x80 + 0x54, pageMapAddress - 0x100);
  putRL(file, 0x80 + 0x5C, sectionMapId);
  putRL(file, 0x80 + 0x68, crc32(std::span(file).subspan(0x80, 0x6C)));
  maskFileHeader(file);
  return file;
}

Bytes pattern(std::size_t size, std::uint8_t salt) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + salt);
  return b;
}

// The four sections the summary needs, each of one page; the objects of two.
ContainerPlan soundPlan() {
  ContainerPlan plan;
  const char* names[] = {"AcDb:Header", "AcDb:Classes", "AcDb:Handles", "AcDb:AcDbObjects"};
  std::uint32_t id = 1;
  for (std::uint32_t s = 0; s < 4; ++s) {
    SectionPlan section{names[s], 0, 0x100, 1, {}};
    for (int k = 0; k < (s == 3 ? 2 : 1); ++k) {
      plan.pages.push_back({id, s + 1, pattern(0x100, static_cast<std::uint8_t>(id)), false});
      section.pages.push_back({id, section.size});
      section.size += 0x100;
      ++id;
    }
    plan.sections.push_back(section);
  }
  return plan;
}

std::set<std::string> damagedSections(const std::vector<Damage>& damage) {
  std::set<std::string> names;
  for (const Damage& d : damage) names.insert(d.section);
  return names;
}

TEST(R2004Container, ASoundContainerReadsWithNoDamage) {
  Sections out;
  const Status s = readR2004Sections(buildContainer(soundPlan()), out);
  ASSERT_TRUE(s.ok()) << s.message;
  EXPECT_TRUE(out.damage.empty());
  EXPECT_EQ(out.header, pattern(0x100, 1));
  Bytes objects = pattern(0x100, 4);
  const Bytes second = pattern(0x100, 5);
  objects.insert(objects.end(), second.begin(), second.end());
  EXPECT_EQ(out.objects, objects);
}

TEST(R2004Container, FailedChecksumsAreNotedAndTheDataKept) {
  ContainerPlan plan = soundPlan();
  plan.pages[4].wrongChecksum = true;  // the objects' second page
  plan.wrongPageMapChecksum = true;
  Bytes file = buildContainer(plan);
  maskFileHeader(file);
  file[0x80 + 0x24] ^= 0x01;  // a field the reader does not use
  maskFileHeader(file);
  Sections out;
  ASSERT_TRUE(readR2004Sections(file, out).ok());
  EXPECT_EQ(damagedSections(out.damage), (std::set<std::string>{"file header", "page map", "AcDb:AcDbObjects"}));
  EXPECT_EQ(std::vector<std::uint8_t>(out.objects.begin() + 0x100, out.objects.end()), pattern(0x100, 5));
}

// Read in place, the objects wait in their pages: a page is filled once a
// byte of it is asked for, and then holds what a whole read gives; a page
// failing its checksum is noted all the same, before it is filled.
TEST(R2004Container, ObjectPagesReadInPlaceAreFilledWhenAsked) {
  ContainerPlan plan = soundPlan();
  plan.pages[4].wrongChecksum = true;  // the objects' second page
  const Bytes file = buildContainer(plan);
  Sections whole;
  ASSERT_TRUE(readR2004Sections(file, whole).ok());
  EXPECT_EQ(whole.objectPages, nullptr);
  Sections lazy;
  lazy.inPlace = true;
  ASSERT_TRUE(readR2004Sections(file, lazy).ok());
  ASSERT_NE(lazy.objectPages, nullptr);
  EXPECT_EQ(damagedSections(lazy.damage), (std::set<std::string>{"AcDb:AcDbObjects"}));
  EXPECT_EQ(lazy.header, whole.header);
  const auto objects = lazy.objectBytes();
  ASSERT_EQ(objects.size(), 0x200u);

  ASSERT_TRUE(lazy.loadObjects(0x1FF, 0x300).ok());  // the last byte, and past the end
  EXPECT_EQ(Bytes(objects.begin() + 0x100, objects.end()), pattern(0x100, 5));
  ASSERT_TRUE(lazy.loadObjects(0xFF, 0x101).ok());  // across both pages
  EXPECT_EQ(Bytes(objects.begin(), objects.end()), whole.objects);
  EXPECT_TRUE(lazy.loadObjects(0x300, 0x400).ok());
}

// Bytes of the objects that no page reaches (a gap between pages, the end of
// a short page) read as zero in place as they do read whole.
TEST(R2004Container, ObjectBytesNoPageReachesReadAsZeroInPlace) {
  ContainerPlan plan = soundPlan();
  plan.pages[4].data.resize(0x80);
  plan.sections[3].maxPageSize = 0x180;  // the first page reaches 0x100 of its 0x180
  plan.sections[3].size = 0x300;
  plan.sections[3].pages[1].start = 0x200;  // no page holds 0x180 to 0x200
  const Bytes file = buildContainer(plan);
  Sections whole;
  ASSERT_TRUE(readR2004Sections(file, whole).ok());
  Sections lazy;
  lazy.inPlace = true;
  ASSERT_TRUE(readR2004Sections(file, lazy).ok());
  ASSERT_TRUE(lazy.loadObjects(0, 0x300).ok());
  const auto objects = lazy.objectBytes();
  EXPECT_EQ(Bytes(objects.begin(), objects.end()), whole.objects);
  EXPECT_EQ(Bytes(objects.begin(), objects.begin() + 0x100), pattern(0x100, 4));
  EXPECT_EQ(Bytes(objects.begin() + 0x100, objects.begin() + 0x200), Bytes(0x100, 0));
  EXPECT_EQ(Bytes(objects.begin() + 0x280, objects.end()), Bytes(0x80, 0));
}

TEST(R2004Container, OverlappingPagesAreRefused) {
  ContainerPlan plan = soundPlan();
  plan.sections[3].pages[1].start = 0x80;
  Sections out;
  const Status s = readR2004Sections(buildContainer(plan), out);
  EXPECT_EQ(s.kind, ErrorKind::kCorrupt);
  EXPECT_EQ(s.section, "AcDb:AcDbObjects");
}

// 4 MB of file whose header section lists one page of a few kilobytes 1024
// times over: 1 GB once decompressed. Refused from the section map alone.
TEST(R2004Container, ADrawingExpandingPastItsBoundIsRefusedBeforeDecompressing) {
  ContainerPlan plan = soundPlan();
  Bytes bomb{0x01, 0, 0, 0, 0, 0x20};  // four literals, then one long copy of them
  bomb.insert(bomb.end(), 4100, 0x00);
  bomb.insert(bomb.end(), {0x01, 0x0C, 0x00, 0x11});
  plan.pages.push_back({99, 1, bomb, false});
  SectionPlan& header = plan.sections[0];
  header.compressed = 2;
  header.maxPageSize = 0x100000;
  header.size = std::uint64_t{1} << 30;
  header.pages.clear();
  for (std::uint64_t k = 0; k < 1024; ++k) header.pages.push_back({99, k << 20});
  plan.padTo = 4 << 20;
  const Bytes file = buildContainer(plan);
  ASSERT_GE(costBound(file.size()), kMaxDrawingCost);

  Sections out;
  const Status s = readR2004Sections(file, out);
  EXPECT_EQ(s.kind, ErrorKind::kCorrupt);
  EXPECT_EQ(s.section, "AcDb:Header");
  EXPECT_NE(s.message.find("more than one drawing may take"), std::string::npos) << s.message;
  EXPECT_TRUE(out.header.empty());

}

// ---- The sample drawings of R2004 and later.

struct PageInFile {
  std::uint64_t address = 0;
  bool system = false;
};

// Every page the page map lists, and the page map itself.
std::vector<PageInFile> pagesOf(const Bytes& file) {
  Bytes plain = file;
  maskFileHeader(plain);
  const std::uint64_t pageMapAddress = getRL(plain, 0x80 + 0x54) + 0x100ull;
  std::vector<PageInFile> pages{{pageMapAddress, true}};
  Bytes map(getRL(file, pageMapAddress + 4));
  if (!decompressR2004(std::span(file).subspan(pageMapAddress + 20, getRL(file, pageMapAddress + 8)), map).ok())
    return {};
  std::uint64_t address = 0x100;
  for (std::size_t at = 0; at + 8 <= map.size(); at += 8) {
    const auto number = static_cast<std::int32_t>(getRL(map, at));
    const std::uint32_t size = getRL(map, at + 4);
    if (number < 0) {
      at += 16;
    } else if (address != pageMapAddress) {
      const std::uint32_t type = getRL(file, address);
      pages.push_back({address, type == kSectionMapType || type == kPageMapType});
    }
    address += size;
  }
  return pages;
}

class R2004Sample : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    bytes_ = testbytes::loadSample(GetParam());
    if (bytes_.empty()) GTEST_SKIP() << "no sample drawings beside the repository";
    ASSERT_TRUE(readSummary(bytes_, sound_).ok());
  }
  Bytes bytes_;
  Summary sound_;
};

// Every page of the objects, filled on demand, holds what the whole read
// gives, however it is asked for.
TEST_P(R2004Sample, ObjectsReadInPlaceMatchTheWholeRead) {
  Sections whole;
  ASSERT_TRUE(readR2004Sections(bytes_, whole).ok());
  Sections lazy;
  lazy.inPlace = true;
  ASSERT_TRUE(readR2004Sections(bytes_, lazy).ok());
  const auto objects = lazy.objectBytes();
  ASSERT_EQ(objects.size(), whole.objects.size());
  EXPECT_EQ(lazy.damage.size(), whole.damage.size());
  // Backwards in uneven steps, so that reads start and end inside pages.
  for (std::uint64_t end = objects.size(); end > 0;) {
    const std::uint64_t begin = end > 5000 ? end - 5000 : 0;
    ASSERT_TRUE(lazy.loadObjects(begin, end).ok());
    end = begin;
  }
  EXPECT_EQ(Bytes(objects.begin(), objects.end()), whole.objects);
}

TEST_P(R2004Sample, TheFileHeaderCrcIsChecked) {
  EXPECT_TRUE(sound_.damage.empty());
  maskFileHeader(bytes_);
  bytes_[0x80 + 0x24] ^= 0x01;
  maskFileHeader(bytes_);
  Summary summary;
  ASSERT_TRUE(readSummary(bytes_, summary).ok());
  ASSERT_EQ(summary.damage.size(), 1u);
  EXPECT_EQ(summary.damage[0].section, "file header");
  EXPECT_EQ(summary.entities.size(), sound_.entities.size());
}

// Each page's stored checksum altered in turn: the pages of the sections the
// summary reads are caught, the others never read, and the drawing is
// always read through.
TEST_P(R2004Sample, EveryPageOfTheSectionsReadIsChecked) {
  const std::vector<PageInFile> pages = pagesOf(bytes_);
  ASSERT_GT(pages.size(), 5u);
  std::set<std::string> caught;
  for (const PageInFile& page : pages) {
    Bytes altered = bytes_;
    altered[page.address + (page.system ? 16 : 0x1C)] ^= 0x01;
    Summary summary;
    const Status status = readSummary(altered, summary);
    ASSERT_TRUE(status.ok()) << page.address << ": " << status.message;
    EXPECT_LE(summary.damage.size(), 1u) << page.address;
    for (const Damage& d : summary.damage) {
      caught.insert(d.section);
      EXPECT_EQ(d.offset, page.address);
    }
    EXPECT_EQ(summary.entities.size(), sound_.entities.size());
  }
  EXPECT_EQ(caught, (std::set<std::string>{"page map", "section map", "AcDb:Header", "AcDb:Classes", "AcDb:Handles",
                                           "AcDb:AcDbObjects"}));
}

// A page of the preview failing its checksum leaves the preview out with a
// note; no page of the preview makes the drawing's facts doubtful.
TEST_P(R2004Sample, APreviewPageFailingItsChecksumIsANote) {
  const std::vector<PageInFile> pages = pagesOf(bytes_);
  std::size_t noted = 0;
  for (const PageInFile& page : pages) {
    if (page.system) continue;
    Bytes altered = bytes_;
    altered[page.address + 0x1C] ^= 0x01;
    Drawing drawing;
    ASSERT_TRUE(readDrawing(altered, ReadRequest{.evidence = true}, drawing).ok());
    for (const Damage& d : drawing.summary.damage) EXPECT_NE(d.section, "AcDb:Preview") << d.message;
    if (drawing.evidence.previewNote.empty()) continue;
    ++noted;
    EXPECT_EQ(drawing.evidence.preview.format, PreviewFormat::kNone);
    EXPECT_TRUE(drawing.summary.damage.empty());
  }
  EXPECT_GE(noted, 1u);
}

TEST_P(R2004Sample, AlteredCompressedDataIsCaughtOrRefused) {
  const std::vector<PageInFile> pages = pagesOf(bytes_);
  int doubted = 0;
  for (const PageInFile& page : pages) {
    if (page.system) continue;
    Bytes altered = bytes_;
    altered[page.address + 32 + 5] ^= 0x02;
    Summary summary;
    const Status status = readSummary(altered, summary);
    if (status.ok() && summary.doubtful()) ++doubted;
    // Never a success that nobody doubts, unless the page is of a section
    // the summary does not read.
    if (status.ok() && !summary.doubtful()) {
      EXPECT_EQ(summary.entities.size(), sound_.entities.size());
    }
  }
  EXPECT_GE(doubted, 4);
}

// The writer's packer, as fuzzing hands altered sections back: what it packs from
// a drawing's own sections reads as that drawing, and as sound.
TEST_P(R2004Sample, RepackedSectionsReadAsTheDrawing) {
  Sections sections;
  ASSERT_TRUE(readR2004Sections(bytes_, sections).ok());
  const Bytes packed = dwgwrite::repackR2004(bytes_, {{"AcDb:Header", sections.header},
                                                   {"AcDb:Classes", sections.classes},
                                                   {"AcDb:Handles", sections.handles},
                                                   {"AcDb:AcDbObjects", sections.objects}});
  Summary summary;
  const Status status = readSummary(packed, summary);
  ASSERT_TRUE(status.ok()) << status.message << " [" << status.section << "]";
  for (const Damage& d : summary.damage) ADD_FAILURE() << d.section << ": " << d.message;
  EXPECT_EQ(summary.created.julian(), sound_.created.julian());
  ASSERT_EQ(summary.entities.size(), sound_.entities.size());
  for (std::size_t k = 0; k < summary.entities.size(); ++k) {
    EXPECT_EQ(summary.entities[k].handle, sound_.entities[k].handle);
    EXPECT_EQ(summary.entities[k].className, sound_.entities[k].className);
  }
}

// With the summary information and the preview handed back too, the
// evidence reads as the drawing's own.
TEST_P(R2004Sample, RepackedEvidenceReadsAsTheDrawing) {
  Sections sections;
  sections.wantEvidence = true;
  ASSERT_TRUE(readR2004Sections(bytes_, sections).ok());
  std::vector<dwgwrite::PackedSection> packed{{"AcDb:Header", sections.header},
                                              {"AcDb:Classes", sections.classes},
                                              {"AcDb:Handles", sections.handles},
                                              {"AcDb:AcDbObjects", sections.objects}};
  if (sections.summaryInfo.present) packed.push_back({"AcDb:SummaryInfo", sections.summaryInfo.bytes});
  if (sections.preview.present) packed.push_back({"AcDb:Preview", sections.preview.bytes});
  const ReadRequest request{.evidence = true};
  Drawing original, repacked;
  ASSERT_TRUE(readDrawing(bytes_, request, original).ok());
  const Status status = readDrawing(dwgwrite::repackR2004(bytes_, packed), request, repacked);
  ASSERT_TRUE(status.ok()) << status.message << " [" << status.section << "]";
  const Evidence& a = original.evidence;
  const Evidence& b = repacked.evidence;
  EXPECT_EQ(a.fingerprintGuid, b.fingerprintGuid);
  EXPECT_EQ(a.versionGuid, b.versionGuid);
  EXPECT_EQ(a.handseed, b.handseed);
  ASSERT_EQ(a.summaryInfo.has_value(), b.summaryInfo.has_value());
  if (a.summaryInfo) {
    EXPECT_EQ(a.summaryInfo->author, b.summaryInfo->author);
  }
  EXPECT_EQ(a.preview.format, b.preview.format);
  EXPECT_EQ(a.preview.bytes, b.preview.bytes);
  EXPECT_EQ(a.previewNote, b.previewNote);
}

TEST(R2004Pack, AVersionTheWriterDoesNotWriteOrAShortFileGivesNothing) {
  const std::vector<dwgwrite::PackedSection> none;
  Bytes file(0x100, 0);
  EXPECT_TRUE(dwgwrite::repackR2004(std::span(file).first(0xFF), none).empty());
  std::copy_n("AC1021", 6, file.begin());
  EXPECT_TRUE(dwgwrite::repackR2004(file, none).empty());
  std::copy_n("AC1015", 6, file.begin());
  EXPECT_TRUE(dwgwrite::repackR2004(file, none).empty());
  std::copy_n("AC1018", 6, file.begin());
  EXPECT_FALSE(dwgwrite::repackR2004(file, none).empty());
}

TEST(R2004Pack, LiteralRunsOfEveryLengthDecompress) {
  for (std::size_t length : {4, 5, 18, 19, 20, 272, 273, 274, 527, 528, 0x7400}) {
    const Bytes data = pattern(length, static_cast<std::uint8_t>(length));
    Bytes out(length);
    ASSERT_TRUE(decompressR2004(dwgwrite::literalStream(data), out).ok()) << length;
    EXPECT_EQ(out, data) << length;
  }
}

INSTANTIATE_TEST_SUITE_P(Drawings, R2004Sample,
                         ::testing::Values("sample_AC1018.dwg", "sample_AC1024.dwg", "sample_AC1027.dwg",
                                           "sample_AC1032.dwg", "layouts_AC1032.dwg"),
                         [](const auto& p) {
                           const std::string name = p.param;
                           return name.substr(0, name.size() - 4);
                         });

}  // namespace
}  // namespace veldra::dwg::detail
