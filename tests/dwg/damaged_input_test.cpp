// Altered bytes held in memory: cut short, flipped, sizes pointing outside,
// unknown or old versions. Each must come back as a clean error Status (or,
// where the damage misses everything the summary needs, a plain result).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "drawing_bytes.h"
#include "support/temp_dir.h"
#include "veldra/dwg/reader.h"

namespace veldra::dwg {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes loadSample(const std::string& name) {
  const auto dir = testing::sharedDrawings();
  if (dir.empty()) return {};
  const std::string text = testing::slurp(dir / name);
  return Bytes(text.begin(), text.end());
}

Bytes fromText(const std::string& text) { return Bytes(text.begin(), text.end()); }

Status read(const Bytes& bytes, Summary& summary) { return readSummary(bytes, summary); }

// A failure has a kind and a message; a success names every entity.
void expectClean(const Status& status, const Summary& summary, const std::string& what) {
  if (!status.ok()) {
    EXPECT_FALSE(status.message.empty()) << what;
    return;
  }
  for (const Entity& entity : summary.entities) ASSERT_FALSE(entity.className.empty()) << what;
}

using testbytes::getRL;
using testbytes::putRL;

TEST(DamagedInput, ForeignOldUnknownAndHeaderOnlyFilesAreRefused) {
  const std::vector<std::pair<std::string, ErrorKind>> cases{
      {"", ErrorKind::kNotDwg},
      {"Hello, this is a text file and no drawing.", ErrorKind::kNotDwg},
      {"AC10", ErrorKind::kNotDwg},
      {"ACAB15" + std::string(200, '\0'), ErrorKind::kNotDwg},
      {"AC1008" + std::string(300, '\0'), ErrorKind::kUnsupported},
      {"AC1040" + std::string(300, '\0'), ErrorKind::kUnsupported},
  };
  for (const auto& [text, kind] : cases) {
    Summary summary;
    EXPECT_EQ(read(fromText(text), summary).kind, kind) << text.substr(0, 6);
  }
  Summary summary;
  EXPECT_EQ(read(fromText("AC1008" + std::string(300, '\0')), summary).message,
            "unsupported DWG version AC1008 (older than R13)");
  EXPECT_EQ(summary.version, "AC1008");
  EXPECT_EQ(read(fromText("AC1040" + std::string(300, '\0')), summary).message, "unsupported DWG version AC1040");

  for (const char* version : {"AC1.40", "AC2.10", "AC1009", "AC1012", "AC1015", "AC1018", "AC1032"}) {
    const Status status = read(fromText(std::string(version) + std::string(40, '\0')), summary);
    EXPECT_TRUE(status.kind == ErrorKind::kTruncated || status.kind == ErrorKind::kCorrupt) << version;
  }
}

class DamagedSample : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    bytes_ = loadSample(GetParam());
    if (bytes_.empty()) GTEST_SKIP() << "no sample drawings beside the repository";
  }
  Bytes bytes_;
};

TEST_P(DamagedSample, CutShortAnywhereGivesACleanResult) {
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n < 0x200 && n < bytes_.size(); n += 5) lengths.push_back(n);
  for (std::size_t i = 1; i < 97; ++i) lengths.push_back(bytes_.size() * i / 97);
  for (std::size_t length : lengths) {
    const Bytes cut(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(length));
    Summary summary;
    const Status status = readSummary(cut, summary);
    expectClean(status, summary, "cut at " + std::to_string(length));
    if (length <= 0x100) {
      EXPECT_FALSE(status.ok()) << "cut at " << length;
    }
  }
}

