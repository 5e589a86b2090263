#include "ui/main_window.h"

#include <QTimer>
#include "ui/twips.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabBar>
#include <QTextEdit>

#include <algorithm>
#include <system_error>

#include "app/messages.h"
#include "app/settings.h"
#include "app/settings_store.h"
#include "projects/folder_listing.h"
#include "projects/project_store.h"
#include "reports/report_options.h"
#include "platform/platform.h"
#include "ui/qt_text.h"
#include "ui/splash.h"
#include "ui/volumes.h"

namespace veldra {
namespace {

// A check box value as the settings files hold it: 0, 1, or 2 for greyed.
int checkValue(const QCheckBox* box) {
  switch (box->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
  }
}

}  // namespace

MainWindow::MainWindow(MainWindowDeps deps, QWidget* parent) : QWidget(parent), deps_(std::move(deps)) {
  buildControls();
  connectHandlers();
}

MainWindow::~MainWindow() {
  // A window that goes hands the focus away, and an edited entity box then
  // reports its text as chosen: nothing its controls say may reach this
  // window's handlers once it is being taken apart.
  for (QObject* child : findChildren<QObject*>()) {
    child->disconnect(this);
    child->removeEventFilter(this);
  }
}

void MainWindow::connectHandlers() {
  connect(txtProject, &QLineEdit::textChanged, this, &MainWindow::on_txtProject_textChanged);
  connect(cmdAddproj, &QPushButton::clicked, this, &MainWindow::on_cmdAddproj_clicked);
  connect(cmdRemproj, &QPushButton::clicked, this, &MainWindow::on_cmdRemproj_clicked);
  connect(lstProjects, &QListWidget::itemSelectionChanged, this, &MainWindow::lstProjects_Click);
  connect(cmdAddloc, &QPushButton::clicked, this, &MainWindow::on_cmdAddloc_clicked);
  connect(cmdRemloc, &QPushButton::clicked, this, &MainWindow::on_cmdRemloc_clicked);
  connect(lstLocations, &QListWidget::itemSelectionChanged, this, &MainWindow::lstLocations_Click);
  connect(cmdJump, &QPushButton::clicked, this, &MainWindow::on_cmdJump_clicked);
  connect(drvMain, &QComboBox::currentIndexChanged, this, &MainWindow::drvMain_Change);
  connect(dirMain, &QListWidget::itemDoubleClicked, this, &MainWindow::on_dirMain_itemDoubleClicked);
  connect(chkSub, &QCheckBox::stateChanged, this, &MainWindow::chkSub_Click);
  connect(cmbEntity, &QComboBox::activated, this, &MainWindow::cmbEntity_Click);
  connect(chkLine, &QCheckBox::stateChanged, this, &MainWindow::chkLine_Click);
  for (int i = 0; i < 3; ++i) {
    connect(chkOpt[i], &QCheckBox::clicked, this, [this, i] { chkOpt_Click(i); });
    connect(optReport[i], &QRadioButton::clicked, this, [this, i] { optReport_Click(i); });
  }
  connect(cmbPercent, &QComboBox::activated, this, &MainWindow::cmbPercent_Click);
  connect(cmdCollect, &QPushButton::clicked, this, &MainWindow::on_cmdCollect_clicked);
  connect(cmdCompare, &QPushButton::clicked, this, &MainWindow::on_cmdCompare_clicked);
  connect(cmdPrint, &QPushButton::clicked, this, &MainWindow::on_cmdPrint_clicked);
  connect(cmdWhatnext, &QPushButton::clicked, this, &MainWindow::on_cmdWhatnext_clicked);
  connect(cmdHelp, &QPushButton::clicked, this, &MainWindow::on_cmdHelp_clicked);
  connect(cmdEvidence, &QPushButton::clicked, this, &MainWindow::on_cmdEvidence_clicked);
  connect(cmdExit, &QPushButton::clicked, this, &MainWindow::on_cmdExit_clicked);
  connect(TabStrip1, &QTabBar::currentChanged, this, &MainWindow::TabStrip1_Click);
  dirMain->installEventFilter(this);
  cmbEntity->installEventFilter(this);
  // Enter in the project's name adds it, as the Add button does.
  connect(txtProject, &QLineEdit::returnPressed, this, [this] {
    if (cmdAddproj->isEnabled()) on_cmdAddproj_clicked();
  });
  lstProjects->viewport()->installEventFilter(this);
  lstLocations->viewport()->installEventFilter(this);
}

// ---------------------------------------------------------------- start-up

void MainWindow::startUp() {
  showSplash(deps_.splashDuration);

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    // The frame the window system adds around the window takes its room too.
    fitInto(screen->availableGeometry().size() - (frameGeometry().size() - geometry().size()));
    move(screen->availableGeometry().center() - rect().center());
  }
  show();

