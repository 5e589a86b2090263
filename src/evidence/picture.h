#pragma once

// A drawing's preview as a picture a browser shows: PNG as stored, a BMP
// given the file header the drawing leaves out.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "veldra/dwg/evidence.h"

namespace veldra::evidence {

std::string base64(std::span<const std::uint8_t> bytes);

// The bytes of a .bmp file for a device-independent bitmap, or nothing when
// its header is not one a bitmap can have.
std::optional<std::vector<std::uint8_t>> bmpFile(std::span<const std::uint8_t> dib);

// "data:image/png;base64,..." or nothing when the preview is missing or in
// a form a browser does not show (WMF).
std::optional<std::string> previewDataUri(const veldra::dwg::Preview& preview);

}  // namespace veldra::evidence
