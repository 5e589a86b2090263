#include <gtest/gtest.h>

#include <cstdlib>

#include "app/settings.h"
#include "app/settings_file.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

// Values as the window's settings class writes them, quoted and escaped
// where it must, and as a hand may edit them.
TEST(SettingsFile, ReadsValuesInTheFormTheWindowWrites) {
  const std::string file =
      "[General]\n"
      "Install_Location=/not/this/group\n"
      "\n"
      "[VELDRA2006]\n"
      "Other=1\n"
      "Install_Location=\" lead,comma;semi \\\"q\\\" \\\\back=eq\"\n";
  EXPECT_EQ(iniTextValue(file, "VELDRA2006/Install_Location"), " lead,comma;semi \"q\" \\back=eq");
  EXPECT_EQ(iniTextValue(file, "Install_Location"), "/not/this/group");
  EXPECT_EQ(iniTextValue(file, "VELDRA2006/Missing"), std::nullopt);

  auto value = [](const std::string& written) {
    return iniTextValue("[G]\r\nKey=" + written + "\r\n", "G/Key");
  };
  EXPECT_EQ(value("/srv/Überprüfung 学生"), "/srv/Überprüfung 学生");
  EXPECT_EQ(value("/srv/a b  "), "/srv/a b");
  EXPECT_EQ(value("tab\\there"), "tab\there");
  EXPECT_EQ(value("@@at"), "@at");
  EXPECT_EQ(value("\\x141\\x4ce"), "Łӎ");
  EXPECT_EQ(value("\"x,y\""), "x,y");
  EXPECT_EQ(value(""), "");
  // A list or a stored object is no text.
  EXPECT_EQ(value("x, y"), std::nullopt);
  EXPECT_EQ(value("@Variant(\\0\\0)"), std::nullopt);
  // A later line for the key wins.
  EXPECT_EQ(iniTextValue("[G]\nKey=a\nKey=b\n", "G/Key"), "b");
}

#ifndef _WIN32
// The user's own file first, then the organization's, then the system's.
TEST(SettingsFile, TheUsersFileComesBeforeTheSystems) {
  testing::TempDir dir;
  ::setenv("XDG_CONFIG_HOME", (dir.path() / "user").c_str(), 1);
  ::setenv("XDG_CONFIG_DIRS", ((dir.path() / "sys1").string() + ":" + (dir.path() / "sys2").string()).c_str(), 1);
  EXPECT_EQ(readSettingsFileValue("ORG", "APP", "G/Key"), std::nullopt);
  dir.write("sys2/ORG/APP.conf", "[G]\nKey=system\n");
  EXPECT_EQ(readSettingsFileValue("ORG", "APP", "G/Key"), "system");
  dir.write("user/ORG.conf", "[G]\nKey=organization\n");
  EXPECT_EQ(readSettingsFileValue("ORG", "APP", "G/Key"), "organization");
  dir.write("user/ORG/APP.conf", "[G]\nOther=1\n");
  EXPECT_EQ(readSettingsFileValue("ORG", "APP", "G/Key"), "organization");
  dir.write("user/ORG/APP.conf", "[G]\nKey=own\n");
  EXPECT_EQ(readSettingsFileValue("ORG", "APP", "G/Key"), "own");
  ::unsetenv("XDG_CONFIG_DIRS");
}
#endif

// The workspace's own one-number settings files.
TEST(SettingsFiles, MissingFileGivesTheDefaultAndMalformedLinesGiveNothing) {
  testing::TempDir dir;
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
  testing::TempDir dir;
  const Workspace ws(dir.path());
  dir.write("folders.fil", "1\r\nold trailing line\r\n");
  ASSERT_TRUE(writeSetting(ws, kSubfolderSettingFile, 0));
  EXPECT_EQ(testing::slurp(dir.path() / "folders.fil"), "0\r\n");
  ASSERT_TRUE(writeSetting(ws, kEntitySettingFile, -14));
  EXPECT_EQ(testing::slurp(dir.path() / "default.fil"), "-14\r\n");

  // A base folder that does not exist: nothing is written, nothing created.
  const Workspace missing(dir.path() / "absent");
  EXPECT_FALSE(writeSetting(missing, kEntitySettingFile, 3));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "absent"));
}

}  // namespace
}  // namespace veldra
