#include "ui/projects_page.h"

#include <QEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

#include <system_error>

#include "app/messages.h"
#include "platform/platform.h"
#include "projects/project_store.h"
#include "ui/classic_controls.h"
#include "ui/qt_text.h"
#include "ui/quiet_teardown.h"
#include "ui/twips.h"

namespace veldra {

ProjectsPage::ProjectsPage(MessageBoxes* messages, QWidget* parent) : QWidget(parent), messages_(messages) {
  setAutoFillBackground(true);
  projects_ = place(new QListWidget(this), "lstProjects", twipsRect(0, 120, 6855, 2010));
  projects_->viewport()->setMouseTracking(true);
  newName_ = place(new QLineEdit(this), "txtProject", twipsRect(0, 2280, 2175, 350));
  addButton_ = button(this, "cmdAddproj", QStringLiteral("Add"), twipsRect(2280, 2280, 495, 375));
  removeButton_ = button(this, "cmdRemproj", QStringLiteral("Remove project"), twipsRect(4680, 2280, 2175, 375), false);

  connect(newName_, &QLineEdit::textChanged, this, [this](const QString& text) { addButton_->setEnabled(!text.isEmpty()); });
  connect(addButton_, &QPushButton::clicked, this, &ProjectsPage::addProject);
  connect(removeButton_, &QPushButton::clicked, this, &ProjectsPage::removeProject);
  connect(projects_, &QListWidget::itemSelectionChanged, this, &ProjectsPage::projectClicked);
  // Enter in the project's name adds it, as the Add button does.
  connect(newName_, &QLineEdit::returnPressed, this, [this] {
    if (addButton_->isEnabled()) addProject();
  });
  projects_->viewport()->installEventFilter(this);
}

ProjectsPage::~ProjectsPage() { stopListeningToChildren(this); }

bool ProjectsPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == projects_->viewport() && event->type() == QEvent::MouseMove) {
    const auto selected = projects_->selectedItems();
    projects_->setToolTip(selected.isEmpty() ? QString() : selected.front()->text());
  }
  return QWidget::eventFilter(watched, event);
}

void ProjectsPage::showMessage(const QString& text, const QString& title, int icon) {
  if (!messages_) return;
  messages_->show(utf8Text(text), utf8Text(title), static_cast<MessageIcon>(icon));
}

void ProjectsPage::showWriteFailure(const std::filesystem::path& file, const QString& what) {
  showMessage(QStringLiteral("Cannot write the file %1: %2").arg(qtPath(file), what), QStringLiteral("VELDRA Error"),
              static_cast<int>(MessageIcon::Critical));
}

void ProjectsPage::load(const Workspace& ws) {
  ws_ = ws;
  addButton_->setEnabled(false);
  if (const auto projects = readProjects(ws_)) {
    for (const std::string& name : *projects) projects_->addItem(qtText(name));
  } else {
    ensureProjectsFile(ws_);
  }
  const QSignalBlocker blocker(projects_);
  projects_->setCurrentRow(-1);
  projects_->clearSelection();
}

QString ProjectsPage::selectedProject() const {
  const auto selected = projects_->selectedItems();
  if (selected.isEmpty()) return QString();
  // A name edited into projects.fil goes through the rules of typed names:
  // nothing is read or written under a name that would leave the workspace.
  const QString name = selected.front()->text();
  return checkProjectName(utf8Text(name)) ? name : QString();
}

std::vector<std::string> ProjectsPage::names() const {
  std::vector<std::string> names;
  for (int i = 0; i < projects_->count(); ++i) names.push_back(utf8Text(projects_->item(i)->text().toUpper()));
  return names;
}

void ProjectsPage::addProject() {
  const QString text = newName_->text();
  const QString upper = text.toUpper();
  bool duplicate = text.isEmpty();
  for (int i = 0; i < projects_->count() && !duplicate; ++i)
    duplicate = projects_->item(i)->text().compare(upper, Qt::CaseInsensitive) == 0;

  if (duplicate) {
    showMessage(QStringLiteral("Duplicate project name!"), QStringLiteral("VELDRA Error"),
                static_cast<int>(MessageIcon::Information));
  } else {
    // The name becomes the base name of the project's files: refuse one that
    // would reach outside the workspace folders or make no valid file name.
    if (const Status named = checkProjectName(utf8Text(upper)); !named) {
      showMessage(qtText(named.message()), QStringLiteral("VELDRA Error"), static_cast<int>(MessageIcon::Critical));
      return;
    }
    // The list only shows what the file holds: a failed append adds nothing.
    if (!appendProject(ws_, utf8Text(upper))) {
      showWriteFailure(ws_.projectsFile(), QStringLiteral("the project was not added."));
      return;
    }
    projects_->addItem(upper);
  }
  newName_->clear();
  selectRow(projects_->count() - 1);
  emit addDone();
}

void ProjectsPage::removeProject() {
  const int row = projects_->currentRow();
  if (row < 0 || projects_->selectedItems().isEmpty()) return;
  const QString name = projects_->item(row)->text();
  // The project's record and reports are the evidence of past runs: nothing
  // goes without the user's yes.
  if (!messages_ || !messages_->ask(removalQuestion(utf8Text(name)), "Remove Project")) return;
  std::vector<std::string> remaining = names();
  remaining.erase(remaining.begin() + row);
  // Rewrite the list first: when that fails the project stays, files and all.
  if (!rewriteProjects(ws_, remaining)) {
    showWriteFailure(ws_.projectsFile(), QStringLiteral("the project was not removed."));
    return;
  }
  {
    const QSignalBlocker blocker(projects_);
    delete projects_->takeItem(row);
    projects_->setCurrentRow(-1);
    projects_->clearSelection();
  }
  deleteProjectFiles(ws_, utf8Text(name));
  removeButton_->setEnabled(false);
  emit projectRemoved();
}

std::string ProjectsPage::removalQuestion(const std::string& project) const {
  std::string text = "Remove the project " + project + "?";
  if (!checkProjectName(project)) return text + "\r\n\r\nOnly its line in the project list goes: no file is deleted.";
  std::string files;
  for (const auto& file : projectFiles(ws_, project)) {
    std::error_code ec;
    if (std::filesystem::exists(file, ec)) files += "\r\n" + utf8FromPath(file);
  }
  if (files.empty()) return text + "\r\n\r\nIt has no files yet.";
  return text + "\r\n\r\nIts locations, its record file and its reports will be deleted for good:" + files;
}

// Selecting by program runs the same handler as a click, also when the
// entry was selected already.
void ProjectsPage::selectRow(int row) {
  if (row < 0) return;
  {
    const QSignalBlocker blocker(projects_);
    projects_->setCurrentRow(row);
  }
  projectClicked();
}

void ProjectsPage::projectClicked() {
  const auto selected = projects_->selectedItems();
  if (selected.isEmpty()) return;
  const QString name = selected.front()->text();
  const Status named = checkProjectName(utf8Text(name));
  removeButton_->setEnabled(true);
  if (named) {
    emit projectChosen(name);
    return;
  }
  emit projectRefused(name);
  showMessage(QStringLiteral("The project name %1 in %2 cannot be used: %3\r\n\r\nRemove the project and add it "
                             "again under another name.")
                  .arg(name, qtPath(ws_.projectsFile()), qtText(named.message())),
              QString::fromLatin1(kErrorTitle), static_cast<int>(MessageIcon::Critical));
}

}  // namespace veldra
