#include "ui/sketch_picture.h"

#include <QBuffer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <cmath>
#include <numbers>

#include "ui/qt_text.h"
#include "evidence/reports/picture.h"
#include "ui/preview_picture.h"

namespace veldra {

namespace {


QPointF qt(sketch::Point p) { return {p.x, p.y}; }

constexpr int kLegendHeight = 22;

}  // namespace

const QColor OverlayView::kSharedColour(0xc0, 0x39, 0x2b);
const QColor OverlayView::kFirstColour(0x1f, 0x4e, 0x9a);
const QColor OverlayView::kSecondColour(0x1e, 0x8a, 0x4c);

void paintSketch(QPainter& painter, const sketch::Sketch& s, const sketch::Fit& fit,
                 const std::function<QColor(bool, std::size_t)>& colourOf) {
  painter.setRenderHint(QPainter::Antialiasing, true);
  for (std::size_t i = 0; i < s.strokes.size(); ++i) {
    const auto& points = s.strokes[i].points;
    QPainterPath path(qt(fit(points.front())));
    for (std::size_t k = 1; k < points.size(); ++k) path.lineTo(qt(fit(points[k])));
    QPen pen(colourOf(true, i));
    pen.setWidthF(1.0);
    pen.setCosmetic(true);
    painter.strokePath(path, pen);
  }
  for (std::size_t i = 0; i < s.labels.size(); ++i) {
    const auto& l = s.labels[i];
    const double height = l.height * fit.scale;
    if (height < 3) {
      // Too small to read: the room the words take.
      const double width = l.height * 0.6 * static_cast<double>(l.text.size()) * fit.scale;
      painter.setPen(QPen(colourOf(false, i), 0));
      painter.save();
      painter.translate(qt(fit(l.at)));
      painter.rotate(-l.angle * 180 / std::numbers::pi);
      painter.drawRect(QRectF(0, -height, width, height));
      painter.restore();
      continue;
    }
    QFont font = painter.font();
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(height))));
    painter.save();
    painter.setFont(font);
    painter.setPen(colourOf(false, i));
    painter.translate(qt(fit(l.at)));
    painter.rotate(-l.angle * 180 / std::numbers::pi);
    painter.drawText(QPointF(0, 0), qtText(l.text));
    painter.restore();
  }
}

QImage sketchImage(const sketch::Sketch& s, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  if (s.empty()) return image;
  QPainter painter(&image);
  const auto fit = sketch::Fit::of(s.bounds(), size.width(), size.height(), 8);
  paintSketch(painter, s, fit, [](bool stroke, std::size_t) {
    return stroke ? QColor(0x20, 0x20, 0x20) : QColor(0x50, 0x50, 0x50);
  });
  return image;
}

DrawingPicture drawingPicture(const evidence::DrawingFacts& d, QSize size) {
  DrawingPicture out;
  out.image = previewImage(d.preview);
  if (!out.image.isNull()) {
    out.caption = QStringLiteral("stored preview");
    return out;
  }
  if (!d.drawnPicture.empty()) {
    const auto drawn = d.drawnPicture.unpack();
    out.image = sketchImage(drawn, size);
    out.caption = qtText(evidence::drawnCaption(drawn));
    return out;
  }
  out.caption = d.preview.format == veldra::dwg::PreviewFormat::kWmf
                    ? QStringLiteral("no picture (a form not shown here) and nothing to draw")
                    : QStringLiteral("no picture: none stored and nothing to draw");
  return out;
}

QString pictureHtml(const evidence::DrawingFacts& drawing, int width) {
  const DrawingPicture picture = drawingPicture(drawing, QSize(width * 2, width * 3 / 2));
  if (picture.image.isNull()) return {};
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  picture.image.scaledToWidth(width, Qt::SmoothTransformation).save(&buffer, "PNG");
  return QStringLiteral("<img src=\"data:image/png;base64,%1\"><br><i>%2</i>")
      .arg(QString::fromLatin1(bytes.toBase64()), picture.caption.toHtmlEscaped());
}

OverlayView::OverlayView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("overlay"));
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setMinimumSize(160, 120);
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
  setFocusPolicy(Qt::StrongFocus);
  setToolTip(QStringLiteral("Wheel: zoom; drag: move; F or Home: fit"));
}

void OverlayView::setPair(const sketch::Sketch& first, const sketch::Sketch& second, const sketch::Similarity& map) {
  first_ = first;
  second_ = sketch::mapped(second, map);
  shared_ = sketch::sharedParts(first_, second_);
  fit();
}

