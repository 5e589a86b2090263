#include "ui/qt_print_surface.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPrinter>

namespace veldra {

QtPrintSurface::~QtPrintSurface() {
  // A document left open by a caller is thrown away, never half-printed.
  if (painter_.isActive()) abortDocument();
}

QFont QtPrintSurface::resolveFont(const std::string& name, double points, bool bold) {
  const QString family = QString::fromStdString(name);
  QFont font;
  if (family.compare(QLatin1String("ARIAL BLACK"), Qt::CaseInsensitive) == 0 &&
      !QFontDatabase::families().contains(QStringLiteral("Arial Black"), Qt::CaseInsensitive)) {
    font.setFamily(QStringLiteral("Arial"));
    font.setWeight(QFont::Black);
  } else {
    font.setFamily(family);
    font.setBold(bold);
  }
  font.setPointSizeF(points);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  return font;
}

bool QtPrintSurface::healthy() const {
  return painter_.isActive() && printer_.printerState() != QPrinter::Error &&
         printer_.printerState() != QPrinter::Aborted;
}

bool QtPrintSurface::beginDocument() {
  if (!painter_.begin(&printer_)) return false;
  dpiX_ = printer_.logicalDpiX();
  dpiY_ = printer_.logicalDpiY();
  x_ = 0;
  y_ = 0;
  font_ = QFont(resolveFont("ARIAL", 10, false), &printer_);
  painter_.setFont(font_);
  painter_.setPen(Qt::black);
  return healthy();
}

void QtPrintSurface::setFont(const std::string& name, double points, bool bold) {
  font_ = QFont(resolveFont(name, points, bold), &printer_);
  if (painter_.isActive()) painter_.setFont(font_);
}

void QtPrintSurface::moveTo(double x, double y) {
  x_ = x;
  y_ = y;
}

double QtPrintSurface::lineHeight() const {
  return QFontMetricsF(font_, &printer_).lineSpacing() / dpiY_;
}

bool QtPrintSurface::printLine(const std::string& text) {
  if (!healthy()) return false;
  const QFontMetricsF metrics(font_, &printer_);
  // The position is the text's top-left corner; Qt draws from the baseline.
  painter_.drawText(QPointF(x_ * dpiX_, y_ * dpiY_ + metrics.ascent()),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  x_ = 0;
  y_ += metrics.lineSpacing() / dpiY_;
  return healthy();
}

bool QtPrintSurface::drawPicture(const std::string& encoded, double x, double y, double width,
                                 double height) {
  if (!healthy()) return false;
  QImage image;
  if (!image.loadFromData(reinterpret_cast<const uchar*>(encoded.data()),
                          static_cast<int>(encoded.size())))
    return false;
  painter_.drawImage(QRectF(x * dpiX_, y * dpiY_, width * dpiX_, height * dpiY_), image);
  return healthy();
}

bool QtPrintSurface::newPage() { return healthy() && printer_.newPage(); }

bool QtPrintSurface::endDocument() {
  if (!healthy()) return false;
  return painter_.end();
}

void QtPrintSurface::abortDocument() {
  printer_.abort();
  if (painter_.isActive()) painter_.end();
}

}  // namespace veldra
