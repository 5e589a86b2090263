#include "reports/rtf/rtf_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace veldra::rtf {
namespace {

std::string textOf(std::string_view rtf) { return plainText(parse(rtf)); }

TEST(RtfReader, RecognisesRichTextBySignature) {
  EXPECT_TRUE(looksLikeRtf("{\\rtf1\\ansi hello}"));
  EXPECT_FALSE(looksLikeRtf("\"A.dwg\"\r\n"));
  EXPECT_FALSE(looksLikeRtf(" {\\rtf1}"));
  EXPECT_FALSE(looksLikeRtf(""));
}

TEST(RtfReader, ParagraphsLinesAndTabs) {
  const Document doc = parse("{\\rtf1 One\\line Two\\tab Three\\par Four\\par}");
  ASSERT_EQ(doc.paragraphs.size(), 2u);
  EXPECT_EQ(plainText(doc), "One\nTwo\tThree\nFour\n");
  EXPECT_TRUE(doc.complete);
  // A text after the last \par is a paragraph of its own; line ends in the
  // source are not text.
  EXPECT_EQ(textOf("{\\rtf1 a\\par\r\nb}"), "a\nb\n");
  EXPECT_EQ(textOf("{\\rtf1 a\\\nb}"), "a\nb\n");
}

TEST(RtfReader, CharacterFormatting) {
  const Document doc =
      parse("{\\rtf1 n{\\b b{\\i bi}}\\ul u\\ulnone\\fs36 big\\b bold\\plain p\\b x\\b0 y}");
  ASSERT_EQ(doc.paragraphs.size(), 1u);
  const auto& runs = doc.paragraphs[0].runs;
  ASSERT_EQ(runs.size(), 9u);
  EXPECT_EQ(runs[0].text, "n");
  EXPECT_EQ(runs[0].format, CharFormat{});
  EXPECT_TRUE(runs[1].format.bold);
  EXPECT_FALSE(runs[1].format.italic);
  EXPECT_TRUE(runs[2].format.bold && runs[2].format.italic);
  EXPECT_EQ(runs[3].text, "u");  // the group closed: bold and italic ended with it
  EXPECT_TRUE(runs[3].format.underline && !runs[3].format.bold);
  EXPECT_EQ(runs[4].text, "big");
  EXPECT_EQ(runs[4].format.halfPoints, 36);
  EXPECT_FALSE(runs[4].format.underline);
  EXPECT_EQ(runs[5].text, "bold");
  EXPECT_TRUE(runs[5].format.bold);
  EXPECT_EQ(runs[6].text, "p");  // \plain restores the default
  EXPECT_EQ(runs[6].format, CharFormat{});
  EXPECT_TRUE(runs[7].format.bold);
  EXPECT_EQ(runs[8].text, "y");
  EXPECT_FALSE(runs[8].format.bold);
}

TEST(RtfReader, RunOfSameFormatIsJoinedAndAlignmentEndsWithPard) {
  const Document doc = parse("{\\rtf1\\qc Title\\par\\pard Body {\\b0 more}\\par}");
  ASSERT_EQ(doc.paragraphs.size(), 2u);
  EXPECT_EQ(doc.paragraphs[0].alignment, Alignment::Centre);
  EXPECT_EQ(doc.paragraphs[1].alignment, Alignment::Left);
  ASSERT_EQ(doc.paragraphs[1].runs.size(), 1u);
  EXPECT_EQ(doc.paragraphs[1].runs[0].text, "Body more");
}

TEST(RtfReader, FontTableNamesTheRunsFonts) {
  const Document doc = parse(
      "{\\rtf1\\deff1{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern Courier New "
      "{\\*\\falt Courier};}\\f2 Caf\\'e9 Sans;}"
      "a\\f0 b\\f7 c\\plain d}");
  EXPECT_EQ(plainText(doc), "abcd\n");
  const auto& runs = doc.paragraphs.at(0).runs;
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(doc.fontFamily(runs[0].format), "Courier New");  // the default font
  EXPECT_EQ(doc.fontFamily(runs[1].format), "Arial");
  EXPECT_EQ(doc.fontFamily(runs[2].format), "");  // not in the table
  EXPECT_EQ(runs[3].format.font, -1);
  EXPECT_EQ(doc.fonts.at(2), "Caf\xC3\xA9 Sans");
}

TEST(RtfReader, EscapesAndCodePage1252) {
  EXPECT_EQ(textOf("{\\rtf1 \\{a\\} \\\\ b}"), "{a} \\ b\n");
  // e acute, euro sign, left double quote, trademark; 0x81 has no character
  EXPECT_EQ(textOf("{\\rtf1 caf\\'e9 \\'80 \\'93x\\'94 \\'99 \\'81}"),
            "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D \xE2\x84\xA2 \xEF\xBF\xBD\n");
  // Raw 8-bit text is read in the same code page.
  EXPECT_EQ(textOf("{\\rtf1 \xe9}"), "\xC3\xA9\n");
  // A broken hex escape shows nothing and loses no later text.
  EXPECT_EQ(textOf("{\\rtf1 a\\'zzb\\'4}"), "azzb4\n");
  EXPECT_EQ(textOf("{\\rtf1 \\emdash\\bullet\\~}"), "\xE2\x80\x94\xE2\x80\xA2\xC2\xA0\n");
}

TEST(RtfReader, UnicodeWithFallbackSkipping) {
  // \u with the default of one fallback character
  EXPECT_EQ(textOf("{\\rtf1 \\u8364?x}"), "\xE2\x82\xAC" "x\n");
  // \uc2: two fallback characters, a hex escape counts as one
  EXPECT_EQ(textOf("{\\rtf1\\uc2 \\u8364\\'80?x}"), "\xE2\x82\xAC" "x\n");
  // \uc0: no fallback
  EXPECT_EQ(textOf("{\\rtf1\\uc0 \\u233 x}"), "\xC3\xA9x\n");
  // negative values stand for code units above 32767
  EXPECT_EQ(textOf("{\\rtf1 \\u-3?}"), "\xEF\xBF\xBD\n");
  // a surrogate pair forms one character; a lone half becomes U+FFFD
  EXPECT_EQ(textOf("{\\rtf1 \\u-10179?\\u-8704?}"), "\xF0\x9F\x98\x80\n");
  EXPECT_EQ(textOf("{\\rtf1 \\u-10179?x}"), "\xEF\xBF\xBDx\n");
  // skipping never runs past the end of a group
  EXPECT_EQ(textOf("{\\rtf1\\uc3 {\\u233}x}"), "\xC3\xA9x\n");
  // the skip count belongs to its group
  EXPECT_EQ(textOf("{\\rtf1 {\\uc0 a}\\u233?b}"), "a\xC3\xA9" "b\n");
}

TEST(RtfReader, SkipsDestinationsThatAreNotText) {
  const std::string rtf =
      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1 Courier New;}}"
      "{\\colortbl;\\red255\\green0\\blue0;}"
      "{\\stylesheet{\\s1 Heading 1;}}"
      "{\\info{\\title Secret}{\\author Someone}}"
      "{\\*\\generator Writer 1.0;}"
      "{\\*\\unknowndest hidden {\\b nested}}"
      "Before {\\pict\\pngblip 89504e47}"
      "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt shown}} after"
      "{\\header page head}\\par}";
  EXPECT_EQ(textOf(rtf), "Before shown after\n");
}