TEST_P(DamagedSample, FlippedBytesGiveACleanResult) {
  std::vector<std::size_t> positions;
  for (std::size_t at = 0; at < 0x180 && at < bytes_.size(); ++at) positions.push_back(at);
  for (std::size_t i = 0; i < 400; ++i) positions.push_back((bytes_.size() - 1) * i / 399);
  for (std::size_t at : positions) {
    Bytes flipped = bytes_;
    flipped[at] ^= 0xFF;
    Summary summary;
    expectClean(readSummary(flipped, summary), summary, "flipped at " + std::to_string(at));
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, DamagedSample,
                         ::testing::Values("sample_AC1014.dwg", "sample_AC1015.dwg", "sample_AC1018.dwg",
                                           "sample_AC1021.dwg", "sample_AC1024.dwg", "sample_AC1032.dwg"),
                         [](const auto& p) { return std::string(p.param).substr(7, 6); });

// Single fields of the container pointed at nothing: each names the part it broke.
TEST(DamagedInput, ContainerFieldsPointingOutsideAreCorrupt) {
  struct Case {
    const char* sample;
    void (*damage)(Bytes&);
    const char* section;
  };
  const Case cases[] = {
      // The header locator's file offset.
      {"sample_AC1015.dwg", [](Bytes& b) { putRL(b, 0x19 + 1, 0xFFFFFF00); }, "AcDb:Header"},
      // The third locator is the object map; its first block starts with a big-endian size.
      {"sample_AC1015.dwg",
       [](Bytes& b) {
         std::uint32_t seeker = 0;
         std::memcpy(&seeker, &b[0x19 + 2 * 9 + 1], 4);
         b[seeker] = 0x7F;
         b[seeker + 1] = 0xFF;
       },
       "AcDb:Handles"},
      // The encrypted header is masked byte by byte, so flipping the stored
      // bits of the page map address flips the address itself.
      {"sample_AC1018.dwg", [](Bytes& b) { b[0x80 + 0x54 + 3] ^= 0x7F; }, "page map"},
      // The file signature of the encrypted header.
      {"sample_AC1032.dwg", [](Bytes& b) { b[0x81] ^= 0x01; }, nullptr},
  };
  for (const Case& c : cases) {
    Bytes bytes = loadSample(c.sample);
    if (bytes.empty()) GTEST_SKIP() << "no sample drawings beside the repository";
    c.damage(bytes);
    Summary summary;
    const Status status = readSummary(bytes, summary);
    EXPECT_EQ(status.kind, ErrorKind::kCorrupt) << c.sample;
    if (c.section) {
      EXPECT_EQ(status.section, c.section) << c.sample;
    }
  }
}

// The object map's section cut inside its last blocks: the reader once
// stepped past the end of the data and walked the heap.
TEST(DamagedInput, ObjectMapCutBeforeABlockCheckValueIsRefusedNotReadPast) {
  Bytes sample = loadSample("sample_AC1015.dwg");
  if (!sample.empty()) {
    // The handles section ends right after its last block's data, without
    // that block's CRC and the empty end block.
    ASSERT_EQ(getRL(sample, 0x19 + 9 * 2 + 5), 2067u);
    putRL(sample, 0x19 + 9 * 2 + 5, 2061);
    Summary summary;
    const Status status = readSummary(sample, summary);
    EXPECT_EQ(status.kind, ErrorKind::kTruncated) << status.message;
    EXPECT_EQ(status.section, "AcDb:Handles");
  }
  for (const char* name : {"writer", "sample_AC1014.dwg", "sample_AC1015.dwg", "mleader_AC1014.dwg"}) {
    const Bytes bytes = std::string(name) == "writer" ? testbytes::writerDrawing() : loadSample(name);
    if (bytes.empty()) continue;
    const testbytes::Place map = testbytes::r13Section(bytes, 2);
    for (std::size_t cut = 1; cut <= 2 * 2040 && cut < map.size; ++cut) {
      Bytes cutShort = bytes;
      putRL(cutShort, map.locator + 5, static_cast<std::uint32_t>(map.size - cut));
      Summary summary;
      const Status status = readSummary(cutShort, summary);
      if (cut <= 2) {
        // Only the empty end block's CRC is gone: the map is whole.
        EXPECT_TRUE(status.ok()) << name << " cut " << cut;
        EXPECT_TRUE(summary.doubtful()) << name << " cut " << cut;
      } else {
        EXPECT_FALSE(status.ok()) << name << " cut " << cut;
        EXPECT_EQ(status.section, "AcDb:Handles") << name << " cut " << cut;
      }
    }
  }
}

}  // namespace
}  // namespace veldra::dwg
