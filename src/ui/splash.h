#pragma once

#include <QPixmap>
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

// A picture shipped with the program: next to it after installation, or in
// the source tree's resources when run from a build folder. Null when absent.
QPixmap installedPicture(const QString& fileName);

// Shows the splash, paints it at once, then holds the thread until
// `duration` has passed since; no input is handled meanwhile.
void showSplash(std::chrono::milliseconds duration);

}  // namespace veldra
