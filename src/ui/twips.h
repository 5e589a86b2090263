#pragma once

#include <QRect>

namespace veldra {

// Positions are designed in twips (1/1440 inch); Qt places widgets in
// device-independent pixels at 96 per inch, so 15 twips make one pixel and
// the layout keeps its proportions at any screen scaling.
constexpr int twips(int value) { return (value + 7) / 15; }
inline QRect twipsRect(int left, int top, int width, int height) {
  return QRect(twips(left), twips(top), twips(width), twips(height));
}

}  // namespace veldra
