#pragma once

// Pictures drawn from a drawing's geometry in the window: the picture of
// one drawing, and the overlay of a pair, which draws both drawings in one
// view (the second mapped onto the first), the parts they share in one
// colour and each one's own in another, with zoom, pan and fit.

#include <QImage>
#include <QWidget>

#include <optional>

#include "evidence/features/drawing_evidence.h"
#include "sketch/overlay.h"
#include "sketch/sketch.h"

class QPainter;

namespace veldra {

// The picture the teacher sees for a drawing: its stored preview when Qt
// draws it, else one drawn from its entities; the caption says which.
struct DrawingPicture {
  QImage image;     // null when there is none
  QString caption;  // "stored preview", "drawn from the drawing", or why there is none
};
DrawingPicture drawingPicture(const evidence::DrawingFacts& drawing, QSize size = {960, 720});

// The drawing's picture, small, as an <img> element rich text shows
// (tooltips), with its caption; empty when there is none.
QString pictureHtml(const evidence::DrawingFacts& drawing, int width);

// A sketch drawn into an image of the given size, dark on white.
QImage sketchImage(const sketch::Sketch& sketch, QSize size);

// Paints the strokes and labels of a sketch through `fit`, each part in the
// colour `colourOf` gives it (stroke: true, index).
void paintSketch(QPainter& painter, const sketch::Sketch& sketch, const sketch::Fit& fit,
                 const std::function<QColor(bool stroke, std::size_t index)>& colourOf);

class OverlayView : public QWidget {
  Q_OBJECT

 public:
  explicit OverlayView(QWidget* parent = nullptr);

  // Both drawings, the second mapped onto the first. The shared parts are
  // found by place and shape; setShared() replaces them.
  void setPair(const sketch::Sketch& first, const sketch::Sketch& second, const sketch::Similarity& map);
  void setShared(sketch::SharedParts shared);
  void clear();
  const sketch::SharedParts& shared() const { return shared_; }
  bool empty() const { return first_.empty() && second_.empty(); }

  double zoom() const { return zoom_; }
  QPointF pan() const { return pan_; }
  void fit();
  void zoomBy(double factor, QPointF around);

  // The overlay as the view shows it fitted, with its legend, for export and print.
  QImage image(QSize size) const;

  static const QColor kSharedColour, kFirstColour, kSecondColour;

  QSize sizeHint() const override { return {360, 270}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void paintOn(QPainter& painter, QRectF area, double zoom, QPointF pan) const;

  sketch::Sketch first_, second_;
  sketch::SharedParts shared_;
  double zoom_ = 1;
  QPointF pan_;
  QPointF dragFrom_;
};

}  // namespace veldra
