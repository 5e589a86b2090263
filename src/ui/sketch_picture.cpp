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
#include "ui/preview_picture.h"

namespace veldra {

namespace {

QPointF qt(sketch::Point p) { return {p.x, p.y}; }

// Room around the drawing in a picture, in pixels as shown.
constexpr int kPictureMargin = 6;

// The legend's items, each a colour and its words.
struct LegendItem {
  QColor colour;
  QString text;
};

// The legend laid out in lines no wider than `width`: the rectangle of
// each item's swatch and words.
std::vector<QRectF> legendPlaces(const std::vector<LegendItem>& items, const QFontMetrics& fm, double width) {
  std::vector<QRectF> out;
  double x = 0, y = 0;
  for (const auto& item : items) {
    const double w = 18 + fm.horizontalAdvance(item.text);
    if (x > 0 && x + w > width) {
      x = 0;
      y += fm.height() + 2;
    }
    out.emplace_back(x, y, w, fm.height());
    x += w + 14;
  }
  return out;
}

std::string pngDataUri(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return "data:image/png;base64," + bytes.toBase64().toStdString();
}

// An image `scale` times the size shown, for paper.
QImage paperImage(int width, int height, int scale) {
  QImage image(QSize(width, height) * scale, QImage::Format_RGB32);
  image.fill(Qt::white);
  return image;
}

constexpr int kPaperScale = 3;

}  // namespace

const QColor OverlayView::kSharedColour = qtColour(evidence::kBothColour);
const QColor OverlayView::kFirstColour = qtColour(evidence::kFirstColour);
const QColor OverlayView::kSecondColour = qtColour(evidence::kSecondColour);

void paintSketch(QPainter& painter, const sketch::Sketch& s, const sketch::Fit& fit,
                 const std::function<QColor(bool, std::size_t)>& colourOf, double lineWidth) {
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  for (std::size_t i = 0; i < s.strokes.size(); ++i) {
    const auto& points = s.strokes[i].points;
    if (points.empty()) continue;
    QPainterPath path(qt(fit(points.front())));
    for (std::size_t k = 1; k < points.size(); ++k) path.lineTo(qt(fit(points[k])));
    QPen pen(colourOf(true, i));
    pen.setWidthF(lineWidth);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.strokePath(path, pen);
  }
  for (std::size_t i = 0; i < s.labels.size(); ++i) {
    const auto& l = s.labels[i];
    const double size = l.height * evidence::kTextEm * fit.scale;
    painter.save();
    painter.translate(qt(fit(l.at)));
    painter.rotate(-l.angle * 180 / std::numbers::pi);
    if (size < 2) {
      // Too small for letters at all: a stroke where the words stand.
      const double width = l.height * 0.6 * static_cast<double>(l.text.size()) * fit.scale;
      painter.setPen(QPen(colourOf(false, i), std::max(0.5, size / 2)));
      painter.drawLine(QPointF(0, -size / 3), QPointF(width, -size / 3));
    } else {
      QFont font = painter.font();
      font.setPixelSize(std::max(1, static_cast<int>(std::lround(size))));
      painter.setFont(font);
      painter.setPen(colourOf(false, i));
      painter.drawText(QPointF(0, 0), qtText(l.text));
    }
    painter.restore();
  }
}

QImage sketchImage(const sketch::Sketch& s, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  if (s.empty()) return image;
  QPainter painter(&image);
  const auto fit = sketch::Fit::of(s.bounds(), size.width(), size.height(), kPictureMargin);
  paintSketch(painter, s, fit, [](bool, std::size_t) { return qtColour(evidence::kInk); });
  return image;
}

DrawingPicture drawingPicture(const evidence::DrawingFacts& d) {
  DrawingPicture out;
  out.preview = previewImage(d.preview);
  if (!out.preview.isNull()) {
    out.caption = QStringLiteral("stored preview");
    return out;
  }
  if (!d.drawnPicture.empty()) {
    out.drawn = d.drawnPicture.unpack();
    out.caption = qtText(evidence::drawnCaption(out.drawn));
    return out;
  }
  out.caption = d.preview.format == veldra::dwg::PreviewFormat::kWmf
                    ? QStringLiteral("no picture (a form not shown here) and nothing to draw")
                    : QStringLiteral("no picture: none stored and nothing to draw");
  return out;
}

QString pictureHtml(const evidence::DrawingFacts& drawing, int width) {
  const DrawingPicture picture = drawingPicture(drawing);
  if (picture.empty()) return {};
  const QImage image = picture.preview.isNull()
                           ? sketchImage(picture.drawn, QSize(width, evidence::pictureHeight(picture.drawn.bounds(), width)))
                           : picture.preview.scaledToWidth(width, Qt::SmoothTransformation);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return QStringLiteral("<img src=\"data:image/png;base64,%1\"><br><i>%2</i>")
      .arg(QString::fromLatin1(bytes.toBase64()), picture.caption.toHtmlEscaped());
}

std::string QtPictures::drawing(const sketch::Sketch& sketch, int width, int height) const {
  QImage image = paperImage(width, height, kPaperScale);
  QPainter painter(&image);
  painter.scale(kPaperScale, kPaperScale);
  paintSketch(painter, sketch, sketch::Fit::of(sketch.bounds(), width, height, kPictureMargin),
              [](bool, std::size_t) { return qtColour(evidence::kInk); }, 0.8);
  painter.end();
  return pngDataUri(image);
}

std::string QtPictures::overlay(const evidence::LaidPair& pair, int width, int height) const {
  QImage image = paperImage(width, height, kPaperScale);
  QPainter painter(&image);
  painter.scale(kPaperScale, kPaperScale);
  const auto fit = sketch::Fit::of(pair.bounds(), width, height, kPictureMargin);
  auto colours = [](const std::vector<bool>& strokes, const std::vector<bool>& labels, QColor own) {
    return [&strokes, &labels, own](bool stroke, std::size_t i) {
      const auto& shared = stroke ? strokes : labels;
      return i < shared.size() && shared[i] ? OverlayView::kSharedColour : own;
    };
  };
  paintSketch(painter, pair.second, fit, colours(pair.shared.strokesB, pair.shared.labelsB, OverlayView::kSecondColour), 0.8);
  paintSketch(painter, pair.first, fit, colours(pair.shared.strokesA, pair.shared.labelsA, OverlayView::kFirstColour), 0.8);
  painter.end();
  return pngDataUri(image);
}

OverlayView::OverlayView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("overlay"));
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setMinimumSize(120, 90);
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
  setFocusPolicy(Qt::StrongFocus);
  setToolTip(QStringLiteral("Wheel or + and -: zoom; drag or the arrow keys: move; F or Home: fit"));
}

