// Reading from files: a file is looked at before it is read whole, what one
// drawing may cost is bounded, and what a read is asked for is all it
// gives. What the sample drawings hold is checked through veldra-dwginfo
// against the files beside them (tests/dwginfo).

#include <gtest/gtest.h>

#include <algorithm>

#include "support/temp_dir.h"
#include "veldra/dwg/evidence.h"
#include "veldra/dwg/reader.h"

namespace veldra::dwg {
namespace {

namespace fs = std::filesystem;

TEST(ReadSummaryFile, MissingFileIsAnInputError) {
  Summary summary;
  const Status status = readSummaryFile(fs::path("no such folder") / "nothing.dwg", summary);
  EXPECT_EQ(status.kind, ErrorKind::kIo);
  EXPECT_FALSE(status.message.empty());
  FileLook look;
  EXPECT_EQ(lookAtFile(fs::path("no such folder") / "nothing.dwg", look).kind, ErrorKind::kIo);
}

// A file is looked at before it is read: one that is no drawing, of a
// version not read or too large is turned away from its first bytes and
// size, however large it is.
TEST(ReadSummaryFile, LooksAtTheStartAndSizeBeforeReadingWhole) {
  testing::TempDir dir;
  const auto large = [&](const std::string& name, const std::string& start) {
    const fs::path file = dir.write(name, start);
    fs::resize_file(file, kMaxDrawingCost + 1);
    return file;
  };
  struct Case {
    fs::path file;
    ErrorKind kind;
    const char* version;
  };
  const Case cases[] = {
      {dir.write("empty.dwg", ""), ErrorKind::kNotDwg, ""},
      {dir.write("short.dwg", "AC10"), ErrorKind::kNotDwg, ""},
      {dir.write("old.dwg", "AC1008" + std::string(100, '\0')), ErrorKind::kUnsupported, "AC1008"},
      {large("junk.dwg", "just junk"), ErrorKind::kNotDwg, ""},
      {large("huge.dwg", "AC1015"), ErrorKind::kUnsupported, "AC1015"},
      {large("huge-r2004.dwg", "AC1032"), ErrorKind::kUnsupported, "AC1032"},
      {large("huge-r12.dwg", "AC1009"), ErrorKind::kUnsupported, "AC1009"},
      {large("huge-r1.dwg", "AC1.40"), ErrorKind::kUnsupported, "AC1.40"},
  };
  for (const Case& c : cases) {
    FileLook look;
    const Status looked = lookAtFile(c.file, look);
    EXPECT_EQ(looked.kind, c.kind) << c.file;
    EXPECT_EQ(look.version, c.version) << c.file;
    EXPECT_EQ(look.size, fs::file_size(c.file)) << c.file;
    Summary summary;
    const Status read = readSummaryFile(c.file, summary);
    EXPECT_EQ(read.kind, c.kind) << c.file;
    EXPECT_EQ(read.message, looked.message) << c.file;
    EXPECT_EQ(summary.version, c.version) << c.file;
    Drawing drawing;
    const Status drawn = readDrawingFile(c.file, ReadRequest{.evidence = true, .geometry = true}, drawing);
    EXPECT_EQ(drawn.kind, c.kind) << c.file;
    EXPECT_EQ(drawn.message, looked.message) << c.file;
    EXPECT_EQ(drawing.summary.version, c.version) << c.file;
  }
  Summary summary;
  EXPECT_NE(readSummaryFile(dir.path() / "huge.dwg", summary).message.find("256 MiB"), std::string::npos);
}

TEST(CostBound, GrowsWithTheFileUpToTheBound) {
  EXPECT_LT(costBound(0), costBound(100000));
  EXPECT_GE(costBound(100000), 100000u * 100);  // room for data that compresses well
  EXPECT_EQ(costBound(kMaxDrawingCost / 4), kMaxDrawingCost);
  EXPECT_EQ(costBound(std::uint64_t{1} << 62), kMaxDrawingCost);
}

// Only what is asked for is read: the summary alone no evidence and no
// geometry; asked for, the named blocks come with their own entities, every
// block a reference names is there, and reading them changes nothing else.
TEST(ReadRequest, GivesWhatIsAskedForAndNothingElse) {
  const fs::path dir = testing::sharedDrawings();
  if (dir.empty()) GTEST_SKIP() << "no sample drawings beside the repository";
  Drawing summary;
  ASSERT_TRUE(readDrawingFile(dir / "sample_AC1032.dwg", ReadRequest{}, summary).ok());
  EXPECT_FALSE(summary.evidence.updated || summary.evidence.fingerprintGuid || summary.evidence.summaryInfo);
  EXPECT_EQ(summary.evidence.preview.format, PreviewFormat::kNone);
  EXPECT_TRUE(summary.geometry.empty());
  for (const char* name : {"dynamic_block_AC1032", "layouts_AC1032", "sample_AC1018", "sample_AC1014"}) {
    SCOPED_TRACE(name);
    Drawing plain, withBlocks;
    const fs::path file = dir / (std::string(name) + ".dwg");
    ASSERT_TRUE(readDrawingFile(file, ReadRequest{.evidence = true, .geometry = true}, plain).ok());
    ASSERT_TRUE(readDrawingFile(file, ReadRequest{.evidence = true, .geometry = true, .blocks = true}, withBlocks).ok());
    EXPECT_TRUE(plain.blocks.empty());
    EXPECT_EQ(withBlocks.summary.damage.size(), plain.summary.damage.size());
    ASSERT_EQ(withBlocks.geometry.size(), plain.geometry.size());
    for (std::size_t i = 0; i < plain.geometry.size(); ++i)
      EXPECT_EQ(withBlocks.geometry[i].numbers, plain.geometry[i].numbers);
    for (const auto& block : withBlocks.blocks) {
      EXPECT_EQ(block.kinds.size(), block.geometry.size()) << block.name;
      EXPECT_FALSE(block.kinds.empty()) << block.name;
    }
    for (std::size_t i = 0; i < plain.summary.entities.size(); ++i) {
      if (plain.summary.entities[i].className != "AcDbBlockReference" || !plain.geometry[i].text) continue;
      const std::string& named = *plain.geometry[i].text;
      EXPECT_TRUE(std::any_of(withBlocks.blocks.begin(), withBlocks.blocks.end(),
                              [&](const auto& b) { return b.name == named; }))
          << "no block " << named;
    }
  }
}

}  // namespace
}  // namespace veldra::dwg
