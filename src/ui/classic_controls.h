#pragma once

// The makings of the main window's pages: controls named and placed as the
// window was designed (in twips, see twips.h), its fonts and colours, and
// the check boxes whose state a settings file keeps.

#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRect>
#include <QString>

#include <string_view>

class QCheckBox;

namespace veldra {

class Workspace;

QFont arial(double points, bool bold);
void setTextColour(QWidget* w, QRgb rgb);

template <typename W>
W* place(W* w, const char* name, QRect rect) {
  w->setObjectName(QString::fromLatin1(name));
  w->setGeometry(rect);
  return w;
}

QWidget* panel(QWidget* parent, const char* name, QRect rect);
QLabel* label(QWidget* parent, const char* name, const QString& text, QRect rect, Qt::Alignment align = Qt::AlignLeft);
// A lower-panel label: bold Arial 8.25.
QLabel* boldLabel(QWidget* parent, const char* name, const QString& text, QRect rect,
                  Qt::Alignment align = Qt::AlignLeft);
QPushButton* button(QWidget* parent, const char* name, const QString& text, QRect rect, bool enabled = true);
QComboBox* editableList(QWidget* parent, const char* name, QRect rect);
QListWidget* hiddenList(QWidget* parent, const char* name, QRect rect);

// A check box value as the settings files hold it: 0, 1, or 2 for greyed.
int checkValue(const QCheckBox* box);
// Sets a check box from its settings file; a value the file cannot give
// leaves the box as it is.
void restoreCheckBox(const Workspace& ws, QCheckBox* box, std::string_view fileName, int defaultValue);
// Keeps a check box's state in its settings file.
void writeCheckBox(const Workspace& ws, QCheckBox* box, std::string_view fileName);

}  // namespace veldra
