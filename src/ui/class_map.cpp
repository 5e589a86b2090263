#include "ui/class_map.h"

#include <QFocusEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

#include "evidence/store/review.h"
#include "evidence/reports/colours.h"
#include "ui/evidence_pairs_model.h"
#include "ui/sketch_picture.h"

namespace veldra {

namespace {

constexpr int kMaxNameWidth = 220;

// The colours the HTML report's map uses too.
const QColor kSharedWorkColour = qtColour(evidence::kSharedWorkColour);
const QColor kNothingSharedColour = qtColour(evidence::kNothingSharedColour);
const QColor kMarkColour = qtColour(evidence::kMarkColour);
const QColor kDiagonalColour = qtColour(evidence::kDiagonalColour);

QColor scoreColour(const evidence::PairFinding& pair) { return qtColour(evidence::mapColour(pair)); }

// The square the keys are on: a black dashed frame on a white one, around
// the square, unlike the teacher's mark, a blue line within it.
void paintCursor(QPainter& painter, const QRect& square) {
  const QRect around = square.adjusted(-2, -2, 2, 2);
  painter.setPen(QPen(Qt::white, 4));
  painter.drawRect(around);
  QPen dashed(Qt::black, 2, Qt::DashLine);
  painter.setPen(dashed);
  painter.drawRect(around);
}

}  // namespace

ClassMap::ClassMap(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("classMap"));
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
}

void ClassMap::setFindings(std::shared_ptr<const evidence::Findings> findings) {
  findings_ = std::move(findings);
  order_.clear();
  pairs_.clear();
  position_.clear();
  if (findings_) {
    const auto& f = *findings_;
    position_.assign(f.drawings.size(), -1);
    auto add = [&](std::size_t d) {
      if (d < position_.size() && position_[d] < 0) {
        position_[d] = static_cast<int>(order_.size());
        order_.push_back(d);
      }
    };
    for (const auto& g : f.groups) {
      if (g.likelySource) add(*g.likelySource);
      for (const auto m : g.members) add(m);
    }
    for (std::size_t d = 0; d < f.projectDrawings; ++d)
      if (f.drawings[d].readable) add(d);
    for (const auto& p : f.pairs) {  // earlier projects' drawings that matched
      add(p.a);
      add(p.b);
    }
    pairs_.assign(order_.size(), std::vector<int>(order_.size(), -1));
    for (std::size_t k = 0; k < f.pairs.size(); ++k) {
      const int r = position_[f.pairs[k].a], c = position_[f.pairs[k].b];
      pairs_[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = static_cast<int>(k);
      pairs_[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)] = static_cast<int>(k);
    }
  }
  // The keys start at the top left square beside the diagonal: the first
  // group's first pair.
  setCurrent(0, 1);
  updateGeometry();
  update();
}

void ClassMap::setCurrent(int row, int column) {
  const int last = std::max(0, static_cast<int>(order_.size()) - 1);
  current_ = {std::clamp(row, 0, last), std::clamp(column, 0, last)};
  setAccessibleDescription(order_.empty() ? QString() : squareText(current_.first, current_.second));
  update();
}

// The two drawings of a square, and the verdict and score of their pair.
QString ClassMap::squareText(int row, int column) const {
  const auto& f = *findings_;
  QString text = drawingText(f, order_[static_cast<std::size_t>(row)]) + QStringLiteral(" / ") +
                 drawingText(f, order_[static_cast<std::size_t>(column)]);
  if (const auto p = pairAt(row, column)) {
    const auto& pair = f.pairs[*p];
    text += QStringLiteral(": %1, %2").arg(verdictCaption(pair.verdict)).arg(pair.score);
    if (pair.verdict == evidence::Verdict::kCoincidence)
      text += evidence::sharesWork(pair.evidence) ? QStringLiteral(" (shared work explained)") : QStringLiteral(" (nothing shared)");
    if (pair.review)
      text += QStringLiteral("; marked %1").arg(QString::fromStdString(evidence::reviewSummary(*pair.review, true)));
  }
  return text;
}

std::optional<std::size_t> ClassMap::pairAt(int row, int column) const {
  if (row < 0 || column < 0 || row >= static_cast<int>(order_.size()) || column >= static_cast<int>(order_.size()))
    return std::nullopt;
  const int p = pairs_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
  if (p < 0) return std::nullopt;
  return static_cast<std::size_t>(p);
}

ClassMap::Geometry ClassMap::geometry() const {
  Geometry g;
  const QFontMetrics fm(font());
  int nameWidth = 0;
  for (std::size_t k = 0; k < order_.size(); ++k)
    nameWidth = std::max(nameWidth, fm.horizontalAdvance(QStringLiteral("%1  %2").arg(k + 1).arg(
                                        drawingText(*findings_, order_[k]))));
  g.left = std::min(nameWidth, kMaxNameWidth) + 8;
  g.top = fm.height() + 6;
  const int n = std::max<int>(1, static_cast<int>(order_.size()));
  g.square = std::max(4, std::min((width() - g.left - 4) / n, (height() - g.top - 4 - legendHeight()) / n));
  return g;
}

