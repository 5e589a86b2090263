// The window's controls and their places, in twips as designed.
#include <QCheckBox>
#include <QFontMetrics>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>

#include "reports/report_options.h"
#include "ui/classic_controls.h"
#include "ui/locations_page.h"
#include "ui/main_window.h"
#include "ui/projects_page.h"
#include "ui/reports_page.h"
#include "ui/splash.h"
#include "ui/twips.h"

namespace veldra {
namespace {

// The About page's banner, drawn here so the window needs no image file.
QPixmap banner(QSize size) {
  QPixmap pixmap(size);
  pixmap.fill(QColor(0x00, 0x00, 0x80));
  QPainter painter(&pixmap);
  painter.setPen(Qt::white);
  painter.setFont(arial(14, true));
  painter.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("VELDRA 2006"));
  return pixmap;
}

}  // namespace

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
  frmMainHolder = panel(sheet_, "frmMainHolder", twipsRect(120, 3360, 7335, 3975));
  buildLowerPanel();

  lblDrvDir = label(sheet_, "lblDrvDir", QStringLiteral("Drives and Directories"),
                    twipsRect(4680, 120, 2175, 255));
  lblDrvDir->setFont(arial(8.25, true));

  TabStrip1Body = place(new QFrame(sheet_), "TabStrip1Body", twipsRect(120, 120, 7335, 3135));
  TabStrip1Body->setFrameShape(QFrame::StyledPanel);
  TabStrip1Body->setAutoFillBackground(true);
  TabStrip1 = place(new QTabBar(sheet_), "TabStrip1", QRect(twips(120), twips(120), twips(7335), twips(360)));
  TabStrip1->setFont(arial(8.25, true));
  TabStrip1->setDrawBase(false);
  TabStrip1->setExpanding(false);
  for (const char* caption : {"Projects", "Locations", "Reports", "About"}) {
    const int index = TabStrip1->addTab(QString::fromLatin1(caption));
    TabStrip1->setTabToolTip(index, QString::fromLatin1(caption));
    TabStrip1->setTabData(index, QString::fromLatin1(caption));
  }

  locationsPage_ = place(new LocationsPage(deps_.messages, deps_.volumes, [this] { return selectedProject(); }, sheet_),
                         "frmLocations", twipsRect(360, 480, 6855, 2655));
  frmAbout = panel(sheet_, "frmAbout", twipsRect(360, 600, 6855, 2415));
  buildAboutPage();
  projectsPage_ = place(new ProjectsPage(deps_.messages, sheet_), "frmProjects", twipsRect(360, 480, 6855, 2655));
  ReportsPage::Deps reports{deps_.messages, [this] { return selectedProject(); }, deps_.today, deps_.printDialog,
                            deps_.printSurface};
  reportsPage_ = place(new ReportsPage(std::move(reports), sheet_), "frmReports", twipsRect(360, 480, 6855, 6615));

  cmdExit = button(sheet_, "cmdExit", QStringLiteral("Exit"), twipsRect(2040, 7440, 1575, 375));
  cmdHelp = button(sheet_, "cmdHelp", QStringLiteral("Help"), twipsRect(3840, 7440, 1575, 375));
  // The evidence window's door, in the free space right of Help.
  cmdEvidence = button(sheet_, "cmdEvidence", QStringLiteral("Evidence..."), twipsRect(5640, 7440, 1575, 375));
  cmdEvidence->setToolTip(QStringLiteral("Groups of copies, pairs and their pictures for the selected project"));
  label(sheet_, "lblCredit", QStringLiteral("VELDRA 2006 - Veldra Software"), twipsRect(120, 7920, 3135, 255));
  label(sheet_, "lblWeb", QStringLiteral("www.veldra.example"), twipsRect(3360, 7920, 1815, 255),
        Qt::AlignHCenter);
  label(sheet_, "lblMail", QStringLiteral("support@veldra.example"), twipsRect(5400, 7920, 2055, 255),
        Qt::AlignRight);

  StatusBar1 = place(new QStatusBar(sheet_), "StatusBar1", twipsRect(0, 8160, 7590, 255));
  StatusBar1->setSizeGripEnabled(false);
  statusDate = new QLabel(StatusBar1);
  statusDate->setObjectName(QStringLiteral("Date"));
  statusDate->setToolTip(QStringLiteral("Time and Date"));
  StatusBar1->addWidget(statusDate, 1);

  // Lists the collection and the handle check may use; never shown.
  fileDwgs = hiddenList(sheet_, "fileDwgs", twipsRect(5520, 7440, 1575, 285));
  dirSubs = hiddenList(sheet_, "dirSubs", twipsRect(7680, 720, 1815, 3015));
  fileSubs = hiddenList(sheet_, "fileSubs", twipsRect(7680, 3960, 1935, 2820));
  lstHandles1 = hiddenList(sheet_, "lstHandles1", twipsRect(480, 7320, 1215, 255));
  lstHandles2 = hiddenList(sheet_, "lstHandles2", twipsRect(480, 7560, 1215, 255));

  // At start the Projects page is in front and the Reports page hidden.
  locationsPage_->hide();
  frmAbout->hide();
  reportsPage_->hide();
}

