#include "r2007_codec.h"

namespace veldra::dwg::detail::r2007 {

std::vector<std::uint8_t> deinterleave(std::span<const std::uint8_t> coded,
                                       std::size_t blockCount, std::size_t dataPerBlock) {
  std::vector<std::uint8_t> data;
  if (blockCount == 0 || dataPerBlock > kCodewordSize ||
      coded.size() / kCodewordSize < blockCount) {
    return data;
  }
  data.resize(blockCount * dataPerBlock);
  auto out = data.begin();
  for (std::size_t block = 0; block < blockCount; ++block) {
    for (std::size_t j = 0; j < dataPerBlock; ++j) {
      *out++ = coded[j * blockCount + block];
    }
  }
  return data;
}

}  // namespace veldra::dwg::detail::r2007
