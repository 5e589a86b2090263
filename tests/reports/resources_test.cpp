// The installed documents and the alarm sound, as the program reads them.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "reports/rtf/rtf_reader.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

const std::filesystem::path kResources = std::filesystem::path(VELDRA_SOURCE_DIR) / "resources";

TEST(Resources, DocumentsReadCompletelyWithoutLeftOverMarkup) {
  for (const char* name : {"Veldra2006.rtf", "about.rtf", "whatnext.rtf", "quorvix.rtf"}) {
    SCOPED_TRACE(name);
    const std::string bytes = testing::slurp(kResources / name);
    ASSERT_TRUE(rtf::looksLikeRtf(bytes));
    const rtf::Document doc = rtf::parse(bytes);
    EXPECT_TRUE(doc.complete);
    const std::string text = rtf::plainText(doc);
    EXPECT_EQ(text.find_first_of("\\{}"), std::string::npos) << text;
    ASSERT_FALSE(doc.paragraphs.empty());
    // Every document opens with a bold heading, larger than its last line.
    const rtf::Run& first = doc.paragraphs.front().runs.front();
    EXPECT_TRUE(first.format.bold);
    EXPECT_GT(first.format.halfPoints, doc.paragraphs.back().runs.front().format.halfPoints);
  }
  const std::string guide = rtf::plainText(rtf::parse(testing::slurp(kResources / "Veldra2006.rtf")));
  for (const char* topic : {"Projects", "Locations", "+ denotes sub-folder search", "LINE",
                            "Recompare...", "Print...", "VELDRA!!!", "What Next?"})
    EXPECT_NE(guide.find(topic), std::string::npos) << topic;
}

TEST(Resources, AlarmSoundIsAboutASecondOf16BitPcm) {
  const std::string wav = testing::slurp(kResources / "conflict.wav");
  ASSERT_GE(wav.size(), 44u);
  const auto u16 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(wav[at]) |
                                      static_cast<unsigned char>(wav[at + 1]) << 8);
  };
  const auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(u16(20), 1u);   // PCM
  EXPECT_EQ(u16(34), 16u);  // bits per sample
  const double seconds = static_cast<double>(u32(40)) / u32(28);
  EXPECT_NEAR(seconds, 1.0, 0.25);
}

}  // namespace
}  // namespace veldra
