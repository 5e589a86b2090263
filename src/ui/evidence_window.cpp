#include "ui/evidence_window.h"

#include <cmath>

#include <QBuffer>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QThread>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>

#include "app/messages.h"
#include "app/textfile.h"
#include "evidence/picture.h"
#include "evidence/report_writers.h"
#include "evidence/review.h"
#include "evidence/words.h"
#include "projects/folder_plan.h"
#include "projects/project_store.h"
#include "reports/print_job.h"
#include "ui/class_map.h"
#include "ui/evidence_pairs_model.h"
#include "ui/qt_print_dialog.h"
#include "ui/sketch_picture.h"

namespace veldra {

namespace {

// The placement carries the first drawing's pieces onto the second's; the
// overlay wants the second laid onto the first, so the inverse.
sketch::Similarity secondOntoFirst(const std::optional<evidence::Placement>& placement) {
  if (!placement) return {};
  const double* m = placement->m;
  const double det = m[0] * m[3] - m[1] * m[2];
  if (!(std::fabs(det) > 1e-12)) return {};
  sketch::Similarity inverse;
  inverse.a = m[3] / det;
  inverse.b = -m[1] / det;
  inverse.c = -m[2] / det;
  inverse.d = m[0] / det;
  inverse.tx = -(inverse.a * placement->dx + inverse.b * placement->dy);
  inverse.ty = -(inverse.c * placement->dx + inverse.d * placement->dy);
  return inverse;
}

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::filesystem::path pathOf(const QString& text) { return std::filesystem::path(text.toStdU16String()); }

QString textOf(const std::filesystem::path& path) { return QString::fromStdU16String(path.u16string()); }

class DesktopFolders : public FolderOpener {
 public:
  bool openFolder(const QString& folder) override { return QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); }
};

// The verdicts the filter offers, in the order of its items.
const std::optional<evidence::Verdict> kFilterVerdicts[] = {std::nullopt, evidence::Verdict::kCopy,
                                                             evidence::Verdict::kLikelyCopy,
                                                             evidence::Verdict::kCoincidence};

// The marks the filter and the mark box offer, in the order of their items
// after the first ("all" in the filter, "no mark" in the box).
const evidence::ReviewMark kMarks[] = {evidence::ReviewMark::kToReview, evidence::ReviewMark::kConfirmed,
                                       evidence::ReviewMark::kNotCopy};

std::int64_t nowUnixMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

QImage previewImage(const veldra::dwg::Preview& preview) {
  using veldra::dwg::PreviewFormat;
  if (preview.bytes.empty()) return {};
  const auto* data = reinterpret_cast<const uchar*>(preview.bytes.data());
  const int size = static_cast<int>(preview.bytes.size());
  if (preview.format == PreviewFormat::kPng) return QImage::fromData(data, size, "PNG");
  if (preview.format == PreviewFormat::kBmp) {
    const auto file = evidence::bmpFile(preview.bytes);
    if (!file) return {};
    return QImage::fromData(reinterpret_cast<const uchar*>(file->data()), static_cast<int>(file->size()), "BMP");
  }
  return {};
}

PreviewPicture::PreviewPicture(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setMinimumSize(160, 120);
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
}

void PreviewPicture::setImage(const QImage& image, const QString& missing) {
  image_ = image;
  missing_ = image.isNull() ? missing : QString();
  setAccessibleDescription(image.isNull() ? missing_ : QStringLiteral("preview picture"));
  update();
}

void PreviewPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  if (image_.isNull()) {
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, missing_);
    return;
  }
  // Drawn into the widget's logical rectangle, the painter uses every device
  // pixel there is, so a scaled screen gets the picture's own detail.
  const QRect area = rect().adjusted(4, 4, -4, -4);
  QSize fitted = image_.size().scaled(area.size(), Qt::KeepAspectRatio);
  const QRect target(area.x() + (area.width() - fitted.width()) / 2, area.y() + (area.height() - fitted.height()) / 2,
                     fitted.width(), fitted.height());
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter.drawImage(target, image_);
}

EvidenceWindow::EvidenceWindow(const Workspace& workspace, std::string project, EvidenceWindowDeps deps,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), workspace_(workspace), project_(std::move(project)), deps_(std::move(deps)) {
  if (!deps_.folders) {
    ownFolders_ = std::make_unique<DesktopFolders>();
    deps_.folders = ownFolders_.get();
  }
  if (!deps_.chooseSaveFile)
    deps_.chooseSaveFile = [this](const QString& caption, const QString& suggested) {
      return QFileDialog::getSaveFileName(this, caption, suggested);
    };
  if (!deps_.chooseDrawings)
    deps_.chooseDrawings = [this](const QString& caption) {
      return QFileDialog::getOpenFileNames(this, caption, QString(), QStringLiteral("Drawings (*.dwg *.DWG)"));
    };
  if (!deps_.printDialog)
    deps_.printDialog = [this](QPrinter& printer) -> std::unique_ptr<PrintDialog> {
      return std::make_unique<QtPrintDialog>(printer, this);
    };
  buildControls();
  loadSettings();
  showKeptRun();
  setRunning(false);
  fitToScreen();
}

void EvidenceWindow::fitToScreen() {
  // As large as it was made to be, but never past the screen's free area
  // (at a large scale the screen holds fewer logical pixels).
  QSize size(1100, 760);
  if (const QScreen* s = screen()) {
    const QRect free = s->availableGeometry();
    size = size.boundedTo(free.size() - QSize(16, 48));
    resize(size);
    move(free.topLeft() + QPoint((free.width() - size.width()) / 2, std::max(0, (free.height() - size.height()) / 3)));
    return;
  }
  resize(size);
}

EvidenceWindow::~EvidenceWindow() {
  if (thread_) {
    cancel_->store(true);
    thread_->wait();
  }
}

