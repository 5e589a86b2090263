#pragma once

// A drawing's picture as the pair view shows it.

#include <QImage>
#include <QString>
#include <QWidget>

#include "ui/sketch_picture.h"
#include "veldra/dwg/evidence.h"

namespace veldra {

// A drawing's picture: the stored preview scaled to fit and kept sharp at
// any scaling, or the picture drawn from its entities painted at the size
// shown; says why there is none when there is none.
class PreviewPicture : public QWidget {
  Q_OBJECT

 public:
  explicit PreviewPicture(QWidget* parent = nullptr);
  void setPicture(const DrawingPicture& picture, const QString& missing);
  // The stored preview shown; null when the picture is drawn or missing.
  const QImage& image() const { return picture_.preview; }
  bool drawn() const { return picture_.preview.isNull() && !picture_.drawn.empty(); }
  const QString& missingText() const { return missing_; }
  QSize sizeHint() const override { return {360, 270}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  DrawingPicture picture_;
  QString missing_;
};

// The picture the reader gives as a QImage (BMP, PNG); a null image for
// none or a form Qt does not draw (WMF).
QImage previewImage(const veldra::dwg::Preview& preview);

}  // namespace veldra
