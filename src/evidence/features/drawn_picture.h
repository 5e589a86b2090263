#pragma once

// The picture drawn from a drawing's entities as the check keeps it: packed
// (each stroke's points in single precision from its first point), and
// unpacked only where it is shown. A class's pictures unpacked at once take
// several times the memory of its files, and a run that shows none (the
// command line, a run again on an unchanged class) need never unpack one.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sketch/sketch.h"

namespace veldra::evidence {

class DrawnPicture {
 public:
  DrawnPicture() = default;
  explicit DrawnPicture(const veldra::sketch::Sketch& sketch);
  // The picture of packed bytes; nothing when they are not one.
  static std::optional<DrawnPicture> fromPacked(std::span<const std::uint8_t> bytes);

  veldra::sketch::Sketch unpack() const;
  // Nothing to draw: no strokes and no labels.
  bool empty() const { return empty_; }
  // The packed bytes, as the store and the findings keep them.
  std::span<const std::uint8_t> packed() const;

 private:
  std::vector<std::uint8_t> packed_;  // empty for the picture of nothing drawn at all
  bool empty_ = true;
};

}  // namespace veldra::evidence
