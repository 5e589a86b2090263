#include <QPushButton>
#include <QTextEdit>

#include <gtest/gtest.h>

#include "support/recorders.h"
#include "support/temp_dir.h"
#include "ui/help_window.h"
#include "ui/whatnext_window.h"

namespace veldra {
namespace {

std::string viewerText(QWidget& window) {
  return window.findChild<QTextEdit*>(QStringLiteral("RichTextBox1"))->toPlainText().toStdString();
}

void click(QWidget& window, const char* button) {
  window.findChild<QPushButton*>(QString::fromLatin1(button))->click();
}

class HelpWindowTest : public ::testing::Test {
 protected:
  testing::TempDir dir;
  std::filesystem::path base = dir.makeWorkspace();
  int baseReads = 0;
  HelpWindow window{[this] { return ++baseReads, base; }};
};

TEST_F(HelpWindowTest, FirstOpeningShowsTheFullHelpOrNotFound) {
  window.openHelp();  // neither document
  EXPECT_EQ(viewerText(window), "Help file not found...");
  dir.write("ws/resources/Veldra2006.rtf", "{\\rtf1 Full help}");
  HelpWindow noStart([this] { return base; });  // full help without the start document
  noStart.openHelp();
  EXPECT_TRUE(noStart.isVisible());
  EXPECT_EQ(viewerText(noStart), "Full help");
  EXPECT_EQ(noStart.windowTitle(), "VELDRA 2006 Help");
}

TEST_F(HelpWindowTest, SecondClickReloadsTheFullHelpOnlyAndExitHides) {
  dir.write("ws/quorvix.rtf", "{\\rtf1 Start}");
  dir.write("ws/resources/Veldra2006.rtf", "{\\rtf1 Full help}");
  window.openHelp();
  EXPECT_EQ(baseReads, 2);  // start document, then full help
  click(window, "cmdExit");
  EXPECT_FALSE(window.isVisible());
  dir.write("ws/resources/Veldra2006.rtf", "{\\rtf1 Revised help}");
  window.openHelp();
  EXPECT_EQ(baseReads, 3);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(viewerText(window), "Revised help");
  window.close();
  EXPECT_FALSE(window.isVisible());
}

class WhatNextTest : public ::testing::Test {
 protected:
  testing::TempDir dir;
  std::filesystem::path base = dir.makeWorkspace();
  testing::RecordingMessages messages;
  WhatNextWindow window{[this] { return base; }, messages};
};

TEST_F(WhatNextTest, MissingAdviceGivesOneMessagePerClickAndKeepsTheShownText) {
  window.openAdvice();
  window.openAdvice();
  EXPECT_TRUE(window.isVisible());
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0].text, "Whatnext.rtf unavailable!");
  EXPECT_EQ(messages.shown[0].title, "VELDRA");
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Critical);
  const auto file = dir.write("ws/resources/whatnext.rtf", "{\\rtf1 Advice}");
  window.form2load("Help");  // any other key loads nothing
  EXPECT_EQ(viewerText(window), "");
  window.openAdvice();
  std::filesystem::remove(file);
  window.openAdvice();
  EXPECT_EQ(messages.shown.size(), 3u);
  EXPECT_EQ(viewerText(window), "Advice");
  click(window, "cmdClose");
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace veldra
