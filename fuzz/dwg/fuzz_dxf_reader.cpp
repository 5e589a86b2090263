// Feeds arbitrary bytes to the drawing reader as DXF: the text form when they
// begin as one, else the binary form's sentinel put in front, so that every
// input reaches the group stream. Checks what the DWG readers promise too:
// every failure says why, asking for more never changes the summary, texts
// are UTF-8 and a preview has its size; and the picture drawn from it, its
// blocks walked, has a finite extent.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "dxf_reader.h"
#include "section_input.h"
#include "sketch/drawing_blocks.h"
#include "veldra/dwg/evidence.h"
#include "veldra/dwg/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace veldra::dwg;
  using veldra::dwg::fuzzing::validUtf8;
  std::vector<std::uint8_t> input(data, data + size);
  if (!detail::looksLikeDxf(input)) {
    static constexpr char kSentinel[] = "AutoCAD Binary DXF\r\n\x1a";
    input.insert(input.begin(), kSentinel, kSentinel + sizeof kSentinel);  // the closing zero included
  }
  const std::span<const std::uint8_t> bytes(input);
  Summary summary;
  const Status status = readSummary(bytes, summary);
  if (!status.ok() && status.message.empty()) __builtin_trap();
  for (const auto& entity : summary.entities)
    if (entity.className.empty()) __builtin_trap();

  Drawing drawing;
  const Status all = readDrawing(bytes, ReadRequest{.evidence = true, .geometry = true, .blocks = true}, drawing);
  if (all.ok() != status.ok() || all.message != status.message) __builtin_trap();
  if (!all.ok()) return 0;
  if (drawing.summary.entities.size() != summary.entities.size()) __builtin_trap();
  for (std::size_t i = 0; i < summary.entities.size(); ++i)
    if (drawing.summary.entities[i].handle != summary.entities[i].handle ||
        drawing.summary.entities[i].className != summary.entities[i].className)
      __builtin_trap();
  if (drawing.geometry.size() != summary.entities.size()) __builtin_trap();
  for (const auto& damage : drawing.summary.damage)
    if (damage.message.empty()) __builtin_trap();
  // Blocks: each entity with its geometry, names and texts as UTF-8.
  for (const auto& block : drawing.blocks) {
    if (block.kinds.size() != block.geometry.size() || !validUtf8(block.name)) __builtin_trap();
    for (const auto& g : block.geometry)
      if (!validUtf8(g.layer) || (g.text && !validUtf8(*g.text))) __builtin_trap();
  }
  for (const auto& g : drawing.geometry)
    if (!validUtf8(g.layer) || (g.text && !validUtf8(*g.text))) __builtin_trap();
  // The picture: blocks walked within bounds, its extent finite, every
  // top-level entity of the space drawn either drawn or not.
  std::vector<std::vector<veldra::sketch::Shape>> blockShapes;
  const auto shapes = veldra::sketch::shapesOf(drawing);
  const auto picture = veldra::sketch::sketchOf(shapes, veldra::sketch::blocksOf(drawing.blocks, blockShapes));
  const auto box = picture.bounds();
  if (!std::isfinite(box.width()) || !std::isfinite(box.height())) __builtin_trap();
  std::size_t inSpace = 0;
  for (const auto& s : shapes) inSpace += s.paperSpace == picture.paperSpace;
  if (picture.drawn + picture.notDrawn != inSpace) __builtin_trap();
  const Evidence& e = drawing.evidence;
  if ((e.fingerprintGuid && !validUtf8(*e.fingerprintGuid)) || (e.versionGuid && !validUtf8(*e.versionGuid)))
    __builtin_trap();
  if (e.summaryInfo && !validUtf8(e.summaryInfo->lastSavedBy)) __builtin_trap();
  const Preview& p = e.preview;
  if (p.format == PreviewFormat::kBmp && (p.width <= 0 || p.height <= 0 || p.bytes.size() < 40)) __builtin_trap();
  if ((p.format == PreviewFormat::kNone) != p.bytes.empty()) __builtin_trap();
  (void)previewFileBytes(p);
  (void)detail::dxfVersionHint(bytes);
  return 0;
}
