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

QPixmap loadSplashPicture() {
  const QPixmap installed = installedPicture(QStringLiteral("splash.png"));
  if (!installed.isNull()) return installed;
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

QPixmap installedPicture(const QString& fileName) {
  const QString appDir = QCoreApplication::applicationDirPath();
  QStringList candidates = {appDir + QStringLiteral("/../share/veldra/resources/"),
                            appDir + QStringLiteral("/resources/")};
#ifdef VELDRA_RESOURCE_DIR
  candidates.append(QStringLiteral(VELDRA_RESOURCE_DIR "/"));
#endif
  for (const QString& folder : candidates) {
    if (!QFileInfo::exists(folder + fileName)) continue;
    QPixmap picture(folder + fileName);
    if (!picture.isNull()) return picture;
  }
  return QPixmap();
}

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
