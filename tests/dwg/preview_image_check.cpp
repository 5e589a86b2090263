// The preview pictures of the sample drawings, written as files the way
// veldra-dwginfo --preview writes them, open in an independent image decoder
// at the size the reader states.

#include <gtest/gtest.h>

#include <QImage>

#include "support/temp_dir.h"
#include "veldra/dwg/evidence.h"

namespace veldra::dwg {
namespace {

TEST(PreviewImage, EverySampleDecodesAtItsStatedSize) {
  const auto dir = testing::sharedDrawings();
  if (dir.empty()) GTEST_SKIP() << "no sample drawings beside the repository";
  int decoded = 0;
  for (const auto& item : std::filesystem::directory_iterator(dir)) {
    if (item.path().extension() != ".dwg") continue;
    Drawing drawing;
    ASSERT_TRUE(readDrawingFile(item.path(), ReadRequest{.evidence = true}, drawing).ok()) << item.path();
    const Preview& preview = drawing.evidence.preview;
    if (preview.format == PreviewFormat::kNone || preview.format == PreviewFormat::kWmf) continue;
    const std::vector<std::uint8_t> file = previewFileBytes(preview);
    QImage image;
    ASSERT_TRUE(image.loadFromData(file.data(), static_cast<int>(file.size()),
                                   preview.format == PreviewFormat::kPng ? "PNG" : "BMP"))
        << item.path();
    EXPECT_EQ(image.width(), preview.width) << item.path();
    EXPECT_EQ(image.height(), preview.height) << item.path();
    // The thumbnail of a drawing with entities shows them: it is not one colour.
    if (drawing.summary.entities.empty()) {
      ++decoded;
      continue;
    }
    const QRgb corner = image.pixel(0, 0);
    bool varied = false;
    for (int y = 0; y < image.height() && !varied; ++y)
      for (int x = 0; x < image.width() && !varied; ++x) varied = image.pixel(x, y) != corner;
    EXPECT_TRUE(varied) << item.path();
    ++decoded;
  }
  EXPECT_EQ(decoded, 12);
}

}  // namespace
}  // namespace veldra::dwg
