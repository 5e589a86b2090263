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
}

}  // namespace
}  // namespace veldra::dwg