void MainWindow::buildAboutPage() {
  QPalette white = frmAbout->palette();
  white.setColor(QPalette::Window, Qt::white);
  frmAbout->setPalette(white);
  Picture2 = place(new QLabel(frmAbout), "Picture2", twipsRect(1800, 240, 3375, 435));
  const QPixmap installed = installedPicture(QStringLiteral("banner.png"));
  Picture2->setPixmap(installed.isNull() ? banner(Picture2->size())
                                         : installed.scaled(Picture2->size(), Qt::KeepAspectRatio,
                                                            Qt::SmoothTransformation));
  Picture2->setAlignment(Qt::AlignCenter);
  RichTextBox2 = place(new QTextEdit(frmAbout), "RichTextBox2", twipsRect(480, 840, 5895, 1455));
  RichTextBox2->setReadOnly(true);
  RichTextBox2->setFont(arial(6, false));
  RichTextBox2->setPlainText(QStringLiteral("About VELDRA 2006"));
}

void MainWindow::buildLowerPanel() {
  QWidget* p = frmMainHolder;
  // The statistics column's white rectangle and the two dividing lines.
  auto* shape = place(new QFrame(p), "Shape1", twipsRect(5280, 0, 2055, 3735));
  shape->setAutoFillBackground(true);
  QPalette white = shape->palette();
  white.setColor(QPalette::Window, Qt::white);
  shape->setPalette(white);
  auto* line1 = place(new QFrame(p), "Line1", QRect(0, 0, twips(7320), 1));
  line1->setFrameShape(QFrame::HLine);
  line1->setFrameShadow(QFrame::Plain);
  auto* line2 = place(new QFrame(p), "Line2", QRect(twips(5280), 0, 1, twips(3720)));
  line2->setFrameShape(QFrame::VLine);
  line2->setFrameShadow(QFrame::Plain);

  boldLabel(p, "lblEntity", QStringLiteral("Entity"), twipsRect(0, 120, 1215, 255));
  cmbEntity = editableList(p, "cmbEntity", twipsRect(0, 360, 2295, 315));
  for (std::string_view item : kEntityItems) cmbEntity->addItem(QString::fromLatin1(item.data(), item.size()));
  cmbEntity->setCurrentIndex(-1);
  chkLine = place(new QCheckBox(QStringLiteral("LINE entity warnings"), p), "chkLine_0",
                  twipsRect(0, 720, 2175, 255));
  chkLine->setChecked(true);

  frmOpt = place(new QGroupBox(QStringLiteral("Report Options"), p), "frmOpt", twipsRect(2520, 120, 2655, 2055));
  frmOpt->setFont(arial(8.25, true));
  const QFont regular = font();
  const char* names[3] = {"chkOpt_0", "chkOpt_1", "chkOpt_2"};
  const char* captions[3] = {"Time Matches", "Entities =", "DWG Age >="};
  const QRect rects[3] = {twipsRect(120, 360, 2175, 255), twipsRect(120, 720, 1095, 255),
                          twipsRect(120, 1080, 1335, 255)};
  for (int i = 0; i < 3; ++i) {
    chkOpt[i] = place(new QCheckBox(QString::fromLatin1(captions[i]), frmOpt), names[i], rects[i]);
    chkOpt[i]->setFont(regular);
    chkOpt[i]->setChecked(i != 2);
  }
  cmbPercent = editableList(frmOpt, "cmbPercent", twipsRect(1080, 705, 735, 315));
  cmbPercent->setFont(regular);
  for (std::string_view item : kPercentItems) cmbPercent->addItem(QString::fromLatin1(item.data(), item.size()));
  auto* percentLabel = label(frmOpt, "Label1", QStringLiteral("% match"), twipsRect(1800, 720, 615, 255));
  percentLabel->setFont(regular);
  // Free fonts run a little wider than the designed ones: let the label
  // reach into the frame's margin rather than cut its text.
  percentLabel->resize(std::max(percentLabel->width(), percentLabel->sizeHint().width()), percentLabel->height());
  cmbdate = editableList(frmOpt, "cmbdate", twipsRect(1440, 1080, 1095, 315));
  cmbdate->setFont(regular);
  for (std::string_view item : kAgeItems) cmbdate->addItem(QString::fromLatin1(item.data(), item.size()));

  cmdCollect = button(p, "cmdCollect", QStringLiteral("Start COLLECTING..."), twipsRect(0, 1080, 2295, 375), false);
  cmdCompare = button(p, "cmdCompare", QStringLiteral("Recompare..."), twipsRect(3120, 1680, 1455, 375), false);

  boldLabel(p, "lblLocCheck", QStringLiteral("Location:"), twipsRect(0, 2280, 855, 255), Qt::AlignRight);
  lblLocCur = boldLabel(p, "lblLocCur", QString(), twipsRect(960, 2280, 4215, 255));
  setTextColour(lblLocCur, qRgb(0x00, 0x00, 0xC0));
  auto* search = label(p, "Label4", QStringLiteral("search >>"), twipsRect(0, 2520, 855, 255), Qt::AlignRight);
  setTextColour(search, qRgb(0xC0, 0x40, 0x00));
  lblSubs = label(p, "lblSubs", QString(), twipsRect(1080, 2520, 3975, 255));
  setTextColour(lblSubs, qRgb(0xC0, 0x40, 0x00));
  boldLabel(p, "lblFileCheck", QStringLiteral("Filename:"), twipsRect(0, 2760, 855, 255), Qt::AlignRight);
  lblFileCur = boldLabel(p, "lblFileCur", QString(), twipsRect(960, 2760, 4215, 255));
  setTextColour(lblFileCur, qRgb(0xFF, 0x00, 0x00));
  boldLabel(p, "lblProgress", QStringLiteral("Progress"), twipsRect(0, 3120, 1215, 255));
  ProgressBar1 = place(new QProgressBar(p), "ProgressBar1", twipsRect(0, 3360, 5175, 345));
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setValue(0);
  boldLabel(p, "lbl0", QStringLiteral("0%"), twipsRect(0, 3720, 255, 255));
  boldLabel(p, "lbl100", QStringLiteral("100%"), twipsRect(4680, 3720, 495, 255), Qt::AlignRight);

  boldLabel(p, "lblCompStats", QStringLiteral("Comparison Statistics"), twipsRect(5400, 240, 2055, 255));
  boldLabel(p, "lblFilesHead", QStringLiteral("Files:"), twipsRect(5640, 720, 1095, 255), Qt::AlignRight);
  lblTotalFiles = boldLabel(p, "lblTotalFiles", QStringLiteral("0000"), twipsRect(6840, 720, 615, 255));
  setTextColour(lblTotalFiles, qRgb(0x00, 0x00, 0xC0));
  boldLabel(p, "lblTimeHead", QStringLiteral("Time Conflicts:"), twipsRect(5280, 960, 1455, 255), Qt::AlignRight);
  lblTotConflicts = boldLabel(p, "lblTotConflicts", QStringLiteral("0000"), twipsRect(6840, 960, 495, 255));
  boldLabel(p, "lblConflictHead", QStringLiteral("Entity Conflicts:"), twipsRect(5280, 1200, 1455, 255),
            Qt::AlignRight);
  lblTotEntityConflicts = boldLabel(p, "lblTotEntityConflicts", QStringLiteral("0000"),
                                    twipsRect(6840, 1200, 495, 255));
  boldLabel(p, "lblDateHead", QStringLiteral("Age Conflicts:"), twipsRect(5280, 1440, 1455, 255), Qt::AlignRight);
  lblTotDateConflicts = boldLabel(p, "lblTotDateConflicts", QStringLiteral("0000"),
                                  twipsRect(6840, 1440, 495, 255));
  for (QLabel* counter : {lblTotConflicts, lblTotEntityConflicts, lblTotDateConflicts})
    setTextColour(counter, qRgb(0xFF, 0x00, 0x00));
  Picture1 = place(new QLabel(p), "Picture1", twipsRect(5655, 1920, 1350, 1125));
  Picture1->setAlignment(Qt::AlignCenter);
  lblStatus = boldLabel(p, "lblStatus", QString(), twipsRect(5280, 3000, 2055, 255), Qt::AlignHCenter);
  lblVELDRAd = label(p, "lblVELDRAd", QStringLiteral("NO VELDRA's"), twipsRect(5355, 3240, 1935, 375),
                     Qt::AlignHCenter);
  // 18 point bold, made smaller only as far as the verdict needs to fit.
  QFont verdict = arial(18, true);
  while (verdict.pointSizeF() > 8 && QFontMetrics(verdict).horizontalAdvance(lblVELDRAd->text()) > lblVELDRAd->width())
    verdict.setPointSizeF(verdict.pointSizeF() - 0.5);
  lblVELDRAd->setFont(verdict);
  setTextColour(lblVELDRAd, qRgb(0x80, 0x00, 0x80));
  lblTime = boldLabel(p, "lblTime", QString(), twipsRect(5280, 3720, 1935, 255), Qt::AlignRight);
}

}  // namespace veldra
