#include <algorithm>
#include <cstdio>

#include "evidence/reports/report_writers.h"
#include "evidence/judging/words.h"
#include "evidence/store/review.h"
#include "app/utf8_text.h"

namespace veldra::evidence {

namespace {

constexpr const char* kEnd = "\r\n";

}  // namespace

std::string sourceText(const Findings& findings, const PairFinding& pair) {
  return pair.likelySource ? displayName(findings.drawings[*pair.likelySource]) : std::string("unclear");
}

std::string orderText(const Findings& findings, const std::vector<std::size_t>& order) {
  std::string text;
  for (const std::size_t m : order) text += (text.empty() ? "" : " \u2192 ") + displayName(findings.drawings[m]);
  return text;
}

std::string runSettingsText(const Findings& findings) {
  const auto& s = findings.settings;
  std::string out = "templates: ";
  if (s.templates.empty()) out += "none";
  for (std::size_t k = 0; k < s.templates.size(); ++k) out += (k ? ", " : "") + utf8Path(s.templates[k]);
  out += "; compared against: ";
  if (s.against.empty()) out += "no earlier project";
  for (std::size_t k = 0; k < s.against.size(); ++k) out += (k ? ", " : "") + s.against[k];
  out += "; names ignored: ";
  if (s.ignoredAuthors.empty()) out += "none listed";
  for (std::size_t k = 0; k < s.ignoredAuthors.size(); ++k) out += (k ? ", " : "") + s.ignoredAuthors[k];
  out += "; copy from score " + std::to_string(s.thresholds.copy) + ", likely copy from " +
         std::to_string(s.thresholds.likelyCopy);
  char tolerance[96];
  std::snprintf(tolerance, sizeof tolerance, "; numbers rounded to %g drawing units and %g radians", s.tolerance.length,
                s.tolerance.angle);
  return out + tolerance;
}

std::string plainReport(const Findings& f) {
  std::string out;
  // Names, notes and words from the drawings may hold anything: none may
  // end a line of the report.
  auto line = [&](const std::string& text) { out += oneLine(text) + kEnd; };
  const auto counts = f.counts();
  const auto problems = f.problemDrawings();
  std::size_t unreadable = 0;
  for (const auto i : problems)
    if (!f.drawings[i].readable) ++unreadable;
  line("VELDRA evidence report");
  line("Project: " + f.project);
  if (!f.term.empty()) line("Term: " + f.term);
  line("Run: " + instantText(Instant{f.runAtUnixMs, true}));
  line("Settings: " + runSettingsText(f));
  line("Drawings: " + std::to_string(f.projectDrawings) + " (" + std::to_string(f.projectDrawings - unreadable) +
       " read, " + std::to_string(unreadable) + " could not be read)");
  if (f.earlierDrawings > 0) line("Drawings of earlier projects: " + std::to_string(f.earlierDrawings));
  line("Pairs: " + std::to_string(counts.copy) + " copy, " + std::to_string(counts.likelyCopy) + " likely copy, " +
       std::to_string(counts.coincidence) + " coincidence, of " + std::to_string(f.pairsJudged) + " judged");
  line("Groups of copies: " + std::to_string(f.groups.size()));
  for (const auto& g : f.groups) {
    line("");
    line("Group " + std::to_string(g.number) + " (strongest pair " + std::to_string(g.score) + "), likely source: " +
         (g.likelySource ? displayName(f.drawings[*g.likelySource]) : std::string("unclear")));
    for (const auto m : g.members) line("  " + displayName(f.drawings[m]) + "  [" + utf8Path(f.drawings[m].path) + "]");
    if (const auto order = f.copyingOrder(g); !order.empty()) line("  Copied in this order: " + orderText(f, order));
  }
  if (!f.pairs.empty()) {
    line("");
    line("Pairs:");
  }
  for (const auto& p : f.pairs) {
    line("");
    std::string head = std::string(verdictText(p.verdict)) + ", score " + std::to_string(p.score);
    if (p.group) head += ", group " + std::to_string(p.group);
    line(head + ": " + displayName(f.drawings[p.a]) + " - " + displayName(f.drawings[p.b]));
    if (isCopy(p.verdict)) line("  " + p.direction);
    for (const auto& r : p.reasons) line("  - " + r);
    if (p.review) line("  Teacher's mark: " + reviewSummary(*p.review, true));
  }
  line("");
  line("Problem drawings: " + std::to_string(problems.size()) + " (" + std::to_string(unreadable) +
       " could not be read)");
  for (const auto i : problems) {
    const auto& d = f.drawings[i];
    line("  " + displayName(d) + ": " + problemReason(*d.problem) + (d.readable ? " (judged with care)" : ""));
  }
  if (!f.notes.empty()) {
    line("");
    line("Notes:");
    for (const auto& n : f.notes) line("  - " + n);
  }
  return out;
}

}  // namespace veldra::evidence