void EvidenceWindow::buildControls() {
  setObjectName(QStringLiteral("frmEvidence"));
  setWindowTitle(QStringLiteral("VELDRA Evidence - %1").arg(fromUtf8(project_)));
  auto* layout = new QVBoxLayout(this);

  auto* bar = new QHBoxLayout;
  runButton = new QPushButton(QStringLiteral("&Run the check"), this);
  runButton->setObjectName(QStringLiteral("runButton"));
  cancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
  cancelButton->setObjectName(QStringLiteral("cancelButton"));
  progress = new QProgressBar(this);
  progress->setObjectName(QStringLiteral("progress"));
  progress->setTextVisible(true);
  exportCsvButton = new QPushButton(QStringLiteral("E&xport CSV..."), this);
  exportCsvButton->setObjectName(QStringLiteral("exportCsvButton"));
  exportHtmlButton = new QPushButton(QStringLiteral("Export &HTML..."), this);
  exportHtmlButton->setObjectName(QStringLiteral("exportHtmlButton"));
  printButton = new QPushButton(QStringLiteral("&Print..."), this);
  printButton->setObjectName(QStringLiteral("printButton"));
  closeButton = new QPushButton(QStringLiteral("Close"), this);
  closeButton->setObjectName(QStringLiteral("closeButton"));
  closeButton->setToolTip(QStringLiteral("Close this window (Esc, Ctrl+W)"));
  bar->addWidget(runButton);
  bar->addWidget(cancelButton);
  bar->addWidget(progress, 1);
  bar->addWidget(exportCsvButton);
  bar->addWidget(exportHtmlButton);
  bar->addWidget(printButton);
  bar->addWidget(closeButton);
  layout->addLayout(bar);

  runStatus = new QLabel(QStringLiteral("The check has not run yet."), this);
  runStatus->setObjectName(QStringLiteral("runStatus"));
  runStatus->setWordWrap(true);
  runStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(runStatus);

  tabs = new QTabWidget(this);
  tabs->setObjectName(QStringLiteral("tabs"));
  tabs->addTab(buildPairsPage(), QStringLiteral("&Groups and pairs"));
  tabs->addTab(buildPairPage(), QStringLiteral("Pa&ir"));
  classMap = new ClassMap(this);
  tabs->addTab(classMap, QStringLiteral("Class &map"));
  tabs->addTab(buildProblemsPage(), QStringLiteral("Problem &drawings"));
  tabs->addTab(buildSettingsPage(), QStringLiteral("&Settings"));
  tabs->addTab(buildDrawingsPage(), QStringLiteral("Dra&wings"));
  layout->addWidget(tabs, 1);
  // The map answers the keys as soon as its page is chosen.
  connect(tabs, &QTabWidget::currentChanged, this, [this](int) {
    if (tabs->currentWidget() == classMap) classMap->setFocus(Qt::TabFocusReason);
  });
  // Each key once: two shortcuts on one key would cancel each other out.
  for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
    auto* shortcut = new QShortcut(keys, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, &QWidget::close);
  }
  connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

  connect(runButton, &QPushButton::clicked, this, &EvidenceWindow::startRun);
  connect(cancelButton, &QPushButton::clicked, this, &EvidenceWindow::cancelRun);
  connect(exportCsvButton, &QPushButton::clicked, this, &EvidenceWindow::exportCsv);
  connect(exportHtmlButton, &QPushButton::clicked, this, &EvidenceWindow::exportHtml);
  connect(printButton, &QPushButton::clicked, this, &EvidenceWindow::printReport);
  connect(classMap, &ClassMap::pairChosen, this, &EvidenceWindow::showPair);
}

QWidget* EvidenceWindow::buildPairsPage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("pairsPage"));
  auto* splitter = new QSplitter(Qt::Vertical, page);
  groupsTree = new QTreeWidget(splitter);
  groupsTree->setObjectName(QStringLiteral("groupsTree"));
  groupsTree->setHeaderLabels({QStringLiteral("Group"), QStringLiteral("Drawing"), QStringLiteral("Role")});
  groupsTree->setRootIsDecorated(true);
  groupsTree->setAlternatingRowColors(true);

  auto* lower = new QWidget(splitter);
  auto* lowerLayout = new QVBoxLayout(lower);
  lowerLayout->setContentsMargins(0, 0, 0, 0);
  auto* filters = new QHBoxLayout;
  auto* verdictLabel = new QLabel(QStringLiteral("&Verdict:"), lower);
  verdictFilter = new QComboBox(lower);
  verdictFilter->setObjectName(QStringLiteral("verdictFilter"));
  verdictFilter->addItems({QStringLiteral("all"), QStringLiteral("copy"), QStringLiteral("likely copy"),
                           QStringLiteral("coincidence")});
  verdictLabel->setBuddy(verdictFilter);
  auto* thresholdLabel = new QLabel(QStringLiteral("Least sc&ore:"), lower);
  thresholdSlider = new QSlider(Qt::Horizontal, lower);
  thresholdSlider->setObjectName(QStringLiteral("thresholdSlider"));
  thresholdSlider->setRange(0, 100);
  thresholdSlider->setPageStep(5);
  thresholdSlider->setTracking(true);
  thresholdLabel->setBuddy(thresholdSlider);
  thresholdValue = new QLabel(QStringLiteral("0"), lower);
  thresholdValue->setObjectName(QStringLiteral("thresholdValue"));
  thresholdValue->setMinimumWidth(thresholdValue->fontMetrics().horizontalAdvance(QStringLiteral("1000")));
  filters->addWidget(verdictLabel);
  filters->addWidget(verdictFilter);
  filters->addSpacing(16);
  filters->addWidget(thresholdLabel);
  filters->addWidget(thresholdSlider, 1);
  filters->addWidget(thresholdValue);
  filters->addSpacing(16);
  auto* reviewLabel = new QLabel(QStringLiteral("Mar&k:"), lower);
  reviewFilter = new QComboBox(lower);
  reviewFilter->setObjectName(QStringLiteral("reviewFilter"));
  reviewFilter->addItems({QStringLiteral("all"), QStringLiteral("to review"), QStringLiteral("confirmed copy"),
                          QStringLiteral("not a copy"), QStringLiteral("no mark"),
                          QStringLiteral("judged otherwise since marked")});
  reviewLabel->setBuddy(reviewFilter);
  filters->addWidget(reviewLabel);
  filters->addWidget(reviewFilter);
  lowerLayout->addLayout(filters);

  pairsModel_ = new EvidencePairsModel(this);
  pairsFilter_ = new EvidencePairsFilter(this);
  pairsFilter_->setSourceModel(pairsModel_);
  pairsTable = new QTableView(lower);
  pairsTable->setObjectName(QStringLiteral("pairsTable"));
  pairsTable->setModel(pairsFilter_);
  pairsTable->setSortingEnabled(true);
  pairsTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  pairsTable->setSelectionMode(QAbstractItemView::SingleSelection);
  pairsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  pairsTable->setAlternatingRowColors(true);
  pairsTable->verticalHeader()->hide();
  pairsTable->horizontalHeader()->setStretchLastSection(true);
  pairsTable->setTabKeyNavigation(false);
  lowerLayout->addWidget(pairsTable, 1);
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 3);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(splitter);

  connect(thresholdSlider, &QSlider::valueChanged, this, [this](int value) {
    thresholdValue->setText(QString::number(value));
    pairsFilter_->setMinimumScore(value);
  });
  connect(reviewFilter, &QComboBox::currentIndexChanged, this, [this](int index) {
    using Choice = EvidencePairsFilter::ReviewChoice;
    static const Choice kChoices[] = {Choice::kAll, Choice::kToReview, Choice::kConfirmed, Choice::kNotCopy,
                                      Choice::kUnmarked, Choice::kChanged};
    if (index >= 0 && index < static_cast<int>(std::size(kChoices))) pairsFilter_->setReview(kChoices[index]);
  });
  connect(verdictFilter, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0 && index < static_cast<int>(std::size(kFilterVerdicts))) pairsFilter_->setVerdict(kFilterVerdicts[index]);
  });
  connect(pairsTable, &QTableView::activated, this, [this](const QModelIndex& index) {
    showPair(index.data(EvidencePairsModel::kPairRole).toInt());
  });
  connect(groupsTree, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    const QVariant pair = item->data(0, Qt::UserRole);
    if (pair.isValid()) showPair(pair.toInt());
  });
  return page;
}