QPoint ClassMap::squareCentre(int row, int column) const {
  const Geometry g = geometry();
  return {g.left + column * g.square + g.square / 2, g.top + row * g.square + g.square / 2};
}

std::optional<std::pair<int, int>> ClassMap::squareAt(QPoint point) const {
  const Geometry g = geometry();
  if (point.x() < g.left || point.y() < g.top) return std::nullopt;
  const int column = (point.x() - g.left) / g.square, row = (point.y() - g.top) / g.square;
  if (row >= static_cast<int>(order_.size()) || column >= static_cast<int>(order_.size())) return std::nullopt;
  return std::make_pair(row, column);
}

QSize ClassMap::sizeHint() const {
  const int n = static_cast<int>(order_.size());
  return {kMaxNameWidth + 24 * std::max(n, 8), 30 + 24 * std::max(n, 8)};
}

QSize ClassMap::minimumSizeHint() const { return {200, 160}; }

void ClassMap::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!findings_ || order_.empty()) {
    painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("No drawings judged yet."));
    return;
  }
  const Geometry g = geometry();
  const auto& f = *findings_;
  const int n = static_cast<int>(order_.size());
  const QFontMetrics fm(font());
  // Numbers along the top, where names would not fit; names down the side.
  const int every = std::max(1, (fm.horizontalAdvance(QStringLiteral("000")) + 2) / g.square + 1);
  for (int k = 0; k < n; ++k) {
    // A row at least a line high, so that low strokes (an underscore) are
    // not cut off where squares are smaller than the letters.
    const int lineHeight = std::max(g.square, fm.height() + 2);
    const QRect row(0, g.top + k * g.square + g.square / 2 - lineHeight / 2, g.left - 6, lineHeight);
    if (g.square >= fm.height() - 4 || k % std::max(1, fm.height() / g.square + 1) == 0)
      painter.drawText(row, Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip,
                       fm.elidedText(QStringLiteral("%1  %2").arg(k + 1).arg(drawingText(f, order_[static_cast<std::size_t>(k)])),
                                     Qt::ElideMiddle, g.left - 6));
    if (k % every == 0)
      painter.drawText(QRect(g.left + k * g.square - 10, 0, g.square + 20, g.top - 2), Qt::AlignHCenter | Qt::AlignBottom,
                       QString::number(k + 1));
  }
  painter.fillRect(QRect(g.left, g.top, n * g.square, n * g.square), QColor(0xf6, 0xf6, 0xf6));
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) {
      const QRect cell(g.left + c * g.square, g.top + r * g.square, g.square, g.square);
      if (r == c) {
        painter.fillRect(cell, kDiagonalColour);
        continue;
      }
      const int p = pairs_[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
      if (p >= 0) painter.fillRect(cell, scoreColour(f.pairs[static_cast<std::size_t>(p)]));
    }
  if (g.square >= 6) {
    painter.setPen(QColor(0xe0, 0xe0, 0xe0));
    for (int k = 0; k <= n; ++k) {
      painter.drawLine(g.left, g.top + k * g.square, g.left + n * g.square, g.top + k * g.square);
      painter.drawLine(g.left + k * g.square, g.top, g.left + k * g.square, g.top + n * g.square);
    }
  }
  // The groups as outlined blocks on the diagonal.
  painter.setPen(QPen(QColor(0x40, 0x40, 0x40), 2));
  for (const auto& group : f.groups) {
    int first = n, last = -1;
    for (const auto m : group.members) {
      first = std::min(first, position_[m]);
      last = std::max(last, position_[m]);
    }
    if (last >= first)
      painter.drawRect(g.left + first * g.square, g.top + first * g.square, (last - first + 1) * g.square,
                       (last - first + 1) * g.square);
  }
  // Pairs the teacher marked, outlined.
  painter.setPen(QPen(kMarkColour, 2));
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) {
      const int p = pairs_[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
      if (p >= 0 && f.pairs[static_cast<std::size_t>(p)].review)
        painter.drawRect(g.left + c * g.square + 1, g.top + r * g.square + 1, g.square - 2, g.square - 2);
    }
  paintLegend(painter, g.top + n * g.square + 8);
  // The square the keys are on, while they go to the map.
  if (hasFocus())
    paintCursor(painter, QRect(g.left + current_.second * g.square, g.top + current_.first * g.square, g.square, g.square));
}

