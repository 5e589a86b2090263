#include "compare/handle_match.h"

#include <algorithm>
#include <bit>
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#include <cpuid.h>
#endif
#include <numeric>
#include <string_view>
#include <utility>

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
// The processor is asked when a check first counts, not as every program
// starts: asking costs each start (much, in a virtual machine).
int andPopcount(const std::uint64_t* a, const std::uint64_t* b, std::size_t words) {
  static const bool native = [] {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (ecx & bit_POPCNT) != 0;
  }();
  return native ? andPopcountNative(a, b, words) : andPopcountPortable(a, b, words);
}
#else
inline int andPopcount(const std::uint64_t* a, const std::uint64_t* b, std::size_t words) {
  return andPopcountPortable(a, b, words);
}
#endif

// Numbers the distinct tokens as they come: an open table of views into
// the handle texts, at most half full.
class TokenIds {
 public:
  // The token's number, and whether it is new.
  std::pair<int, bool> intern(std::string_view token) {
    if ((static_cast<std::size_t>(count_) + 1) * 2 > slots_.size()) grow();
    for (std::size_t at = hash(token) & (slots_.size() - 1);; at = (at + 1) & (slots_.size() - 1)) {
      Slot& slot = slots_[at];
      if (slot.id < 0) {
        slot = {token, count_};
        return {count_++, true};
      }
      if (slot.token == token) return {slot.id, false};
    }
  }

 private:
  struct Slot {
    std::string_view token;
    int id = -1;
  };
  static std::size_t hash(std::string_view token) {
    std::uint64_t h = 14695981039346656037ull;
    for (const char c : token) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return static_cast<std::size_t>(h ^ (h >> 29));
  }
  void grow() {
    std::vector<Slot> old(std::max<std::size_t>(64, slots_.size() * 2));
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.id < 0) continue;
      std::size_t at = hash(slot.token) & (slots_.size() - 1);
      while (slots_[at].id >= 0) at = (at + 1) & (slots_.size() - 1);
      slots_[at] = slot;
    }
  }
  std::vector<Slot> slots_;
  int count_ = 0;
};

}  // namespace

HandleMatcher::HandleMatcher(const std::vector<std::string>& handles) {
  const std::size_t n = handles.size();
  tokenCounts_.resize(n);
  // Each drawing's distinct tokens as interned ids, with their multiplicity.
  TokenIds ids;
  std::vector<Held> distinct;
  std::vector<std::size_t> distinctStart{0};
  std::vector<int> documentFrequency, seenIn, slot;
  for (std::size_t i = 0; i < n; ++i) {
    const auto tokens = handleTokens(handles[i]);
    tokenCounts_[i] = static_cast<int>(tokens.size());
    for (const auto& token : tokens) {
      const auto [number, added] = ids.intern(token);
      const auto id = static_cast<std::size_t>(number);
      if (added) {
        documentFrequency.push_back(0);
        seenIn.push_back(-1);
        slot.push_back(0);
      }
      if (seenIn[id] == static_cast<int>(i)) {
        ++distinct[static_cast<std::size_t>(slot[id])].count;
        continue;
      }
      seenIn[id] = static_cast<int>(i);
      slot[id] = static_cast<int>(distinct.size());
      distinct.push_back({static_cast<int>(id), 1});
      ++documentFrequency[id];
    }
    distinctStart.push_back(distinct.size());
  }

  // Ranks by how many drawings hold a token, the most first. A token held
  // by d drawings costs about d*d steps through the inverted index, but
  // n*n/128 word steps as a bit; keep it as a bit when that is cheaper.
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

  // The postings of every rank, drawings ascending.
  postingStart_.assign(idCount + 1, 0);
  for (std::size_t r = 0; r < idCount; ++r)
    postingStart_[r + 1] = postingStart_[r] + static_cast<std::size_t>(documentFrequency[static_cast<std::size_t>(order[r])]);
  postings_.resize(distinct.size());
  {
    std::vector<std::size_t> next(postingStart_.begin(), postingStart_.end() - 1);
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t k = distinctStart[i]; k < distinctStart[i + 1]; ++k) {
        const auto r = static_cast<std::size_t>(rank[static_cast<std::size_t>(distinct[k].id)]);
        postings_[next[r]++] = {static_cast<int>(i), distinct[k].count};
      }
  }
  // Each drawing's tokens rarest first, taken from the postings from the
  // last rank back: no sorting.
  heldStart_ = std::move(distinctStart);
  held_.resize(distinct.size());
  rareCount_.assign(n, 0);
  {
    std::vector<std::size_t> next(heldStart_.begin(), heldStart_.end() - 1);
    for (std::size_t r = idCount; r-- > 0;)
      for (const auto& [drawing, count] : holdersOf(r)) {
        const auto d = static_cast<std::size_t>(drawing);
        held_[next[d]++] = {static_cast<int>(r), count};
        if (r >= frequent) ++rareCount_[d];
      }
  }
  words_ = (frequent + 63) / 64;
  bits_.assign(words_ * n, 0);
  repeats_.resize(n);
  drawingWords_ = (n + 63) / 64;
  holderBits_.assign(drawingWords_ * frequent, 0);
  for (std::size_t r = 0; r < frequent; ++r)
    for (const auto& [drawing, count] : holdersOf(r)) {
      const auto d = static_cast<std::size_t>(drawing);
      bits_[d * words_ + r / 64] |= std::uint64_t{1} << (r % 64);
      holderBits_[r * drawingWords_ + d / 64] |= std::uint64_t{1} << (d % 64);
      if (count > 1) repeats_[d].push_back({static_cast<int>(r), count - 1});
    }
}