QWidget* EvidenceWindow::buildPairPage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("pairPage"));
  auto* layout = new QVBoxLayout(page);
  pairTitle = new QLabel(QStringLiteral("Choose a pair in the table or on the class map."), page);
  pairTitle->setObjectName(QStringLiteral("pairTitle"));
  QFont big = pairTitle->font();
  big.setPointSizeF(big.pointSizeF() * 1.2);
  big.setBold(true);
  pairTitle->setFont(big);
  layout->addWidget(pairTitle);

  auto* pictures = new QGridLayout;
  nameA = new QLabel(page);
  nameA->setObjectName(QStringLiteral("nameA"));
  nameB = new QLabel(page);
  nameB->setObjectName(QStringLiteral("nameB"));
  auto* overlayName = new QLabel(QStringLiteral("Both in one view: 2 laid over 1"), page);
  for (QLabel* name : {nameA, nameB, overlayName}) {
    name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    name->setWordWrap(true);
  }
  previewA = new PreviewPicture(page);
  previewA->setObjectName(QStringLiteral("previewA"));
  previewB = new PreviewPicture(page);
  previewB->setObjectName(QStringLiteral("previewB"));
  overlay = new OverlayView(page);
  captionA = new QLabel(page);
  captionA->setObjectName(QStringLiteral("captionA"));
  captionB = new QLabel(page);
  captionB->setObjectName(QStringLiteral("captionB"));
  for (QLabel* caption : {captionA, captionB}) {
    QFont small = caption->font();
    small.setItalic(true);
    caption->setFont(small);
    caption->setWordWrap(true);
  }
  openFolderA = new QPushButton(QStringLiteral("Open folder of &1"), page);
  openFolderA->setObjectName(QStringLiteral("openFolderA"));
  openFolderB = new QPushButton(QStringLiteral("Open folder of &2"), page);
  openFolderB->setObjectName(QStringLiteral("openFolderB"));
  fitOverlayButton = new QPushButton(QStringLiteral("&Fit"), page);
  fitOverlayButton->setObjectName(QStringLiteral("fitOverlayButton"));
  exportOverlayButton = new QPushButton(QStringLiteral("Save o&verlay..."), page);
  exportOverlayButton->setObjectName(QStringLiteral("exportOverlayButton"));
  auto* overlayButtons = new QHBoxLayout;
  overlayButtons->addWidget(fitOverlayButton);
  overlayButtons->addWidget(exportOverlayButton);
  overlayButtons->addStretch(1);
  pictures->addWidget(nameA, 0, 0);
  pictures->addWidget(nameB, 0, 1);
  pictures->addWidget(overlayName, 0, 2);
  pictures->addWidget(previewA, 1, 0);
  pictures->addWidget(previewB, 1, 1);
  pictures->addWidget(overlay, 1, 2);
  pictures->addWidget(captionA, 2, 0);
  pictures->addWidget(captionB, 2, 1);
  pictures->addWidget(openFolderA, 3, 0, Qt::AlignLeft);
  pictures->addWidget(openFolderB, 3, 1, Qt::AlignLeft);
  pictures->addLayout(overlayButtons, 3, 2);
  pictures->setRowStretch(1, 1);
  layout->addLayout(pictures, 3);

  auto* review = new QGroupBox(QStringLiteral("The teacher's mark, kept with the pair"), page);
  auto* reviewLayout = new QGridLayout(review);
  auto* markLabel = new QLabel(QStringLiteral("Mar&k:"), review);
  reviewMark = new QComboBox(review);
  reviewMark->setObjectName(QStringLiteral("reviewMark"));
  reviewMark->addItems({QStringLiteral("no mark"), QStringLiteral("to review"), QStringLiteral("confirmed copy"),
                        QStringLiteral("not a copy")});
  markLabel->setBuddy(reviewMark);
  auto* noteLabel = new QLabel(QStringLiteral("&Note:"), review);
  reviewNote = new QPlainTextEdit(review);
  reviewNote->setObjectName(QStringLiteral("reviewNote"));
  reviewNote->setTabChangesFocus(true);
  reviewNote->setMaximumHeight(reviewNote->fontMetrics().lineSpacing() * 3 + 12);
  noteLabel->setBuddy(reviewNote);
  saveReviewButton = new QPushButton(QStringLiteral("Keep mark and no&te"), review);
  saveReviewButton->setObjectName(QStringLiteral("saveReviewButton"));
  reviewStatus = new QLabel(review);
  reviewStatus->setObjectName(QStringLiteral("reviewStatus"));
  reviewStatus->setWordWrap(true);
  reviewLayout->addWidget(markLabel, 0, 0);
  reviewLayout->addWidget(reviewMark, 0, 1);
  reviewLayout->addWidget(saveReviewButton, 0, 2);
  reviewLayout->addWidget(reviewStatus, 0, 3);
  reviewLayout->addWidget(noteLabel, 1, 0, Qt::AlignTop);
  reviewLayout->addWidget(reviewNote, 1, 1, 1, 3);
  reviewLayout->setColumnStretch(3, 1);
  layout->addWidget(review);

  pairSource = new QLabel(page);
  pairSource->setObjectName(QStringLiteral("pairSource"));
  pairSource->setWordWrap(true);
  pairSource->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(pairSource);
  pairEvidence = new QTextBrowser(page);
  pairEvidence->setObjectName(QStringLiteral("pairEvidence"));
  layout->addWidget(pairEvidence, 2);
  printCaseSheetButton = new QPushButton(QStringLiteral("Print cas&e sheet..."), page);
  printCaseSheetButton->setObjectName(QStringLiteral("printCaseSheetButton"));
  printCaseSheetButton->setToolTip(QStringLiteral("This pair on a page of its own, for a talk with the students"));
  layout->addWidget(printCaseSheetButton, 0, Qt::AlignLeft);

  connect(openFolderA, &QPushButton::clicked, this, [this] { openDrawingFolder(0); });
  connect(openFolderB, &QPushButton::clicked, this, [this] { openDrawingFolder(1); });
  connect(printCaseSheetButton, &QPushButton::clicked, this, &EvidenceWindow::printCaseSheet);
  connect(saveReviewButton, &QPushButton::clicked, this, &EvidenceWindow::saveReview);
  connect(fitOverlayButton, &QPushButton::clicked, overlay, &OverlayView::fit);
  connect(exportOverlayButton, &QPushButton::clicked, this, &EvidenceWindow::exportOverlay);
  for (QWidget* w : std::initializer_list<QWidget*>{reviewMark, reviewNote, saveReviewButton, fitOverlayButton,
                                                    exportOverlayButton})
    w->setEnabled(false);
  openFolderA->setEnabled(false);
  openFolderB->setEnabled(false);
  printCaseSheetButton->setEnabled(false);
  return page;
}

