#pragma once

// Sets of 0..n-1 joined one pair at a time: which drawings form one group
// of copies, which measures are one choice.

#include <cstddef>
#include <numeric>
#include <vector>

namespace veldra::evidence {

struct UnionFind {
  explicit UnionFind(std::size_t n) : parent(n) { std::iota(parent.begin(), parent.end(), std::size_t{0}); }
  std::size_t find(std::size_t x) {
    while (parent[x] != x) x = parent[x] = parent[parent[x]];
    return x;
  }
  void join(std::size_t a, std::size_t b) { parent[find(a)] = find(b); }
  std::vector<std::size_t> parent;
};

}  // namespace veldra::evidence
