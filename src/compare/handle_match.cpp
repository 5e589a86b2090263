#include "compare/handle_match.h"

#include <algorithm>
#include <bit>
#include <numeric>
#include <unordered_map>

namespace veldra {

std::vector<std::string_view> handleTokens(std::string_view entry) {
  std::vector<std::string_view> tokens;
  std::size_t start = 0;
  for (std::size_t i = 0; i < entry.size(); ++i) {
    if (entry[i] == '$') {
      tokens.push_back(entry.substr(start, i - start));
      start = i + 1;
    }
  }
  return tokens;
}

int listMatchCount(const std::vector<std::string_view>& list1,
                   const std::vector<std::string_view>& list2) {
  int count = 0;
  for (const auto& token : list1) {
    for (const auto& other : list2) {
      if (token == other) {
        ++count;
        break;
      }
    }
  }
  return count;
}

namespace {

int andPopcountPortable(const std::uint64_t* a, const std::uint64_t* b, std::size_t words) {
  int total = 0;
  for (std::size_t w = 0; w < words; ++w) total += std::popcount(a[w] & b[w]);
  return total;
}

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
__attribute__((target("popcnt"))) int andPopcountNative(const std::uint64_t* a, const std::uint64_t* b,
                                                        std::size_t words) {
  int total = 0;
  for (std::size_t w = 0; w < words; ++w) total += __builtin_popcountll(a[w] & b[w]);
  return total;
}
using Kernel = int (*)(const std::uint64_t*, const std::uint64_t*, std::size_t);
Kernel chooseKernel() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("popcnt") ? &andPopcountNative : &andPopcountPortable;
}
const Kernel andPopcount = chooseKernel();
#else
inline int andPopcount(const std::uint64_t* a, const std::uint64_t* b, std::size_t words) {
  return andPopcountPortable(a, b, words);
}
#endif

}  // namespace

HandleMatcher::HandleMatcher(const std::vector<std::string>& handles) {
  const std::size_t n = handles.size();
  tokenCounts_.resize(n);
  std::unordered_map<std::string_view, int> ids;
  // Per drawing: distinct token ids with their multiplicity.
  std::vector<std::vector<Weighted>> distinct(n);
  std::vector<int> documentFrequency;
  for (std::size_t i = 0; i < n; ++i) {
    const auto tokens = handleTokens(handles[i]);
    tokenCounts_[i] = static_cast<int>(tokens.size());
    std::vector<int> list;
    list.reserve(tokens.size());
    for (const auto& token : tokens) {
      auto [it, added] = ids.try_emplace(token, static_cast<int>(ids.size()));
      if (added) documentFrequency.push_back(0);
      list.push_back(it->second);
    }
    std::sort(list.begin(), list.end());
    auto& mine = distinct[i];
    for (std::size_t k = 0; k < list.size();) {
      std::size_t end = k;
      while (end < list.size() && list[end] == list[k]) ++end;
      mine.push_back({list[k], static_cast<int>(end - k)});
      ++documentFrequency[static_cast<std::size_t>(list[k])];
      k = end;
    }
  }

  // A token held by d drawings costs about d*d steps through the inverted
  // index, but n*n/128 word steps as a bit; keep it as a bit when that is cheaper.
  const std::size_t idCount = documentFrequency.size();
  std::vector<int> order(idCount);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return documentFrequency[static_cast<std::size_t>(a)] > documentFrequency[static_cast<std::size_t>(b)];
  });
  std::vector<int> rank(idCount);
  for (std::size_t r = 0; r < idCount; ++r) rank[static_cast<std::size_t>(order[r])] = static_cast<int>(r);
  const double nn = static_cast<double>(n) * static_cast<double>(n);
  std::size_t frequent = 0;
  while (frequent < idCount) {
    const double d = documentFrequency[static_cast<std::size_t>(order[frequent])];
    if (d < 2 || d * d * 128.0 < nn) break;
    ++frequent;
  }
  frequentCount_ = static_cast<int>(frequent);
  words_ = (frequent + 63) / 64;
  bits_.assign(words_ * n, 0);
  rare_.resize(n);
  repeats_.resize(n);
  postings_.resize(idCount - frequent);
  for (std::size_t i = 0; i < n; ++i) {
    for (const auto& [id, count] : distinct[i]) {
      const auto r = static_cast<std::size_t>(rank[static_cast<std::size_t>(id)]);
      if (r < frequent) {
        bits_[i * words_ + r / 64] |= std::uint64_t{1} << (r % 64);
        if (count > 1) repeats_[i].push_back({static_cast<int>(r), count - 1});
      } else {
        const int rareId = static_cast<int>(r - frequent);
        rare_[i].push_back({rareId, count});
        postings_[static_cast<std::size_t>(rareId)].push_back(static_cast<int>(i));
      }
    }
  }
}

void HandleMatcher::matchesFrom(int i, std::vector<int>& counts) const {
  const std::size_t n = tokenCounts_.size();
  counts.assign(n, 0);
  const auto ui = static_cast<std::size_t>(i);
  for (const auto& [rareId, count] : rare_[ui]) {
    const auto& drawings = postings_[static_cast<std::size_t>(rareId)];
    for (auto it = std::upper_bound(drawings.begin(), drawings.end(), i); it != drawings.end(); ++it)
      counts[static_cast<std::size_t>(*it)] += count;
  }
  if (words_ == 0) return;
  const std::uint64_t* mine = &bits_[ui * words_];
  const auto& repeats = repeats_[ui];
  for (std::size_t j = ui + 1; j < n; ++j) {
    const std::uint64_t* theirs = &bits_[j * words_];
    int matched = andPopcount(mine, theirs, words_);
    for (const auto& [bit, extra] : repeats)
      if ((theirs[static_cast<std::size_t>(bit) / 64] >> (bit % 64)) & 1) matched += extra;
    counts[j] += matched;
  }
}

}  // namespace veldra
