#include <cmath>
#include <cstdio>

#include "evidence/reports/report_writers.h"
#include "evidence/judging/words.h"

namespace veldra::evidence {

namespace {

// A cell as spreadsheets read it: quoted when it holds a separator, a quote
// or a line end. A text that a spreadsheet would take for a formula (names
// and paths come from students) starts with an apostrophe.
std::string cell(const std::string& text) {
  std::string value = text;
  if (!value.empty() && (value[0] == '=' || value[0] == '+' || value[0] == '-' || value[0] == '@' ||
                         value[0] == '\t' || value[0] == '\r'))
    value.insert(0, "'");
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string out = "\"";
  for (const char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string number(double value, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  return buf;
}

std::string percent(double share) { return number(100.0 * share, 1); }
std::string yesNo(bool v) { return v ? "yes" : "no"; }

std::string instant(const std::optional<Instant>& i) { return i ? isoInstant(*i) : std::string(); }
std::string minutes(const std::optional<std::int64_t>& ms) {
  return ms ? number(static_cast<double>(*ms) / 60000.0, 1) : std::string();
}

}  // namespace

std::string csvReport(const Findings& f) {
  static const char* const kColumns[] = {
      "drawing_a", "drawing_b", "name_a", "name_b", "verdict", "score", "group", "likely_source",
      "same_identity", "same_saved_version", "identity_a", "identity_b", "created_a", "created_b",
      "same_created_instant", "same_created_second", "geometry_similarity", "rare_geometry_shared",
      "rare_beyond_chance", "rare_entities_shared", "in_no_other_drawing", "handle_overlap_after_template",
      "handles_shared_after_template", "handle_numbers_shared", "editing_minutes_a", "editing_minutes_b",
      "same_editing_time", "author_a", "author_b", "last_saved_by_a", "last_saved_by_b", "shared_name",
      "shared_name_ignored", "direction", "reasons", "review", "review_note", "review_judged_otherwise_since"};
  std::string out = "\xEF\xBB\xBF";
  for (std::size_t k = 0; k < sizeof kColumns / sizeof kColumns[0]; ++k) out += (k ? "," : "") + std::string(kColumns[k]);
  out += "\r\n";
  for (const auto& p : f.pairs) {
    if (p.verdict == Verdict::kNone) continue;
    const auto& a = f.drawings[p.a];
    const auto& b = f.drawings[p.b];
    const auto& e = p.evidence;
    std::string reasons;
    for (const auto& r : p.reasons) reasons += (reasons.empty() ? "" : " ") + r;
    const std::string cells[] = {
        utf8Path(a.path), utf8Path(b.path), displayName(a), displayName(b), std::string(verdictText(p.verdict)),
        std::to_string(p.score), p.group ? std::to_string(p.group) : std::string(),
        p.likelySource ? sourceText(f, p) : std::string(), yesNo(e.sameIdentity), yesNo(e.sameVersion),
        a.fingerprintGuid, b.fingerprintGuid, instant(a.created), instant(b.created), yesNo(e.sameCreatedInstant),
        yesNo(e.sameCreatedSecond), percent(e.geometrySimilarity), percent(e.rareSimilarity), percent(e.beyondChance),
        std::to_string(e.rareShared), std::to_string(e.onlyTheseTwo), percent(e.handleOverlap),
        std::to_string(e.handlesShared), percent(e.rawHandleOverlap), minutes(a.editingMs), minutes(b.editingMs),
        yesNo(e.sameEditingTime), a.author, b.author, a.lastSavedBy, b.lastSavedBy, e.sharedName,
        e.sharedName.empty() ? std::string() : yesNo(e.nameIgnored), p.likelySource ? p.direction : std::string(),
        reasons, p.review ? std::string(reviewText(p.review->mark)) : std::string(),
        p.review ? p.review->note : std::string(), p.review ? yesNo(p.review->changed) : std::string()};
    bool first = true;
    for (const auto& c : cells) {
      if (!first) out += ',';
      first = false;
      out += cell(c);
    }
    out += "\r\n";
  }
  return out;
}

std::string marksCsv(const std::vector<StoredMark>& marks, const Findings& f) {
  std::string out = "\xEF\xBB\xBF";
  auto row = [&](const std::vector<std::string>& cells) {
    for (std::size_t k = 0; k < cells.size(); ++k) out += (k ? "," : "") + cell(cells[k]);
    out += "\r\n";
  };
  row({"mark", "note", "marked_at", "verdict_when_marked", "score_when_marked", "path_a", "path_b", "digest_a",
       "digest_b", "identity_a", "identity_b", "shown", "verdict_now", "score_now"});
  for (const auto& m : marks) {
    const PairFinding* shown = nullptr;
    for (const auto& p : f.pairs)
      if (p.review && p.review->markId == m.id) shown = &p;
    row({std::string(reviewText(m.mark)), m.note, isoInstant(Instant{m.markedAtUnixMs, true}),
         std::string(verdictText(m.verdict)), std::to_string(m.score), m.pathA, m.pathB, m.digestA, m.digestB,
         m.identityA, m.identityB, yesNo(shown != nullptr), shown ? std::string(verdictText(shown->verdict)) : "",
         shown ? std::to_string(shown->score) : ""});
  }
  return out;
}

}  // namespace veldra::evidence
