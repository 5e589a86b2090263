#pragma once

#include <QString>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "app/workspace.h"
#include "run/run_state.h"
#include "ui/main_window_deps.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPrinter;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabBar;
class QTextEdit;

namespace veldra {

class HelpWindow;
class LocationsPage;
class ProjectsPage;
class ReportsPage;
class RunPanel;

// The program's main window, "frmMain": the tab strip with the Projects,
// Locations, Reports and About pages over the lower panel of report options,
// run buttons, progress and statistics. Every operation is a handler of one
// of its controls; the rules behind them live in the plain libraries.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindow(MainWindowDeps deps, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The start-up sequence: splash, window shown, base folder, date, folder
  // browser, project list and the remembered settings.
  void startUp();

  // Sizes the window to its designed size, or, where the free area given is
  // smaller, to that area with the controls scrolling.
  void fitInto(const QSize& free);

  // The base folder, read by the help and advice windows.
  const Workspace& workspace() const { return ws_; }

  // The selected project's name, or empty when none is selected or when its
  // name, read from projects.fil, cannot name the project's files.
  QString selectedProject() const;
  // The folder opened in the folder list (a native full path).
  QString currentFolder() const;
  // Opens a folder in the folder list; false when it cannot be listed.
  bool openFolder(const QString& folder);
  // The position of the chosen entity type, -1 when the text is no item.
  int entityPosition() const;

  // Shows the about document.
  void loadAboutDocument();

 public slots:
  // The window's own buttons.
  void on_cmdHelp_clicked();
  void on_cmdEvidence_clicked();
  void TabStrip1_Click();
  void on_cmdExit_clicked();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  void buildAboutPage();
  void connectHandlers();

  void showMessage(const QString& text, const QString& title, int icon);
  void showWriteFailure(const std::filesystem::path& file, const QString& what);
  // A project chosen on the Projects page: its locations, its count of
  // drawings and the run buttons it allows.
  void showProject(const QString& name);
  // A listed project whose name cannot be used: only its removal is left.
  void refuseProject(const QString& name);
  void forgetProject();
  // The caption over the Locations and Reports pages.
  void setProjectCaption(const QString& caption);
  void endProgram();

  MainWindowDeps deps_;
  Workspace ws_;
  bool ended_ = false;
  // The help window, made on its first opening.
  HelpWindow* help_ = nullptr;
  // The pages, each with its controls and handlers.
  LocationsPage* locationsPage_ = nullptr;
  ProjectsPage* projectsPage_ = nullptr;
  ReportsPage* reportsPage_ = nullptr;
  RunPanel* runPanel_ = nullptr;

 public:
  // Controls, named as the window's objectNames.
  QTabBar* TabStrip1 = nullptr;
  QFrame* TabStrip1Body = nullptr;
  QWidget* frmAbout = nullptr;
  QWidget* sheet_ = nullptr;  // holds every control at its designed place
  QPushButton* cmdExit = nullptr;
  QPushButton* cmdHelp = nullptr;
  QPushButton* cmdEvidence = nullptr;
  QLabel* lblDrvDir = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel* statusDate = nullptr;
  QListWidget* fileDwgs = nullptr;
  QListWidget* dirSubs = nullptr;
  QListWidget* fileSubs = nullptr;
  QListWidget* lstHandles1 = nullptr;
  QListWidget* lstHandles2 = nullptr;


  QLabel* Picture2 = nullptr;
  QTextEdit* RichTextBox2 = nullptr;

};

}  // namespace veldra