void OverlayView::setShared(sketch::SharedParts shared) {
  shared_ = std::move(shared);
  update();
}

void OverlayView::clear() {
  first_ = {};
  second_ = {};
  shared_ = {};
  fit();
}

void OverlayView::fit() {
  zoom_ = 1;
  pan_ = {};
  update();
}

void OverlayView::zoomBy(double factor, QPointF around) {
  const double next = std::clamp(zoom_ * factor, 0.1, 200.0);
  // The point under the pointer stays where it is.
  const QPointF centre = QRectF(rect()).center();
  pan_ = around - centre - (around - centre - pan_) * (next / zoom_);
  zoom_ = next;
  update();
}

void OverlayView::paintOn(QPainter& painter, QRectF area, double zoom, QPointF pan) const {
  sketch::Box box = first_.bounds();
  const sketch::Box other = second_.bounds();
  if (!other.empty) {
    box.add({other.minX, other.minY});
    box.add({other.maxX, other.maxY});
  }
  const QRectF drawing = area.adjusted(0, 0, 0, -kLegendHeight);
  painter.save();
  painter.setClipRect(drawing);
  sketch::Fit fit = sketch::Fit::of(box, drawing.width(), drawing.height(), 8);
  // Zoomed about the middle of the view, then moved.
  const double cx = drawing.width() / 2, cy = drawing.height() / 2;
  fit.scale *= zoom;
  fit.offsetX = cx + (fit.offsetX - cx) * zoom + pan.x() + drawing.left();
  fit.offsetY = cy + (fit.offsetY - cy) * zoom + pan.y() + drawing.top();
  auto colours = [](const std::vector<bool>& strokes, const std::vector<bool>& labels, QColor own) {
    return [&strokes, &labels, own](bool stroke, std::size_t i) {
      const auto& shared = stroke ? strokes : labels;
      return i < shared.size() && shared[i] ? kSharedColour : own;
    };
  };
  paintSketch(painter, second_, fit, colours(shared_.strokesB, shared_.labelsB, kSecondColour));
  paintSketch(painter, first_, fit, colours(shared_.strokesA, shared_.labelsA, kFirstColour));
  painter.restore();

  // The legend along the bottom.
  const QFontMetrics fm(painter.font());
  double x = area.left() + 4;
  const double y = area.bottom() - kLegendHeight + 4;
  const struct {
    QColor colour;
    QString text;
  } items[] = {{kSharedColour, QStringLiteral("in both (%1)").arg(shared_.shared())},
               {kFirstColour, QStringLiteral("only in 1")},
               {kSecondColour, QStringLiteral("only in 2")}};
  for (const auto& item : items) {
    painter.fillRect(QRectF(x, y + 3, 14, 8), item.colour);
    x += 18;
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QPointF(x, y + fm.ascent()), item.text);
    x += fm.horizontalAdvance(item.text) + 14;
  }
}

void OverlayView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  if (empty()) {
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, QStringLiteral("nothing to draw"));
    return;
  }
  paintOn(painter, QRectF(rect()).adjusted(2, 2, -2, -2), zoom_, pan_);
}

QImage OverlayView::image(QSize size) const {
  QImage out(size, QImage::Format_RGB32);
  out.fill(Qt::white);
  QPainter painter(&out);
  paintOn(painter, QRectF(QPointF(0, 0), QSizeF(size)), 1, {});
  return out;
}

void OverlayView::wheelEvent(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  if (steps != 0) zoomBy(std::pow(1.25, steps), event->position());
  event->accept();
}

void OverlayView::mousePressEvent(QMouseEvent* event) {
  dragFrom_ = event->position();
  setFocus();
}

void OverlayView::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  pan_ += event->position() - dragFrom_;
  dragFrom_ = event->position();
  update();
}

void OverlayView::keyPressEvent(QKeyEvent* event) {
  const QPointF centre = QRectF(rect()).center();
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: zoomBy(1.25, centre); break;
    case Qt::Key_Minus: zoomBy(0.8, centre); break;
    case Qt::Key_F:
    case Qt::Key_Home: fit(); break;
    case Qt::Key_Left: pan_ += QPointF(20, 0); update(); break;
    case Qt::Key_Right: pan_ -= QPointF(20, 0); update(); break;
    case Qt::Key_Up: pan_ += QPointF(0, 20); update(); break;
    case Qt::Key_Down: pan_ -= QPointF(0, 20); update(); break;
    default: QWidget::keyPressEvent(event);
  }
}

}  // namespace veldra