QWidget* EvidenceWindow::buildProblemsPage() {
  problemTable = new QTableWidget(0, 3, this);
  problemTable->setObjectName(QStringLiteral("problemTable"));
  problemTable->setHorizontalHeaderLabels({QStringLiteral("Drawing"), QStringLiteral("Read"), QStringLiteral("Reason")});
  problemTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  problemTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  problemTable->verticalHeader()->hide();
  problemTable->horizontalHeader()->setStretchLastSection(true);
  problemTable->setWordWrap(true);
  problemTable->setTabKeyNavigation(false);
  return problemTable;
}

QWidget* EvidenceWindow::buildSettingsPage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("settingsPage"));
  auto* layout = new QVBoxLayout(page);

  auto* templates = new QGroupBox(QStringLiteral("Template drawings: their entities, handles and identity count for nothing"), page);
  auto* tLayout = new QGridLayout(templates);
  templateList = new QListWidget(templates);
  templateList->setObjectName(QStringLiteral("templateList"));
  addTemplate = new QPushButton(QStringLiteral("&Add..."), templates);
  addTemplate->setObjectName(QStringLiteral("addTemplate"));
  removeTemplate = new QPushButton(QStringLiteral("R&emove"), templates);
  removeTemplate->setObjectName(QStringLiteral("removeTemplate"));
  tLayout->addWidget(templateList, 0, 0, 3, 1);
  tLayout->addWidget(addTemplate, 0, 1);
  tLayout->addWidget(removeTemplate, 1, 1);
  tLayout->setRowStretch(2, 1);
  layout->addWidget(templates, 2);

  auto* lower = new QHBoxLayout;
  auto* against = new QGroupBox(QStringLiteral("Compare against earlier projects (judged before)"), page);
  auto* aLayout = new QVBoxLayout(against);
  againstList = new QListWidget(against);
  againstList->setObjectName(QStringLiteral("againstList"));
  aLayout->addWidget(againstList);
  lower->addWidget(against, 1);

  auto* people = new QGroupBox(QStringLiteral("Author names to ignore (shared logins), one a line"), page);
  auto* pLayout = new QVBoxLayout(people);
  ignoredAuthors = new QPlainTextEdit(people);
  ignoredAuthors->setObjectName(QStringLiteral("ignoredAuthors"));
  ignoredAuthors->setTabChangesFocus(true);
  pLayout->addWidget(ignoredAuthors);
  lower->addWidget(people, 1);
  layout->addLayout(lower, 2);

  auto* form = new QFormLayout;
  termEdit = new QLineEdit(page);
  termEdit->setObjectName(QStringLiteral("termEdit"));
  termEdit->setPlaceholderText(QStringLiteral("e.g. autumn 2026"));
  form->addRow(QStringLiteral("&Term of this project:"), termEdit);
  copyThreshold = new QSpinBox(page);
  copyThreshold->setObjectName(QStringLiteral("copyThreshold"));
  copyThreshold->setRange(2, 100);
  likelyThreshold = new QSpinBox(page);
  likelyThreshold->setObjectName(QStringLiteral("likelyThreshold"));
  likelyThreshold->setRange(1, 99);
  // A likely copy stays below a copy.
  connect(copyThreshold, &QSpinBox::valueChanged, this, [this](int v) {
    likelyThreshold->setMaximum(v - 1);
  });
  form->addRow(QStringLiteral("A cop&y from score:"), copyThreshold);
  form->addRow(QStringLiteral("A &likely copy from score:"), likelyThreshold);
  layout->addLayout(form);

  auto* buttons = new QHBoxLayout;
  saveSettingsButton = new QPushButton(QStringLiteral("Sa&ve settings"), page);
  saveSettingsButton->setObjectName(QStringLiteral("saveSettingsButton"));
  settingsStatus = new QLabel(page);
  settingsStatus->setObjectName(QStringLiteral("settingsStatus"));
  settingsStatus->setWordWrap(true);
  buttons->addWidget(saveSettingsButton);
  buttons->addWidget(settingsStatus, 1);
  layout->addLayout(buttons);

  connect(addTemplate, &QPushButton::clicked, this, [this] {
    for (const QString& file : deps_.chooseDrawings(QStringLiteral("Template drawings")))
      if (templateList->findItems(file, Qt::MatchExactly).isEmpty()) templateList->addItem(file);
  });
  connect(removeTemplate, &QPushButton::clicked, this, [this] { delete templateList->currentItem(); });
  connect(saveSettingsButton, &QPushButton::clicked, this, &EvidenceWindow::saveSettings);
  return page;
}

