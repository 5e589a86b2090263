#include <gtest/gtest.h>

#include "evidence/reports/picture.h"
#include "evidence/reports/report_writers.h"

namespace veldra::evidence {
namespace {

std::vector<std::uint8_t> dib(int bits, std::uint32_t colours, std::size_t pixelBytes) {
  std::vector<std::uint8_t> d(40, 0);
  d[0] = 40;
  d[4] = d[8] = 2;  // 2 x 2
  d[12] = 1;
  d[14] = static_cast<std::uint8_t>(bits);
  d[32] = static_cast<std::uint8_t>(colours & 0xFF);
  d[33] = static_cast<std::uint8_t>(colours >> 8);
  d.resize(40 + (bits <= 8 ? (colours ? colours : 1u << bits) * 4 : 0) + pixelBytes, 0x7F);
  return d;
}

std::uint32_t pixelOffset(const std::vector<std::uint8_t>& bmp) {
  return bmp[10] | bmp[11] << 8 | bmp[12] << 16 | static_cast<std::uint32_t>(bmp[13]) << 24;
}

TEST(Pictures, GiveBitmapsTheirFileHeaderAndRefuseWhatIsNoPicture) {
  EXPECT_EQ(base64(std::vector<std::uint8_t>{}), "");
  EXPECT_EQ(base64(std::vector<std::uint8_t>{'f'}), "Zg==");
  EXPECT_EQ(base64(std::vector<std::uint8_t>{'f', 'o'}), "Zm8=");
  EXPECT_EQ(base64(std::vector<std::uint8_t>{'f', 'o', 'o', 0xFF}), "Zm9v/w==");

  const auto trueColour = bmpFile(dib(24, 0, 16));
  ASSERT_TRUE(trueColour);
  EXPECT_EQ((*trueColour)[0], 'B');
  EXPECT_EQ(pixelOffset(*trueColour), 54u);
  EXPECT_EQ(trueColour->size(), 14u + 40u + 16u);
  const auto palette = bmpFile(dib(8, 0, 4));
  ASSERT_TRUE(palette);
  EXPECT_EQ(pixelOffset(*palette), 54u + 1024u);
  const auto fewColours = bmpFile(dib(8, 16, 4));
  ASSERT_TRUE(fewColours);
  EXPECT_EQ(pixelOffset(*fewColours), 54u + 64u);

  auto cut = dib(8, 0, 4);
  cut.resize(300);  // the palette runs past the end
  EXPECT_FALSE(bmpFile(cut));
  auto oddHeader = dib(24, 0, 16);
  oddHeader[0] = 200;
  EXPECT_FALSE(bmpFile(oddHeader));
  EXPECT_FALSE(bmpFile(std::vector<std::uint8_t>(12, 0)));

  veldra::dwg::Preview png{veldra::dwg::PreviewFormat::kPng, 1, 1, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0}};
  EXPECT_EQ(previewDataUri(png).value_or("").rfind("data:image/png;base64,iVBORw0KGgo", 0), 0u);
  png.bytes[1] = 'X';
  EXPECT_FALSE(previewDataUri(png));
  EXPECT_FALSE(previewDataUri({veldra::dwg::PreviewFormat::kWmf, 0, 0, {1, 2, 3}}));
  EXPECT_EQ(previewDataUri({veldra::dwg::PreviewFormat::kBmp, 2, 2, dib(24, 0, 16)}).value_or("").rfind(
                "data:image/bmp;base64,Qk", 0),
            0u);
  // The window is given the same files as bytes.
  const auto bmp = previewImage({veldra::dwg::PreviewFormat::kBmp, 2, 2, dib(24, 0, 16)});
  ASSERT_TRUE(bmp);
  EXPECT_EQ(*bmp, *bmpFile(dib(24, 0, 16)));
  png.bytes[1] = 'P';
  EXPECT_EQ(previewImage(png), std::optional(png.bytes));
  EXPECT_FALSE(previewImage({veldra::dwg::PreviewFormat::kBmp, 2, 2, cut}));
  EXPECT_FALSE(previewImage({}));
}

std::string fromBase64(const std::string& text) {
  static const std::string kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::uint32_t bits = 0;
  int count = 0;
  for (const char c : text) {
    const auto at = kDigits.find(c);
    if (at == std::string::npos) break;
    bits = bits << 6 | static_cast<std::uint32_t>(at);
    if ((count += 6) >= 8) out += static_cast<char>((bits >> (count -= 8)) & 0xFF);
  }
  return out;
}

// A drawing's texts are drawn as their words, whatever bytes they hold: a
// picture with one malformed character would not show at all.
TEST(Pictures, TextsAreDrawnAsTheirWordsAndMarkupOrBadBytesCannotBreakThePicture) {
  veldra::sketch::Sketch sketch;
  sketch.strokes.push_back({0, {{0, 0}, {100, 40}}});
  sketch.labels.push_back({1, {10, 10}, 5, 0, "\xC3\x98 12 <b>&\x01"});
  sketch.labels.push_back({2, {10, 30}, 5, 0.5, "bad \xFF byte"});
  const std::string uri = svgPictures().drawing(sketch, 300, 150);
  ASSERT_EQ(uri.rfind("data:image/svg+xml;base64,", 0), 0u);
  const std::string svg = fromBase64(uri.substr(26));
  EXPECT_NE(svg.find(">\xC3\x98 12 &lt;b&gt;&amp; </text>"), std::string::npos) << svg;
  EXPECT_NE(svg.find(">bad ? byte</text>"), std::string::npos) << svg;
  EXPECT_NE(svg.find("rotate(-28.6 "), std::string::npos) << svg;
}

// Findings as a small check makes them: a copy, a coincidence, an
// unreadable drawing, names a spreadsheet or a browser could misread.
Findings sampleFindings() {
  Findings f;
  f.project = "CAD <1>";
  f.runAtUnixMs = 1709640000000;
  f.settings.ignoredAuthors = {"lab3"};
  auto drawing = [](const char* folder, const char* author) {
    DrawingFacts d;
    d.path = std::filesystem::path("/class") / folder / "drawing.dwg";
    d.name = std::filesystem::path(folder) / "drawing.dwg";
    d.readable = true;
    d.version = "AC1032";
    d.created = Instant{1709629200000, true};
    d.editingMs = 3 * 3600000 + 5 * 60000;
    d.author = author;
    d.fingerprintGuid = "{A}";
    return d;
  };
  f.drawings = {drawing("anna", "=HYPERLINK(\"x\")"), drawing("ben, jr", "anna"), drawing("carla", "carla"),
                drawing("dora", "")};
  f.drawings[0].preview = {veldra::dwg::PreviewFormat::kPng, 1, 1, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}};
  f.drawings[3].readable = false;
  f.drawings[3].problem = ProblemDrawing{f.drawings[3].path, ProblemKind::kDamaged, "object map cut short"};
  f.projectDrawings = 4;
  f.pairsJudged = 3;
  PairFinding copy;
  copy.a = 0;
  copy.b = 1;
  copy.verdict = Verdict::kCopy;
  copy.score = 97;
  copy.group = 1;
  copy.likelySource = 0;
  copy.direction = "anna/drawing.dwg is likely the source: it was created 2 h earlier.";
  copy.reasons = {"Both carry the same drawing identity.", "They share \"<script>\" words."};
  copy.evidence.sameIdentity = true;
  copy.evidence.geometrySimilarity = 0.987;
  PairFinding coincidence;
  coincidence.a = 1;
  coincidence.b = 2;
  coincidence.verdict = Verdict::kCoincidence;
  coincidence.score = 12;
  coincidence.reasons = {"Both were created in the same second."};
  f.pairs = {copy, coincidence};
  f.groups = {CopyGroup{1, {0, 1}, 0, 97}};
  f.notes = {"The name \"lab3\" is on the ignore list: not evidence."};
  return f;
}

