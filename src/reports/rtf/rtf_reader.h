#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace veldra::rtf {

// Character formatting of one run of text. Sizes are in half points, as the
// document states them (24 = 12 pt, the size a document has until it says
// otherwise).
struct CharFormat {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int halfPoints = 24;
  int font = -1;  // number in the font table; -1 is the document's default font

  bool operator==(const CharFormat&) const = default;
};

// Text of one format. The text is UTF-8; '\n' is a line break inside the
// paragraph and '\t' a tab.
struct Run {
  std::string text;
  CharFormat format;
};

enum class Alignment { Left, Centre, Right, Justify };

struct Paragraph {
  std::vector<Run> runs;
  Alignment alignment = Alignment::Left;
};

struct Document {
  std::vector<Paragraph> paragraphs;
  // The font table: font number to family name.
  std::map<int, std::string> fonts;
  int defaultFont = 0;
  // False when the text ended before its outermost group was closed, or when
  // groups nested deeper than kMaxGroupDepth were dropped.
  bool complete = true;

  // The family name of a run's font, or "" when the table does not name it.
  std::string fontFamily(const CharFormat& format) const;
};

// Groups nested deeper than this are read but their content is dropped, so a
// hostile file cannot make the reader's state grow without bound.
inline constexpr std::size_t kMaxGroupDepth = 128;

// True when the bytes begin like a rich-text document ("{\rtf").
bool looksLikeRtf(std::string_view bytes);

// Reads a rich-text document. The font table gives the fonts' names; colour
// tables, the stylesheet, the
// information group, pictures, objects, field instructions and every group
// marked as ignorable are skipped; the text of fields' results is kept. Text
// in 8-bit form is taken as code page 1252. Never fails: broken input gives
// whatever text could be read.
Document parse(std::string_view bytes);

// The document's text without formatting: paragraphs end with '\n'.
std::string plainText(const Document& document);

}  // namespace veldra::rtf
