// Feeds arbitrary bytes to the drawing reader, for the summary alone and for
// the summary with the evidence and the geometry, and to the page
// decompressor, the preview block and summary information readers on their
// own, which the reader only reaches behind a valid container.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "format.h"
#include "section_input.h"
#include "text_codec.h"
#include "veldra/dwg/evidence.h"
#include "veldra/dwg/reader.h"

namespace {

using veldra::dwg::fuzzing::validUtf8;

void checkPreview(const veldra::dwg::Preview& preview) {
  using veldra::dwg::PreviewFormat;
  const bool raster = preview.format == PreviewFormat::kBmp || preview.format == PreviewFormat::kPng;
  if (raster && (preview.width <= 0 || preview.height <= 0)) __builtin_trap();
  if (preview.format != PreviewFormat::kNone && preview.bytes.empty()) __builtin_trap();
  if (preview.format == PreviewFormat::kNone && !preview.bytes.empty()) __builtin_trap();
  (void)veldra::dwg::previewFileBytes(preview);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace veldra::dwg;
  const std::span<const std::uint8_t> bytes(data, size);
  Summary summary;
  const Status status = readSummary(bytes, summary);
  if (!status.ok() && status.message.empty()) __builtin_trap();  // every failure must say what went wrong
  for (const auto& entity : summary.entities)
    if (entity.className.empty()) __builtin_trap();

  // Asking for more never changes the summary, and never fails where the
  // summary alone succeeds.
  Drawing drawing;
  const Status all = readDrawing(bytes, ReadRequest{.evidence = true, .geometry = true, .blocks = true}, drawing);
  if (all.ok() != status.ok() || all.message != status.message) __builtin_trap();
  if (all.ok()) {
    if (drawing.summary.entities.size() != summary.entities.size()) __builtin_trap();
    if (drawing.geometry.size() != summary.entities.size()) __builtin_trap();
    for (const auto& damage : drawing.summary.damage)
      if (damage.message.empty()) __builtin_trap();
    // Blocks: each entity with its geometry, names and texts as UTF-8.
    for (const auto& block : drawing.blocks) {
      if (block.kinds.size() != block.geometry.size() || !validUtf8(block.name)) __builtin_trap();
      for (const auto& g : block.geometry)
        if (!validUtf8(g.layer) || (g.text && !validUtf8(*g.text))) __builtin_trap();
    }
    for (const auto& g : drawing.geometry) {
      if (!validUtf8(g.layer) || (g.text && !validUtf8(*g.text))) __builtin_trap();
    }
    const Evidence& e = drawing.evidence;
    if ((e.fingerprintGuid && !validUtf8(*e.fingerprintGuid)) || (e.versionGuid && !validUtf8(*e.versionGuid)))
      __builtin_trap();
    if (e.summaryInfo && !validUtf8(e.summaryInfo->title + e.summaryInfo->comments + e.summaryInfo->lastSavedBy))
      __builtin_trap();
    checkPreview(e.preview);
  }

  static std::vector<std::uint8_t> page(0x7400);
  (void)detail::decompressR2004(bytes, page);

  Preview preview;
  if (detail::readPreview(bytes, 0, std::nullopt, preview).ok()) checkPreview(preview);
  (void)detail::readPreview(bytes, 0, 0, preview);
  for (const auto release : {detail::Release::kR2004, detail::Release::kR2018}) {
    SummaryInfo info;
    if (detail::readSummaryInfo(bytes, release, size > 0 ? data[0] : 0, info).ok() &&
        !validUtf8(info.title + info.hyperlinkBase))
      __builtin_trap();
  }
  if (!validUtf8(detail::codePageToUtf8(bytes, size > 0 ? data[0] % 48 : 0))) __builtin_trap();
  return 0;
}
