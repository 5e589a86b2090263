// The program: parses "--workspace DIR", then lets the main window start up.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <cstdio>

#include "collect/native_host.h"
#include "ui/main_window.h"
#include "ui/qt_alarm_sound.h"
#include "ui/qt_message_boxes.h"
#include "ui/qt_text.h"
#include "ui/volumes.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VELDRA"));

  veldra::MainWindowDeps deps;
  const QStringList args = QApplication::arguments();
  for (qsizetype i = 1; i < args.size(); ++i) {
    if (args[i] == QStringLiteral("--workspace") && i + 1 < args.size()) {
      // A given base folder is used as written, without a trailing separator.
      QString folder = QDir::toNativeSeparators(QDir(args[++i]).absolutePath());
      while (folder.size() > 1 && (folder.endsWith('/') || folder.endsWith('\\'))) folder.chop(1);
      deps.installLoc = veldra::fsPath(folder);
    } else {
      std::fprintf(stderr, "usage: veldra [--workspace DIR]\n");
      return 2;
    }
  }

  veldra::QtMessageBoxes messages;
  veldra::NativeDrawingHost host;
  veldra::SystemVolumes volumes;
  deps.messages = &messages;
  deps.host = &host;
  deps.volumes = &volumes;
  veldra::QtAlarmSound sound;
  deps.sound = &sound;

  veldra::MainWindow window(deps);
  messages.setParent(&window);
  window.startUp();
  sound.prepare(window.workspace().resource("conflict.wav"));
  return QApplication::exec();
}
