#pragma once

// The exchange form of a drawing, as text or binary group codes: told from a
// DWG by its first bytes, read into the same summary, evidence and geometry.

#include <cstddef>
#include <span>
#include <string>

#include "veldra/dwg/evidence.h"
#include "veldra/dwg/reader.h"

namespace veldra::dwg::detail {

// How many bytes at the start of a file tell whether it holds DXF.
inline constexpr std::size_t kDxfLookSize = 4096;

// The longest line (or binary string) a DXF file may hold: real files keep
// their lines to a few hundred bytes, long texts split into chunks.
inline constexpr std::size_t kDxfMaxLine = 64 * 1024;

// True when `start` (the first bytes of a file, at most kDxfLookSize are
// looked at) begins as a DXF file: the binary sentinel, or optional comments
// and then the first "0 / SECTION" pair of the text form.
bool looksLikeDxf(std::span<const std::uint8_t> start);

// The value of $ACADVER when it lies within `start`; empty otherwise.
std::string dxfVersionHint(std::span<const std::uint8_t> start);

// Reads a DXF file whole, as readParts reads a DWG.
Status readDxf(std::span<const std::uint8_t> data, const ReadRequest& request, Drawing& out);

}  // namespace veldra::dwg::detail
