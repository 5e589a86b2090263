#pragma once

// The class map: every pair's score as a square of colour, the drawings in
// group order along both sides, so that a group shows as a dark block. A
// click on a square of a judged pair chooses that pair; so do the arrow keys,
// which move an outlined square, and Enter or Space on it. Pairs the teacher
// marked are outlined; a legend under the map tells the colours.

#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

#include "evidence/judging/findings.h"

class QPainter;

namespace veldra {

class ClassMap : public QWidget {
  Q_OBJECT

 public:
  explicit ClassMap(QWidget* parent = nullptr);
  void setFindings(std::shared_ptr<const evidence::Findings> findings);

  // The drawings along the sides, as indices into Findings::drawings.
  const std::vector<std::size_t>& order() const { return order_; }
  // The pair (index into Findings::pairs) at the square of row and column.
  std::optional<std::size_t> pairAt(int row, int column) const;
  // The middle of a square, in the widget's coordinates.
  QPoint squareCentre(int row, int column) const;
  // The square the keys move and choose: row, then column.
  std::pair<int, int> current() const { return current_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  void pairChosen(int pair);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  bool event(QEvent* event) override;

 private:
  struct Geometry {
    int left = 0, top = 0, square = 0;
  };
  Geometry geometry() const;
  std::optional<std::pair<int, int>> squareAt(QPoint point) const;
  QString squareText(int row, int column) const;
  void setCurrent(int row, int column);
  int legendHeight() const;
  void paintLegend(QPainter& painter, int top) const;

  std::shared_ptr<const evidence::Findings> findings_;
  std::vector<std::size_t> order_;
  std::vector<int> position_;  // drawing index -> place in order_, -1 when absent
  std::vector<std::vector<int>> pairs_;  // [row][column] -> pair index, -1 for none
  std::pair<int, int> current_{0, 1};
};

}  // namespace veldra