bool EvidenceWindow::loadSettings() {
  std::string error;
  const auto saved = evidence::loadProjectSettings(workspace_, project_, error);
  settingsUnread_ = !saved;
  if (!saved) {
    const QString text = QStringLiteral("The saved settings could not be read: %1. Nothing is judged until they "
                                        "can be; the last report stands.")
                             .arg(fromUtf8(error));
    settingsStatus->setText(text);
    runStatus->setText(text);
    return false;
  }
  const evidence::EvidenceSettings& s = *saved;
  templateList->clear();
  for (const auto& t : s.templates) templateList->addItem(textOf(t));
  againstList->clear();
  std::vector<std::string> names = readProjects(workspace_).value_or(std::vector<std::string>{});
  for (const auto& a : s.against)  // an earlier project no longer listed may still be in the store
    if (std::find(names.begin(), names.end(), a) == names.end()) names.push_back(a);
  for (const auto& name : names) {
    if (name == project_) continue;
    auto* item = new QListWidgetItem(fromUtf8(name), againstList);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    const bool chosen = std::find(s.against.begin(), s.against.end(), name) != s.against.end();
    item->setCheckState(chosen ? Qt::Checked : Qt::Unchecked);
  }
  QStringList authors;
  for (const auto& n : s.ignoredAuthors) authors << fromUtf8(n);
  ignoredAuthors->setPlainText(authors.join(QLatin1Char('\n')));
  termEdit->setText(fromUtf8(s.term));
  const auto th = evidence::checkedThresholds(s.thresholds);
  copyThreshold->setValue(th.copy);
  likelyThreshold->setMaximum(th.copy - 1);
  likelyThreshold->setValue(th.likelyCopy);
  settingsStatus->clear();
  return true;
}

evidence::EvidenceSettings EvidenceWindow::settingsFromControls() const {
  evidence::EvidenceSettings s;
  for (int k = 0; k < templateList->count(); ++k) s.templates.push_back(pathOf(templateList->item(k)->text()));
  for (int k = 0; k < againstList->count(); ++k)
    if (againstList->item(k)->checkState() == Qt::Checked) s.against.push_back(againstList->item(k)->text().toStdString());
  for (const QString& line : ignoredAuthors->toPlainText().split(QLatin1Char('\n'))) {
    const QString name = line.simplified();
    if (!name.isEmpty()) s.ignoredAuthors.push_back(name.toStdString());
  }
  s.term = termEdit->text().trimmed().toStdString();
  s.thresholds = evidence::checkedThresholds({copyThreshold->value(), likelyThreshold->value()});
  return s;
}

void EvidenceWindow::saveSettings() {
  std::string error;
  if (evidence::saveProjectSettings(workspace_, project_, settingsFromControls(), error)) {
    settingsUnread_ = false;
    settingsStatus->setText(QStringLiteral("Saved."));
  } else {
    settingsStatus->setText(QStringLiteral("Not saved: %1").arg(fromUtf8(error)));
  }
}

void EvidenceWindow::setRunning(bool running) {
  runButton->setEnabled(!running);
  cancelButton->setEnabled(running);
  const bool haveFindings = findings_ != nullptr && !running;
  exportCsvButton->setEnabled(haveFindings);
  exportHtmlButton->setEnabled(haveFindings);
  printButton->setEnabled(haveFindings);
  if (!running && !cancelButton->hasFocus()) return;
  if (running) cancelButton->setFocus();
  else runButton->setFocus();
}

QString EvidenceWindow::locationProblem() const {
  const auto locations = readLocations(workspace_, project_);
  if (!locations || locations->empty())
    return QStringLiteral("The project %1 has no locations. Add the folders of its students' drawings on the "
                          "Locations page of the main window, then run the check.")
        .arg(fromUtf8(project_));
  const FolderPlan plan = planFolders(*locations);
  if (!plan.whole()) return fromUtf8(plan.problem) + QStringLiteral(" Mend the project's locations, then run the check.");
  return {};
}

void EvidenceWindow::startRun() {
  if (thread_) return;
  // Run on empty controls, the check would judge without the saved
  // templates and overwrite the last report (and the saved settings).
  if (settingsUnread_ && !loadSettings()) return;
  if (const QString problem = locationProblem(); !problem.isEmpty()) {
    runStatus->setText(problem);
    showError(problem);
    return;
  }
  saveSettings();
  const evidence::EvidenceSettings settings = settingsFromControls();
  cancel_ = std::make_shared<std::atomic<bool>>(false);
  result_ = std::make_shared<evidence::RunResult>();
  progress->setRange(0, 0);
  progress->setFormat(QStringLiteral("Starting"));
  runStatus->setText(QStringLiteral("Judging %1...").arg(fromUtf8(project_)));
  // The worker owns copies of all it reads; the window hears of it through
  // queued calls, which are dropped if the window is gone.
  const Workspace workspace = workspace_;
  const std::string project = project_;
  auto cancel = cancel_;
  auto result = result_;
  decltype(deps_.runCheck) check = deps_.runCheck;
  if (!check)
    check = [](const Workspace& w, const std::string& p, const evidence::EvidenceSettings& s,
               const evidence::RunControl& c) { return evidence::runEvidenceCheck(w, p, s, c); };
  // The window outlives the thread (closing it waits for the thread), and a
  // queued call to a window that is gone is dropped.
  thread_ = QThread::create([this, workspace, project, settings, cancel, result, check] {
    evidence::RunControl control;
    control.cancel = cancel.get();
    std::string lastStage;
    std::size_t lastDone = 0;
    control.progress = [this, &lastStage, &lastDone](const evidence::Progress& p) {
      // At most some two hundred steps a stage reach the window.
      const std::size_t step = std::max<std::size_t>(1, p.total / 200);
      if (p.stage == lastStage && p.done != p.total && p.done < lastDone + step) return;
      lastStage = p.stage;
      lastDone = p.done;
      const QString stage = QString::fromUtf8(p.stage.data(), static_cast<qsizetype>(p.stage.size()));
      const auto done = static_cast<qint64>(p.done), total = static_cast<qint64>(p.total);
      QMetaObject::invokeMethod(this, [this, stage, done, total] { showProgress(stage, done, total); },
                                Qt::QueuedConnection);
    };
    *result = check(workspace, project, settings, control);
  });
  thread_->setParent(this);
  connect(thread_, &QThread::finished, this, &EvidenceWindow::finishRun);
  setRunning(true);
  thread_->start();
}