bool HandleMatcher::candidatesFrom(int i, int least, std::vector<int>& candidates) const {
  if (least <= 0) return false;
  const auto ui = static_cast<std::size_t>(i);
  const std::size_t later = tokenCounts_.size() - ui - 1;
  // Tokens taken rarest first, until those left weigh less than `least`:
  // a drawing holding none of the tokens taken matches fewer. Past as many
  // holders as there are later drawings, counting every pair costs less.
  int left = tokenCounts_[ui];
  std::size_t found = 0;
  candidates.clear();
  if (least == left) {
    // Every token wanted: a drawing holding the rarest and every frequent one.
    const std::uint64_t* mine = bits_.data() + ui * words_;
    const auto holdsMine = [&](int j) {
      const std::uint64_t* theirs = bits_.data() + static_cast<std::size_t>(j) * words_;
      for (std::size_t w = 0; w < words_; ++w)
        if (mine[w] & ~theirs[w]) return false;
      return true;
    };
    if (const auto rare = rareOf(ui); !rare.empty()) {
      const auto holders = holdersOf(static_cast<std::size_t>(rare.front().id));
      for (auto it = std::upper_bound(holders.begin(), holders.end(), i,
                                      [](int drawing, const Held& holder) { return drawing < holder.id; });
           it != holders.end(); ++it)
        if (holdsMine(it->id)) candidates.push_back(it->id);
      return true;
    }
    std::vector<std::uint64_t> all(drawingWords_, ~std::uint64_t{0});
    for (const auto& [rank, count] : tokensOf(ui)) {
      const std::uint64_t* holding = holderBits_.data() + static_cast<std::size_t>(rank) * drawingWords_;
      for (std::size_t w = ui / 64; w < drawingWords_; ++w) all[w] &= holding[w];
    }
    for (std::size_t w = ui / 64; w < drawingWords_; ++w)
      for (std::uint64_t bits = all[w]; bits != 0; bits &= bits - 1) {
        const std::size_t j = w * 64 + static_cast<std::size_t>(std::countr_zero(bits));
        if (j > ui) candidates.push_back(static_cast<int>(j));
      }
    return true;
  }
  for (const auto& [rank, count] : tokensOf(ui)) {
    if (left < least) break;
    left -= count;
    const auto holders = holdersOf(static_cast<std::size_t>(rank));
    const auto from = std::upper_bound(holders.begin(), holders.end(), i,
                                       [](int drawing, const Held& holder) { return drawing < holder.id; });
    found += static_cast<std::size_t>(holders.end() - from);
    if (found > later) return false;
    for (auto it = from; it != holders.end(); ++it) candidates.push_back(it->id);
  }
  std::sort(candidates.begin(), candidates.end());
  candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
  return true;
}

int HandleMatcher::matchCount(int i, int j) const {
  const auto ui = static_cast<std::size_t>(i), uj = static_cast<std::size_t>(j);
  int matched = 0;
  if (words_ > 0) {
    const std::uint64_t* theirs = bits_.data() + uj * words_;
    matched = andPopcount(bits_.data() + ui * words_, theirs, words_);
    for (const auto& [bit, extra] : repeats_[ui])
      if ((theirs[static_cast<std::size_t>(bit) / 64] >> (bit % 64)) & 1) matched += extra;
  }
  // Both rare lists run rarest first.
  const auto mine = rareOf(ui), other = rareOf(uj);
  for (std::size_t a = 0, b = 0; a < mine.size() && b < other.size();) {
    if (mine[a].id == other[b].id) {
      matched += mine[a].count;
      ++a;
      ++b;
    } else if (mine[a].id > other[b].id) {
      ++a;
    } else {
      ++b;
    }
  }
  return matched;
}

void HandleMatcher::matchesFrom(int i, std::vector<int>& counts) const {
  const std::size_t n = tokenCounts_.size();
  counts.assign(n, 0);
  const auto ui = static_cast<std::size_t>(i);
  for (const auto& [rank, count] : rareOf(ui)) {
    const auto holders = holdersOf(static_cast<std::size_t>(rank));
    const auto from = std::upper_bound(holders.begin(), holders.end(), i,
                                       [](int drawing, const Held& holder) { return drawing < holder.id; });
    for (auto it = from; it != holders.end(); ++it) counts[static_cast<std::size_t>(it->id)] += count;
  }
  if (words_ == 0) return;
  const std::uint64_t* mine = bits_.data() + ui * words_;
  const auto& repeats = repeats_[ui];
  for (std::size_t j = ui + 1; j < n; ++j) {
    const std::uint64_t* theirs = bits_.data() + j * words_;
    int matched = andPopcount(mine, theirs, words_);
    for (const auto& [bit, extra] : repeats)
      if ((theirs[static_cast<std::size_t>(bit) / 64] >> (bit % 64)) & 1) matched += extra;
    counts[j] += matched;
  }
}

}  // namespace veldra
