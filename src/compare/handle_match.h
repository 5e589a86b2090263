#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace veldra {

// The handle list of a drawing: every "$" ends a token (an empty one too);
// characters after the last "$" belong to no token. Views into `entry`.
std::vector<std::string_view> handleTokens(std::string_view entry);

// The match count by plain list search: the tokens of list 1, counted with
// repetition, that occur at least once in list 2 (exact text, case included).
int listMatchCount(const std::vector<std::string_view>& list1,
                   const std::vector<std::string_view>& list2);

// The same match counts for every pair of a table, computed fast: tokens are
// interned to numbers; tokens found in many drawings are kept as a bit set per
// drawing (one AND and popcount per word and pair), the rare ones in an
// inverted index. Tokens repeated within a drawing are counted as often as
// they occur in the first drawing of a pair. The handle texts must outlive
// the matcher.
class HandleMatcher {
 public:
  explicit HandleMatcher(const std::vector<std::string>& handles);

  int size() const { return static_cast<int>(tokenCounts_.size()); }
  // The number of tokens of drawing i, repetitions included.
  int tokenCount(int i) const { return tokenCounts_[static_cast<std::size_t>(i)]; }
  // counts[j] = match count of the pair (i, j) for every j > i; other
  // entries are left at 0. `counts` is resized to the table size.
  void matchesFrom(int i, std::vector<int>& counts) const;

 private:
  struct Weighted {
    int id;
    int count;
  };
  std::vector<int> tokenCounts_;
  std::size_t words_ = 0;                     // words per drawing's bit set
  std::vector<std::uint64_t> bits_;           // frequent tokens, words_ per drawing
  std::vector<std::vector<Weighted>> rare_;   // per drawing: rare token ids and multiplicity
  std::vector<std::vector<Weighted>> repeats_;  // per drawing: frequent ids occurring more than once (extra count)
  std::vector<std::vector<int>> postings_;    // rare id -> drawings holding it, ascending
  int frequentCount_ = 0;
};

}  // namespace veldra
