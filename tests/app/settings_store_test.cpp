#include <gtest/gtest.h>

#include <cstdlib>

#include "app/settings_store.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

using testing::slurp;
using testing::TempDir;

TEST(SettingsStore, InstallLocationRoundTripsAndIsEmptyWhenAbsent) {
  TempDir dir;
  // QSettings keeps user files under XDG_CONFIG_HOME on Linux; point it at
  // the temporary folder so the user's own settings stay untouched.
#ifdef _WIN32
  GTEST_SKIP() << "uses the registry on Windows";
#else
  ::setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
  EXPECT_EQ(readInstallLocation(), "");
  ASSERT_TRUE(writeInstallLocation("/srv/veldra ws"));
  EXPECT_EQ(readInstallLocation(), "/srv/veldra ws");
  EXPECT_NE(slurp(dir.path() / "config" / "VELDRA" / "VELDRA.conf").find("Install_Location"), std::string::npos);
#endif
}

}  // namespace
}  // namespace veldra
