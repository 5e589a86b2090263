#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/textfile.h"
#include "app/utf8_text.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

std::vector<std::string> readByLines(const std::filesystem::path& file, std::size_t longest,
                                     TextLineReader::Step* last = nullptr) {
  TextLineReader reader(file, longest);
  std::vector<std::string> out;
  std::string line;
  TextLineReader::Step step;
  while ((step = reader.next(line)) == TextLineReader::Step::kLine) {
    out.push_back(line);
    EXPECT_EQ(reader.lineNumber(), out.size());
  }
  if (last) *last = step;
  return out;
}

// Read a line at a time, a file gives the lines that reading it whole and
// splitting it gives: whatever its line ends, wherever they fall against
// the reader's buffer, with lines of other programs' code pages among them.
TEST(TextLineReader, GivesTheLinesOfTheWholeFile) {
  testing::TempDir dir;
  for (unsigned seed = 1; seed <= 12; ++seed) {
    std::mt19937 random(seed);
    std::string content;
    const char* const ends[] = {"\r\n", "\n", "\r", "\n\n", "\r\r\n"};
    const std::size_t size = std::uniform_int_distribution<std::size_t>(0, 300000)(random);
    while (content.size() < size) {
      const std::size_t length = std::uniform_int_distribution<std::size_t>(0, 3)(random) == 0
                                     ? std::uniform_int_distribution<std::size_t>(60000, 140000)(random)
                                     : std::uniform_int_distribution<std::size_t>(0, 90)(random);
      for (std::size_t k = 0; k < length; ++k)
        content += static_cast<char>(std::uniform_int_distribution<int>(0, 19)(random) == 0 ? '\xE9' : 'a' + k % 26);
      content += ends[std::uniform_int_distribution<int>(0, 4)(random)];
    }
    if (seed % 2) content += "last line without an end";
    const auto file = dir.write("lines.txt", content);
    TextLineReader::Step last;
    EXPECT_EQ(readByLines(file, 1 << 20, &last), splitLines(*readTextFile(file))) << "seed " << seed;
    EXPECT_EQ(last, TextLineReader::Step::kEnd);
  }
}

TEST(TextLineReader, RefusesALineLongerThanItsBoundAndNamesIt) {
  testing::TempDir dir;
  const std::size_t bound = 100000;
  for (const std::size_t at : {std::size_t{0}, std::size_t{1}, std::size_t{7}}) {
    std::string content;
    for (std::size_t k = 0; k < at; ++k) content += quotedLine("short");
    content += std::string(bound + 1, 'x') + "\r\n" + quotedLine("after");
    const auto file = dir.write("long.txt", content);
    TextLineReader reader(file, bound);
    std::string line;
    for (std::size_t k = 0; k < at; ++k) ASSERT_EQ(reader.next(line), TextLineReader::Step::kLine);
    EXPECT_EQ(reader.next(line), TextLineReader::Step::kTooLong);
    EXPECT_EQ(reader.lineNumber(), at + 1);
    EXPECT_NE(reader.next(line), TextLineReader::Step::kLine);  // reading ends there
  }
  // A line of just the bound, with its end, is read.
  const auto file = dir.write("edge.txt", std::string(bound, 'y') + "\r\n");
  const auto lines = readByLines(file, bound);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), bound);
  EXPECT_FALSE(TextLineReader(dir.path() / "absent.txt", bound).opened());
  EXPECT_FALSE(TextLineReader(dir.path(), bound).opened());
}

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
