#include "evidence/store/review.h"

#include <algorithm>
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
  m.id = pair.review ? pair.review->markId : 0;
  m.pathA = utf8Path(a->path);
  m.pathB = utf8Path(b->path);
  m.identityA = a->fingerprintGuid;
  m.identityB = b->fingerprintGuid;
  m.digestA = a->contentDigest;
  m.digestB = b->contentDigest;
  m.mark = mark;
  m.note = std::move(note);
  m.verdict = pair.verdict;
  m.score = pair.score;
  m.markedAtUnixMs = nowUnixMs;
  return m;
}

namespace {

// Whether one side of a mark is this drawing: by its content where the mark
// knows it, else by its path and identity.
bool sideIs(const std::string& digest, const std::string& path, const std::string& identity, const DrawingFacts& d) {
  if (!digest.empty()) return digest == d.contentDigest;
  return path == utf8Path(d.path) && identity == d.fingerprintGuid;
}

bool fits(const StoredMark& m, const DrawingFacts& a, const DrawingFacts& b) {
  return (sideIs(m.digestA, m.pathA, m.identityA, a) && sideIs(m.digestB, m.pathB, m.identityB, b)) ||
         (sideIs(m.digestA, m.pathA, m.identityA, b) && sideIs(m.digestB, m.pathB, m.identityB, a));
}

std::pair<std::string, std::string> ordered(std::string a, std::string b) {
  if (b < a) std::swap(a, b);
  return {std::move(a), std::move(b)};
}

}  // namespace

std::vector<StoredMark> applyMarks(Findings& findings, std::span<const StoredMark> marks) {
  std::map<std::pair<std::string, std::string>, std::vector<std::size_t>> atPaths, onFiles;
  for (std::size_t i = 0; i < marks.size(); ++i) {
    atPaths[{marks[i].pathA, marks[i].pathB}].push_back(i);
    if (!marks[i].digestA.empty() && !marks[i].digestB.empty())
      onFiles[ordered(marks[i].digestA, marks[i].digestB)].push_back(i);
  }
  std::vector<bool> used(marks.size(), false);
  std::vector<StoredMark> moved;
  auto give = [&](PairFinding& pair, std::size_t i) {
    const StoredMark& m = marks[i];
    used[i] = true;
    pair.review = PairReview{m.mark, m.note, m.verdict, m.score, m.markedAtUnixMs, m.verdict != pair.verdict, m.id};
  };
  // First the marks made where the pair lies now, then those made on the
  // same files elsewhere.
  for (auto& pair : findings.pairs) {
    pair.review.reset();
    const DrawingFacts& a = findings.drawings[pair.a];
    const DrawingFacts& b = findings.drawings[pair.b];
    const auto it = atPaths.find(ordered(utf8Path(a.path), utf8Path(b.path)));
    if (it == atPaths.end()) continue;
    for (const std::size_t i : it->second)
      if (!used[i] && fits(marks[i], a, b)) {
        give(pair, i);
        break;
      }
  }
  for (auto& pair : findings.pairs) {
    if (pair.review) continue;
    const DrawingFacts& a = findings.drawings[pair.a];
    const DrawingFacts& b = findings.drawings[pair.b];
    if (a.contentDigest.empty() || b.contentDigest.empty()) continue;
    const auto it = onFiles.find(ordered(a.contentDigest, b.contentDigest));
    if (it == onFiles.end()) continue;
    for (const std::size_t i : it->second)
      if (!used[i]) {
        give(pair, i);
        // Kept where the pair lies now, the same files on the same sides.
        StoredMark m = marks[i];
        const bool aFirst = utf8Path(a.path) < utf8Path(b.path);
        const DrawingFacts& first = aFirst ? a : b;
        const DrawingFacts& second = aFirst ? b : a;
        if (m.digestA != first.contentDigest) std::swap(m.digestA, m.digestB);
        m.pathA = utf8Path(first.path);
        m.pathB = utf8Path(second.path);
        m.identityA = first.fingerprintGuid;
        m.identityB = second.fingerprintGuid;
        moved.push_back(std::move(m));
        break;
      }
  }

  // What is at each path now, and which drawings the project holds.
  std::map<std::string, const DrawingFacts*> at;
  for (const auto& d : findings.drawings) at[utf8Path(d.path)] = &d;
  auto replaced = [&](const std::string& path, const std::string& digest, const std::string& identity) {
    const auto it = at.find(path);
    if (it == at.end()) return false;
    const DrawingFacts& d = *it->second;
    if (digest.empty()) return d.fingerprintGuid != identity;
    return d.contentDigest != digest;
  };
  auto present = [&](const std::string& digest, const std::string& path, const std::string& identity) {
    return std::any_of(findings.drawings.begin(), findings.drawings.end(),
                       [&](const DrawingFacts& d) { return sideIs(digest, path, identity, d); });
  };
  for (std::size_t i = 0; i < marks.size(); ++i) {
    if (used[i]) continue;
    const StoredMark& m = marks[i];
    std::string why;
    if (replaced(m.pathA, m.digestA, m.identityA) || replaced(m.pathB, m.digestB, m.identityB))
      why = "a file at one of these paths is another file now; the mark was made on the files as they were then";
    else if (present(m.digestA, m.pathA, m.identityA) && present(m.digestB, m.pathB, m.identityB))
      why = "the pair is no longer judged a copy or a coincidence (it was " + std::string(verdictText(m.verdict)) +
            ", " + std::to_string(m.score) + ")";
    else
      why = "its drawings are not among the project's drawings now";
    std::string note = "The mark \"" + std::string(reviewText(m.mark)) + "\" on " + m.pathA + " and " + m.pathB +
                       " is not shown: " + why + ".";
    if (!m.note.empty()) note += " Its note: " + m.note;
    findings.notes.push_back(std::move(note));
  }
  return moved;
}

std::string reviewSummary(const PairReview& review, bool withNote) {
  std::string out(reviewText(review.mark));
  if (review.changed)
    out += " (marked when " + std::string(verdictText(review.markedVerdict)) + ", " + std::to_string(review.markedScore) + ")";
  if (withNote && !review.note.empty()) out += ": " + review.note;
  return out;
}

}  // namespace veldra::evidence
