#pragma once

// A drawing's stored preview as the pair view shows it.

#include <QImage>
#include <QString>
#include <QWidget>

#include "veldra/dwg/evidence.h"

namespace veldra {

// A drawing's preview, scaled to fit and kept sharp at any scaling; says
// "no picture" when there is none to show.
class PreviewPicture : public QWidget {
  Q_OBJECT

 public:
  explicit PreviewPicture(QWidget* parent = nullptr);
  void setImage(const QImage& image, const QString& missing);
  const QImage& image() const { return image_; }
  const QString& missingText() const { return missing_; }
  QSize sizeHint() const override { return {360, 270}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
  QString missing_;
};

// The picture the reader gives as a QImage (BMP, PNG); a null image for
// none or a form Qt does not draw (WMF).
QImage previewImage(const veldra::dwg::Preview& preview);

}  // namespace veldra
