#pragma once

// A drawing's pictures as pages show them: its stored preview (PNG as
// stored, a BMP given the file header the drawing leaves out), or a picture
// drawn from its entities; and a pair's drawings laid over each other.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "evidence/judging/findings.h"
#include "evidence/reports/colours.h"
#include "sketch/overlay.h"
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

// "drawn from the drawing", with how many entities it leaves out and why.
std::string drawnCaption(const veldra::sketch::Sketch& sketch);

// A pair's drawings in one frame, as the window, the case sheet and the
// report show them: the second laid onto the first by the move, turn,
// mirror and scale the evidence found (as drawn where it found none), and
// the parts of each that the other has at the same place.
struct LaidPair {
  veldra::sketch::Sketch first, second;
  veldra::sketch::SharedParts shared;
  bool empty() const { return first.empty() && second.empty(); }
  veldra::sketch::Box bounds() const;
};
// The evidence lays the first drawing's work onto the second's; the
// pictures lay the second onto the first, by the inverse.
veldra::sketch::Similarity secondOntoFirst(const std::optional<Placement>& placement);
LaidPair laidPair(const Findings& findings, const PairFinding& pair);

// A text's letters are this many times its height (a drawing's text height
// is that of its capitals).
inline constexpr double kTextEm = 1.3;

// The height a picture of a drawing `width` wide takes: the drawing's own
// proportions, neither much flatter nor taller than a sheet.
int pictureHeight(const veldra::sketch::Box& bounds, int width);

// How a page shows pictures drawn from drawings' entities: each as the
// address of a picture ("data:..."), `width` × `height` as shown. The
// writers' own draw SVG, which any browser shows sharp with its words;
// the window gives its own for printing.
class Pictures {
 public:
  virtual ~Pictures() = default;
  // A drawing, dark on white.
  virtual std::string drawing(const veldra::sketch::Sketch& sketch, int width, int height) const = 0;
  // A pair laid over each other: what both have in one colour, what each
  // has alone in its own.
  virtual std::string overlay(const LaidPair& pair, int width, int height) const = 0;
};
const Pictures& svgPictures();

}  // namespace veldra::evidence