namespace {

enum class Look { kFill, kMark, kCursor, kGroup };
struct LegendItem {
  QColor fill;
  Look look;
  QString text;
};

std::vector<LegendItem> legendItems() {
  evidence::PairFinding copy, likely;
  copy.verdict = evidence::Verdict::kCopy;
  copy.score = 90;
  likely.verdict = evidence::Verdict::kLikelyCopy;
  likely.score = 55;
  return {{scoreColour(copy), Look::kFill, QStringLiteral("copy")},
          {scoreColour(likely), Look::kFill, QStringLiteral("likely copy")},
          {kSharedWorkColour, Look::kFill, QStringLiteral("coincidence, shared work explained")},
          {kNothingSharedColour, Look::kFill, QStringLiteral("coincidence, nothing shared")},
          {QColor(Qt::transparent), Look::kMark, QStringLiteral("marked by the teacher")},
          {kDiagonalColour, Look::kGroup, QStringLiteral("boxed: a group of copies")},
          {QColor(Qt::transparent), Look::kCursor, QStringLiteral("where the keys are")}};
}

// Each item's place in lines no wider than `width`, from (4, 0).
std::vector<QRect> legendPlaces(const std::vector<LegendItem>& items, const QFontMetrics& fm, int width) {
  const int box = fm.height() - 4;
  std::vector<QRect> out;
  int x = 4, y = 0;
  for (const auto& item : items) {
    const int w = box + 6 + fm.horizontalAdvance(item.text) + 16;
    if (x + w > width && x > 4) {
      x = 4;
      y += fm.height() + 4;
    }
    out.emplace_back(x, y, w, fm.height());
    x += w;
  }
  return out;
}

}  // namespace

int ClassMap::legendHeight() const {
  const QFontMetrics fm(font());
  return legendPlaces(legendItems(), fm, width()).back().bottom() + 12;
}

void ClassMap::paintLegend(QPainter& painter, int top) const {
  const QFontMetrics fm(font());
  const int box = fm.height() - 4;
  const auto items = legendItems();
  const auto places = legendPlaces(items, fm, width());
  for (std::size_t k = 0; k < items.size(); ++k) {
    const auto& item = items[k];
    const QRect at = places[k].translated(0, top);
    const QRect swatch(at.x(), at.y() + (fm.height() - box) / 2, box, box);
    painter.fillRect(swatch, item.fill);
    if (item.look == Look::kCursor) {
      paintCursor(painter, swatch.adjusted(2, 2, -2, -2));
    } else {
      painter.setPen(item.look == Look::kMark    ? QPen(kMarkColour, 2)
                     : item.look == Look::kGroup ? QPen(QColor(0x40, 0x40, 0x40), 2)
                                                 : QPen(palette().color(QPalette::Mid), 1));
      painter.drawRect(swatch);
    }
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QRect(at.x() + box + 6, at.y(), at.width(), fm.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, item.text);
  }
}

void ClassMap::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (const auto square = squareAt(event->position().toPoint())) {
    setCurrent(square->first, square->second);
    if (const auto p = pairAt(square->first, square->second)) emit pairChosen(static_cast<int>(*p));
  }
}

void ClassMap::keyPressEvent(QKeyEvent* event) {
  if (order_.empty()) return QWidget::keyPressEvent(event);
  const auto [row, column] = current_;
  const int last = static_cast<int>(order_.size()) - 1;
  switch (event->key()) {
    case Qt::Key_Left: setCurrent(row, column - 1); break;
    case Qt::Key_Right: setCurrent(row, column + 1); break;
    case Qt::Key_Up: setCurrent(row - 1, column); break;
    case Qt::Key_Down: setCurrent(row + 1, column); break;
    case Qt::Key_Home: setCurrent(row, 0); break;
    case Qt::Key_End: setCurrent(row, last); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      if (const auto p = pairAt(row, column)) emit pairChosen(static_cast<int>(*p));
      break;
    default:
      return QWidget::keyPressEvent(event);
  }
  if (current_ != std::make_pair(row, column))
    QToolTip::showText(mapToGlobal(squareCentre(current_.first, current_.second)),
                       squareText(current_.first, current_.second), this);
}

void ClassMap::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void ClassMap::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

bool ClassMap::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip && findings_) {
    auto* help = static_cast<QHelpEvent*>(event);
    const auto square = squareAt(help->pos());
    if (square && square->first != square->second) {
      // The words, and under them both drawings' pictures side by side.
      const auto& f = *findings_;
      const QString a = pictureHtml(f.drawings[order_[static_cast<std::size_t>(square->first)]], 160);
      const QString b = pictureHtml(f.drawings[order_[static_cast<std::size_t>(square->second)]], 160);
      QString tip = squareText(square->first, square->second).toHtmlEscaped();
      if (!a.isEmpty() || !b.isEmpty())
        tip = QStringLiteral("<p>%1</p><table><tr><td>%2</td><td>%3</td></tr></table>").arg(tip, a, b);
      QToolTip::showText(help->globalPos(), tip, this);
    } else {
      QToolTip::hideText();
    }
    return true;
  }
  return QWidget::event(event);
}

}  // namespace veldra
