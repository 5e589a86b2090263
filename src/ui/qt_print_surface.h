#pragma once

#include <QFont>
#include <QPainter>

#include "reports/print_job.h"

class QPrinter;

namespace veldra {

// A QPrinter as the print job's surface. Inches are turned into the
// printer's device pixels; the origin is the corner of the printable area
// (the whole page when the printer is set to full-page mode).
class QtPrintSurface : public PrintSurface {
 public:
  explicit QtPrintSurface(QPrinter& printer) : printer_(printer) {}
  ~QtPrintSurface() override;
  QtPrintSurface(const QtPrintSurface&) = delete;
  QtPrintSurface& operator=(const QtPrintSurface&) = delete;

  bool beginDocument() override;
  void setFont(const std::string& name, double points, bool bold) override;
  void moveTo(double x, double y) override;
  double currentY() const override { return y_; }
  double lineHeight() const override;
  bool printLine(const std::string& text) override;
  bool drawPicture(const std::string& encoded, double x, double y, double width,
                   double height) override;
  bool newPage() override;
  bool endDocument() override;
  void abortDocument() override;

  // The font a printed font name stands for. "ARIAL BLACK" has no free twin:
  // where it is not installed, the black weight of Arial stands in for it.
  static QFont resolveFont(const std::string& name, double points, bool bold);

 private:
  bool healthy() const;

  QPrinter& printer_;
  QPainter painter_;
  QFont font_;
  double dpiX_ = 72, dpiY_ = 72;
  double x_ = 0, y_ = 0;
};

}  // namespace veldra
