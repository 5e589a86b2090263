#pragma once

// The features of a whole class of drawings, indexed: in how many drawings
// each feature is, what it weighs, and which drawings have it. What most of
// the class has (more than half of the drawings, at least three) comes from
// the template or the exercise and weighs nothing, as does what the
// teacher's template drawings hold; the rest weighs more the rarer it is.

#include <cstdint>
#include <span>
#include <vector>

#include "evidence/features/fingerprint.h"

namespace veldra::evidence {

// The weight of a feature found in `df` of `n` drawings, common or not:
// the rarer, the heavier.
double rarityWeight(std::size_t df, std::size_t n);
// Whether a feature in `df` of `n` drawings is what most of the class has.
bool mostOfClass(std::size_t df, std::size_t n);
// Whether a typed place feature in `df` of `n` drawings is one many drew alike.
bool commonPlace(std::size_t df, std::size_t n);

struct Posting {
  std::uint32_t drawing = 0;
  std::uint32_t count = 0;
};

class ClassIndex {
 public:
  // `lists[i]` are drawing i's features (sorted, each key once); `templateKeys`
  // the keys of the teacher's template drawings, sorted.
  ClassIndex(std::span<const std::span<const Feature>> lists, std::span<const std::uint64_t> templateKeys);

  std::size_t drawings() const { return slotsOf_.size(); }
  // The slot of a key, or -1 when no drawing of the class has it.
  std::int64_t find(std::uint64_t key) const;

  std::uint32_t slots() const { return static_cast<std::uint32_t>(keys_.size()); }
  std::uint64_t key(std::uint32_t slot) const { return keys_[slot]; }
  std::uint32_t df(std::uint32_t slot) const { return df_[slot]; }
  float weight(std::uint32_t slot) const { return weight_[slot]; }
  std::span<const Posting> postings(std::uint32_t slot) const {
    return {postings_.data() + offsets_[slot], postings_.data() + offsets_[slot + 1]};
  }
  // Slots of drawing i's features, in the order of its list.
  std::span<const std::uint32_t> slotsOf(std::size_t drawing) const { return slotsOf_[drawing]; }
  // The sum of drawing i's weights, each feature as often as it occurs.
  double totalWeight(std::size_t drawing) const { return total_[drawing]; }

 private:
  std::uint32_t insert(std::uint64_t key);

  std::vector<std::uint32_t> table_;  // slot + 1, or 0 for free
  std::uint64_t mask_ = 0;
  std::vector<std::uint64_t> keys_;   // per slot
  std::vector<std::uint32_t> df_;
  std::vector<float> weight_;
  std::vector<std::uint8_t> template_;
  std::vector<std::uint64_t> offsets_;
  std::vector<Posting> postings_;
  std::vector<std::vector<std::uint32_t>> slotsOf_;
  std::vector<double> total_;
};

}  // namespace veldra::evidence