void EvidenceWindow::cancelRun() {
  if (!thread_) return;
  cancel_->store(true);
  progress->setFormat(QStringLiteral("Cancelling"));
  cancelButton->setEnabled(false);
}

void EvidenceWindow::showProgress(const QString& stage, qint64 done, qint64 total) {
  if (!thread_ || cancel_->load()) return;
  // The bar counts in thousandths, whatever the totals are.
  if (total <= 0) {
    progress->setRange(0, 0);
  } else {
    progress->setRange(0, 1000);
    progress->setValue(static_cast<int>(std::min<qint64>(1000, done * 1000 / total)));
  }
  progress->setFormat(total > 0 ? QStringLiteral("%1: %2 of %3").arg(stage).arg(done).arg(total) : stage);
}

void EvidenceWindow::finishRun() {
  thread_->deleteLater();
  thread_ = nullptr;
  const evidence::RunResult& r = *result_;
  progress->setRange(0, 1000);
  progress->setValue(0);
  switch (r.outcome) {
    case evidence::RunOutcome::kCancelled:
      progress->setFormat(QStringLiteral("Cancelled"));
      runStatus->setText(QStringLiteral("The check was cancelled; nothing was written."));
      break;
    case evidence::RunOutcome::kError:
      progress->setFormat(QStringLiteral("Failed"));
      runStatus->setText(QStringLiteral("The check failed: %1").arg(fromUtf8(r.error)));
      break;
    case evidence::RunOutcome::kDone: {
      progress->setValue(1000);
      progress->setFormat(QStringLiteral("Done"));
      findings_ = std::make_shared<evidence::Findings>(r.findings);
      showingKept_ = false;
      showFindings();
      break;
    }
  }
  result_.reset();
  setRunning(false);
  emit runEnded();
}

void EvidenceWindow::showKeptRun() {
  std::string error;
  auto kept = evidence::loadLastRun(workspace_, project_, error);
  if (!kept) {
    if (!error.empty()) runStatus->setText(QStringLiteral("The last result cannot be shown: %1").arg(fromUtf8(error)));
    return;
  }
  findings_ = std::make_shared<evidence::Findings>(std::move(*kept));
  showingKept_ = true;
  showFindings();
}

void EvidenceWindow::showFindings() {
  const auto& f = *findings_;
  const auto counts = f.counts();
  const auto problems = f.problemDrawings();
  QString status;
  if (showingKept_) {
    status = QStringLiteral("Last run %1 (settings: %2). ")
                 .arg(fromUtf8(evidence::instantText(evidence::Instant{f.runAtUnixMs, true})),
                      fromUtf8(evidence::runSettingsText(f)));
    const auto changed = evidence::changedSinceRun(f);
    if (!changed.empty()) {
      QStringList names;
      for (const auto i : changed) names << drawingText(f, i);
      status += QStringLiteral("Changed or gone since: %1. Run the check again for a result of the drawings as they are now. ")
                    .arg(names.join(QStringLiteral(", ")));
    }
  }
  status += QStringLiteral("%1 drawings, %2 pairs judged: %3 copy, %4 likely copy, %5 coincidence. %6 groups of copies, %7 problem drawings.")
                       .arg(f.projectDrawings)
                       .arg(f.pairsJudged)
                       .arg(counts.copy)
                       .arg(counts.likelyCopy)
                       .arg(counts.coincidence)
                       .arg(f.groups.size())
                       .arg(problems.size());
  if (f.earlierDrawings) status += QStringLiteral(" Compared against %1 earlier drawings.").arg(f.earlierDrawings);
  for (const auto& w : result_ ? result_->warnings : std::vector<std::string>{}) status += QLatin1Char(' ') + fromUtf8(w);
  runStatus->setText(status);

  // Groups: each drawing under its group, the likely source first.
  groupsTree->clear();
  for (const auto& g : f.groups) {
    auto* top = new QTreeWidgetItem(groupsTree);
    top->setText(0, QStringLiteral("Group %1").arg(g.number));
    top->setText(1, QStringLiteral("%1 drawings, strongest score %2").arg(g.members.size()).arg(g.score));
    top->setText(2, g.likelySource ? QStringLiteral("source: %1").arg(drawingText(f, *g.likelySource))
                                   : QStringLiteral("source unclear"));
    std::vector<std::size_t> members = g.members;
    if (g.likelySource) {
      auto it = std::find(members.begin(), members.end(), *g.likelySource);
      if (it != members.end()) std::rotate(members.begin(), it, it + 1);
    }
    for (const auto m : members) {
      auto* item = new QTreeWidgetItem(top);
      item->setText(1, drawingText(f, m));
      item->setText(2, g.likelySource && *g.likelySource == m ? QStringLiteral("likely source") : QString());
      // Activating a drawing opens its strongest pair in the group.
      for (std::size_t p = 0; p < f.pairs.size(); ++p)
        if (f.pairs[p].group == g.number && (f.pairs[p].a == m || f.pairs[p].b == m)) {
          item->setData(0, Qt::UserRole, static_cast<int>(p));
          break;
        }
    }
    top->setExpanded(true);
  }
  if (f.groups.empty()) {
    auto* none = new QTreeWidgetItem(groupsTree);
    none->setText(0, QStringLiteral("No copies"));
    none->setText(1, QStringLiteral("No drawings are linked as copies."));
  }
  for (int c = 0; c < 3; ++c) groupsTree->resizeColumnToContents(c);

  pairsModel_->setFindings(findings_);
  pairsTable->sortByColumn(-1, Qt::AscendingOrder);  // the check's own order: groups, then score
  pairsTable->resizeColumnsToContents();
  for (int c : {EvidencePairsModel::kDrawingA, EvidencePairsModel::kDrawingB, EvidencePairsModel::kSource})
    pairsTable->setColumnWidth(c, std::min(pairsTable->columnWidth(c), 260));
  classMap->setFindings(findings_);
  fillDrawingsTree();

  problemTable->setRowCount(0);
  for (const auto i : problems) {
    const int row = problemTable->rowCount();
    problemTable->insertRow(row);
    const auto& d = f.drawings[i];
    auto* name = new QTableWidgetItem(drawingText(f, i));
    name->setToolTip(fromUtf8(evidence::utf8Path(d.path)));
    problemTable->setItem(row, 0, name);
    problemTable->setItem(row, 1, new QTableWidgetItem(d.readable ? QStringLiteral("in part") : QStringLiteral("NO")));
    problemTable->setItem(row, 2, new QTableWidgetItem(fromUtf8(problemReason(*d.problem))));
  }
  problemTable->resizeColumnsToContents();
  problemTable->setColumnWidth(0, std::min(problemTable->columnWidth(0), 320));
  tabs->setTabText(3, problems.empty() ? QStringLiteral("Problem &drawings")
                                       : QStringLiteral("Problem &drawings (%1)").arg(problems.size()));
  shownPair_ = -1;
  printCaseSheetButton->setEnabled(false);
  if (!f.pairs.empty()) showPair(0);
  tabs->setCurrentIndex(0);
}

