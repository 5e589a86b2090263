#include "ui/preview_picture.h"

#include <QPainter>

#include "evidence/reports/picture.h"

namespace veldra {

QImage previewImage(const veldra::dwg::Preview& preview) {
  using veldra::dwg::PreviewFormat;
  if (preview.bytes.empty()) return {};
  const auto* data = reinterpret_cast<const uchar*>(preview.bytes.data());
  const int size = static_cast<int>(preview.bytes.size());
  if (preview.format == PreviewFormat::kPng) return QImage::fromData(data, size, "PNG");
  if (preview.format == PreviewFormat::kBmp) {
    const auto file = evidence::bmpFile(preview.bytes);
    if (!file) return {};
    return QImage::fromData(reinterpret_cast<const uchar*>(file->data()), static_cast<int>(file->size()), "BMP");
  }
  return {};
}

PreviewPicture::PreviewPicture(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setMinimumSize(160, 120);
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
}

void PreviewPicture::setPicture(const DrawingPicture& picture, const QString& missing) {
  picture_ = picture;
  missing_ = picture.empty() ? missing : QString();
  setAccessibleDescription(picture.empty() ? missing_
                           : drawn()       ? QStringLiteral("picture drawn from the drawing")
                                           : QStringLiteral("preview picture"));
  update();
}

void PreviewPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  if (picture_.empty()) {
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(rect().adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap, missing_);
    return;
  }
  const QRect area = rect().adjusted(4, 4, -4, -4);
  if (drawn()) {
    // Painted at the size shown: the drawing fills the frame, its lines and
    // words as sharp as the screen is.
    const auto fit = sketch::Fit::of(picture_.drawn.bounds(), area.width(), area.height(), 4);
    painter.translate(area.topLeft());
    paintSketch(painter, picture_.drawn, fit, [](bool, std::size_t) { return qtColour(evidence::kInk); });
    return;
  }
  // Drawn into the widget's logical rectangle, the painter uses every device
  // pixel there is, so a scaled screen gets the picture's own detail.
  QSize fitted = picture_.preview.size().scaled(area.size(), Qt::KeepAspectRatio);
  const QRect target(area.x() + (area.width() - fitted.width()) / 2, area.y() + (area.height() - fitted.height()) / 2,
                     fitted.width(), fitted.height());
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter.drawImage(target, picture_.preview);
}

}  // namespace veldra
