#include "evidence/judging/class_index.h"

#include "evidence/features/rules.h"

#include <algorithm>
#include <cmath>

namespace veldra::evidence {

double rarityWeight(std::size_t df, std::size_t n) {
  if (df == 0) df = 1;
  // The square of the usual inverse document frequency: what half the
  // class shares (one way of reading the sheet, one order of work) must
  // weigh far less than what two or three drawings share.
  const double idf = std::log((static_cast<double>(n) + 1.0) / static_cast<double>(df));
  return idf * idf;
}

bool mostOfClass(std::size_t df, std::size_t n) { return df >= rules::kMostOfClassAtLeast && 2 * df > n; }

bool commonPlace(std::size_t df, std::size_t n) {
  return df > 2 && static_cast<double>(df) > rules::kPlaceCommonShare * static_cast<double>(n);
}

ClassIndex::ClassIndex(std::span<const std::span<const Feature>> lists, std::span<const std::uint64_t> templateKeys) {
  std::size_t total = 0;
  for (const auto& list : lists) total += list.size();
  std::size_t capacity = 16;
  while (capacity < 2 * total) capacity *= 2;
  table_.assign(capacity, 0);
  mask_ = capacity - 1;
  keys_.reserve(total / 2 + 16);
  df_.reserve(total / 2 + 16);

  const std::size_t n = lists.size();
  slotsOf_.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    auto& slots = slotsOf_[i];
    slots.reserve(lists[i].size());
    for (const Feature& f : lists[i]) {
      const std::uint32_t slot = insert(f.key);
      ++df_[slot];
      slots.push_back(slot);
    }
  }

  const std::size_t slots = keys_.size();
  weight_.resize(slots);
  template_.assign(slots, 0);
  for (const std::uint64_t key : templateKeys) {
    const std::int64_t slot = find(key);
    if (slot >= 0) template_[static_cast<std::size_t>(slot)] = 1;
  }
  for (std::size_t s = 0; s < slots; ++s) {
    const bool nothing = template_[s] || mostOfClass(df_[s], n) ||
                         (featureKind(keys_[s]) == FeatureKind::kPlace && isTyped(keys_[s]) && commonPlace(df_[s], n));
    weight_[s] = nothing ? 0.0f : static_cast<float>(rarityWeight(df_[s], n));
  }

  offsets_.assign(slots + 1, 0);
  for (std::size_t s = 0; s < slots; ++s) offsets_[s + 1] = offsets_[s] + df_[s];
  postings_.resize(offsets_[slots]);
  std::vector<std::uint64_t> fill(offsets_.begin(), offsets_.end() - 1);
  total_.assign(n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    const auto& slotsI = slotsOf_[i];
    for (std::size_t k = 0; k < slotsI.size(); ++k) {
      const std::uint32_t slot = slotsI[k];
      postings_[fill[slot]++] = Posting{static_cast<std::uint32_t>(i), lists[i][k].count};
      total_[i] += static_cast<double>(weight_[slot]) * lists[i][k].count;
    }
  }
}

std::uint32_t ClassIndex::insert(std::uint64_t key) {
  std::uint64_t at = mixKey(key) & mask_;
  for (;;) {
    const std::uint32_t entry = table_[at];
    if (entry == 0) {
      const auto slot = static_cast<std::uint32_t>(keys_.size());
      keys_.push_back(key);
      df_.push_back(0);
      table_[at] = slot + 1;
      return slot;
    }
    if (keys_[entry - 1] == key) return entry - 1;
    at = (at + 1) & mask_;
  }
}

std::int64_t ClassIndex::find(std::uint64_t key) const {
  std::uint64_t at = mixKey(key) & mask_;
  for (;;) {
    const std::uint32_t entry = table_[at];
    if (entry == 0) return -1;
    if (keys_[entry - 1] == key) return entry - 1;
    at = (at + 1) & mask_;
  }
}

}  // namespace veldra::evidence