void EvidenceWindow::showPair(int pair) {
  if (!findings_ || pair < 0 || pair >= static_cast<int>(findings_->pairs.size())) return;
  const auto& f = *findings_;
  const evidence::PairFinding& p = f.pairs[static_cast<std::size_t>(pair)];
  shownPair_ = pair;
  pairTitle->setText(QStringLiteral("%1  and  %2: %3, %4").arg(drawingText(f, p.a), drawingText(f, p.b),
                                                                verdictCaption(p.verdict)).arg(p.score));
  const auto& a = f.drawings[p.a];
  const auto& b = f.drawings[p.b];
  nameA->setText(QStringLiteral("1: %1").arg(drawingText(f, p.a)));
  nameB->setText(QStringLiteral("2: %1").arg(drawingText(f, p.b)));
  nameA->setToolTip(fromUtf8(evidence::utf8Path(a.path)));
  nameB->setToolTip(fromUtf8(evidence::utf8Path(b.path)));
  auto missing = [](const evidence::DrawingFacts& d) {
    return d.preview.format == veldra::dwg::PreviewFormat::kNone ? QStringLiteral("no picture")
                                                                  : QStringLiteral("no picture (a form not shown here)");
  };
  const DrawingPicture pictureA = drawingPicture(a), pictureB = drawingPicture(b);
  previewA->setImage(pictureA.image, pictureA.image.isNull() ? missing(a) : QString());
  previewB->setImage(pictureB.image, pictureB.image.isNull() ? missing(b) : QString());
  captionA->setText(pictureA.caption);
  captionB->setText(pictureB.caption);
  // The second drawing is laid onto the first by the move, turn, mirror and
  // scale the evidence found; where it found none, as it was drawn.
  overlay->setPair(a.drawnPicture, b.drawnPicture, secondOntoFirst(p.evidence.placement));
  fitOverlayButton->setEnabled(!overlay->empty());
  exportOverlayButton->setEnabled(!overlay->empty());
  showReview(p);
  pairSource->setText(QStringLiteral("Likely source: %1").arg(fromUtf8(evidence::sourceText(f, p))));
  pairEvidence->setHtml(pairEvidenceHtml(f, p));
  openFolderA->setEnabled(true);
  openFolderB->setEnabled(true);
  printCaseSheetButton->setEnabled(true);
  tabs->setCurrentIndex(1);
}

void EvidenceWindow::showReview(const evidence::PairFinding& p) {
  reviewMark->setEnabled(true);
  reviewNote->setEnabled(true);
  saveReviewButton->setEnabled(true);
  if (!p.review) {
    reviewMark->setCurrentIndex(0);
    reviewNote->clear();
    reviewStatus->clear();
    return;
  }
  reviewMark->setCurrentIndex(1 + static_cast<int>(p.review->mark));
  reviewNote->setPlainText(fromUtf8(p.review->note));
  reviewStatus->setText(p.review->changed
                            ? QStringLiteral("Marked when judged %1, %2; judged otherwise now.")
                                  .arg(verdictCaption(p.review->markedVerdict))
                                  .arg(p.review->markedScore)
                            : QStringLiteral("Marked %1.").arg(fromUtf8(evidence::instantText(
                                  evidence::Instant{p.review->markedAtUnixMs, true}))));
}

void EvidenceWindow::saveReview() {
  if (!findings_ || shownPair_ < 0) return;
  auto& p = findings_->pairs[static_cast<std::size_t>(shownPair_)];
  const int choice = reviewMark->currentIndex();
  const std::string note = reviewNote->toPlainText().trimmed().toStdString();
  std::string error;
  bool kept = false;
  if (choice <= 0) {
    const auto mark = evidence::markOf(*findings_, p, evidence::ReviewMark::kToReview, {}, 0);
    kept = evidence::removeMark(workspace_, project_, mark, error);
    if (kept) p.review.reset();
  } else {
    const auto mark = evidence::markOf(*findings_, p, kMarks[choice - 1], note, nowUnixMs());
    kept = evidence::saveMark(workspace_, project_, mark, error);
    if (kept) p.review = evidence::PairReview{mark.mark, mark.note, mark.verdict, mark.score, mark.markedAtUnixMs, false};
  }
  if (!kept) {
    reviewStatus->setText(QStringLiteral("Not kept: %1").arg(fromUtf8(error)));
    return;
  }
  reviewStatus->setText(p.review ? QStringLiteral("Kept.") : QStringLiteral("Mark removed."));
  pairsModel_->pairChanged(shownPair_);
  classMap->update();
  fillDrawingsTree();
}

void EvidenceWindow::exportOverlay() {
  if (overlay->empty() || !findings_ || shownPair_ < 0) return;
  const QString chosen = deps_.chooseSaveFile(QStringLiteral("Save the overlay as a picture"),
                                              fromUtf8(project_) + QStringLiteral(" overlay.png"));
  if (chosen.isEmpty()) return;
  const QImage image = overlay->image(QSize(1600, 1200));
  QByteArray bytes;
  {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
  }
  std::string error;
  if (replaceFile(pathOf(chosen), std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())), &error))
    runStatus->setText(QStringLiteral("Written: %1").arg(chosen));
  else
    showError(QStringLiteral("%1 was not written: %2").arg(chosen, fromUtf8(error)));
}

