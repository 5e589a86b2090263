#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTextEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "support/recorders.h"
#include "support/temp_dir.h"
#include "ui/help_window.h"
#include "ui/whatnext_window.h"

namespace veldra {
namespace {

using testing::RecordingMessages;
using testing::TempDir;

constexpr const char* kFullHelp = "{\\rtf1 {\\b Full help}\\par}";
constexpr const char* kStart = "{\\rtf1 Start document\\par}";

std::string viewerText(QWidget& window) {
  auto* viewer = window.findChild<QTextEdit*>(QStringLiteral("RichTextBox1"));
  return viewer ? viewer->toPlainText().toStdString() : "<no viewer>";
}

class HelpWindowTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string base = dir.makeWorkspace().string();
  int baseReads = 0;
  HelpWindow window{[this] {
    ++baseReads;
    return base;
  }};
};

TEST_F(HelpWindowTest, FirstOpeningShowsTheFullHelpWhetherOrNotTheStartDocumentExists) {
  dir.write("ws/resources/Veldra2006.rtf", kFullHelp);
  window.openHelp();
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(viewerText(window), "Full help");
  EXPECT_EQ(window.windowTitle(), "VELDRA 2006 Help");
  EXPECT_EQ(window.size(), QSize(505, 398));

  dir.write("ws/quorvix.rtf", kStart);
  HelpWindow second([this] { return base; });
  second.openHelp();
  EXPECT_EQ(viewerText(second), "Full help");
}

TEST_F(HelpWindowTest, MissingFullHelpShowsNotFound) {
  dir.write("ws/quorvix.rtf", kStart);
  window.openHelp();
  EXPECT_EQ(viewerText(window), "Help file not found...");
}

TEST_F(HelpWindowTest, SecondClickReloadsTheFullHelpButNotTheStartDocument) {
  dir.write("ws/quorvix.rtf", kStart);
  dir.write("ws/resources/Veldra2006.rtf", kFullHelp);
  window.openHelp();
  EXPECT_EQ(baseReads, 2);  // start document, then full help
  dir.write("ws/resources/Veldra2006.rtf", "{\\rtf1 Revised help}");
  window.openHelp();
  EXPECT_EQ(baseReads, 3);
  EXPECT_EQ(viewerText(window), "Revised help");
  // The base folder is read at each load: a changed one is followed.
  base = (dir.path() / "elsewhere").string();
  window.openHelp();
  EXPECT_EQ(viewerText(window), "Help file not found...");
}

TEST_F(HelpWindowTest, ExitAndCloseOnlyHide) {
  dir.write("ws/resources/Veldra2006.rtf", kFullHelp);
  window.openHelp();
  window.findChild<QPushButton*>(QStringLiteral("cmdExit"))->click();
  EXPECT_FALSE(window.isVisible());
  window.openHelp();
  EXPECT_TRUE(window.isVisible());
  window.close();
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(viewerText(window), "Full help");
}

class WhatNextTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string base = dir.makeWorkspace().string();
  RecordingMessages messages;
  WhatNextWindow window{[this] { return base; }, messages};
};

TEST_F(WhatNextTest, ShowsTheAdviceDocumentWithItsLayout) {
  dir.write("ws/resources/whatnext.rtf", "{\\rtf1 Talk to the drafter.\\par}");
  window.openAdvice();
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(viewerText(window), "Talk to the drafter.");
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(window.windowTitle(), "What Next?");
  EXPECT_EQ(window.size(), QSize(532, 380));
  EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("Label2"))->text(),
            "Full help file (VELDRA2006.rtf) as displayed by selecting HELP on the main screen is "
            "available in the \\Resources folder for further reference and printing.");
  EXPECT_EQ(window.findChild<QPushButton*>(QStringLiteral("cmdClose"))->text(), "Close");
}

TEST_F(WhatNextTest, MissingAdviceGivesOneMessagePerClickAndKeepsTheShownText) {
  window.openAdvice();
  window.openAdvice();
  EXPECT_TRUE(window.isVisible());
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0].text, "Whatnext.rtf unavailable!");
  EXPECT_EQ(messages.shown[0].title, "VELDRA");
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Critical);
  EXPECT_EQ(viewerText(window), "");

  const auto file = dir.write("ws/resources/whatnext.rtf", "{\\rtf1 Advice}");
  window.openAdvice();
  std::filesystem::remove(file);
  window.openAdvice();
  EXPECT_EQ(messages.shown.size(), 3u);
  EXPECT_EQ(viewerText(window), "Advice");
}

TEST_F(WhatNextTest, OtherKeysLoadNothingAndCloseOnlyHides) {
  dir.write("ws/resources/whatnext.rtf", "{\\rtf1 Advice}");
  window.form2load("Help");
  EXPECT_EQ(viewerText(window), "");
  EXPECT_TRUE(messages.shown.empty());
  QPointer<WhatNextWindow> alive(&window);
  window.openAdvice();
  window.findChild<QPushButton*>(QStringLiteral("cmdClose"))->click();
  EXPECT_FALSE(window.isVisible());
  window.openAdvice();
  window.close();
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(alive);
}

}  // namespace
}  // namespace veldra