void OverlayView::setPair(evidence::LaidPair pair) {
  pair_ = std::move(pair);
  fit();
}

void OverlayView::clear() {
  pair_ = {};
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
  // The legend along the bottom, in as many lines as the width needs.
  const QFontMetrics fm(painter.font());
  const std::size_t both = pair_.shared.shared();
  const std::vector<LegendItem> items = {
      {kSharedColour, both == 1 ? QStringLiteral("in both (1 part)") : QStringLiteral("in both (%1 parts)").arg(both)},
      {kFirstColour, QStringLiteral("only in 1")},
      {kSecondColour, QStringLiteral("only in 2")}};
  const auto places = legendPlaces(items, fm, area.width() - 8);
  const double legendHeight = places.back().bottom() + 6;

  const QRectF drawing = area.adjusted(0, 0, 0, -legendHeight);
  painter.save();
  painter.setClipRect(drawing);
  sketch::Fit fit = sketch::Fit::of(pair_.bounds(), drawing.width(), drawing.height(), kPictureMargin);
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
  paintSketch(painter, pair_.second, fit, colours(pair_.shared.strokesB, pair_.shared.labelsB, kSecondColour));
  paintSketch(painter, pair_.first, fit, colours(pair_.shared.strokesA, pair_.shared.labelsA, kFirstColour));
  painter.restore();

  const QPointF origin(area.left() + 4, area.bottom() - legendHeight + 3);
  for (std::size_t k = 0; k < items.size(); ++k) {
    const QRectF at = places[k].translated(origin);
    painter.fillRect(QRectF(at.left(), at.top() + (fm.height() - 8) / 2.0, 14, 8), items[k].colour);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QPointF(at.left() + 18, at.top() + fm.ascent()), items[k].text);
  }
}

void OverlayView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.setPen(palette().color(hasFocus() ? QPalette::Highlight : QPalette::Mid));
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
  painter.setPen(Qt::black);
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

// The frame shows where the keys go.
void OverlayView::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void OverlayView::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

}  // namespace veldra
