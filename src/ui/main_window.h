#pragma once

#include <QString>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "app/workspace.h"
#include "ui/main_window_deps.h"

class QFrame;
class QLabel;
class QPushButton;
class QTabBar;

namespace veldra {

class AboutPage;
class HelpWindow;
class LocationsPage;
class ProjectsPage;
class ReportsPage;
class RunPanel;

// The program's main window, "frmMain": the tab strip with the Projects,
// Locations, Reports and About pages over the lower panel of report options,
// run buttons, progress and statistics. Each page is a widget that owns its
// controls and their handlers; the window lays them out, brings the page
// chosen to the front and carries what one page did to the others. The rules
// behind the handlers live in the plain libraries.
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

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  void connectHandlers();

  // The page of the tab chosen comes to the front, with what it shows loaded.
  void showChosenPage();
  void openHelp();
  // The evidence window of the selected project: one per project.
  void openEvidence();
  void showMessage(const QString& text, const QString& title, int icon);
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
  // The sheet holds every control at its designed place; the tab strip over
  // its body chooses the page in front.
  QWidget* sheet_ = nullptr;
  QTabBar* tabs_ = nullptr;
  QFrame* tabsBody_ = nullptr;
  // The pages, each with its controls and handlers.
  LocationsPage* locationsPage_ = nullptr;
  AboutPage* aboutPage_ = nullptr;
  ProjectsPage* projectsPage_ = nullptr;
  ReportsPage* reportsPage_ = nullptr;
  RunPanel* runPanel_ = nullptr;
  QPushButton* exitButton_ = nullptr;
  QPushButton* helpButton_ = nullptr;
  QPushButton* evidenceButton_ = nullptr;
  QLabel* dateLabel_ = nullptr;

};

}  // namespace veldra
