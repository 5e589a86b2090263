// The window's frame and its pages at their places, in twips as designed.
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QVBoxLayout>

#include "ui/about_page.h"
#include "ui/classic_controls.h"
#include "ui/locations_page.h"
#include "ui/main_window.h"
#include "ui/projects_page.h"
#include "ui/reports_page.h"
#include "ui/run_panel.h"
#include "ui/splash.h"
#include "ui/twips.h"

namespace veldra {

void MainWindow::fitInto(const QSize& free) {
  const QSize designed = sheet_->size();
  QSize most = designed;
  // A sheet cut short in one direction needs room for the scroll bar in the
  // other.
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  if (free.height() < designed.height()) most.rwidth() += bar;
  if (free.width() < designed.width()) most.rheight() += bar;
  setMaximumSize(most);
  resize(most.boundedTo(free));
}

void MainWindow::buildControls() {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Veldra Main Control Centre - 2006"));
  setFont(arial(8.25, false));
  // The controls sit on a sheet of the designed size. Where the screen's
  // free area is smaller (a large display scale on a small screen), the
  // window opens smaller and the sheet scrolls; it never grows past it.
  sheet_ = new QWidget;
  sheet_->setObjectName(QStringLiteral("frmMainSheet"));
  sheet_->setFixedSize(twips(7590), twips(8415));
  auto* scroller = new QScrollArea(this);
  scroller->setObjectName(QStringLiteral("frmMainScroller"));
  scroller->setFrameShape(QFrame::NoFrame);
  scroller->setWidget(sheet_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(scroller);
  fitInto(sheet_->size());
  const QPixmap icon = installedPicture(QStringLiteral("veldra.png"));
  if (!icon.isNull()) setWindowIcon(QIcon(icon));

  // Created bottom to top of the stacking order, so each lies over the last.
  RunPanel::Deps runs{deps_.messages,
                      deps_.source,
                      deps_.runClock,
                      deps_.sound,
                      deps_.files,
                      [this] { return selectedProject(); },
                      [this] { return locationsPage_->entries(); }};
  runPanel_ = place(new RunPanel(std::move(runs), sheet_), "frmMainHolder", twipsRect(120, 3360, 7335, 3975));

  auto* drivesCaption = label(sheet_, "lblDrvDir", QStringLiteral("Drives and Directories"),
                              twipsRect(4680, 120, 2175, 255));
  drivesCaption->setFont(arial(8.25, true));

  tabsBody_ = place(new QFrame(sheet_), "TabStrip1Body", twipsRect(120, 120, 7335, 3135));
  tabsBody_->setFrameShape(QFrame::StyledPanel);
  tabsBody_->setAutoFillBackground(true);
  tabs_ = place(new QTabBar(sheet_), "TabStrip1", QRect(twips(120), twips(120), twips(7335), twips(360)));
  tabs_->setFont(arial(8.25, true));
  tabs_->setDrawBase(false);
  tabs_->setExpanding(false);
  for (const char* caption : {"Projects", "Locations", "Reports", "About"}) {
    const int index = tabs_->addTab(QString::fromLatin1(caption));
    tabs_->setTabToolTip(index, QString::fromLatin1(caption));
    tabs_->setTabData(index, QString::fromLatin1(caption));
  }

  locationsPage_ = place(new LocationsPage(deps_.messages, deps_.volumes, [this] { return selectedProject(); }, sheet_),
                         "frmLocations", twipsRect(360, 480, 6855, 2655));
  aboutPage_ = place(new AboutPage(sheet_), "frmAbout", twipsRect(360, 600, 6855, 2415));
  projectsPage_ = place(new ProjectsPage(deps_.messages, sheet_), "frmProjects", twipsRect(360, 480, 6855, 2655));
  ReportsPage::Deps reports{deps_.messages, [this] { return selectedProject(); }, deps_.today, deps_.printDialog,
                            deps_.printSurface};
  reportsPage_ = place(new ReportsPage(std::move(reports), sheet_), "frmReports", twipsRect(360, 480, 6855, 6615));

  exitButton_ = button(sheet_, "cmdExit", QStringLiteral("Exit"), twipsRect(2040, 7440, 1575, 375));
  helpButton_ = button(sheet_, "cmdHelp", QStringLiteral("Help"), twipsRect(3840, 7440, 1575, 375));
  // The evidence window's door, in the free space right of Help.
  evidenceButton_ = button(sheet_, "cmdEvidence", QStringLiteral("Evidence..."), twipsRect(5640, 7440, 1575, 375));
  evidenceButton_->setToolTip(QStringLiteral("Groups of copies, pairs and their pictures for the selected project"));
  label(sheet_, "lblCredit", QStringLiteral("VELDRA 2006 - Veldra Software"), twipsRect(120, 7920, 3135, 255));
  label(sheet_, "lblWeb", QStringLiteral("www.veldra.example"), twipsRect(3360, 7920, 1815, 255),
        Qt::AlignHCenter);
  label(sheet_, "lblMail", QStringLiteral("support@veldra.example"), twipsRect(5400, 7920, 2055, 255),
        Qt::AlignRight);

  auto* statusBar = place(new QStatusBar(sheet_), "StatusBar1", twipsRect(0, 8160, 7590, 255));
  statusBar->setSizeGripEnabled(false);
  dateLabel_ = new QLabel(statusBar);
  dateLabel_->setObjectName(QStringLiteral("Date"));
  dateLabel_->setToolTip(QStringLiteral("Time and Date"));
  statusBar->addWidget(dateLabel_, 1);

  // Lists the collection and the handle check may use; never shown.
  hiddenList(sheet_, "fileDwgs", twipsRect(5520, 7440, 1575, 285));
  hiddenList(sheet_, "dirSubs", twipsRect(7680, 720, 1815, 3015));
  hiddenList(sheet_, "fileSubs", twipsRect(7680, 3960, 1935, 2820));
  hiddenList(sheet_, "lstHandles1", twipsRect(480, 7320, 1215, 255));
  hiddenList(sheet_, "lstHandles2", twipsRect(480, 7560, 1215, 255));

  // At start the Projects page is in front and the Reports page hidden.
  locationsPage_->hide();
  aboutPage_->hide();
  reportsPage_->hide();
}

}  // namespace veldra
