#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "evidence/reports/picture.h"
#include "evidence/reports/report_writers.h"
#include "evidence/store/review.h"
#include "evidence/judging/words.h"

namespace veldra::evidence {

namespace {

// Drawings the class map shows at most, so that it stays readable.
constexpr std::size_t kMapLimit = 150;

std::string escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

const char* verdictClass(Verdict v) {
  switch (v) {
    case Verdict::kCopy: return "copy";
    case Verdict::kLikelyCopy: return "likely";
    case Verdict::kCoincidence: return "coincidence";
    case Verdict::kNone: break;
  }
  return "none";
}

const char* const kStyle = R"css(
body { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 10.5pt; color: #222; margin: 2em; }
h1 { font-size: 18pt; margin-bottom: 0.2em; }
h2 { font-size: 14pt; border-bottom: 1px solid #999; margin-top: 1.6em; }
h3 { font-size: 12pt; margin: 0.4em 0; }
table { border-collapse: collapse; }
td, th { border: 1px solid #bbb; padding: 0.2em 0.5em; vertical-align: top; text-align: left; }
th { background: #eee; }
.run td:first-child { font-weight: bold; white-space: nowrap; }
.verdict { display: inline-block; padding: 0 0.5em; border-radius: 0.3em; color: #fff; font-weight: bold; }
.verdict.copy { background: #b03a2e; } .verdict.likely { background: #e67e22; }
.verdict.coincidence { background: #b7950b; }
.group, .pair { border: 1px solid #aaa; border-radius: 0.4em; padding: 0.6em 1em; margin: 0.8em 0; page-break-inside: avoid; }
.pictures td { border: none; font-size: 9pt; word-break: break-all; }
.pictures img { max-width: 100%; height: auto; border: 1px solid #ccc; background: #fff; }
.caption { font-size: 8pt; color: #666; font-style: italic; }
.review { font-weight: bold; }
.nobreak { white-space: nowrap; }
.nopicture { border: 1px dashed #bbb; padding: 3em 0.5em; color: #777; }
.facts td:first-child { font-weight: bold; white-space: nowrap; }
.path { font-family: "DejaVu Sans Mono", monospace; font-size: 9pt; word-break: break-all; }
.source { font-weight: bold; }
.notes td { border: none; border-bottom: 1px solid #aaa; padding-top: 1.2em; }
svg text { font-size: 8px; font-family: "DejaVu Sans", Arial, sans-serif; }
@media print { body { margin: 0; } h2 { page-break-after: avoid; } }
.sheet { font-size: 8pt; } .sheet h1 { font-size: 13pt; } .sheet h2 { font-size: 10pt; margin-top: 0.6em; }
.sheet td, .sheet th { padding: 0.1em 0.4em; }
)css";

// A drawing's picture over its name and path, as a cell of the pictures'
// table: a table rather than boxes side by side, so that printing through a
// simple HTML renderer keeps them side by side too. The stored preview when
// there is one a browser shows, else the picture drawn from its entities.
std::string picture(const DrawingFacts& d, int width, const Pictures& pictures, const char* cellWidth) {
  std::string out = "<td width=\"" + std::string(cellWidth) + "\" align=\"center\">";
  const std::string w = std::to_string(width);
  if (const auto uri = previewDataUri(d.preview)) {
    out += "<img src=\"" + *uri + "\" width=\"" + w + "\" alt=\"preview of " + escape(displayName(d)) +
           "\"><br><span class=\"caption\">stored preview</span>";
  } else if (const auto sketch = d.drawnPicture.unpack(); !sketch.empty()) {
    const int height = pictureHeight(sketch.bounds(), width);
    out += "<img src=\"" + pictures.drawing(sketch, width, height) + "\" width=\"" + w + "\" height=\"" +
           std::to_string(height) + "\" alt=\"picture of " + escape(displayName(d)) +
           "\"><br><span class=\"caption\">" + escape(drawnCaption(sketch)) + "</span>";
  } else {
    std::string why = d.preview.format == veldra::dwg::PreviewFormat::kWmf
                          ? "preview stored as a Windows metafile, not shown"
                          : "no picture: no preview stored and nothing to draw";
    if (!d.previewNote.empty()) why = "no picture: nothing to draw, and no preview: " + escape(d.previewNote);
    out += "<p class=\"nopicture\">" + why + "</p>";
  }
  out += "<br><b>" + escape(displayName(d)) + "</b><br><span class=\"path\">" + escape(utf8Path(d.path)) + "</span></td>";
  return out;
}

// Both drawings of a pair in one picture, the second laid onto the first as
// the window lays it, as a cell beside their own pictures; empty when
// neither has anything to draw.
std::string overlayCell(const Findings& f, const PairFinding& p, int width, const Pictures& pictures) {
  const LaidPair laid = laidPair(f, p);
  if (laid.empty()) return {};
  const int height = pictureHeight(laid.bounds(), width);
  const std::size_t both = laid.shared.shared();
  return "<td width=\"33%\" align=\"center\"><img src=\"" + pictures.overlay(laid, width, height) +
         "\" width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) +
         "\" alt=\"both drawings laid over each other\"><br><span class=\"caption\">both in one view, the second "
         "laid over the first" +
         (p.evidence.placement ? " as its work lies" : "") + ": <span style=\"color:" + cssColour(kBothColour) +
         "\">in both (" + std::to_string(both) + (both == 1 ? " part" : " parts") + ")</span>, <span style=\"color:" +
         cssColour(kFirstColour) + "\">only in " + escape(displayName(f.drawings[p.a])) + "</span>, <span style=\"color:" +
         cssColour(kSecondColour) + "\">only in " + escape(displayName(f.drawings[p.b])) + "</span></span></td>";
}

std::string factsTable(const DrawingFacts& a, const DrawingFacts& b) {
  auto row = [](const std::string& label, const std::string& x, const std::string& y) {
    return "<tr><td>" + label + "</td><td>" + escape(x) + "</td><td>" + escape(y) + "</td></tr>";
  };
  auto when = [](const std::optional<Instant>& i) { return i ? instantText(*i, true) : std::string("not stored"); };
  auto editing = [](const std::optional<std::int64_t>& ms) { return ms ? durationText(*ms) : std::string("not stored"); };
  auto text = [](const std::string& s) { return s.empty() ? std::string("not stored") : s; };
  std::string out = "<table class=\"facts\"><tr><th></th><th>" + escape(displayName(a)) + "</th><th>" +
                    escape(displayName(b)) + "</th></tr>";
  out += row("Created", when(a.created), when(b.created));
  out += row("Last saved", when(a.updated), when(b.updated));
  out += row("Editing time", editing(a.editingMs), editing(b.editingMs));
  out += row("Author", text(a.author), text(b.author));
  out += row("Last saved by", text(a.lastSavedBy), text(b.lastSavedBy));
  out += row("Identity", text(a.fingerprintGuid), text(b.fingerprintGuid));
  out += row("Saved version", text(a.versionGuid), text(b.versionGuid));
  out += row("Format", a.version, b.version);
  out += row("Entities", std::to_string(a.entityCount), std::to_string(b.entityCount));
  return out + "</table>";
}

// The matrix of pair scores: drawings in group order, then the others that
// appear in a pair.
std::string classMap(const Findings& f, std::string& note) {
  std::vector<std::size_t> order;
  std::unordered_map<std::size_t, std::size_t> position;
  auto place = [&](std::size_t d) {
    if (position.count(d) || order.size() >= kMapLimit) return;
    position[d] = order.size();
    order.push_back(d);
  };
  for (const auto& g : f.groups)
    for (const auto m : g.members) place(m);
  for (const auto& p : f.pairs) {
    place(p.a);
    place(p.b);
  }
  std::size_t involved = 0;
  {
    std::vector<bool> seen(f.drawings.size(), false);
    for (const auto& p : f.pairs) {
      involved += !seen[p.a] + !seen[p.b];
      seen[p.a] = seen[p.b] = true;
    }
  }
  if (involved > order.size())
    note = "The map shows " + std::to_string(order.size()) + " of the " + std::to_string(involved) +
           " drawings found in a pair: the groups first.";
  if (order.empty()) return {};
  const int cell = 12, label = 170;
  const int size = static_cast<int>(order.size()) * cell;
  std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" aria-label=\"matrix of pair scores\" width=\"" +
                    std::to_string(label + size + 4) + "\" height=\"" + std::to_string(label + size + 4) + "\">";
  out += "<rect x=\"" + std::to_string(label) + "\" y=\"" + std::to_string(label) + "\" width=\"" +
         std::to_string(size) + "\" height=\"" + std::to_string(size) + "\" fill=\"#f6f6f6\"/>";
  for (std::size_t k = 0; k < order.size(); ++k) {
    const std::string at = std::to_string(label + static_cast<int>(k) * cell);
    out += "<rect x=\"" + at + "\" y=\"" + at + "\" width=\"" + std::to_string(cell - 1) + "\" height=\"" +
           std::to_string(cell - 1) + "\" fill=\"" + cssColour(kDiagonalColour) + "\"/>";
  }
  for (std::size_t k = 0; k < order.size(); ++k) {
    const int at = label + static_cast<int>(k) * cell + cell - 3;
    const std::string name = escape(displayName(f.drawings[order[k]]));
    out += "<text x=\"" + std::to_string(label - 3) + "\" y=\"" + std::to_string(at) + "\" text-anchor=\"end\">" +
           name + "</text>";
    out += "<text transform=\"translate(" + std::to_string(at) + "," + std::to_string(label - 3) +
           ") rotate(-90)\">" + name + "</text>";
  }
  for (const auto& p : f.pairs) {
    const auto pa = position.find(p.a), pb = position.find(p.b);
    if (pa == position.end() || pb == position.end()) continue;
    const std::string title = "<title>" + escape(displayName(f.drawings[p.a])) + " / " +
                              escape(displayName(f.drawings[p.b])) + ": " + std::string(verdictText(p.verdict)) +
                              ", " + std::to_string(p.score) + "</title>";
    for (const auto& [x, y] : {std::pair{pa->second, pb->second}, std::pair{pb->second, pa->second}}) {
      out += "<rect x=\"" + std::to_string(label + static_cast<int>(x) * cell) + "\" y=\"" +
             std::to_string(label + static_cast<int>(y) * cell) + "\" width=\"" + std::to_string(cell - 1) +
             "\" height=\"" + std::to_string(cell - 1) + "\" fill=\"" + cssColour(mapColour(p)) + "\"" +
             (p.review ? " stroke=\"" + cssColour(kMarkColour) + "\" stroke-width=\"2\"" : std::string()) + ">" + title +
             "</rect>";
    }
  }
  return out + "</svg>";
}

// A pair judged, in full: verdict and score, both pictures and (for a
// copy) both laid over each other, the likely source, the reasons and both
// drawings' facts side by side.
std::string pairBlock(const Findings& f, const PairFinding& p, const Pictures& pictures, int pictureWidth = 300) {
  const auto& a = f.drawings[p.a];
  const auto& b = f.drawings[p.b];
  std::string out = "<div class=\"pair\"><h3><span class=\"verdict " + std::string(verdictClass(p.verdict)) + "\">" +
                    std::string(verdictText(p.verdict)) + " " + std::to_string(p.score) + "</span> " +
                    escape(displayName(a)) + " &harr; " + escape(displayName(b)) +
                    (p.group ? " &middot; group " + std::to_string(p.group) : std::string()) + "</h3>";
  if (p.review) out += "<p class=\"review\">Teacher's mark: " + escape(reviewSummary(*p.review, true)) + "</p>";
  const std::string third = isCopy(p.verdict) ? overlayCell(f, p, pictureWidth, pictures) : std::string();
  const char* cell = third.empty() ? "50%" : "33%";
  out += "<table class=\"pictures\" width=\"100%\"><tr>" + picture(a, pictureWidth, pictures, cell) +
         picture(b, pictureWidth, pictures, cell) + third + "</tr></table>";
  if (isCopy(p.verdict)) out += "<p class=\"direction\">" + escape(p.direction) + "</p>";
  out += "<ul>";
  for (const auto& r : p.reasons) out += "<li>" + escape(r) + "</li>";
  return out + "</ul>" + factsTable(a, b) + "</div>\n";
}

// A group's drawings, each with its full path.
std::string memberList(const Findings& f, const CopyGroup& g) {
  std::string out = "<ul>";
  for (const auto m : g.members)
    out += "<li>" + escape(displayName(f.drawings[m])) + " <span class=\"path\">" + escape(utf8Path(f.drawings[m].path)) +
           "</span></li>";
  return out + "</ul>";
}

std::string head(const std::string& title) {
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + escape(title) + "</title><style>" +
         kStyle + "</style></head><body>\n";
}

}  // namespace

std::string caseSheet(const Findings& f, std::size_t pair, const Pictures& pictures) {
  if (pair >= f.pairs.size()) return {};
  const PairFinding& p = f.pairs[pair];
  // Names are kept whole: a line broken inside a path reads as two paths.
  const std::string title = "Case sheet: " + displayName(f.drawings[p.a]) + " and " + displayName(f.drawings[p.b]);
  // A word joiner after each slash, as renderers that pass over the style
  // still break a line after one.
  auto whole = [](const std::string& name) {
    std::string out;
    for (const char c : escape(name)) out += c == '/' ? std::string("/&#8288;") : std::string(1, c);
    return "<span class=\"nobreak\">" + out + "</span>";
  };
  std::string out = head(title) + "<div class=\"sheet\"><h1>Case sheet: " + whole(displayName(f.drawings[p.a])) +
                    " and " + whole(displayName(f.drawings[p.b])) + "</h1>\n<table class=\"run\">";
  auto runRow = [&](const std::string& label, const std::string& value) {
    out += "<tr><td>" + label + "</td><td>" + escape(value) + "</td></tr>";
  };
  runRow("Project", f.project);
  if (!f.term.empty()) runRow("Term", f.term);
  runRow("Judged", instantText(Instant{f.runAtUnixMs, true}));
  if (isCopy(p.verdict)) runRow("Likely source", sourceText(f, p));
  out += "</table>\n" + pairBlock(f, p, pictures, 200);
  if (p.group) {
    for (const auto& g : f.groups) {
      if (g.number != p.group) continue;
      out += "<h2>Group " + std::to_string(g.number) + "</h2><p>Every drawing of the group of copies this pair "
             "belongs to:</p>" + memberList(f, g) + "\n";
    }
  }
  out += "<h2>Notes</h2>";
  if (p.review && !p.review->note.empty()) out += "<p>" + escape(p.review->note) + "</p>";
  out += "<table class=\"notes\" width=\"100%\">";
  for (int line = 0; line < 2; ++line) out += "<tr><td>&nbsp;</td></tr>";
  out += "</table>\n</div>";
  return out + "</body></html>\n";
}

std::string htmlReport(const Findings& f, const Pictures& pictures) {
  const auto counts = f.counts();
  std::string out = head("Evidence report: " + f.project);
  out += "<h1>Evidence report: " + escape(f.project) + "</h1>\n<table class=\"run\">";
  auto runRow = [&](const std::string& label, const std::string& value) {
    out += "<tr><td>" + label + "</td><td>" + escape(value) + "</td></tr>";
  };
  if (!f.term.empty()) runRow("Term", f.term);
  runRow("Run", instantText(Instant{f.runAtUnixMs, true}));
  runRow("Settings", runSettingsText(f));
  runRow("Drawings", std::to_string(f.projectDrawings) + " in the project" +
                         (f.earlierDrawings ? ", " + std::to_string(f.earlierDrawings) + " of earlier projects" : ""));
  runRow("Pairs", std::to_string(counts.copy) + " copy, " + std::to_string(counts.likelyCopy) + " likely copy, " +
                      std::to_string(counts.coincidence) + " coincidence, of " + std::to_string(f.pairsJudged) +
                      " judged");
  runRow("Groups of copies", std::to_string(f.groups.size()));
  out += "</table>\n";

  out += "<h2>Groups of copies</h2>\n";
  if (f.groups.empty()) out += "<p>No copies were found.</p>\n";
  for (const auto& g : f.groups) {
    out += "<div class=\"group\"><h3>Group " + std::to_string(g.number) + " &middot; strongest pair " +
           std::to_string(g.score) + "</h3><p>Likely source: <span class=\"source\">" +
           escape(g.likelySource ? displayName(f.drawings[*g.likelySource]) : std::string("unclear")) +
           "</span></p>" + memberList(f, g);
    if (const auto order = f.copyingOrder(g); !order.empty())
      out += "<p>Copied in this order: " + escape(orderText(f, order)) + "</p>";
    out += "</div>\n";
  }

  out += "<h2>Copies, pair by pair</h2>\n";
  bool anyCopy = false;
  for (const auto& p : f.pairs) {
    if (!isCopy(p.verdict)) continue;
    anyCopy = true;
    out += pairBlock(f, p, pictures);
  }
  if (!anyCopy) out += "<p>No pair was judged a copy or a likely copy.</p>\n";

  out += "<h2>Coincidences</h2>\n";
  if (counts.coincidence == 0) {
    out += "<p>No pair matched in a way that needed explaining.</p>\n";
  } else {
    out += "<p>Pairs that matched in some way the evidence explains as innocent.</p><table><tr><th>Drawings</th>"
           "<th>Score</th><th>Why it is no copy</th></tr>";
    for (const auto& p : f.pairs) {
      if (p.verdict != Verdict::kCoincidence) continue;
      out += "<tr><td>" + escape(displayName(f.drawings[p.a])) + "<br>" + escape(displayName(f.drawings[p.b])) +
             "</td><td>" + std::to_string(p.score) + "</td><td><ul>";
      for (const auto& r : p.reasons) out += "<li>" + escape(r) + "</li>";
      out += "</ul>";
      if (p.review) out += "<p class=\"review\">Teacher's mark: " + escape(reviewSummary(*p.review, true)) + "</p>";
      out += "</td></tr>";
    }
    out += "</table>\n";
  }

  out += "<h2>Class map</h2>\n";
  std::string mapNote;
  const std::string map = classMap(f, mapNote);
  PairFinding strong, likely;
  strong.verdict = Verdict::kCopy;
  strong.score = 90;
  likely.verdict = Verdict::kLikelyCopy;
  likely.score = 55;
  const auto swatch = [](Rgb fill, bool marked = false) {
    return "<span style=\"display:inline-block;width:0.9em;height:0.9em;vertical-align:middle;background:" + cssColour(fill) +
           ";border:" + (marked ? "2px solid " + cssColour(kMarkColour) : std::string("1px solid #999")) + "\"></span>";
  };
  if (map.empty()) {
    out += "<p>No pair to show.</p>\n";
  } else {
    out += "<p>Pair scores, drawings in group order, coloured as in the window: " + swatch(mapColour(strong)) +
           " copy, " + swatch(mapColour(likely)) + " likely copy (paler as the score is lower), " +
           swatch(kSharedWorkColour) + " coincidence, shared work explained, " + swatch(kNothingSharedColour) +
           " coincidence, nothing shared; outlined " + swatch(Rgb{255, 255, 255}, true) +
           " marked by the teacher.</p>" + map + "\n";
    if (!mapNote.empty()) out += "<p>" + escape(mapNote) + "</p>\n";
  }

  out += "<h2>Drawings that could not be read</h2>\n";
  const auto problems = f.problemDrawings();
  if (problems.empty()) {
    out += "<p>Every drawing was read.</p>\n";
  } else {
    out += "<table><tr><th>Drawing</th><th>Full path</th><th>Problem</th></tr>";
    for (const auto i : problems) {
      const auto& d = f.drawings[i];
      out += "<tr><td>" + escape(displayName(d)) + "</td><td class=\"path\">" + escape(utf8Path(d.path)) + "</td><td>" +
             escape(problemReason(*d.problem) + (d.readable ? " (judged with care)" : "")) + "</td></tr>";
    }
    out += "</table>\n";
  }
  if (!f.notes.empty()) {
    out += "<h2>Notes</h2><ul>";
    for (const auto& n : f.notes) out += "<li>" + escape(n) + "</li>";
    out += "</ul>\n";
  }
  return out + "</body></html>\n";
}

}  // namespace veldra::evidence
