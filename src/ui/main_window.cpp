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
#include "ui/classic_controls.h"
#include "ui/locations_page.h"
#include "ui/projects_page.h"
#include "ui/reports_page.h"
#include "ui/qt_text.h"
#include "ui/quiet_teardown.h"
#include "ui/splash.h"
#include "ui/volumes.h"

namespace veldra {

MainWindow::MainWindow(MainWindowDeps deps, QWidget* parent) : QWidget(parent), deps_(std::move(deps)) {
  buildControls();
  connectHandlers();
}

MainWindow::~MainWindow() {
  // A window that goes hands the focus away, and an edited entity box then
  // reports its text as chosen: nothing its controls say may reach this
  // window's handlers once it is being taken apart; each page guards its
  // own handlers alike.
  stopListeningToChildren(this);
}

void MainWindow::connectHandlers() {
  connect(projectsPage_, &ProjectsPage::projectChosen, this, &MainWindow::showProject);
  connect(projectsPage_, &ProjectsPage::projectRefused, this, &MainWindow::refuseProject);
  connect(projectsPage_, &ProjectsPage::addDone, this,
          [this] { setProjectCaption(QStringLiteral("Project: ") + selectedProject()); });
  connect(projectsPage_, &ProjectsPage::projectRemoved, this, &MainWindow::forgetProject);
  connect(locationsPage_, &LocationsPage::locationsChanged, this, &MainWindow::countDrawings);
  connect(cmbEntity, &QComboBox::activated, this, &MainWindow::cmbEntity_Click);
  connect(chkLine, &QCheckBox::stateChanged, this, &MainWindow::chkLine_Click);
  for (int i = 0; i < 3; ++i) connect(chkOpt[i], &QCheckBox::clicked, this, [this, i] { chkOpt_Click(i); });
  connect(cmbPercent, &QComboBox::activated, this, &MainWindow::cmbPercent_Click);
  connect(cmdCollect, &QPushButton::clicked, this, &MainWindow::on_cmdCollect_clicked);
  connect(cmdCompare, &QPushButton::clicked, this, &MainWindow::on_cmdCompare_clicked);
  connect(cmdHelp, &QPushButton::clicked, this, &MainWindow::on_cmdHelp_clicked);
  connect(cmdEvidence, &QPushButton::clicked, this, &MainWindow::on_cmdEvidence_clicked);
  connect(cmdExit, &QPushButton::clicked, this, &MainWindow::on_cmdExit_clicked);
  connect(TabStrip1, &QTabBar::currentChanged, this, &MainWindow::TabStrip1_Click);
  cmbEntity->installEventFilter(this);
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
  locationsPage_->setWorkspace(ws_);
  reportsPage_->setWorkspace(ws_);

  statusDate->setText(QLocale(QLocale::English).toString(deps_.today(), QStringLiteral("dddd, MMMM d yyyy")));

  // From here on a failing step is skipped without a message.
  const QPixmap logo(qtPath(ws_.resource("veldralogo.jpg")));
  if (!logo.isNull()) Picture1->setPixmap(logo.scaled(Picture1->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));

  locationsPage_->fillDrives();

  cmbEntity->setCurrentIndex(0);
  cmbEntity_Click();
  projectsPage_->load(ws_);

  const auto entity = readSetting(ws_, kEntitySettingFile, kEntitySettingDefault);
  if (entity && *entity >= -1 && *entity < cmbEntity->count()) {
    cmbEntity->setCurrentIndex(*entity);
    cmbEntity_Click();
  }
  restoreCheckBox(ws_, chkLine, kLineWarningSettingFile, kLineWarningSettingDefault);
  locationsPage_->restoreSubfolderSwitch();
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
  // The entity type shown is a suggestion: typing replaces it whole rather
  // than adding to its end.
  if (watched == cmbEntity && event->type() == QEvent::FocusIn) {
    QTimer::singleShot(0, cmbEntity->lineEdit(), &QLineEdit::selectAll);
  }
  return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- projects

QString MainWindow::selectedProject() const { return projectsPage_->selectedProject(); }

void MainWindow::showProject(const QString& name) {
  const std::string project = utf8Text(name);
  locationsPage_->showProject(project);
  lblTotalFiles->setText(QStringLiteral("0000"));
  countDrawings();
  cmdCollect->setEnabled(true);
  cmdCompare->setEnabled(hasRecords(ws_, project));
  setProjectCaption(QStringLiteral("Project: ") + name);
}

void MainWindow::setProjectCaption(const QString& caption) {
  locationsPage_->setCaption(caption);
  reportsPage_->setCaption(caption);
}

// A project listed under a name its files cannot have: it can only be removed.
void MainWindow::refuseProject(const QString& name) {
  locationsPage_->showNoProject();
  lblTotalFiles->setText(QStringLiteral("0000"));
  for (QPushButton* b : {cmdCollect, cmdCompare}) b->setEnabled(false);
  setProjectCaption(QStringLiteral("Project: ") + name);
}

void MainWindow::forgetProject() {
  locationsPage_->forgetProject();
  countDrawings();
  for (QPushButton* b : {cmdCollect, cmdCompare}) b->setEnabled(false);
}

// ---------------------------------------------------------------- locations

void MainWindow::countDrawings() {
  cmdCollect->setEnabled(true);
  // A folder that cannot be listed, or too many drawings, stops the count and
  // the label keeps what it showed.
  if (const auto total = countDrawingsOrStop(locationsPage_->entries()))
    lblTotalFiles->setText(QString::fromStdString(fourDigits(*total)));
}

bool MainWindow::openFolder(const QString& folder) { return locationsPage_->openFolder(folder); }

QString MainWindow::currentFolder() const { return locationsPage_->currentFolder(); }

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

void MainWindow::chkLine_Click() { writeCheckBox(ws_, chkLine, kLineWarningSettingFile); }

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
  projectsPage_->setVisible(tab == 0);
  locationsPage_->setVisible(tab == 1);
  reportsPage_->setVisible(tab == 2);
  frmAbout->setVisible(tab == 3);
  // Under the tall Reports page the strip keeps only its row of tabs, so
  // that no frame of its body shows beside the page; the other pages lie on
  // its body at its designed height.
  TabStrip1Body->resize(TabStrip1Body->width(), twips(tab == 2 ? 480 : 3135));
  if (tab == 2) {
    reportsPage_->loadChosenReport();
  } else if (tab == 3) {
    loadAboutDocument();
  }
}

}  // namespace veldra
