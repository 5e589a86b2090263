// main() for tests that build real windows: selects the offscreen platform
// when none is chosen, keeps what windows remember (their size) away from the
// user's own settings, creates the application, then runs every test.
#include <QApplication>
#include <QStandardPaths>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) qputenv("QT_QPA_PLATFORM", "offscreen");
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
