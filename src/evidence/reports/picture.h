#pragma once

// A drawing's preview as a picture a browser shows: PNG as stored, a BMP
// given the file header the drawing leaves out.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sketch/sketch.h"
#include "veldra/dwg/evidence.h"

namespace veldra::evidence {

std::string base64(std::span<const std::uint8_t> bytes);

// The bytes of a .bmp file for a device-independent bitmap, or nothing when
// its header is not one a bitmap can have.
std::optional<std::vector<std::uint8_t>> bmpFile(std::span<const std::uint8_t> dib);

// The preview as the bytes of a picture file (PNG or BMP) that image
// libraries read as they are, or nothing when the preview is missing or in
// a form they do not read (WMF).
std::optional<std::vector<std::uint8_t>> previewImage(const veldra::dwg::Preview& preview);

// "data:image/png;base64,..." or nothing when the preview is missing or in
// a form a browser does not show (WMF).
std::optional<std::string> previewDataUri(const veldra::dwg::Preview& preview);

// A picture drawn from a drawing's entities, as a PNG "data:" address;
// nothing when there was nothing to draw.
std::optional<std::string> drawnDataUri(const veldra::sketch::Sketch& sketch);
// "drawn from the drawing", with how many entities have no shape in it.
std::string drawnCaption(const veldra::sketch::Sketch& sketch);

}  // namespace veldra::evidence
