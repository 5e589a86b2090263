#include <gtest/gtest.h>

#include "projects/folder_listing.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

TEST(FolderListing, DrawingsAndSubfoldersInCaseInsensitiveOrder) {
  testing::TempDir dir;
  dir.write("proj/b.dwg", "");
  dir.write("proj/A.DWG", "");
  dir.write("proj/notes.txt", "");
  dir.write("proj/y/c.dwg", "");
  dir.write("proj/X/d.dwg", "");
  const auto drawings = listDrawings(dir.path() / "proj");
  ASSERT_TRUE(drawings);
  EXPECT_EQ(*drawings, (std::vector<std::string>{"A.DWG", "b.dwg"}));
  const auto subs = listSubfolders(dir.path() / "proj");
  ASSERT_TRUE(subs);
  ASSERT_EQ(subs->size(), 2u);
  EXPECT_EQ((*subs)[0].filename(), "X");
  EXPECT_EQ((*subs)[1].filename(), "y");
  EXPECT_FALSE(listDrawings(dir.path() / "absent"));
}

TEST(DrawingCount, PlusCountsOneLevelOfSubfoldersAndFailuresDiffer) {
  testing::TempDir dir;
  for (auto f : {"top/1.dwg", "top/2.dwg", "top/s1/a.dwg", "top/s1/b.dwg", "top/s1/c.dwg", "top/s2/a.dwg",
                 "top/s2/b.dwg", "top/s2/c.dwg", "top/s2/d.dwg", "top/s2/deep/x.dwg"}) {
    dir.write(f, "");
  }
  const std::string top = (dir.path() / "top").string();
  EXPECT_EQ(countDrawingsOrStop({"+" + top}), 9);
  EXPECT_EQ(countDrawingsOrStop({"-" + top}), 2);
  const std::string gone = (dir.path() / "gone").string();
  EXPECT_FALSE(countDrawingsOrStop({"-" + top, "-" + gone}));
  EXPECT_EQ(countDrawingsSkippingFailures({"-" + gone, "+" + top}), 9);
}

TEST(DrawingCount, FourDigitForm) {
  EXPECT_EQ(fourDigits(0), "0000");
  EXPECT_EQ(fourDigits(42), "0042");
  EXPECT_EQ(fourDigits(12345), "12345");
}

TEST(DrawingCount, JoinDoesNotDoubleTheSeparatorAtARoot) {
  const char sep = static_cast<char>(std::filesystem::path::preferred_separator);
  EXPECT_EQ(joinFolderAndName(std::string(1, sep), "a.dwg"), std::string(1, sep) + "a.dwg");
  EXPECT_EQ(joinFolderAndName("/w", "a.dwg"), std::string("/w") + sep + "a.dwg");
}

}  // namespace
}  // namespace veldra