TEST(ReportWriters, SpreadsheetHasAHeaderAndOneSafeRowPerPair) {
  const std::string csv = csvReport(sampleFindings());
  ASSERT_EQ(csv.rfind("\xEF\xBB\xBF" "drawing_a,drawing_b,", 0), 0u);
  for (const char* column : {"verdict", "score", "group", "likely_source", "same_identity", "created_a", "created_b",
                             "geometry_similarity", "handle_overlap_after_template", "editing_minutes_a", "author_a"})
    EXPECT_NE(csv.find(std::string(",") + column + ","), std::string::npos) << column;
  std::size_t rows = 0;
  for (std::size_t at = 0; (at = csv.find("\r\n", at)) != std::string::npos; at += 2) ++rows;
  EXPECT_EQ(rows, 3u);  // the header and two pairs
  // Full paths as the system writes them, then the names below the location.
  const auto full = [](const char* folder) { return utf8Path(std::filesystem::path("/class") / folder / "drawing.dwg"); };
  EXPECT_NE(csv.find(full("anna") + ",\"" + full("ben, jr") +
                     "\",anna/drawing.dwg,\"ben, jr/drawing.dwg\",copy,97,1,anna/drawing.dwg,yes"),
            std::string::npos)
      << csv;
  // A student's "author" never becomes a formula.
  EXPECT_NE(csv.find("\"'=HYPERLINK(\"\"x\"\")\""), std::string::npos);
  EXPECT_NE(csv.find(",98.7,"), std::string::npos);
  EXPECT_NE(csv.find(",185.0,"), std::string::npos);  // minutes of editing
}

