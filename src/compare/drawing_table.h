#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace veldra {

// The drawing table: one entry per counted drawing, filled from the record
// file in its order; entries without a record keep name "", date 0 and no
// handles. A date of 0 also stands for a drawing whose date could not be read.
struct DrawingTable {
  std::vector<std::string> names;
  std::vector<double> times;
  std::vector<std::string> handles;

  explicit DrawingTable(std::size_t size = 0) : names(size), times(size, 0.0), handles(size) {}
  std::size_t size() const { return names.size(); }
};

}  // namespace veldra
