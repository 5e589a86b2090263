// The installed documents as the program reads them.
#include <gtest/gtest.h>

#include "reports/rtf/rtf_reader.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

TEST(Resources, DocumentsReadCompletelyWithoutLeftOverMarkup) {
  const auto folder = std::filesystem::path(VELDRA_SOURCE_DIR) / "resources";
  for (const char* name : {"Veldra2006.rtf", "about.rtf", "whatnext.rtf", "quorvix.rtf"}) {
    const rtf::Document doc = rtf::parse(testing::slurp(folder / name));
    EXPECT_TRUE(doc.complete) << name;
    ASSERT_FALSE(doc.paragraphs.empty()) << name;
    EXPECT_EQ(rtf::plainText(doc).find_first_of("\\{}"), std::string::npos) << name;
    // Every document opens with a bold heading, larger than its last line.
    const rtf::Run& first = doc.paragraphs.front().runs.front();
    EXPECT_TRUE(first.format.bold) << name;
    EXPECT_GT(first.format.halfPoints, doc.paragraphs.back().runs.front().format.halfPoints) << name;
  }
}

}  // namespace
}  // namespace veldra