TEST(ReportWriters, HtmlReportIsOneFileAndShowsEverythingEscaped) {
  const std::string html = htmlReport(sampleFindings());
  EXPECT_EQ(html.find("http"), html.find("http://www.w3.org/2000/svg"));  // nothing fetched from elsewhere
  EXPECT_EQ(html.find("<script>"), std::string::npos);
  // A drawing without a preview and without entities has no picture at all.
  for (const char* shown : {"&lt;script&gt;", "Evidence report: CAD &lt;1&gt;", "src=\"data:image/png;base64,",
                            "no picture: no preview stored and nothing to draw", "<svg",
                            "damaged: object map cut short", "Group 1", "names ignored: lab3"})
    EXPECT_NE(html.find(shown), std::string::npos) << shown;
  EXPECT_LT(html.find("Group 1"), html.find("Copies, pair by pair"));
}

// A case sheet holds its own pair and group, escaped, and nothing of the
// other pairs.
TEST(ReportWriters, CaseSheetShowsOnePairAndItsGroup) {
  const Findings f = sampleFindings();
  const std::string sheet = caseSheet(f, 0);
  // Each name is kept on one line.
  EXPECT_NE(sheet.find("<h1>Case sheet: <span class=\"nobreak\">anna/&#8288;drawing.dwg</span> and "
                       "<span class=\"nobreak\">ben, jr/&#8288;drawing.dwg</span></h1>"),
            std::string::npos);
  for (const char* shown : {"CAD &lt;1&gt;", "&lt;script&gt;", "src=\"data:image/png;base64,", "<h2>Group 1</h2>"})
    EXPECT_NE(sheet.find(shown), std::string::npos) << shown;
  EXPECT_EQ(sheet.find("<script>"), std::string::npos);
  EXPECT_EQ(sheet.find("created in the same second"), std::string::npos);  // the other pair's reason
  EXPECT_EQ(sheet.find("http"), std::string::npos);
  // The coincidence belongs to no group; a pair that is not there gives nothing.
  EXPECT_EQ(caseSheet(f, 1).find("<h2>Group"), std::string::npos);
  EXPECT_TRUE(caseSheet(f, 2).empty());
}

TEST(ReportWriters, PlainReportTellsTheSameFindings) {
  const std::string text = plainReport(sampleFindings());
  EXPECT_EQ(text.rfind("VELDRA evidence report\r\nProject: CAD <1>\r\nRun: 2024-03-05 12:00:00 UTC\r\n", 0), 0u);
  for (const char* told :
       {"Drawings: 4 (3 read, 1 could not be read)", "Pairs: 1 copy, 0 likely copy, 1 coincidence, of 3 judged",
        "Group 1 (strongest pair 97), likely source: anna/drawing.dwg",
        "copy, score 97, group 1: anna/drawing.dwg - ben, jr/drawing.dwg",
        "  dora/drawing.dwg: damaged: object map cut short\r\n"})
    EXPECT_NE(text.find(told), std::string::npos) << told;
  EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
}

// A chain of copies is told in the order of copying, where its pairs'
// directions give one; two copies of one source leave it open, and a pair
// is told by its likely source alone.
TEST(ReportWriters, GroupOfThreeIsToldInTheOrderOfCopying) {
  Findings f = sampleFindings();
  auto pair = [](std::size_t a, std::size_t b, std::optional<std::size_t> source) {
    PairFinding p;
    p.a = a;
    p.b = b;
    p.verdict = Verdict::kCopy;
    p.score = 90;
    p.group = 1;
    p.likelySource = source;
    return p;
  };
  // carla copied ben, who copied anna; listed in no order of their own.
  f.pairs = {pair(1, 2, 1), pair(0, 2, 0), pair(0, 1, 0)};
  f.groups = {CopyGroup{1, {0, 1, 2}, 0, 90}};
  EXPECT_EQ(f.copyingOrder(f.groups[0]), (std::vector<std::size_t>{0, 1, 2}));
  const std::string told = "Copied in this order: anna/drawing.dwg \u2192 ben, jr/drawing.dwg \u2192 carla/drawing.dwg";
  EXPECT_NE(plainReport(f).find("  " + told + "\r\n"), std::string::npos);
  EXPECT_NE(htmlReport(f).find(told), std::string::npos);

  // ben and carla each copied anna; which of them came first is not told.
  f.pairs = {pair(0, 1, 0), pair(0, 2, 0), pair(1, 2, std::nullopt)};
  EXPECT_TRUE(f.copyingOrder(f.groups[0]).empty());
  EXPECT_EQ(plainReport(f).find("Copied in this order"), std::string::npos);
  // The order's first drawing must be the group's likely source.
  f.pairs = {pair(1, 2, 1), pair(0, 2, 0), pair(0, 1, 0)};
  f.groups[0].likelySource = 1;
  EXPECT_TRUE(f.copyingOrder(f.groups[0]).empty());
  f.groups[0].likelySource.reset();
  EXPECT_TRUE(f.copyingOrder(f.groups[0]).empty());
  EXPECT_TRUE(sampleFindings().copyingOrder(sampleFindings().groups[0]).empty());
}

}  // namespace
}  // namespace veldra::evidence
