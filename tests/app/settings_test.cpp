#include <gtest/gtest.h>

#include "app/settings.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

using testing::slurp;
using testing::TempDir;

TEST(SettingsFiles, MissingFileGivesTheDefaultAndMalformedLinesGiveNothing) {
  TempDir dir;
  const Workspace ws(dir.path());
  EXPECT_EQ(readSetting(ws, kEntitySettingFile, 14), 14);

  dir.write("default.fil", "9\r\n");
  EXPECT_EQ(readSetting(ws, kEntitySettingFile, 14), 9);
  dir.write("default.fil", "-1\r\nrest\r\n");
  EXPECT_EQ(readSetting(ws, kEntitySettingFile, 14), -1);
  for (const char* bad : {"", "\r\n", "abc\r\n", "9x\r\n", " 9\r\n", "1.5\r\n", "99999999999\r\n"}) {
    dir.write("default.fil", bad);
    EXPECT_EQ(readSetting(ws, kEntitySettingFile, 14), std::nullopt) << "content: " << bad;
  }
}

TEST(SettingsFiles, WritingReplacesTheWholeFileWithBareDigits) {
  TempDir dir;
  const Workspace ws(dir.path());
  dir.write("folders.fil", "1\r\nold trailing line\r\n");
  ASSERT_TRUE(writeSetting(ws, kSubfolderSettingFile, 0));
  EXPECT_EQ(slurp(dir.path() / "folders.fil"), "0\r\n");
  ASSERT_TRUE(writeSetting(ws, kEntitySettingFile, -14));
  EXPECT_EQ(slurp(dir.path() / "default.fil"), "-14\r\n");

  // A base folder that does not exist: nothing is written, nothing created.
  const Workspace missing(dir.path() / "absent");
  EXPECT_FALSE(writeSetting(missing, kEntitySettingFile, 3));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "absent"));
}

}  // namespace
}  // namespace veldra
