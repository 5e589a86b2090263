#include "ui/locations_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

#include "app/messages.h"
#include "app/settings.h"
#include "platform/platform.h"
#include "projects/folder_listing.h"
#include "projects/project_store.h"
#include "ui/classic_controls.h"
#include "ui/qt_text.h"
#include "ui/quiet_teardown.h"
#include "ui/twips.h"
#include "ui/volumes.h"

namespace veldra {

LocationsPage::LocationsPage(MessageBoxes* messages, Volumes* volumes, SelectedProject selectedProject,
                             QWidget* parent)
    : QWidget(parent), messages_(messages), volumes_(volumes), selectedProject_(std::move(selectedProject)) {
  setAutoFillBackground(true);
  caption_ = label(this, "lblProject_0", QStringLiteral("Project:"), twipsRect(0, 120, 3375, 255));
  setTextColour(caption_, qRgb(0x00, 0x00, 0xC0));
  locations_ = place(new QListWidget(this), "lstLocations", twipsRect(0, 360, 3375, 1620));
  locations_->viewport()->setMouseTracking(true);
  auto* legend = label(this, "Label3", QStringLiteral("+ denotes sub-folder search"), twipsRect(0, 2000, 3375, 255));
  legend->setFont(arial(6.75, false));
  addButton_ = button(this, "cmdAddloc", QStringLiteral("Add"), twipsRect(0, 2280, 1095, 375), false);
  removeButton_ = button(this, "cmdRemloc", QStringLiteral("Remove"), twipsRect(1200, 2280, 1095, 375), false);
  jumpButton_ = button(this, "cmdJump", QStringLiteral("Jump To ->"), twipsRect(2400, 2280, 975, 375), false);
  drives_ = place(new QComboBox(this), "drvMain", twipsRect(3480, 120, 3375, 315));
  folders_ = place(new QListWidget(this), "dirMain", twipsRect(3480, 480, 3375, 1890));
  subfolderSwitch_ = place(new QCheckBox(QStringLiteral("Include sub-folders (one level only)"), this), "chkSub_0",
                           twipsRect(3480, 2400, 3375, 255));
  subfolderSwitch_->setChecked(true);

  connect(addButton_, &QPushButton::clicked, this, &LocationsPage::addLocation);
  connect(removeButton_, &QPushButton::clicked, this, &LocationsPage::removeLocation);
  connect(locations_, &QListWidget::itemSelectionChanged, this, &LocationsPage::locationChosen);
  connect(jumpButton_, &QPushButton::clicked, this, &LocationsPage::jumpToLocation);
  connect(drives_, &QComboBox::currentIndexChanged, this, &LocationsPage::driveChosen);
  connect(folders_, &QListWidget::itemDoubleClicked, this, &LocationsPage::folderActivated);
  connect(subfolderSwitch_, &QCheckBox::stateChanged, this,
          [this] { writeCheckBox(ws_, subfolderSwitch_, kSubfolderSettingFile); });
  folders_->installEventFilter(this);
  locations_->viewport()->installEventFilter(this);
}

LocationsPage::~LocationsPage() { stopListeningToChildren(this); }

bool LocationsPage::eventFilter(QObject* watched, QEvent* event) {
  // Return in the folder list opens the highlighted folder, as a double-click does.
  if (watched == folders_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && folders_->currentItem()) {
      folderActivated(folders_->currentItem());
      return true;
    }
  }
  if (watched == locations_->viewport() && event->type() == QEvent::MouseMove) {
    const auto selected = locations_->selectedItems();
    locations_->setToolTip(selected.isEmpty() ? QString() : selected.front()->text());
  }
  return QWidget::eventFilter(watched, event);
}

void LocationsPage::showMessage(const QString& text, const QString& title, int icon) {
  if (!messages_) return;
  messages_->show(utf8Text(text), utf8Text(title), static_cast<MessageIcon>(icon));
}

void LocationsPage::showWriteFailure(const std::filesystem::path& file, const QString& what) {
  showMessage(QStringLiteral("Cannot write the file %1: %2").arg(qtPath(file), what), QStringLiteral("VELDRA Error"),
              static_cast<int>(MessageIcon::Critical));
}

