#pragma once

// The Projects page of the main window, "frmProjects": the teacher's
// projects as projects.fil lists them, the name of a new one with its Add
// button, and Remove project, which asks first and deletes the project's
// files with it.

#include <QString>
#include <QWidget>

#include <string>
#include <vector>

#include "app/workspace.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace veldra {

class MessageBoxes;

class ProjectsPage : public QWidget {
  Q_OBJECT

 public:
  ProjectsPage(MessageBoxes* messages, QWidget* parent);
  ~ProjectsPage() override;

  // Lists the projects of the workspace, none selected; a workspace without
  // a project list gets an empty one.
  void load(const Workspace& ws);
  // The selected project's name, or empty when none is selected or when its
  // name, read from projects.fil, cannot name the project's files.
  QString selectedProject() const;

 signals:
  // A project was selected whose name can name its files.
  void projectChosen(const QString& name);
  // A project was selected whose name, edited into projects.fil, cannot
  // name its files: it can only be removed. The page says why once the
  // window has shown the project as refused.
  void projectRefused(const QString& name);
  // Add has done its work: a project added, or a duplicate refused; the
  // last project is selected.
  void addDone();
  // The selected project and its files went.
  void projectRemoved();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void addProject();
  void removeProject();
  void projectClicked();
  void selectRow(int row);
  // Asks before a project goes, naming the files that go with it.
  std::string removalQuestion(const std::string& project) const;
  std::vector<std::string> names() const;
  void showMessage(const QString& text, const QString& title, int icon);
  void showWriteFailure(const std::filesystem::path& file, const QString& what);

  Workspace ws_;
  MessageBoxes* messages_ = nullptr;

  QListWidget* projects_ = nullptr;
  QLineEdit* newName_ = nullptr;
  QPushButton* addButton_ = nullptr;
  QPushButton* removeButton_ = nullptr;
};

}  // namespace veldra
