#include "ui/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>

#include "app/messages.h"
#include "app/settings.h"
#include "app/settings_store.h"
#include "ui/about_page.h"
#include "ui/evidence_window.h"
#include "ui/help_window.h"
#include "ui/locations_page.h"
#include "ui/projects_page.h"
#include "ui/qt_text.h"
#include "ui/quiet_teardown.h"
#include "ui/reports_page.h"
#include "ui/run_panel.h"
#include "ui/splash.h"
#include "ui/twips.h"

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
  connect(locationsPage_, &LocationsPage::locationsChanged, runPanel_, &RunPanel::countDrawings);
  connect(runPanel_, &RunPanel::programMustEnd, this, [this] {
    // The program ends at once, without saving the entity choice.
    ended_ = true;
    if (deps_.endProgram) {
      deps_.endProgram();
    } else {
      QCoreApplication::quit();
    }
  });
  connect(helpButton_, &QPushButton::clicked, this, &MainWindow::openHelp);
  connect(evidenceButton_, &QPushButton::clicked, this, &MainWindow::openEvidence);
  connect(exitButton_, &QPushButton::clicked, this, &QWidget::close);
  connect(tabs_, &QTabBar::currentChanged, this, &MainWindow::showChosenPage);
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
  runPanel_->setWorkspace(ws_);

  dateLabel_->setText(QLocale(QLocale::English).toString(deps_.today(), QStringLiteral("dddd, MMMM d yyyy")));

  // From here on a failing step is skipped without a message.
  const QPixmap logo(qtPath(ws_.resource("veldralogo.jpg")));
  if (!logo.isNull()) runPanel_->showLogo(logo);

  locationsPage_->fillDrives();

  runPanel_->chooseFirstEntity();
  projectsPage_->load(ws_);

  runPanel_->restoreSettings();
  locationsPage_->restoreSubfolderSwitch();
}

// ---------------------------------------------------------------- shut-down

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

int MainWindow::entityPosition() const { return runPanel_->entityPosition(); }

// ---------------------------------------------------------------- messages

void MainWindow::showMessage(const QString& text, const QString& title, int icon) {
  if (!deps_.messages) return;
  deps_.messages->show(utf8Text(text), utf8Text(title),
                       static_cast<MessageIcon>(icon));
}

// ---------------------------------------------------------------- projects

QString MainWindow::selectedProject() const { return projectsPage_->selectedProject(); }

void MainWindow::showProject(const QString& name) {
  const std::string project = utf8Text(name);
  locationsPage_->showProject(project);
  runPanel_->showProject(project);
  setProjectCaption(QStringLiteral("Project: ") + name);
}

void MainWindow::setProjectCaption(const QString& caption) {
  locationsPage_->setCaption(caption);
  reportsPage_->setCaption(caption);
}

// A project listed under a name its files cannot have: it can only be removed.
void MainWindow::refuseProject(const QString& name) {
  locationsPage_->showNoProject();
  runPanel_->showNoProject();
  setProjectCaption(QStringLiteral("Project: ") + name);
}

void MainWindow::forgetProject() {
  locationsPage_->forgetProject();
  runPanel_->forgetProject();
}

// ---------------------------------------------------------------- locations

bool MainWindow::openFolder(const QString& folder) { return locationsPage_->openFolder(folder); }

QString MainWindow::currentFolder() const { return locationsPage_->currentFolder(); }

// ---------------------------------------------------------------- pages

void MainWindow::showChosenPage() {
  const int tab = tabs_->currentIndex();
  projectsPage_->setVisible(tab == 0);
  locationsPage_->setVisible(tab == 1);
  reportsPage_->setVisible(tab == 2);
  aboutPage_->setVisible(tab == 3);
  // Under the tall Reports page the strip keeps only its row of tabs, so
  // that no frame of its body shows beside the page; the other pages lie on
  // its body at its designed height.
  tabsBody_->resize(tabsBody_->width(), twips(tab == 2 ? 480 : 3135));
  if (tab == 2) {
    reportsPage_->loadChosenReport();
  } else if (tab == 3) {
    aboutPage_->showDocument(ws_.resource("about.rtf"));
  }
}

// ---------------------------------------------------------------- the window's own buttons

void MainWindow::openHelp() {
  if (!help_) help_ = new HelpWindow([this] { return ws_.installLoc(); }, this);
  help_->openHelp();
}

void MainWindow::openEvidence() {
  const QString project = selectedProject();
  if (project.isEmpty()) {
    showMessage(QStringLiteral("Select a project on the Projects page first."), QString::fromLatin1(kAppTitle), 0);
    return;
  }
  // One window per project: a second click brings the open one forward.
  const std::string name = utf8Text(project);
  for (EvidenceWindow* open : findChildren<EvidenceWindow*>()) {
    if (open->project() != name || !open->isVisible()) continue;
    open->showNormal();
    open->raise();
    open->activateWindow();
    return;
  }
  EvidenceWindowDeps deps = deps_.evidence;
  if (!deps.messages) deps.messages = deps_.messages;
  auto* window = new EvidenceWindow(ws_, name, deps, this);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->show();
  // The result kept from the last run shows at once; only a project never
  // judged is judged on opening.
  if (deps.runOnOpen && !window->findings()) window->startRun();
}

}  // namespace veldra