void LocationsPage::setCaption(const QString& caption) { caption_->setText(caption); }

void LocationsPage::showProject(const std::string& project) {
  {
    const QSignalBlocker blocker(locations_);
    locations_->clear();
    if (const auto entries = readLocations(ws_, project)) {
      for (const std::string& entry : *entries) locations_->addItem(qtText(entry));
    }
    locations_->setCurrentRow(-1);
  }
  addButton_->setEnabled(true);
  removeButton_->setEnabled(false);
  jumpButton_->setEnabled(false);
}

void LocationsPage::showNoProject() {
  {
    const QSignalBlocker blocker(locations_);
    locations_->clear();
  }
  for (QPushButton* b : {addButton_, removeButton_, jumpButton_}) b->setEnabled(false);
}

void LocationsPage::forgetProject() {
  locations_->clear();
  for (QPushButton* b : {addButton_, removeButton_, jumpButton_}) b->setEnabled(false);
}

void LocationsPage::restoreSubfolderSwitch() {
  restoreCheckBox(ws_, subfolderSwitch_, kSubfolderSettingFile, kSubfolderSettingDefault);
}

std::vector<std::string> LocationsPage::entries() const {
  std::vector<std::string> entries;
  for (int i = 0; i < locations_->count(); ++i) entries.push_back(utf8Text(locations_->item(i)->text()));
  return entries;
}

void LocationsPage::addLocation() {
  const QString project = selectedProject_();
  if (project.isEmpty() || currentFolder_.isEmpty()) return;
  const QString folder = currentFolder_;
  bool listed = false;
  for (int i = 0; i < locations_->count() && !listed; ++i) listed = locations_->item(i)->text().mid(1) == folder;
  if (listed) {
    showMessage(QStringLiteral("Path already exists!"), QStringLiteral("VELDRA Error"),
                static_cast<int>(MessageIcon::Critical));
  } else {
    const QString entry =
        (subfolderSwitch_->checkState() == Qt::Checked ? QStringLiteral("+") : QStringLiteral("-")) + folder;
    if (appendLocation(ws_, utf8Text(project), utf8Text(entry))) {
      const QSignalBlocker blocker(locations_);
      locations_->addItem(entry);
    } else {
      showWriteFailure(ws_.locationFile(utf8Text(project)), QStringLiteral("the location was not added."));
    }
  }
  emit locationsChanged();
}

void LocationsPage::removeLocation() {
  const QString project = selectedProject_();
  const int row = locations_->currentRow();
  if (project.isEmpty() || row < 0 || locations_->selectedItems().isEmpty()) return;
  std::vector<std::string> remaining = entries();
  remaining.erase(remaining.begin() + row);
  if (!rewriteLocations(ws_, utf8Text(project), remaining)) {
    showWriteFailure(ws_.locationFile(utf8Text(project)), QStringLiteral("the location was not removed."));
    return;
  }
  {
    const QSignalBlocker blocker(locations_);
    delete locations_->takeItem(row);
    locations_->setCurrentRow(-1);
    locations_->clearSelection();
  }
  if (locations_->count() > 0) {
    selectLocationRow(0);
  } else {
    removeButton_->setEnabled(false);
    jumpButton_->setEnabled(false);
  }
  emit locationsChanged();
}

void LocationsPage::selectLocationRow(int row) {
  {
    const QSignalBlocker blocker(locations_);
    locations_->setCurrentRow(row);
  }
  locationChosen();
}

void LocationsPage::locationChosen() {
  if (locations_->selectedItems().isEmpty()) return;
  removeButton_->setEnabled(true);
  jumpButton_->setEnabled(true);
}