  ws_ = Workspace(deps_.installLoc ? *deps_.installLoc : readInstallLocation());

  statusDate->setText(QLocale(QLocale::English).toString(deps_.today(), QStringLiteral("dddd, MMMM d yyyy")));

  // From here on a failing step is skipped without a message.
  const QPixmap logo(qtPath(ws_.resource("veldralogo.jpg")));
  if (!logo.isNull()) Picture1->setPixmap(logo.scaled(Picture1->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));

  fillDrives();

  cmbEntity->setCurrentIndex(0);
  cmbEntity_Click();
  cmdAddproj->setEnabled(false);

  if (const auto projects = readProjects(ws_)) {
    for (const std::string& name : *projects) lstProjects->addItem(qtText(name));
  } else {
    ensureProjectsFile(ws_);
  }
  {
    const QSignalBlocker blocker(lstProjects);
    lstProjects->setCurrentRow(-1);
    lstProjects->clearSelection();
  }

  const auto entity = readSetting(ws_, kEntitySettingFile, kEntitySettingDefault);
  if (entity && *entity >= -1 && *entity < cmbEntity->count()) {
    cmbEntity->setCurrentIndex(*entity);
    cmbEntity_Click();
  }
  restoreCheckBox(chkLine, kLineWarningSettingFile, kLineWarningSettingDefault);
  restoreCheckBox(chkSub, kSubfolderSettingFile, kSubfolderSettingDefault);
}

void MainWindow::restoreCheckBox(QCheckBox* box, std::string_view fileName, int defaultValue) {
  const auto value = readSetting(ws_, fileName, defaultValue);
  if (!value || *value < 0 || *value > 2) return;
  if (*value == 2) {
    box->setTristate(true);
    box->setCheckState(Qt::PartiallyChecked);
  } else {
    box->setCheckState(*value == 1 ? Qt::Checked : Qt::Unchecked);
  }
}

void MainWindow::writeCheckBox(QCheckBox* box, std::string_view fileName) {
  // Once the user moves a greyed box on, it is a two-state box again.
  if (box->checkState() != Qt::PartiallyChecked) box->setTristate(false);
  // A settings file that cannot be written keeps its old value, unreported.
  writeSetting(ws_, fileName, checkValue(box));
}

// ---------------------------------------------------------------- shut-down

void MainWindow::on_cmdExit_clicked() { close(); }

void MainWindow::closeEvent(QCloseEvent* event) {
  endProgram();
  event->accept();
}

void MainWindow::endProgram() {
  if (ended_) return;
  ended_ = true;
  // The program ends whether or not the entity choice could be saved.
  writeSetting(ws_, kEntitySettingFile, entityPosition());
  if (deps_.endProgram) {
    deps_.endProgram();
  } else {
    QCoreApplication::quit();
  }
}

int MainWindow::entityPosition() const {
  const int index = cmbEntity->currentIndex();
  if (index < 0 || cmbEntity->currentText() != cmbEntity->itemText(index)) return -1;
  return index;
}

// ---------------------------------------------------------------- messages

void MainWindow::showMessage(const QString& text, const QString& title, int icon) {
  if (!deps_.messages) return;
  deps_.messages->show(utf8Text(text), utf8Text(title),
                       static_cast<MessageIcon>(icon));
}

