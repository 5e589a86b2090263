#include "ui/splash.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>

namespace veldra {
namespace {

// The installed splash picture: next to the program after installation, or
// in the source tree's resources when run from a build folder.
QPixmap loadSplashPicture() {
  const QString appDir = QCoreApplication::applicationDirPath();
  QStringList candidates = {appDir + QStringLiteral("/../share/veldra/resources/splash.png"),
                            appDir + QStringLiteral("/resources/splash.png")};
#ifdef VELDRA_RESOURCE_DIR
  candidates.append(QStringLiteral(VELDRA_RESOURCE_DIR "/splash.png"));
#endif
  for (const QString& file : candidates) {
    if (!QFileInfo::exists(file)) continue;
    QPixmap picture(file);
    if (!picture.isNull()) return picture;
  }
  // No picture installed: draw a plain one.
  QPixmap picture(420, 240);
  picture.fill(QColor(0x00, 0x00, 0x80));
  QPainter painter(&picture);
  painter.setPen(Qt::white);
  QFont title(QStringLiteral("Arial"));
  title.setPointSize(36);
  title.setBold(true);
  painter.setFont(title);
  painter.drawText(QRect(0, 40, 420, 100), Qt::AlignCenter, QStringLiteral("VELDRA"));
  QFont sub(QStringLiteral("Arial"));
  sub.setPointSize(12);
  painter.setFont(sub);
  painter.drawText(QRect(0, 140, 420, 40), Qt::AlignCenter, QStringLiteral("Drawing comparison 2006"));
  painter.drawRect(picture.rect().adjusted(4, 4, -5, -5));
  return picture;
}

}  // namespace

SplashWindow::SplashWindow(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), picture_(loadSplashPicture()) {
  setObjectName(QStringLiteral("frmsplash"));
  setFixedSize(picture_.deviceIndependentSize().toSize());
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void SplashWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, picture_);
}

void showSplash(std::chrono::milliseconds duration) {
  QElapsedTimer shown;
  SplashWindow splash;
  splash.show();
  // Let the window system map it (no input is taken), then paint it now.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  splash.repaint();
  shown.start();
  while (shown.elapsed() < duration.count()) QThread::msleep(10);
  splash.hide();
}

}  // namespace veldra
