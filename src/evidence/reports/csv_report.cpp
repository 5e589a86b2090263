#include <charconv>
#include <cmath>
#include <string_view>

#include "evidence/reports/report_writers.h"
#include "evidence/judging/words.h"

namespace veldra::evidence {

namespace {

// Appends a cell as spreadsheets read it, in one pass over its text: quoted
// when it holds a separator, a quote or a line end. A text that a
// spreadsheet would take for a formula (names and paths come from students)
// starts with an apostrophe.
void appendCell(std::string& out, std::string_view text) {
  const std::size_t start = out.size();
  if (!text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@' || text[0] == '\t' ||
                        text[0] == '\r'))
    out += '\'';
  bool quoted = false;
  for (const char c : text) {
    if (c == '"') {
      out += '"';
      quoted = true;
    } else if (c == ',' || c == '\r' || c == '\n') {
      quoted = true;
    }
    out += c;
  }
  if (quoted) {
    out.insert(start, 1, '"');
    out += '"';
  }
}

// A number's text, room enough for any double to a few decimals.
struct NumberText {
  char buf[352];
  std::size_t size = 0;
  std::string_view view() const { return {buf, size}; }
};

NumberText number(double value, int decimals) {
  NumberText t;
  t.size = static_cast<std::size_t>(
      std::to_chars(t.buf, t.buf + sizeof t.buf, value, std::chars_format::fixed, decimals).ptr - t.buf);
  return t;
}

NumberText whole(long long value) {
  NumberText t;
  t.size = static_cast<std::size_t>(std::to_chars(t.buf, t.buf + sizeof t.buf, value).ptr - t.buf);
  return t;
}

std::string_view yesNo(bool v) { return v ? "yes" : "no"; }

// The cells of one row, each appended as it comes; the caller ends the row.
class Row {
 public:
  explicit Row(std::string& out) : out_(out) {}
  Row& operator<<(std::string_view text) {
    if (!first_) out_ += ',';
    first_ = false;
    appendCell(out_, text);
    return *this;
  }
  Row& operator<<(const NumberText& n) { return *this << n.view(); }

 private:
  std::string& out_;
  bool first_ = true;
};

NumberText percent(double share) { return number(100.0 * share, 1); }

std::string instant(const std::optional<Instant>& i) { return i ? isoInstant(*i) : std::string(); }
NumberText minutes(const std::optional<std::int64_t>& ms) {
  return ms ? number(static_cast<double>(*ms) / 60000.0, 1) : NumberText{};
}
NumberText wholeOr(bool present, long long value) { return present ? whole(value) : NumberText{}; }

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
  std::string reasons;
  for (const auto& p : f.pairs) {
    if (p.verdict == Verdict::kNone) continue;
    const auto& a = f.drawings[p.a];
    const auto& b = f.drawings[p.b];
    const auto& e = p.evidence;
    reasons.clear();
    for (const auto& r : p.reasons) {
      if (!reasons.empty()) reasons += ' ';
      reasons += r;
    }
    const std::string_view none;
    Row row(out);
    row << utf8Path(a.path) << utf8Path(b.path) << displayName(a) << displayName(b) << verdictText(p.verdict)
        << whole(p.score) << wholeOr(p.group != 0, p.group);
    row << (p.likelySource ? sourceText(f, p) : std::string()) << yesNo(e.sameIdentity) << yesNo(e.sameVersion);
    row << a.fingerprintGuid << b.fingerprintGuid << instant(a.created) << instant(b.created)
        << yesNo(e.sameCreatedInstant) << yesNo(e.sameCreatedSecond);
    row << percent(e.geometrySimilarity) << percent(e.rareSimilarity) << percent(e.beyondChance)
        << whole(e.rareShared) << whole(e.onlyTheseTwo) << percent(e.handleOverlap) << whole(e.handlesShared)
        << percent(e.rawHandleOverlap) << minutes(a.editingMs) << minutes(b.editingMs) << yesNo(e.sameEditingTime);
    row << a.author << b.author << a.lastSavedBy << b.lastSavedBy << e.sharedName
        << (e.sharedName.empty() ? none : yesNo(e.nameIgnored)) << (p.likelySource ? std::string_view(p.direction) : none)
        << reasons;
    row << (p.review ? reviewText(p.review->mark) : none) << (p.review ? std::string_view(p.review->note) : none)
        << (p.review ? yesNo(p.review->changed) : none);
    out += "\r\n";
  }
  return out;
}

std::string marksCsv(const std::vector<StoredMark>& marks, const Findings& f) {
  std::string out = "\xEF\xBB\xBF";
  auto row = [&](const std::vector<std::string>& cells) {
    for (std::size_t k = 0; k < cells.size(); ++k) {
      if (k) out += ',';
      appendCell(out, cells[k]);
    }
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
         m.identityA, m.identityB, std::string(yesNo(shown != nullptr)), shown ? std::string(verdictText(shown->verdict)) : "",
         shown ? std::to_string(shown->score) : ""});
  }
  return out;
}

}  // namespace veldra::evidence
