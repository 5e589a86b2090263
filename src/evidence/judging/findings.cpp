#include "evidence/judging/findings.h"

#include <algorithm>
#include <map>

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

std::vector<std::size_t> Findings::copyingOrder(const CopyGroup& group) const {
  if (group.members.size() < 3 || !group.likelySource) return {};
  // Per member, how many of its pairs name it the source less those naming
  // it the copy: a chain counts down from its first drawing to its last.
  std::map<std::size_t, int> lead;
  for (const std::size_t m : group.members) lead[m] = 0;
  for (const auto& p : pairs) {
    if (p.group != group.number || !p.likelySource) continue;
    const std::size_t source = *p.likelySource;
    ++lead[source];
    --lead[source == p.a ? p.b : p.a];
  }
  std::vector<std::size_t> order = group.members;
  std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) { return lead[x] > lead[y]; });
  for (std::size_t k = 1; k < order.size(); ++k)
    if (lead[order[k]] == lead[order[k - 1]]) return {};
  if (order.front() != *group.likelySource) return {};
  return order;
}

}  // namespace veldra::evidence
