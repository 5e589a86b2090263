#include "evidence/store/review.h"

#include <map>
#include <utility>

namespace veldra::evidence {

std::string_view reviewText(ReviewMark mark) {
  switch (mark) {
    case ReviewMark::kToReview: return "to review";
    case ReviewMark::kConfirmed: return "confirmed copy";
    case ReviewMark::kNotCopy: return "not a copy";
  }
  return "to review";
}

StoredMark markOf(const Findings& findings, const PairFinding& pair, ReviewMark mark, std::string note,
                  std::int64_t nowUnixMs) {
  const DrawingFacts* a = &findings.drawings[pair.a];
  const DrawingFacts* b = &findings.drawings[pair.b];
  if (utf8Path(b->path) < utf8Path(a->path)) std::swap(a, b);
  StoredMark m;
  m.pathA = utf8Path(a->path);
  m.pathB = utf8Path(b->path);
  m.identityA = a->fingerprintGuid;
  m.identityB = b->fingerprintGuid;
  m.mark = mark;
  m.note = std::move(note);
  m.verdict = pair.verdict;
  m.score = pair.score;
  m.markedAtUnixMs = nowUnixMs;
  return m;
}

void applyMarks(Findings& findings, std::span<const StoredMark> marks) {
  std::map<std::pair<std::string, std::string>, std::size_t> byPaths;
  for (std::size_t i = 0; i < marks.size(); ++i) byPaths[{marks[i].pathA, marks[i].pathB}] = i;
  std::vector<bool> used(marks.size(), false);
  std::vector<bool> changedDrawing(marks.size(), false);
  for (auto& pair : findings.pairs) {
    pair.review.reset();
    std::string a = utf8Path(findings.drawings[pair.a].path), b = utf8Path(findings.drawings[pair.b].path);
    const DrawingFacts* fa = &findings.drawings[pair.a];
    const DrawingFacts* fb = &findings.drawings[pair.b];
    if (b < a) {
      std::swap(a, b);
      std::swap(fa, fb);
    }
    const auto it = byPaths.find({a, b});
    if (it == byPaths.end()) continue;
    const StoredMark& m = marks[it->second];
    if (m.identityA != fa->fingerprintGuid || m.identityB != fb->fingerprintGuid) {
      changedDrawing[it->second] = true;
      continue;
    }
    used[it->second] = true;
    pair.review = PairReview{m.mark, m.note, m.verdict, m.score, m.markedAtUnixMs, m.verdict != pair.verdict};
  }
  // A drawing at a marked path that carries another identity now is
  // another drawing, whether or not its pair is still judged.
  std::map<std::string, std::string> identityAt;
  for (const auto& d : findings.drawings) identityAt[utf8Path(d.path)] = d.fingerprintGuid;
  auto replaced = [&](const std::string& path, const std::string& identity) {
    const auto it = identityAt.find(path);
    return it != identityAt.end() && it->second != identity;
  };
  for (std::size_t i = 0; i < marks.size(); ++i) {
    if (used[i]) continue;
    const StoredMark& m = marks[i];
    if (replaced(m.pathA, m.identityA) || replaced(m.pathB, m.identityB)) changedDrawing[i] = true;
    findings.notes.push_back("The mark \"" + std::string(reviewText(m.mark)) + "\" on " + m.pathA + " and " + m.pathB +
                             (changedDrawing[i] ? " is not shown: a drawing at one of these paths is another drawing now."
                                                : " is not shown: the pair is no longer judged a copy or a coincidence (it was " +
                                                      std::string(verdictText(m.verdict)) + ", " + std::to_string(m.score) +
                                                      ")."));
  }
}

std::string reviewSummary(const PairReview& review, bool withNote) {
  std::string out(reviewText(review.mark));
  if (review.changed)
    out += " (marked when " + std::string(verdictText(review.markedVerdict)) + ", " + std::to_string(review.markedScore) + ")";
  if (withNote && !review.note.empty()) out += ": " + review.note;
  return out;
}

}  // namespace veldra::evidence
