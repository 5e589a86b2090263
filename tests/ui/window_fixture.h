#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "support/recorders.h"
#include "support/temp_dir.h"
#include "named_main_window.h"
#include "ui/main_window.h"
#include "ui/null_source.h"
#include "platform/platform.h"
#include "ui/qt_text.h"
#include "ui/volumes.h"

namespace veldra::testing {

// Volumes a test sets up: a list of roots, some of which are not ready.
class FakeVolumes : public Volumes {
 public:
  QStringList list{QStringLiteral("/")};
  QString root = QStringLiteral("/");
  QSet<QString> notReady;
  QStringList roots() const override { return list; }
  QString rootVolume() const override { return root; }
  bool isReady(const QString& r) const override { return !notReady.contains(r); }
};

// The real main window on a temporary workspace, with recorded message boxes,
// no splash wait and a fixed date.
class WindowTest : public ::testing::Test {
 protected:
  WindowTest() : base(dir.makeWorkspace()), ws(base) {}

  NamedMainWindow& start() {
    MainWindowDeps deps;
    deps.messages = &messages;
    deps.source = &source;
    deps.volumes = &volumes;
    deps.splashDuration = std::chrono::milliseconds(0);
    deps.today = [] { return QDate(2026, 12, 5); };
    deps.installLoc = base;
    deps.endProgram = [this] { ++ended; };
    if (adjustDeps) adjustDeps(deps);
    window = std::make_unique<NamedMainWindow>(deps);
    window->startUp();
    return *window;
  }

  // Writes a file under the workspace.
  void put(const std::string& relative, std::string_view content) const { dir.write("ws/" + relative, content); }
  std::string file(const std::string& relative) const { return slurp(base / relative); }

  static void clickRow(QListWidget* list, int row) {
    list->scrollToItem(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
  }
  void addProject(const QString& name) {
    window->txtProject->setText(name);
    window->cmdAddproj->click();
  }
  static QStringList texts(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out.append(list->item(i)->text());
    return out;
  }
  // A folder of the temporary area (relative path in UTF-8), made with its parents.
  QString folder(const std::string& relative) const {
    const auto path = dir.path() / pathFromUtf8(relative);
    std::filesystem::create_directories(path);
    return qtPath(path);
  }

  TempDir dir;
  std::filesystem::path base;
  Workspace ws;
  RecordingMessages messages;
  NullDrawingSource source;
  FakeVolumes volumes;
  int ended = 0;
  // Lets a test fill further fields of the window's dependencies.
  std::function<void(MainWindowDeps&)> adjustDeps;
  std::unique_ptr<NamedMainWindow> window;
};

}  // namespace veldra::testing