void MainWindow::showWriteFailure(const std::filesystem::path& file, const QString& what) {
  showMessage(QStringLiteral("Cannot write the file %1: %2").arg(qtPath(file), what),
              QStringLiteral("VELDRA Error"), static_cast<int>(MessageIcon::Critical));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // Return in the folder list opens the highlighted folder, as a double-click does.
  if (watched == dirMain && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && dirMain->currentItem()) {
      on_dirMain_itemDoubleClicked(dirMain->currentItem());
      return true;
    }
  }
  // The entity type shown is a suggestion: typing replaces it whole rather
  // than adding to its end.
  if (watched == cmbEntity && event->type() == QEvent::FocusIn) {
    QTimer::singleShot(0, cmbEntity->lineEdit(), &QLineEdit::selectAll);
  }
  if (event->type() == QEvent::MouseMove) {
    for (QListWidget* list : {lstProjects, lstLocations}) {
      if (watched != list->viewport()) continue;
      const auto selected = list->selectedItems();
      list->setToolTip(selected.isEmpty() ? QString() : selected.front()->text());
    }
  }
  return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- projects

QString MainWindow::selectedProject() const {
  const auto selected = lstProjects->selectedItems();
  if (selected.isEmpty()) return QString();
  // A name edited into projects.fil goes through the rules of typed names:
  // nothing is read or written under a name that would leave the workspace.
  const QString name = selected.front()->text();
  return projectNameProblem(utf8Text(name)) ? QString() : name;
}

std::vector<std::string> MainWindow::projectNames() const {
  std::vector<std::string> names;
  for (int i = 0; i < lstProjects->count(); ++i) names.push_back(utf8Text(lstProjects->item(i)->text().toUpper()));
  return names;
}

void MainWindow::on_txtProject_textChanged(const QString& text) { cmdAddproj->setEnabled(!text.isEmpty()); }

void MainWindow::on_cmdAddproj_clicked() {
  const QString text = txtProject->text();
  const QString upper = text.toUpper();
  bool duplicate = text.isEmpty();
  for (int i = 0; i < lstProjects->count() && !duplicate; ++i)
    duplicate = lstProjects->item(i)->text().compare(upper, Qt::CaseInsensitive) == 0;

  if (duplicate) {
    showMessage(QStringLiteral("Duplicate project name!"), QStringLiteral("VELDRA Error"),
                static_cast<int>(MessageIcon::Information));
  } else {
    // The name becomes the base name of the project's files: refuse one that
    // would reach outside the workspace folders or make no valid file name.
    if (const auto problem = projectNameProblem(utf8Text(upper))) {
      showMessage(qtText(*problem), QStringLiteral("VELDRA Error"), static_cast<int>(MessageIcon::Critical));
      return;
    }
    // The list only shows what the file holds: a failed append adds nothing.
    if (!appendProject(ws_, utf8Text(upper))) {
      showWriteFailure(ws_.projectsFile(), QStringLiteral("the project was not added."));
      return;
    }
    lstProjects->addItem(upper);
  }
  txtProject->clear();
  selectProjectRow(lstProjects->count() - 1);
  const QString caption = QStringLiteral("Project: ") + selectedProject();
  for (QLabel* label : lblProject) label->setText(caption);
}

void MainWindow::on_cmdRemproj_clicked() {
  const int row = lstProjects->currentRow();
  if (row < 0 || lstProjects->selectedItems().isEmpty()) return;
  const QString name = lstProjects->item(row)->text();
  // The project's record and reports are the evidence of past runs: nothing
  // goes without the user's yes.
  if (!deps_.messages || !deps_.messages->ask(removalQuestion(utf8Text(name)), "Remove Project")) return;
  std::vector<std::string> remaining = projectNames();
  remaining.erase(remaining.begin() + row);
  // Rewrite the list first: when that fails the project stays, files and all.
  if (!rewriteProjects(ws_, remaining)) {
    showWriteFailure(ws_.projectsFile(), QStringLiteral("the project was not removed."));
    return;
  }
  {
    const QSignalBlocker blocker(lstProjects);
    delete lstProjects->takeItem(row);
    lstProjects->setCurrentRow(-1);
    lstProjects->clearSelection();
  }
  deleteProjectFiles(ws_, utf8Text(name));
  lstLocations->clear();
  countDrawings();
  for (QPushButton* b : {cmdRemproj, cmdAddloc, cmdRemloc, cmdJump, cmdCollect, cmdCompare}) b->setEnabled(false);
}

