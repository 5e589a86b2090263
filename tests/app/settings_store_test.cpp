#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "app/settings_store.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

using testing::slurp;
using testing::TempDir;

#ifdef _WIN32

// The registry under HKEY_CURRENT_USER\Software, where Qt's native settings
// keep the same names: a group of the key is a sub-key.
TEST(SettingsStore, RegistryValuesRoundTripInUtf8) {
  const std::string organization = "VELDRA test " + std::to_string(std::random_device()());
  const std::string folder = "C:\\Lehrer\\Überprüfung 学生";
  EXPECT_EQ(readUserSetting(organization, "APP", "VELDRA2006/Install_Location"), std::nullopt);
  ASSERT_TRUE(writeUserSetting(organization, "APP", "VELDRA2006/Install_Location", folder));
  EXPECT_EQ(readUserSetting(organization, "APP", "VELDRA2006/Install_Location"), folder);
  EXPECT_EQ(readUserSetting(organization, "APP", "Install_Location"), std::nullopt);
  EXPECT_TRUE(removeUserSettings(organization));
  EXPECT_EQ(readUserSetting(organization, "APP", "VELDRA2006/Install_Location"), std::nullopt);
}

// The base folder the setup step records is the one the program reads; the
// user's own value is put back afterwards.
TEST(SettingsStore, InstallLocationRoundTrips) {
  const auto saved = readUserSetting(kSettingsOrganization, kSettingsApplication, kInstallLocationKey);
  const std::filesystem::path folder(L"D:\\Kurs \u00dcbung \u5b66\u751f");
  ASSERT_TRUE(writeInstallLocation(folder));
  EXPECT_EQ(readInstallLocation(), folder);
  EXPECT_EQ(readUserSetting("VELDRA", "VELDRA", "VELDRA2006/Install_Location"), utf8FromPath(folder));
  if (saved) {
    writeUserSetting(kSettingsOrganization, kSettingsApplication, kInstallLocationKey, *saved);
  } else {
    removeUserSettings(kSettingsOrganization);
    EXPECT_EQ(readInstallLocation(), std::filesystem::path());
  }
}

#else

TEST(SettingsStore, InstallLocationRoundTripsAndIsEmptyWhenAbsent) {
  TempDir dir;
  // QSettings keeps user files under XDG_CONFIG_HOME on Linux; point it at
  // the temporary folder so the user's own settings stay untouched.
  ::setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
  EXPECT_EQ(readInstallLocation(), "");
  ASSERT_TRUE(writeInstallLocation("/srv/veldra ws"));
  EXPECT_EQ(readInstallLocation(), "/srv/veldra ws");
  ASSERT_TRUE(writeInstallLocation(pathFromUtf8("/srv/Überprüfung 学生")));
  EXPECT_EQ(utf8FromPath(readInstallLocation()), "/srv/Überprüfung 学生");
  EXPECT_NE(slurp(dir.path() / "config" / "VELDRA" / "VELDRA.conf").find("Install_Location"), std::string::npos);
  // Written by the toolkit, read without it: folders with what the file
  // form must quote or escape.
  for (const char* folder : {" /lead and trail ", "/a,b;c", "/q\"uote\\back", "/tab\there", "@/at", "/x=y [z]",
                             "/Ελληνικά/日本語 ☃", "/new\nline"}) {
    ASSERT_TRUE(writeInstallLocation(pathFromUtf8(folder)));
    EXPECT_EQ(utf8FromPath(readInstallLocation()), folder);
  }
}

#endif

}  // namespace
}  // namespace veldra
