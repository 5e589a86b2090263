#pragma once

// The Locations page of the main window, "frmLocations": the selected
// project's locations (folders of students' drawings, "+" where one level of
// sub-folders is searched too) beside the folder browser, a list of volumes
// and a list of folders, where the next location is chosen.

#include <QString>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

#include "app/workspace.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace veldra {

class MessageBoxes;
class Volumes;

class LocationsPage : public QWidget {
  Q_OBJECT

 public:
  // The project selected on the Projects page, empty for none or for one
  // whose name cannot name its files.
  using SelectedProject = std::function<QString()>;
  LocationsPage(MessageBoxes* messages, Volumes* volumes, SelectedProject selectedProject, QWidget* parent);
  ~LocationsPage() override;

  // The workspace whose location files the page reads and writes.
  void setWorkspace(const Workspace& ws) { ws_ = ws; }
  // The page's caption over the list ("Project: ...").
  void setCaption(const QString& caption);
  // Lists a project's locations, nothing selected, ready for a new one.
  void showProject(const std::string& project);
  // Lists nothing and offers nothing: no usable project is selected.
  void showNoProject();
  // The project went: its locations are no longer listed.
  void forgetProject();
  // The locations listed, as their file holds them.
  std::vector<std::string> entries() const;
  // The sub-folder switch as its settings file keeps it.
  void restoreSubfolderSwitch();

  // The folder browser: the volumes, then the root volume opened.
  void fillDrives();
  // Opens a folder in the folder list; false when it cannot be listed.
  bool openFolder(const QString& folder);
  // The folder opened in the folder list (a native full path).
  QString currentFolder() const { return currentFolder_; }

 signals:
  // A location was added or removed, or the user tried to: the count of
  // drawings follows the list.
  void locationsChanged();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void addLocation();
  void removeLocation();
  void locationChosen();
  void selectLocationRow(int row);
  void jumpToLocation();
  void driveChosen();
  void setDrive(const QString& root);
  void refreshFolderList();
  void folderActivated(QListWidgetItem* item);
  void showMessage(const QString& text, const QString& title, int icon);
  void showWriteFailure(const std::filesystem::path& file, const QString& what);

  Workspace ws_;
  MessageBoxes* messages_ = nullptr;
  Volumes* volumes_ = nullptr;
  SelectedProject selectedProject_;
  QString currentFolder_;
  QString currentDrive_;

  QLabel* caption_ = nullptr;
  QListWidget* locations_ = nullptr;
  QPushButton* addButton_ = nullptr;
  QPushButton* removeButton_ = nullptr;
  QPushButton* jumpButton_ = nullptr;
  QComboBox* drives_ = nullptr;
  QListWidget* folders_ = nullptr;
  QCheckBox* subfolderSwitch_ = nullptr;
};

}  // namespace veldra