void LocationsPage::jumpToLocation() {
  const auto selected = locations_->selectedItems();
  if (selected.isEmpty() || !volumes_) return;
  const QString folder = selected.front()->text().mid(1);
  const QString volume = volumeHolding(volumes_->roots(), folder);
  bool failed = false;
  if (volume.isEmpty()) {
    failed = true;
    showMessage(QStringLiteral("Drive does not exist - CANNOT jump to this location!"), QString::fromLatin1(kAppTitle),
                static_cast<int>(MessageIcon::Critical));
  } else if (volume != currentDrive_) {
    setDrive(volume);
  }
  // The folder opens only on a volume that is ready now.
  if (failed || !volumes_->isReady(volume) || !openFolder(folder)) {
    showMessage(QStringLiteral("Path does not exist - CANNOT jump to this location!"), QString::fromLatin1(kAppTitle),
                static_cast<int>(MessageIcon::Critical));
  }
}

// ---------------------------------------------------------------- folder browser

void LocationsPage::fillDrives() {
  if (!volumes_) return;
  {
    const QSignalBlocker blocker(drives_);
    drives_->clear();
    for (const QString& root : volumes_->roots()) drives_->addItem(QDir::toNativeSeparators(root), root);
    drives_->setCurrentIndex(-1);
  }
  setDrive(volumes_->rootVolume());
}

void LocationsPage::setDrive(const QString& root) {
  const int index = drives_->findData(root);
  if (index < 0) return;
  if (drives_->currentIndex() == index) {
    driveChosen();
  } else {
    drives_->setCurrentIndex(index);
  }
}

void LocationsPage::driveChosen() {
  if (!volumes_) return;
  const QString root = drives_->currentData().toString();
  if (root.isEmpty()) return;
  QString folder = root;
  // The root volume opens at the program's current folder when it lies on
  // it, as a drive list opens a drive at its current folder.
  const QString here = QDir::currentPath();
  if (root == volumes_->rootVolume() && currentFolder_.isEmpty() && volumeHolding(volumes_->roots(), here) == root)
    folder = here;
  if (volumes_->isReady(root) && openFolder(folder)) {
    currentDrive_ = root;
    return;
  }
  showMessage(QStringLiteral("Drive not ready!"), QStringLiteral("Drive Error"), static_cast<int>(MessageIcon::Critical));
  const QString fallback = volumes_->rootVolume();
  // Back to the root volume; if even that cannot be listed, stop there.
  if (root != fallback) setDrive(fallback);
}

bool LocationsPage::openFolder(const QString& folder) {
  const QFileInfo info(folder);
  if (folder.isEmpty() || !info.isDir() || !QDir(folder).isReadable()) return false;
  if (!listSubfolders(fsPath(QDir::toNativeSeparators(info.absoluteFilePath())))) return false;
  currentFolder_ = QDir::toNativeSeparators(QDir::cleanPath(info.absoluteFilePath()));
  refreshFolderList();
  return true;
}

// The folder list shows the chain from the volume's root down to the open
// folder, then the open folder's sub-folders, indented like a classic list.
void LocationsPage::refreshFolderList() {
  folders_->clear();
  QStringList chain;
  for (QDir dir(currentFolder_);;) {
    chain.prepend(QDir::toNativeSeparators(dir.absolutePath()));
    const QString volume = currentDrive_.isEmpty() ? QString() : QDir::cleanPath(currentDrive_);
    if (dir.isRoot() || QDir::cleanPath(dir.absolutePath()) == volume || !dir.cdUp()) break;
  }
  int depth = 0;
  for (const QString& folder : chain) {
    const QString name = depth == 0 ? folder : QFileInfo(folder).fileName();
    auto* item = new QListWidgetItem(QString(depth * 2, ' ') + QStringLiteral("[") + name + QStringLiteral("]"));
    item->setData(Qt::UserRole, folder);
    folders_->addItem(item);
    ++depth;
  }
  folders_->setCurrentRow(folders_->count() - 1);
  if (const auto subfolders = listSubfolders(fsPath(currentFolder_))) {
    for (const auto& sub : *subfolders) {
      const QString path = qtPath(sub);
      auto* item = new QListWidgetItem(QString(depth * 2, ' ') + QFileInfo(path).fileName());
      item->setData(Qt::UserRole, path);
      folders_->addItem(item);
    }
  }
}

void LocationsPage::folderActivated(QListWidgetItem* item) {
  if (item) openFolder(item->data(Qt::UserRole).toString());
}

}  // namespace veldra
