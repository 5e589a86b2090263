// Feeds arbitrary bytes to the drawing reader, and to the page decompressor
// on its own, which the reader only reaches behind a valid container.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "format.h"
#include "veldra/dwg/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  veldra::dwg::Summary summary;
  const veldra::dwg::Status status = veldra::dwg::readSummary(bytes, summary);
  if (!status.ok() && status.message.empty()) __builtin_trap();  // every failure must say what went wrong
  for (const auto& entity : summary.entities)
    if (entity.className.empty()) __builtin_trap();

  static std::vector<std::uint8_t> page(0x7400);
  (void)veldra::dwg::detail::decompressR2004(bytes, page);
  return 0;
}
