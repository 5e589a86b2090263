#pragma once

#include <QWidget>

#include <chrono>

namespace veldra {

// The splash window "frmsplash": a frameless window that only shows a picture.
class SplashWindow : public QWidget {
  Q_OBJECT
 public:
  explicit SplashWindow(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap picture_;
};

// Shows the splash, paints it at once, then holds the thread until
// `duration` has passed since; no input is handled meanwhile.
void showSplash(std::chrono::milliseconds duration);

}  // namespace veldra