std::string MainWindow::removalQuestion(const std::string& project) const {
  std::string text = "Remove the project " + project + "?";
  if (projectNameProblem(project)) return text + "\r\n\r\nOnly its line in the project list goes: no file is deleted.";
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
void MainWindow::selectProjectRow(int row) {
  if (row < 0) return;
  {
    const QSignalBlocker blocker(lstProjects);
    lstProjects->setCurrentRow(row);
  }
  lstProjects_Click();
}

void MainWindow::lstProjects_Click() {
  const auto selected = lstProjects->selectedItems();
  if (selected.isEmpty()) return;
  const QString name = selected.front()->text();
  const std::string project = utf8Text(name);
  if (const auto problem = projectNameProblem(project)) {
    refuseProject(name, *problem);
    return;
  }
  {
    const QSignalBlocker blocker(lstLocations);
    lstLocations->clear();
    if (const auto entries = readLocations(ws_, project)) {
      for (const std::string& entry : *entries) lstLocations->addItem(qtText(entry));
    }
    lstLocations->setCurrentRow(-1);
  }
  lblTotalFiles->setText(QStringLiteral("0000"));
  countDrawings();
  cmdRemproj->setEnabled(true);
  cmdAddloc->setEnabled(true);
  cmdCollect->setEnabled(true);
  cmdRemloc->setEnabled(false);
  cmdCompare->setEnabled(hasRecords(ws_, project));
  for (QLabel* label : lblProject) label->setText(QStringLiteral("Project: ") + name);
  cmdJump->setEnabled(false);
}

// A project listed under a name its files cannot have: it can only be removed.
void MainWindow::refuseProject(const QString& name, const std::string& problem) {
  {
    const QSignalBlocker blocker(lstLocations);
    lstLocations->clear();
  }
  lblTotalFiles->setText(QStringLiteral("0000"));
  for (QPushButton* b : {cmdAddloc, cmdRemloc, cmdJump, cmdCollect, cmdCompare}) b->setEnabled(false);
  cmdRemproj->setEnabled(true);
  for (QLabel* label : lblProject) label->setText(QStringLiteral("Project: ") + name);
  showMessage(QStringLiteral("The project name %1 in %2 cannot be used: %3\r\n\r\nRemove the project and add it "
                             "again under another name.")
                  .arg(name, qtPath(ws_.projectsFile()), qtText(problem)),
              QString::fromLatin1(kErrorTitle), static_cast<int>(MessageIcon::Critical));
}

// ---------------------------------------------------------------- locations

std::vector<std::string> MainWindow::locationEntries() const {
  std::vector<std::string> entries;
  for (int i = 0; i < lstLocations->count(); ++i) entries.push_back(utf8Text(lstLocations->item(i)->text()));
  return entries;
}

void MainWindow::countDrawings() {
  cmdCollect->setEnabled(true);
  // A folder that cannot be listed, or too many drawings, stops the count and
  // the label keeps what it showed.
  if (const auto total = countDrawingsOrStop(locationEntries()))
    lblTotalFiles->setText(QString::fromStdString(fourDigits(*total)));
}

void MainWindow::on_cmdAddloc_clicked() {
  const QString project = selectedProject();
  if (project.isEmpty() || currentFolder_.isEmpty()) return;
  const QString folder = currentFolder_;
  bool listed = false;
  for (int i = 0; i < lstLocations->count() && !listed; ++i)
    listed = lstLocations->item(i)->text().mid(1) == folder;
  if (listed) {
    showMessage(QStringLiteral("Path already exists!"), QStringLiteral("VELDRA Error"),
                static_cast<int>(MessageIcon::Critical));
  } else {
    const QString entry = (chkSub->checkState() == Qt::Checked ? QStringLiteral("+") : QStringLiteral("-")) + folder;
    if (appendLocation(ws_, utf8Text(project), utf8Text(entry))) {
      const QSignalBlocker blocker(lstLocations);
      lstLocations->addItem(entry);
    } else {
      showWriteFailure(ws_.locationFile(utf8Text(project)), QStringLiteral("the location was not added."));
    }
  }
  countDrawings();
}

void MainWindow::on_cmdRemloc_clicked() {
  const QString project = selectedProject();
  const int row = lstLocations->currentRow();
  if (project.isEmpty() || row < 0 || lstLocations->selectedItems().isEmpty()) return;
  std::vector<std::string> remaining = locationEntries();
  remaining.erase(remaining.begin() + row);
  if (!rewriteLocations(ws_, utf8Text(project), remaining)) {
    showWriteFailure(ws_.locationFile(utf8Text(project)), QStringLiteral("the location was not removed."));
    return;
  }
  {
    const QSignalBlocker blocker(lstLocations);
    delete lstLocations->takeItem(row);
    lstLocations->setCurrentRow(-1);
    lstLocations->clearSelection();
  }
  if (lstLocations->count() > 0) {
    selectLocationRow(0);
  } else {
    cmdRemloc->setEnabled(false);
    cmdJump->setEnabled(false);
  }
  countDrawings();
}

void MainWindow::selectLocationRow(int row) {
  {
    const QSignalBlocker blocker(lstLocations);
    lstLocations->setCurrentRow(row);
  }
  lstLocations_Click();
}

void MainWindow::lstLocations_Click() {
  if (lstLocations->selectedItems().isEmpty()) return;
  cmdRemloc->setEnabled(true);
  cmdJump->setEnabled(true);
}

void MainWindow::on_cmdJump_clicked() {
  const auto selected = lstLocations->selectedItems();
  if (selected.isEmpty() || !deps_.volumes) return;
  const QString folder = selected.front()->text().mid(1);
  const QString volume = volumeHolding(deps_.volumes->roots(), folder);
  bool failed = false;
  if (volume.isEmpty()) {
    failed = true;
    showMessage(QStringLiteral("Drive does not exist - CANNOT jump to this location!"), QString::fromLatin1(kAppTitle),
                static_cast<int>(MessageIcon::Critical));
  } else if (volume != currentDrive_) {
    setDrive(volume);
  }
  // The folder opens only on a volume that is ready now.
  if (failed || !deps_.volumes->isReady(volume) || !openFolder(folder)) {
    showMessage(QStringLiteral("Path does not exist - CANNOT jump to this location!"), QString::fromLatin1(kAppTitle),
                static_cast<int>(MessageIcon::Critical));
  }
}

void MainWindow::chkSub_Click() { writeCheckBox(chkSub, kSubfolderSettingFile); }

// ---------------------------------------------------------------- folder browser

void MainWindow::fillDrives() {
  if (!deps_.volumes) return;
  {
    const QSignalBlocker blocker(drvMain);
    drvMain->clear();
    for (const QString& root : deps_.volumes->roots()) drvMain->addItem(QDir::toNativeSeparators(root), root);
    drvMain->setCurrentIndex(-1);
  }
  setDrive(deps_.volumes->rootVolume());
}

void MainWindow::setDrive(const QString& root) {
  const int index = drvMain->findData(root);
  if (index < 0) return;
  if (drvMain->currentIndex() == index) {
    drvMain_Change();
  } else {
    drvMain->setCurrentIndex(index);
  }
}

void MainWindow::drvMain_Change() {
  if (!deps_.volumes) return;
  const QString root = drvMain->currentData().toString();
  if (root.isEmpty()) return;
  QString folder = root;
  // The root volume opens at the program's current folder when it lies on
  // it, as a drive list opens a drive at its current folder.
  const QString here = QDir::currentPath();
  if (root == deps_.volumes->rootVolume() && currentFolder_.isEmpty() &&
      volumeHolding(deps_.volumes->roots(), here) == root)
    folder = here;
  if (deps_.volumes->isReady(root) && openFolder(folder)) {
    currentDrive_ = root;
    return;
  }
  showMessage(QStringLiteral("Drive not ready!"), QStringLiteral("Drive Error"),
              static_cast<int>(MessageIcon::Critical));
  const QString fallback = deps_.volumes->rootVolume();
  // Back to the root volume; if even that cannot be listed, stop there.
  if (root != fallback) setDrive(fallback);
}

bool MainWindow::openFolder(const QString& folder) {
  const QFileInfo info(folder);
  if (folder.isEmpty() || !info.isDir() || !QDir(folder).isReadable()) return false;
  if (!listSubfolders(fsPath(QDir::toNativeSeparators(info.absoluteFilePath())))) return false;
  currentFolder_ = QDir::toNativeSeparators(QDir::cleanPath(info.absoluteFilePath()));
  refreshFolderList();
  return true;
}

// The folder list shows the chain from the volume's root down to the open
// folder, then the open folder's sub-folders, indented like a classic list.
void MainWindow::refreshFolderList() {
  dirMain->clear();
  QStringList chain;
  for (QDir dir(currentFolder_);; ) {
    chain.prepend(QDir::toNativeSeparators(dir.absolutePath()));
    const QString volume = currentDrive_.isEmpty() ? QString() : QDir::cleanPath(currentDrive_);
    if (dir.isRoot() || QDir::cleanPath(dir.absolutePath()) == volume || !dir.cdUp()) break;
  }
  int depth = 0;
  for (const QString& folder : chain) {
    const QString name = depth == 0 ? folder : QFileInfo(folder).fileName();
    auto* item = new QListWidgetItem(QString(depth * 2, ' ') + QStringLiteral("[") + name + QStringLiteral("]"));
    item->setData(Qt::UserRole, folder);
    dirMain->addItem(item);
    ++depth;
  }
  dirMain->setCurrentRow(dirMain->count() - 1);
  if (const auto subfolders = listSubfolders(fsPath(currentFolder_))) {
    for (const auto& sub : *subfolders) {
      const QString path = qtPath(sub);
      auto* item = new QListWidgetItem(QString(depth * 2, ' ') + QFileInfo(path).fileName());
      item->setData(Qt::UserRole, path);
      dirMain->addItem(item);
    }
  }
}

void MainWindow::on_dirMain_itemDoubleClicked(QListWidgetItem* item) {
  if (item) openFolder(item->data(Qt::UserRole).toString());
}

// ---------------------------------------------------------------- report options

void MainWindow::cmbEntity_Click() {
  const int index = cmbEntity->currentIndex();
  const QString item = index >= 0 ? cmbEntity->itemText(index) : QString();
  // The window state judged is whether the main window is shown: start-up
  // shows it before it restores the entity, so restoring LINE with the
  // warning switch on warns at start-up as well.
  if (shouldWarnAboutLines(item.toStdString(), checkValue(chkLine), isVisible())) {
    showMessage(QString::fromLatin1(kLineWarningText.data(), kLineWarningText.size()),
                QString::fromLatin1(kLineWarningTitle.data(), kLineWarningTitle.size()),
                static_cast<int>(MessageIcon::Information));
  }
}

void MainWindow::chkLine_Click() { writeCheckBox(chkLine, kLineWarningSettingFile); }

void MainWindow::chkOpt_Click(int) {
  const auto change = runButtonsAfterSwitch(chkOpt[0]->isChecked(), chkOpt[1]->isChecked(), chkOpt[2]->isChecked(),
                                            !selectedProject().isEmpty());
  if (change == RunButtonChange::Leave) return;
  cmdCollect->setEnabled(change == RunButtonChange::Enable);
  cmdCompare->setEnabled(change == RunButtonChange::Enable);
}

void MainWindow::cmbPercent_Click() {
  const auto caption = handleSwitchCaption(cmbPercent->currentText().toStdString());
  chkOpt[1]->setText(QString::fromLatin1(caption.data(), caption.size()));
}

// ---------------------------------------------------------------- pages

void MainWindow::TabStrip1_Click() {
  const int tab = TabStrip1->currentIndex();
  frmProjects->setVisible(tab == 0);
  frmLocations->setVisible(tab == 1);
  frmReports->setVisible(tab == 2);
  frmAbout->setVisible(tab == 3);
  // Under the tall Reports page the strip keeps only its row of tabs, so
  // that no frame of its body shows beside the page; the other pages lie on
  // its body at its designed height.
  TabStrip1Body->resize(TabStrip1Body->width(), twips(tab == 2 ? 480 : 3135));
  if (tab == 2) {
    LoadChosenReport();
  } else if (tab == 3) {
    loadAboutDocument();
  }
}

}  // namespace veldra