QWidget* EvidenceWindow::buildDrawingsPage() {
  drawingsTree = new QTreeWidget(this);
  drawingsTree->setObjectName(QStringLiteral("drawingsTree"));
  drawingsTree->setHeaderLabels({QStringLiteral("Drawing / paired with"), QStringLiteral("Verdict"),
                                 QStringLiteral("Score"), QStringLiteral("Mark"), QStringLiteral("Note")});
  drawingsTree->setAlternatingRowColors(true);
  connect(drawingsTree, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    const QVariant pair = item->data(0, Qt::UserRole);
    if (pair.isValid()) showPair(pair.toInt());
  });
  return drawingsTree;
}

// Each drawing of the project that is in a pair, with all its pairs and
// their marks: what one student's talk is about.
void EvidenceWindow::fillDrawingsTree() {
  drawingsTree->clear();
  if (!findings_) return;
  const auto& f = *findings_;
  std::vector<std::vector<std::size_t>> pairsOf(f.drawings.size());
  for (std::size_t k = 0; k < f.pairs.size(); ++k) {
    pairsOf[f.pairs[k].a].push_back(k);
    pairsOf[f.pairs[k].b].push_back(k);
  }
  for (std::size_t d = 0; d < f.drawings.size(); ++d) {
    if (pairsOf[d].empty()) continue;
    auto* top = new QTreeWidgetItem(drawingsTree);
    top->setText(0, drawingText(f, d));
    top->setToolTip(0, fromUtf8(evidence::utf8Path(f.drawings[d].path)));
    int marked = 0, copies = 0;
    for (const auto k : pairsOf[d]) {
      const auto& p = f.pairs[k];
      auto* item = new QTreeWidgetItem(top);
      item->setText(0, drawingText(f, p.a == d ? p.b : p.a));
      item->setText(1, verdictCaption(p.verdict));
      item->setText(2, QString::number(p.score));
      if (p.review) {
        item->setText(3, fromUtf8(evidence::reviewSummary(*p.review, false)));
        item->setText(4, fromUtf8(p.review->note));
        ++marked;
      }
      item->setData(0, Qt::UserRole, static_cast<int>(k));
      copies += evidence::isCopy(p.verdict);
    }
    top->setText(1, QStringLiteral("%1 pairs, %2 copies").arg(pairsOf[d].size()).arg(copies));
    top->setText(3, QStringLiteral("%1 marked").arg(marked));
    top->setData(0, Qt::UserRole, static_cast<int>(pairsOf[d].front()));
    top->setExpanded(true);
  }
  for (int c = 0; c < 4; ++c) drawingsTree->resizeColumnToContents(c);
}

void EvidenceWindow::openDrawingFolder(int side) {
  if (!findings_ || shownPair_ < 0) return;
  const auto& p = findings_->pairs[static_cast<std::size_t>(shownPair_)];
  const auto& d = findings_->drawings[side == 0 ? p.a : p.b];
  const std::filesystem::path folder = d.path.parent_path();
  std::error_code ec;
  if (folder.empty() || !std::filesystem::is_directory(folder, ec)) {
    const QString text = QStringLiteral("The folder of %1 is no longer there: %2")
                             .arg(fromUtf8(evidence::displayName(d)), textOf(folder));
    pairSource->setText(text);
    showError(text);
    return;
  }
  if (!deps_.folders->openFolder(textOf(folder))) {
    // Said in the window too: a file manager that is missing fails quietly.
    const QString text = QStringLiteral("Nothing could open the folder %1: no file manager answered.").arg(textOf(folder));
    pairSource->setText(text);
    showError(text);
  }
}

void EvidenceWindow::writeExport(const QString& caption, const QString& suggested, const std::string& content) {
  const QString chosen = deps_.chooseSaveFile(caption, suggested);
  if (chosen.isEmpty()) return;
  std::string error;
  if (replaceFile(pathOf(chosen), content, &error))
    runStatus->setText(QStringLiteral("Written: %1").arg(chosen));
  else
    showError(QStringLiteral("%1 was not written: %2").arg(chosen, fromUtf8(error)));
}

void EvidenceWindow::exportCsv() {
  if (!findings_) return;
  writeExport(QStringLiteral("Export the pairs as a spreadsheet"), fromUtf8(project_) + QStringLiteral(".csv"),
              evidence::csvReport(*findings_));
}

void EvidenceWindow::exportHtml() {
  if (!findings_) return;
  writeExport(QStringLiteral("Export the evidence report"), fromUtf8(project_) + QStringLiteral(".html"),
              evidence::htmlReport(*findings_));
}

void EvidenceWindow::printReport() {
  if (!findings_) return;
  printHtml(evidence::htmlReport(*findings_), QStringLiteral("The report was sent to the printer."));
}

void EvidenceWindow::printCaseSheet() {
  if (!findings_ || shownPair_ < 0) return;
  printHtml(evidence::caseSheet(*findings_, static_cast<std::size_t>(shownPair_)),
            QStringLiteral("The case sheet was sent to the printer."));
}

void EvidenceWindow::printHtml(const std::string& html, const QString& done) {
  if (!printer_) printer_ = std::make_shared<QPrinter>(QPrinter::HighResolution);
  const auto dialog = deps_.printDialog(*printer_);
  const std::optional<int> copies = dialog ? dialog->ask() : std::nullopt;
  if (!copies) return;
  QTextDocument document;
  document.setHtml(fromUtf8(html));
  for (int k = 0; k < std::max(1, *copies); ++k) document.print(printer_.get());
  runStatus->setText(done);
}

void EvidenceWindow::showError(const QString& text) {
  if (deps_.messages) deps_.messages->show(text.toStdString(), kErrorTitle, MessageIcon::Exclamation);
  else runStatus->setText(text);
}

void EvidenceWindow::closeEvent(QCloseEvent* event) {
  if (thread_) {
    cancel_->store(true);
    thread_->wait();
  }
  QWidget::closeEvent(event);
}

}  // namespace veldra
