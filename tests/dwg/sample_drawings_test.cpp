// Every sample drawing is read and compared, line by line, with the summary
// made for it without this reader (<name>.expected.tsv beside it).

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "support/temp_dir.h"
#include "veldra/dwg/reader.h"

namespace veldra::dwg {
namespace {

namespace fs = std::filesystem;

struct Expected {
  std::string version;
  double created = 0;
  std::vector<std::string> entities;  // "Class<TAB>HANDLE<TAB>SPACE"
};

Expected readExpected(const fs::path& file) {
  Expected e;
  std::istringstream in(testing::slurp(file));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("version\t", 0) == 0) {
      e.version = line.substr(8);
    } else if (line.rfind("TDCREATE\t", 0) == 0) {
      e.created = std::stod(line.substr(9));
    } else if (!line.empty()) {
      e.entities.push_back(line);
    }
  }
  return e;
}

std::vector<std::string> entityLines(const Summary& summary) {
  std::vector<std::string> lines;
  for (const Entity& entity : summary.entities)
    lines.push_back(entity.className + "\t" + handleText(entity.handle) + "\t" +
                    (entity.space == Space::kModel ? "MODEL" : "PAPER"));
  return lines;
}

std::vector<std::string> sampleNames() {
  std::vector<std::string> names;
  const fs::path dir = testing::sharedDrawings();
  if (dir.empty()) return {""};
  for (const auto& item : fs::directory_iterator(dir))
    if (item.path().extension() == ".dwg") names.push_back(item.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

class SampleDrawing : public ::testing::TestWithParam<std::string> {};

TEST_P(SampleDrawing, ReadsWhatTheExpectedFileListsFromDiskAndFromMemory) {
  if (GetParam().empty()) GTEST_SKIP() << "no sample drawings beside the repository";
  const fs::path dir = testing::sharedDrawings();
  const Expected expected = readExpected(dir / (GetParam() + ".expected.tsv"));
  Summary summary;
  const Status status = readSummaryFile(dir / (GetParam() + ".dwg"), summary);
  ASSERT_TRUE(status.ok()) << status.message << " [" << status.section << " at " << status.offset << "]";
  EXPECT_EQ(summary.version, expected.version);
  EXPECT_NEAR(summary.created.julian(), expected.created, 1e-8);
  EXPECT_EQ(entityLines(summary), expected.entities);
  // A sound drawing is never doubted.
  for (const Damage& damage : summary.damage) ADD_FAILURE() << damage.section << ": " << damage.message;

  const std::string bytes = testing::slurp(dir / (GetParam() + ".dwg"));
  Summary fromMemory;
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  ASSERT_TRUE(readSummary(std::span(data, bytes.size()), fromMemory).ok());
  EXPECT_EQ(fromMemory.created.julian(), summary.created.julian());
  EXPECT_EQ(entityLines(fromMemory), expected.entities);
}

INSTANTIATE_TEST_SUITE_P(Drawings, SampleDrawing, ::testing::ValuesIn(sampleNames()),
                         [](const auto& p) { return p.param.empty() ? std::string("none") : p.param; });

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
  }
  Summary summary;
  EXPECT_NE(readSummaryFile(dir.path() / "huge.dwg", summary).message.find("256 MiB"), std::string::npos);

  const fs::path sample = testing::sharedDrawings() / "sample_AC1018.dwg";
  if (testing::sharedDrawings().empty()) GTEST_SKIP() << "no sample drawings beside the repository";
  FileLook look;
  ASSERT_TRUE(lookAtFile(sample, look).ok());
  EXPECT_EQ(look.version, "AC1018");
  EXPECT_EQ(look.size, fs::file_size(sample));
  EXPECT_EQ(look.cost, costBound(look.size));
}

TEST(CostBound, GrowsWithTheFileUpToTheBound) {
  EXPECT_GT(costBound(0), 0u);
  EXPECT_LT(costBound(0), costBound(100000));
  EXPECT_GE(costBound(100000), 100000u * 100);  // room for data that compresses well
  EXPECT_EQ(costBound(kMaxDrawingCost / 4), kMaxDrawingCost);
  EXPECT_EQ(costBound(kMaxDrawingCost), kMaxDrawingCost);
  EXPECT_EQ(costBound(std::uint64_t{1} << 62), kMaxDrawingCost);
}

}  // namespace
}  // namespace veldra::dwg
