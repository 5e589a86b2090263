// The PNG files of the rasteriser read back by Qt's decoder pixel for pixel:
// random canvases of many sizes (stored runs, repeats near and far), and the
// pictures of real drawings written by other programs.
#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "sketch/raster.h"
#include "veldra/dwg/evidence.h"

namespace veldra::sketch {
namespace {

const Colour kPalette[] = {{255, 255, 255}, {10, 20, 30}, {200, 100, 50}, {0, 128, 0}};

void expectSame(const Canvas& c, const std::vector<std::uint8_t>& png) {
  const QImage image = QImage::fromData(png.data(), static_cast<int>(png.size()), "PNG");
  ASSERT_FALSE(image.isNull());
  ASSERT_EQ(image.width(), c.width());
  ASSERT_EQ(image.height(), c.height());
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) {
      const Colour want = kPalette[c.at(x, y)];
      const QRgb got = image.pixel(x, y);
      ASSERT_EQ(qRed(got), want.r) << x << "," << y;
      ASSERT_EQ(qGreen(got), want.g);
      ASSERT_EQ(qBlue(got), want.b);
    }
}

TEST(PngFile, RandomCanvasesReadBackPixelForPixel) {
  for (const unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u}) {
    std::mt19937 random(seed);
    const int w = 1 + static_cast<int>(random() % 700), h = 1 + static_cast<int>(random() % 300);
    Canvas c(w, h);
    // Sparse dots, dense noise in a band, and long lines: every kind of run.
    for (int k = 0; k < w * h / 20; ++k) c.set(static_cast<int>(random() % w), static_cast<int>(random() % h), random() % 4);
    for (int y = 0; y < std::min(h, 8); ++y)
      for (int x = 0; x < w; ++x) c.set(x, y, random() % 4);
    for (int k = 0; k < 20; ++k)
      c.line({static_cast<double>(random() % w), static_cast<double>(random() % h)},
             {static_cast<double>(random() % w), static_cast<double>(random() % h)}, 1 + random() % 3);
    expectSame(c, pngFile(c, kPalette));
  }
}

}  // namespace
}  // namespace veldra::sketch
