#pragma once

// Pictures drawn from a drawing's geometry in the window: the picture of
// one drawing, and the overlay of a pair, which draws both drawings in one
// view (the second laid onto the first), the parts they share in one
// colour and each one's own in another, with zoom, pan and fit. Both are
// painted at the size they are shown, so that they fill their frame and
// stay sharp at any scaling.

#include <QImage>
#include <QWidget>

#include <functional>
#include <optional>

#include "evidence/features/drawing_evidence.h"
#include "evidence/reports/picture.h"
#include "sketch/overlay.h"
#include "sketch/sketch.h"

class QPainter;

namespace veldra {

// The picture the teacher sees for a drawing: its stored preview when Qt
// draws it, else one drawn from its entities; the caption says which.
struct DrawingPicture {
  QImage preview;         // the stored preview; null when there is none Qt draws
  sketch::Sketch drawn;   // drawn from the entities where there is no preview
  QString caption;        // "stored preview", "drawn from the drawing", or why there is none
  bool empty() const { return preview.isNull() && drawn.empty(); }
};
DrawingPicture drawingPicture(const evidence::DrawingFacts& drawing);

// The drawing's picture, small, as an <img> element rich text shows
// (tooltips), with its caption; empty when there is none.
QString pictureHtml(const evidence::DrawingFacts& drawing, int width);

// A sketch drawn into an image of the given size, dark on white.
QImage sketchImage(const sketch::Sketch& sketch, QSize size);

// Paints the strokes and labels of a sketch through `fit`, each part in the
// colour `colourOf` gives it (stroke: true, index), lines `lineWidth`
// painter units wide; texts as their words.
void paintSketch(QPainter& painter, const sketch::Sketch& sketch, const sketch::Fit& fit,
                 const std::function<QColor(bool stroke, std::size_t index)>& colourOf, double lineWidth = 1.2);

inline QColor qtColour(evidence::Rgb c) { return QColor(c.r, c.g, c.b); }

// The pictures of the printed pages, drawn by Qt: PNG at three times the
// size they are shown, sharp on paper.
class QtPictures : public evidence::Pictures {
 public:
  std::string drawing(const sketch::Sketch& sketch, int width, int height) const override;
  std::string overlay(const evidence::LaidPair& pair, int width, int height) const override;
};

class OverlayView : public QWidget {
  Q_OBJECT

 public:
  explicit OverlayView(QWidget* parent = nullptr);

  void setPair(evidence::LaidPair pair);
  void clear();
  const sketch::SharedParts& shared() const { return pair_.shared; }
  bool empty() const { return pair_.empty(); }

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
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void paintOn(QPainter& painter, QRectF area, double zoom, QPointF pan) const;

  evidence::LaidPair pair_;
  double zoom_ = 1;
  QPointF pan_;
  QPointF dragFrom_;
};

}  // namespace veldra
