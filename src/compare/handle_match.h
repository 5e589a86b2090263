#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
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
//
// Where a pair counts only from some number of matches on, the index finds
// the drawings that can reach it without counting every pair: a drawing
// matching at least `least` of drawing i's tokens holds one of i's rarest
// tokens, those that leave fewer than `least` behind them; one matching all
// of them holds i's rarest token and every frequent one, found through a
// bit set per frequent token of the drawings holding it.
class HandleMatcher {
 public:
  explicit HandleMatcher(const std::vector<std::string>& handles);

  int size() const { return static_cast<int>(tokenCounts_.size()); }
  // The number of tokens of drawing i, repetitions included.
  int tokenCount(int i) const { return tokenCounts_[static_cast<std::size_t>(i)]; }
  // counts[j] = match count of the pair (i, j) for every j > i; other
  // entries are left at 0. `counts` is resized to the table size.
  void matchesFrom(int i, std::vector<int>& counts) const;
  // The drawings j > i that may match at least `least` (> 0) of drawing i's
  // tokens, ascending, found through the index. False when that would take
  // about as long as counting the pair of i with every later drawing
  // (matchesFrom), or for a `least` of 0.
  bool candidatesFrom(int i, int least, std::vector<int>& candidates) const;
  // The match count of the pair (i, j), as matchesFrom counts it.
  int matchCount(int i, int j) const;

 private:
  // A token held by a drawing: its rank (the rarer, the later) and how often
  // the drawing holds it; or, in a token's postings, the drawing.
  struct Held {
    int id;
    int count;
  };
  // The tokens of drawing i, rarest first, the rare ones before the frequent.
  std::span<const Held> tokensOf(std::size_t i) const {
    return {held_.data() + heldStart_[i], held_.data() + heldStart_[i + 1]};
  }
  std::span<const Held> rareOf(std::size_t i) const {
    return {held_.data() + heldStart_[i], held_.data() + heldStart_[i] + rareCount_[i]};
  }
  // The drawings holding the token of a rank, ascending.
  std::span<const Held> holdersOf(std::size_t rank) const {
    return {postings_.data() + postingStart_[rank], postings_.data() + postingStart_[rank + 1]};
  }

  std::vector<int> tokenCounts_;
  std::vector<Held> held_;                  // per drawing, from heldStart_
  std::vector<std::size_t> heldStart_;
  std::vector<int> rareCount_;              // per drawing: how many of its tokens are rare
  std::vector<Held> postings_;              // per rank, from postingStart_: drawing and count
  std::vector<std::size_t> postingStart_;
  std::size_t words_ = 0;                   // words per drawing's bit set
  std::vector<std::uint64_t> bits_;         // frequent tokens, words_ per drawing
  std::vector<std::vector<Held>> repeats_;  // per drawing: frequent ranks held more than once (extra count)
  std::size_t drawingWords_ = 0;            // words per frequent token's set of drawings
  std::vector<std::uint64_t> holderBits_;   // per frequent rank: the drawings holding it
  int frequentCount_ = 0;
};

}  // namespace veldra
