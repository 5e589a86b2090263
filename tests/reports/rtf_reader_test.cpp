#include "reports/rtf/rtf_reader.h"

#include <gtest/gtest.h>

namespace veldra::rtf {
namespace {

std::string textOf(std::string_view rtf) { return plainText(parse(rtf)); }

TEST(RtfReader, ParagraphsLinesTabsAndEscapes) {
  EXPECT_TRUE(looksLikeRtf("{\\rtf1 x}"));
  EXPECT_FALSE(looksLikeRtf("\"A.dwg\"\r\n"));
  EXPECT_EQ(textOf("{\\rtf1 One\\line Two\\tab Three\\par\r\nFour\\par}"), "One\nTwo\tThree\nFour\n");
  EXPECT_EQ(textOf("{\\rtf1 a\\\nb \\{c\\} \\\\}"), "a\nb {c} \\\n");
  EXPECT_EQ(textOf("{\\rtf1 \\emdash\\bullet\\~}"), "\xE2\x80\x94\xE2\x80\xA2\xC2\xA0\n");
}

TEST(RtfReader, CharacterFormattingFollowsGroupsPlainAndPard) {
  const Document doc = parse("{\\rtf1\\qc n{\\b b{\\i bi}}\\ul u\\ulnone\\fs36 big\\par"
                             "\\pard\\b x\\plain y {\\b0 z}}");
  ASSERT_EQ(doc.paragraphs.size(), 2u);
  const auto& r = doc.paragraphs[0].runs;
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(doc.paragraphs[0].alignment, Alignment::Centre);
  EXPECT_TRUE(r[1].format.bold && !r[1].format.italic);
  EXPECT_TRUE(r[2].format.bold && r[2].format.italic);
  EXPECT_TRUE(r[3].format.underline && !r[3].format.bold);  // the groups' formats ended with them
  EXPECT_EQ(r[4].format.halfPoints, 36);
  EXPECT_FALSE(r[4].format.underline);
  const auto& second = doc.paragraphs[1];
  EXPECT_EQ(second.alignment, Alignment::Left);
  ASSERT_EQ(second.runs.size(), 2u);
  EXPECT_TRUE(second.runs[0].format.bold);  // \pard keeps the character format
  EXPECT_EQ(second.runs[1].text, "y z");    // \plain restored the default; same format joins
  EXPECT_EQ(second.runs[1].format, CharFormat{});
}

TEST(RtfReader, FontTableNamesTheRunsFonts) {
  const Document doc = parse("{\\rtf1\\deff1{\\fonttbl{\\f0\\fswiss Arial;}{\\f1 Courier New"
                             "{\\*\\falt Courier};}\\f2 Caf\\'e9 Sans;\\f3   ;}a\\f0 b\\f7 c}");
  EXPECT_EQ(plainText(doc), "abc\n");
  const auto& runs = doc.paragraphs.at(0).runs;
  EXPECT_EQ(doc.fontFamily(runs.at(0).format), "Courier New");  // the default font
  EXPECT_EQ(doc.fontFamily(runs.at(1).format), "Arial");
  EXPECT_EQ(doc.fontFamily(runs.at(2).format), "");
  EXPECT_EQ(doc.fonts.at(2), "Caf\xC3\xA9 Sans");
  EXPECT_FALSE(doc.fonts.count(3));  // a name of blanks names nothing
}

TEST(RtfReader, CodePage1252AndUnicodeWithFallbackSkipping) {
  EXPECT_EQ(textOf("{\\rtf1 caf\\'e9 \\'80\\'93\\'81 \xe9}"),
            "caf\xC3\xA9 \xE2\x82\xAC\xE2\x80\x9C\xEF\xBF\xBD \xC3\xA9\n");
  EXPECT_EQ(textOf("{\\rtf1 \\u8364?x}"), "\xE2\x82\xAC" "x\n");
  EXPECT_EQ(textOf("{\\rtf1\\uc2 \\u8364\\'80?x}"), "\xE2\x82\xAC" "x\n");  // \'hh counts as one
  EXPECT_EQ(textOf("{\\rtf1\\uc0 \\u233 x}"), "\xC3\xA9x\n");
  EXPECT_EQ(textOf("{\\rtf1 \\u-10179?\\u-8704?}"), "\xF0\x9F\x98\x80\n");  // surrogate pair
  EXPECT_EQ(textOf("{\\rtf1 \\u-10179?x}"), "\xEF\xBF\xBDx\n");            // lone half
  EXPECT_EQ(textOf("{\\rtf1\\uc3 {\\u233}x}"), "\xC3\xA9x\n");  // skipping stops at a group's end
  EXPECT_EQ(textOf("{\\rtf1 {\\uc0 a}\\u233?b}"), "a\xC3\xA9" "b\n");
}

TEST(RtfReader, SkipsDestinationsThatAreNotText) {
  EXPECT_EQ(textOf("{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}{\\stylesheet{\\s1 Heading;}}"
                   "{\\info{\\title Secret}}{\\*\\generator W;}{\\*\\unknown hidden {\\b x}}"
                   "Before {\\pict\\pngblip 8950}{\\field{\\*\\fldinst HYPERLINK \"x\"}"
                   "{\\fldrslt shown}} after{\\header head}{\\pict\\bin4 }}{{}\\par}"),
            "Before shown after\n");
  EXPECT_EQ(textOf("{\\rtf1 a\\bin999999999 xyz"), "a\n");
}

TEST(RtfReader, DeepNestingIsCutOffAtTheLimit) {
  std::string deep = "{\\rtf1 top";
  for (int i = 0; i < 100000; ++i) deep += "{x";
  deep += std::string(100000, '}') + " end}";
  const Document doc = parse(deep);
  EXPECT_FALSE(doc.complete);
  EXPECT_EQ(plainText(doc), "top" + std::string(kMaxGroupDepth - 1, 'x') + " end\n");
}

TEST(RtfReader, BrokenInputGivesWhatCouldBeRead) {
  for (const char* input : {"", "{", "}}}}", "{\\", "{\\rtf1 \\u", "{\\rtf1 \\u-", "{\\'", "\\par{\\*}"})
    EXPECT_NO_FATAL_FAILURE(parse(input)) << input;
  EXPECT_EQ(textOf("{\\rtf1 a\\'zzb\\'4}"), "azzb4\n");
  EXPECT_FALSE(parse("{\\rtf1 unterminated").complete);
  EXPECT_EQ(textOf("{\\rtf1 unterminated"), "unterminated\n");
  EXPECT_EQ(textOf("{\\rtf1 a}}}b{c"), "a\n");  // nothing after the document's group
  EXPECT_EQ(parse("{\\rtf1 \\fs99999999999999999 x}").paragraphs[0].runs[0].format.halfPoints, 3276);
  EXPECT_EQ(textOf("{\\rtf1 \\uc-5 \\u65 AB}"), "AAB\n");
}

}  // namespace
}  // namespace veldra::rtf
