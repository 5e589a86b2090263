#include "evidence/findings.h"

namespace veldra::evidence {

std::string_view verdictText(Verdict verdict) {
  switch (verdict) {
    case Verdict::kNone: return "none";
    case Verdict::kCoincidence: return "coincidence";
    case Verdict::kLikelyCopy: return "likely copy";
    case Verdict::kCopy: return "copy";
  }
  return "none";
}

VerdictCounts Findings::counts() const {
  VerdictCounts c;
  for (const auto& p : pairs) {
    if (p.verdict == Verdict::kCopy) ++c.copy;
    else if (p.verdict == Verdict::kLikelyCopy) ++c.likelyCopy;
    else if (p.verdict == Verdict::kCoincidence) ++c.coincidence;
  }
  return c;
}

std::vector<std::size_t> Findings::problemDrawings() const {
  std::vector<std::size_t> out;
  for (std::size_t i = 0; i < projectDrawings && i < drawings.size(); ++i)
    if (drawings[i].problem) out.push_back(i);
  return out;
}

}  // namespace veldra::evidence
