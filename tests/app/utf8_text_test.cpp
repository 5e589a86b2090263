#include <gtest/gtest.h>

#include "app/utf8_text.h"
#include "platform/platform.h"

namespace veldra {
namespace {

TEST(Utf8Text, UpperCasingMapsAccentedLettersAndKeepsTheCharacterCount) {
  EXPECT_EQ(upperCase("zeichnung_müller"), "ZEICHNUNG_MÜLLER");
  EXPECT_EQ(upperCase("σχέδιο ω, çà"), "ΣΧΈΔΙΟ Ω, ÇÀ");
  EXPECT_EQ(upperCase("学生 ı"), "学生 I");
  EXPECT_EQ(upperCase("straße"), "STRAßE");
  EXPECT_EQ(upperCase("a\xFF" "b\xC3"), "A\xFF" "B\xC3");  // bytes that are not UTF-8 pass
  EXPECT_EQ(characterCount("ZEICHNUNG_MÜLLER"), 16u);
  EXPECT_EQ(characterCount("学生 Ω"), 4u);
  EXPECT_EQ(characterCount("\xFF\xFE" "a"), 3u);
}

TEST(Utf8Text, CaseIgnoringOrderFoldsCapitalsOfEveryAlphabet) {
  EXPECT_EQ(compareIgnoringCase("Émile", "éMILE"), 0);
  EXPECT_EQ(compareIgnoringCase("ΣΧΈΔΙΟ", "σχέδιο"), 0);
  EXPECT_LT(compareIgnoringCase("ÄPFEL", "ärger"), 0);
  EXPECT_LT(compareIgnoringCase("Zoe", "émile"), 0);  // by code point: accented letters after z
  EXPECT_LT(compareIgnoringCase("ab", "ABC"), 0);
  EXPECT_GT(compareIgnoringCase("a\xFF", "a\xC3\xBF"), 0);  // a stray byte after every character
}

// Stored files are UTF-8; a line a single-byte program wrote on Windows is
// read in the ANSI code page, the UTF-8 lines of the same file as they are.
TEST(Utf8Text, LinesOfSingleBytePrograms) {
  const std::string utf8Line = "\"-C:\\Schüler\"\r\n";
  const std::string ansiLine = "\"-C:\\Sch\xFCler\"\r\n";
  EXPECT_TRUE(isUtf8(utf8Line));
  EXPECT_FALSE(isUtf8(ansiLine));
  EXPECT_EQ(textFromStoredBytes(utf8Line + utf8Line), utf8Line + utf8Line);
  const std::string mixed = textFromStoredBytes(utf8Line + ansiLine + utf8Line);
  EXPECT_EQ(mixed, utf8Line + utf8FromAnsiCodePage(ansiLine) + utf8Line);
#ifdef _WIN32
  EXPECT_TRUE(isUtf8(mixed));
  EXPECT_EQ(utf8FromAnsiCodePage("Sch\xFCler").size(), 8u);  // one letter, whatever the code page
#else
  EXPECT_EQ(mixed, utf8Line + ansiLine + utf8Line);  // the bytes of a POSIX name stay
#endif
}

}  // namespace
}  // namespace veldra
