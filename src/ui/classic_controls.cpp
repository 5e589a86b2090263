#include "ui/classic_controls.h"

#include <QCheckBox>
#include <QPalette>

#include "app/settings.h"

namespace veldra {

QFont arial(double points, bool bold) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

void setTextColour(QWidget* w, QRgb rgb) {
  QPalette palette = w->palette();
  palette.setColor(QPalette::WindowText, QColor(rgb));
  palette.setColor(QPalette::Text, QColor(rgb));
  w->setPalette(palette);
}

QWidget* panel(QWidget* parent, const char* name, QRect rect) {
  auto* w = place(new QWidget(parent), name, rect);
  w->setAutoFillBackground(true);
  return w;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, QRect rect, Qt::Alignment align) {
  auto* l = place(new QLabel(text, parent), name, rect);
  l->setAlignment(align | Qt::AlignVCenter);
  return l;
}

QLabel* boldLabel(QWidget* parent, const char* name, const QString& text, QRect rect, Qt::Alignment align) {
  auto* l = label(parent, name, text, rect, align);
  l->setFont(arial(8.25, true));
  return l;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, QRect rect, bool enabled) {
  auto* b = place(new QPushButton(text, parent), name, rect);
  b->setEnabled(enabled);
  return b;
}

QComboBox* editableList(QWidget* parent, const char* name, QRect rect) {
  auto* c = place(new QComboBox(parent), name, rect);
  c->setEditable(true);
  c->setInsertPolicy(QComboBox::NoInsert);
  return c;
}

QListWidget* hiddenList(QWidget* parent, const char* name, QRect rect) {
  auto* l = place(new QListWidget(parent), name, rect);
  l->hide();
  return l;
}

int checkValue(const QCheckBox* box) {
  switch (box->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
  }
}

void restoreCheckBox(const Workspace& ws, QCheckBox* box, std::string_view fileName, int defaultValue) {
  const auto value = readSetting(ws, fileName, defaultValue);
  if (!value || *value < 0 || *value > 2) return;
  if (*value == 2) {
    box->setTristate(true);
    box->setCheckState(Qt::PartiallyChecked);
  } else {
    box->setCheckState(*value == 1 ? Qt::Checked : Qt::Unchecked);
  }
}

void writeCheckBox(const Workspace& ws, QCheckBox* box, std::string_view fileName) {
  // Once the user moves a greyed box on, it is a two-state box again.
  if (box->checkState() != Qt::PartiallyChecked) box->setTristate(false);
  // A settings file that cannot be written keeps its old value, unreported.
  writeSetting(ws, fileName, checkValue(box));
}

}  // namespace veldra
