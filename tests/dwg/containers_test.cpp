// The paged containers (R2004 and later, R2007): sections read whole and in
// place, every page's check value on the sample drawings, a preview page
// failing its checksum, the writer's packer as fuzzing uses it, and the
// damage the R2007 code words repair. Refusals are in damage_test.cpp.

#include <gtest/gtest.h>

#include <set>

#include "containers.h"
#include "sections.h"
#include "dwgwrite/r2004_repack.h"
#include "veldra/dwg/evidence.h"

namespace veldra::dwg::detail {
namespace {

using testbytes::Bytes;
using testbytes::getRL;
using namespace testbytes::r2004;

std::set<std::string> damagedSections(const std::vector<Damage>& damage) {
  std::set<std::string> names;
  for (const Damage& d : damage) names.insert(d.section);
  return names;
}

// A page failing its checksum is noted and its data kept. Read in place,
// the objects wait in their pages: a page is filled once a byte of it is
// asked for, and then holds what a whole read gives; bytes no page reaches
// (a gap between pages, the end of a short page) read as zero.
TEST(R2004Container, PagesAreCheckedAndReadInPlaceAsWhole) {
  ContainerPlan plan = soundPlan();
  plan.pages[4].wrongChecksum = true;  // the objects' second page
  plan.wrongPageMapChecksum = true;
  const Bytes file = buildContainer(plan);
  Sections whole;
  ASSERT_TRUE(readR2004Sections(file, whole).ok());
  EXPECT_EQ(damagedSections(whole.damage), (std::set<std::string>{"page map", "AcDb:AcDbObjects"}));
  EXPECT_EQ(whole.header, pattern(0x100, 1));
  EXPECT_EQ(Bytes(whole.objects.begin() + 0x100, whole.objects.end()), pattern(0x100, 5));
  EXPECT_EQ(whole.objectPages, nullptr);

  Sections lazy;
  lazy.inPlace = true;
  ASSERT_TRUE(readR2004Sections(file, lazy).ok());
  ASSERT_NE(lazy.objectPages, nullptr);
  EXPECT_EQ(lazy.damage.size(), whole.damage.size());
  const auto objects = lazy.objectBytes();
  ASSERT_EQ(objects.size(), 0x200u);
  ASSERT_TRUE(lazy.loadObjects(0x1FF, 0x300).ok());  // the last byte, and past the end
  EXPECT_EQ(Bytes(objects.begin() + 0x100, objects.end()), pattern(0x100, 5));
  ASSERT_TRUE(lazy.loadObjects(0xFF, 0x101).ok());  // across both pages
  EXPECT_EQ(Bytes(objects.begin(), objects.end()), whole.objects);

  plan = soundPlan();
  plan.pages[4].data.resize(0x80);
  plan.sections[3].maxPageSize = 0x180;  // the first page reaches 0x100 of its 0x180
  plan.sections[3].size = 0x300;
  plan.sections[3].pages[1].start = 0x200;  // no page holds 0x180 to 0x200
  const Bytes gaps = buildContainer(plan);
  ASSERT_TRUE(readR2004Sections(gaps, whole).ok());
  Sections gapsInPlace;
  gapsInPlace.inPlace = true;
  ASSERT_TRUE(readR2004Sections(gaps, gapsInPlace).ok());
  ASSERT_TRUE(gapsInPlace.loadObjects(0, 0x300).ok());
  const auto read = gapsInPlace.objectBytes();
  EXPECT_EQ(Bytes(read.begin(), read.end()), whole.objects);
  EXPECT_EQ(Bytes(read.begin() + 0x100, read.begin() + 0x200), Bytes(0x100, 0));
  EXPECT_EQ(Bytes(read.begin() + 0x280, read.end()), Bytes(0x80, 0));
}

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

// Each page's stored checksum altered in turn: the pages of the sections
// the summary reads are caught, the others never read, and the drawing is
// always read through. A page of the preview failing leaves the preview out
// with a note; no page of the preview makes the drawing's facts doubtful.
TEST_P(R2004Sample, EveryPageIsCheckedWhereItIsRead) {
  const std::vector<PageInFile> pages = pagesOf(bytes_);
  ASSERT_GT(pages.size(), 5u);
  std::set<std::string> caught;
  std::size_t noted = 0;
  for (const PageInFile& page : pages) {
    Bytes altered = bytes_;
    altered[page.address + (page.system ? 16 : 0x1C)] ^= 0x01;
    Summary summary;
    ASSERT_TRUE(readSummary(altered, summary).ok()) << page.address;
    EXPECT_LE(summary.damage.size(), 1u) << page.address;
    for (const Damage& d : summary.damage) {
      caught.insert(d.section);
      EXPECT_EQ(d.offset, page.address);
    }
    EXPECT_EQ(summary.entities.size(), sound_.entities.size());
    if (page.system) continue;
    Drawing drawing;
    ASSERT_TRUE(readDrawing(altered, ReadRequest{.evidence = true}, drawing).ok());
    for (const Damage& d : drawing.summary.damage) EXPECT_NE(d.section, "AcDb:Preview") << d.message;
    if (drawing.evidence.previewNote.empty()) continue;
    ++noted;
    EXPECT_EQ(drawing.evidence.preview.format, PreviewFormat::kNone);
    EXPECT_TRUE(drawing.summary.damage.empty());
  }
  EXPECT_EQ(caught, (std::set<std::string>{"page map", "section map", "AcDb:Header", "AcDb:Classes", "AcDb:Handles",
                                           "AcDb:AcDbObjects"}));
  EXPECT_GE(noted, 1u);
}

INSTANTIATE_TEST_SUITE_P(Drawings, R2004Sample,
                         ::testing::Values("sample_AC1018.dwg", "sample_AC1024.dwg", "sample_AC1027.dwg",
                                           "sample_AC1032.dwg", "layouts_AC1032.dwg"),
                         [](const auto& p) {
                           const std::string name = p.param;
                           return name.substr(0, name.size() - 4);
                         });

TEST(R2004Pack, LiteralRunsOfEveryLengthDecompress) {
  for (std::size_t length : {4, 5, 18, 19, 20, 272, 273, 274, 527, 528, 0x7400}) {
    const Bytes data = pattern(length, static_cast<std::uint8_t>(length));
    Bytes out(length);
    ASSERT_TRUE(decompressR2004(dwgwrite::literalStream(data), out).ok()) << length;
    EXPECT_EQ(out, data) << length;
  }
}

// The real AC1021 drawing: damage its code words can repair is repaired,
// damage beyond it is caught; and where the objects go to a buffer of their
// own (read in place) they read the same, damage and all, also when the
// file is cut off inside its objects.
TEST(R2007Sample, CorrectsWhatTheCodeCanAndCatchesTheRest) {
  const Bytes file = testbytes::loadSample("sample_AC1021.dwg");
  if (file.empty()) GTEST_SKIP() << "no sample drawings beside the repository";
  Sections clean;
  ASSERT_TRUE(readR2007Sections(file, clean).ok());
  // The first objects page: 92 code words interleaved from file offset 0x480 + 32928.
  const auto objectsByte = [](std::size_t word, std::size_t j) { return 0x480 + 32928 + j * 92 + word; };
  Bytes damaged = file;
  damaged[objectsByte(5, 10)] ^= 0x01;
  damaged[objectsByte(5, 200)] ^= 0xff;
  for (std::size_t j = 0; j < 8; ++j) damaged[0x80 + j * 30 * 3] ^= 0x5a;  // the first file header word
  Sections out;
  ASSERT_TRUE(readR2007Sections(damaged, out).ok());
  EXPECT_EQ(out.objects, clean.objects);
  EXPECT_EQ(out.header, clean.header);
  EXPECT_TRUE(out.damage.empty());

  damaged[objectsByte(5, 100)] ^= 0x10;  // a third wrong byte in one word is too many
  Sections doubtful;
  ASSERT_TRUE(readR2007Sections(damaged, doubtful).ok());
  EXPECT_NE(doubtful.objects, clean.objects);
  EXPECT_EQ(damagedSections(doubtful.damage), std::set<std::string>{"AcDb:AcDbObjects"});

  const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(objectsByte(0, 100)));
  for (const Bytes* bytes : std::initializer_list<const Bytes*>{&file, &damaged, &cut}) {
    Sections whole;
    Sections inPlace;
    inPlace.inPlace = true;
    const Status wholeStatus = readR2007Sections(*bytes, whole);
    const Status inPlaceStatus = readR2007Sections(*bytes, inPlace);
    ASSERT_EQ(inPlaceStatus.kind, wholeStatus.kind) << inPlaceStatus.message;
    EXPECT_EQ(inPlaceStatus.message, wholeStatus.message);
    if (!wholeStatus.ok()) continue;
    EXPECT_TRUE(inPlace.objects.empty());
    const auto objects = inPlace.objectBytes();
    EXPECT_TRUE(std::equal(objects.begin(), objects.end(), whole.objects.begin(), whole.objects.end()));
    EXPECT_EQ(inPlace.damage.size(), whole.damage.size());
  }
}

}  // namespace
}  // namespace veldra::dwg::detail
