#pragma once

// A small rasteriser for sketches: strokes drawn one pixel wide into a
// picture of palette colours, written as a PNG file. Its deflate is our
// own (the fixed code with repeats), so that it needs no compression
// library on any system.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "sketch/overlay.h"
#include "sketch/sketch.h"

namespace veldra::sketch {

struct Colour {
  std::uint8_t r = 0, g = 0, b = 0;
};

class Canvas {
 public:
  // Filled with palette colour 0.
  Canvas(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  std::uint8_t at(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)]; }
  // Pixels outside the canvas are left out.
  void set(int x, int y, std::uint8_t colour);
  void line(Point a, Point b, std::uint8_t colour);
  // How many pixels are not colour 0.
  std::size_t ink() const;

  std::span<const std::uint8_t> pixels() const { return pixels_; }

 private:
  int width_;
  int height_;
  std::vector<std::uint8_t> pixels_;
};

// Draws the sketch fitted into the canvas (a margin of `margin` pixels) in
// colour `ink`, texts as the outline of the room their words take in
// colour `textInk`.
void draw(Canvas& canvas, const Sketch& sketch, const Fit& fit, std::uint8_t ink, std::uint8_t textInk);

// The canvas as the bytes of an 8-bit palette PNG file.
std::vector<std::uint8_t> pngFile(const Canvas& canvas, std::span<const Colour> palette);

// A sketch as a PNG of the given size: dark ink on white, texts in grey.
std::vector<std::uint8_t> sketchPng(const Sketch& sketch, int width, int height);

// Two sketches in one picture, already in one frame: the parts they share
// in red, the first's own in blue, the second's own in green.
std::vector<std::uint8_t> overlayPng(const Sketch& first, const Sketch& second, const SharedParts& shared, int width,
                                     int height);

}  // namespace veldra::sketch