TEST(RtfReader, BinaryDataIsSkippedEvenWhenItHoldsBraces) {
  EXPECT_EQ(textOf("{\\rtf1 a{\\pict\\bin4 }}{{}b}c"), "ab\n");
  EXPECT_EQ(textOf("{\\rtf1 a\\bin3 {{{b}"), "ab\n");
  EXPECT_EQ(textOf("{\\rtf1 a\\bin999999999 xyz"), "a\n");
}

TEST(RtfReader, DeepNestingIsCutOffAtTheLimit) {
  std::string deep = "{\\rtf1 top";
  for (int i = 0; i < 100000; ++i) deep += "{x";
  for (int i = 0; i < 100000; ++i) deep += "}";
  deep += " end}";
  const Document doc = parse(deep);
  EXPECT_FALSE(doc.complete);
  const std::string text = plainText(doc);
  EXPECT_EQ(text.substr(0, 3), "top");
  EXPECT_EQ(text.size(), 3 + (kMaxGroupDepth - 1) + 4 + 1);  // the groups within the limit
  EXPECT_EQ(text.substr(text.size() - 5), " end\n");
}

TEST(RtfReader, BrokenInputGivesWhatCouldBeRead) {
  const char* cases[] = {"",         "{",         "}}}}",       "{\\",          "{\\rtf1 \\",
                         "{\\rtf1 \\u", "{\\rtf1 \\u-", "{\\'",     "{\\rtf1 \\fs99999999999999999 x}",
                         "{\\rtf1 \\uc-5 \\u65 AB}", "\\par{\\*}", "{\\rtf1 a}}}b{c"};
  for (const char* input : cases) {
    SCOPED_TRACE(input);
    const Document doc = parse(input);
    for (const auto& p : doc.paragraphs)
      for (const auto& r : p.runs) EXPECT_FALSE(r.text.empty());
  }
  EXPECT_EQ(textOf("{\\rtf1 unterminated"), "unterminated\n");
  EXPECT_FALSE(parse("{\\rtf1 unterminated").complete);
  EXPECT_EQ(textOf("{\\rtf1 a}}}b{c"), "a\n");  // nothing after the document's group
  EXPECT_EQ(parse("{\\rtf1 \\fs99999999999999999 x}").paragraphs[0].runs[0].format.halfPoints,
            3276);
  EXPECT_EQ(textOf("{\\rtf1 \\uc-5 \\u65 AB}"), "AAB\n");
}

}  // namespace
}  // namespace veldra::rtf
