// The repacker that fuzzing uses to alter R13-R2000 drawings below their
// framing: what it puts back together must read as sound, whatever part
// changed and wherever it had to go.

#include <gtest/gtest.h>

#include "drawing_bytes.h"
#include "testwrite/r13_repack.h"
#include "veldra/dwg/reader.h"

namespace veldra::dwg {
namespace {

using namespace testbytes;
using dwgwrite::R13Parts;

std::vector<std::string> entityLines(const Summary& summary) {
  std::vector<std::string> lines;
  for (const Entity& e : summary.entities) lines.push_back(e.className + " " + handleText(e.handle));
  return lines;
}

class R13Repack : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    bytes_ = std::string(GetParam()) == "writer" ? writerDrawing() : loadSample(GetParam());
    if (bytes_.empty()) GTEST_SKIP() << "no sample drawings beside the repository";
    ASSERT_TRUE(readSummary(bytes_, sound_).ok());
    ASSERT_TRUE(dwgwrite::splitR13(bytes_, parts_));
  }

  // Joins the parts and reads the result, which must carry no damage.
  Summary rejoined() const {
    Summary summary;
    const Status status = readSummary(dwgwrite::joinR13(parts_), summary);
    EXPECT_TRUE(status.ok()) << status.message << " [" << status.section << "]";
    for (const Damage& d : summary.damage) ADD_FAILURE() << d.section << ": " << d.message;
    return summary;
  }

  Bytes bytes_;
  Summary sound_;
  R13Parts parts_;
};

TEST_P(R13Repack, PutsAnUnchangedDrawingBackAsItWas) {
  EXPECT_GT(parts_.map.size(), sound_.entities.size());
  const Summary summary = rejoined();
  EXPECT_EQ(entityLines(summary), entityLines(sound_));
  EXPECT_EQ(summary.created.julian(), sound_.created.julian());
}

TEST_P(R13Repack, GrownPartsMoveToTheEndWithCheckValuesThatFit) {
  parts_.header.resize(parts_.header.size() + 3000, 0);  // padding after the variables read
  parts_.classes.insert(parts_.classes.end(), 64, 0);
  std::vector<std::uint8_t> data;
  const std::size_t entry = parts_.map.size() / 2;
  ASSERT_TRUE(dwgwrite::objectData(parts_, parts_.map[entry].second, data));
  data.push_back(0);
  const std::uint64_t oldOffset = parts_.map[entry].second;
  dwgwrite::replaceObject(parts_, entry, data);
  EXPECT_GT(parts_.map[entry].second, oldOffset);
  const Summary summary = rejoined();
  EXPECT_EQ(entityLines(summary), entityLines(sound_));
  EXPECT_EQ(summary.created.julian(), sound_.created.julian());
}

// Fuzzing found this: a map entry pointing into the file header had the
// object written over the locators, which the join then followed.
TEST_P(R13Repack, AnObjectTheMapPlacesInTheFileHeaderMovesAndTheLocatorsStay) {
  const Place header = r13Section(bytes_, 0);
  parts_.map[0].second = 0x19;
  const std::vector<std::uint8_t> data(40, 0xAB);
  dwgwrite::replaceObject(parts_, 0, data);
  EXPECT_GE(parts_.map[0].second, bytes_.size());
  const Bytes joined = dwgwrite::joinR13(parts_);
  EXPECT_EQ(r13Section(joined, 0).seeker, header.seeker);
  Summary summary;
  const Status status = readSummary(joined, summary);
  EXPECT_TRUE(status.ok() || !status.message.empty());
}

TEST_P(R13Repack, AnObjectLeftOutOfTheMapIsAFailureNotDamage) {
  const std::uint64_t entity = sound_.entities.front().handle;
  std::erase_if(parts_.map, [&](const auto& entry) { return entry.first == entity; });
  Summary summary;
  const Status status = readSummary(dwgwrite::joinR13(parts_), summary);
  EXPECT_EQ(status.kind, ErrorKind::kCorrupt);
  EXPECT_TRUE(summary.damage.empty());
}

INSTANTIATE_TEST_SUITE_P(Drawings, R13Repack,
                         ::testing::Values("writer", "sample_AC1014.dwg", "sample_AC1015.dwg", "mleader_AC1014.dwg"),
                         [](const auto& p) {
                           const std::string name = p.param;
                           return name == "writer" ? name : name.substr(0, name.size() - 4);
                         });

TEST(R13Repack, RefusesWhatIsNoR13Drawing) {
  R13Parts parts;
  EXPECT_FALSE(dwgwrite::splitR13(Bytes{}, parts));
  const std::string text = "AC1018" + std::string(200, '\0');
  EXPECT_FALSE(dwgwrite::splitR13(Bytes(text.begin(), text.end()), parts));
  Bytes cut = writerDrawing();
  cut.resize(0x40);
  EXPECT_FALSE(dwgwrite::splitR13(cut, parts));
}

}  // namespace
}  // namespace veldra::dwg
