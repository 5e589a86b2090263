#include "ui/evidence_pair_page.h"

#include <QBuffer>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "app/textfile.h"
#include "evidence/reports/report_writers.h"
#include "evidence/run/evidence_run.h"
#include "evidence/store/review.h"
#include "evidence/judging/words.h"
#include "ui/evidence_pairs_model.h"
#include "ui/evidence_window_deps.h"
#include "ui/preview_picture.h"
#include "ui/qt_text.h"
#include "ui/quiet_teardown.h"
#include "ui/sketch_picture.h"

namespace veldra {

namespace {

// The marks the mark box offers, in the order of its items after the first
// ("no mark").
const evidence::ReviewMark kMarks[] = {evidence::ReviewMark::kToReview, evidence::ReviewMark::kConfirmed,
                                       evidence::ReviewMark::kNotCopy};

std::int64_t nowUnixMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

EvidencePairPage::EvidencePairPage(const Workspace& workspace, std::string project, ChooseSaveFile chooseSaveFile,
                                   FolderOpener& folders, QWidget* parent)
    : QWidget(parent),
      workspace_(workspace),
      project_(std::move(project)),
      chooseSaveFile_(std::move(chooseSaveFile)),
      folders_(folders) {
  setObjectName(QStringLiteral("pairPage"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);

  // The pair's name, then the commands on the pair, always in view.
  title_ = new QLabel(QStringLiteral("Choose a pair in the table or on the class map."), this);
  title_->setObjectName(QStringLiteral("pairTitle"));
  title_->setWordWrap(true);
  title_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QFont big = title_->font();
  big.setPointSizeF(big.pointSizeF() * 1.15);
  big.setBold(true);
  title_->setFont(big);
  layout->addWidget(title_);
  auto* commands = new QHBoxLayout;
  previousButton_ = new QPushButton(QStringLiteral("Previous pair (Alt+\u2190)"), this);
  previousButton_->setObjectName(QStringLiteral("previousPairButton"));
  nextButton_ = new QPushButton(QStringLiteral("Next pair (Alt+\u2192)"), this);
  nextButton_->setObjectName(QStringLiteral("nextPairButton"));
  printCaseSheetButton_ = new QPushButton(QStringLiteral("Print cas&e sheet..."), this);
  printCaseSheetButton_->setObjectName(QStringLiteral("printCaseSheetButton"));
  printCaseSheetButton_->setToolTip(QStringLiteral("This pair on a page of its own, for a talk with the students"));
  commands->addWidget(previousButton_);
  commands->addWidget(nextButton_);
  commands->addStretch(1);
  commands->addWidget(printCaseSheetButton_);
  layout->addLayout(commands);
  for (const auto& [keys, step] : {std::pair{QKeySequence(Qt::ALT | Qt::Key_Right), 1},
                                   std::pair{QKeySequence(Qt::ALT | Qt::Key_Left), -1}}) {
    auto* shortcut = new QShortcut(keys, this);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, this, [this, step = step] { emit stepAsked(step); });
  }
  connect(previousButton_, &QPushButton::clicked, this, [this] { emit stepAsked(-1); });
  connect(nextButton_, &QPushButton::clicked, this, [this] { emit stepAsked(1); });

  // The pictures above, the mark and the words below, the line between
  // them where the teacher wants it; each part scrolls or shrinks rather
  // than asking the window for room.
  auto* splitter = splitter_ = new QSplitter(Qt::Vertical, this);
  splitter->setObjectName(QStringLiteral("pairSplitter"));
  splitter->setChildrenCollapsible(false);
  auto* pictureArea = new QWidget(splitter);
  auto* pictures = new QGridLayout(pictureArea);
  pictures->setContentsMargins(0, 0, 0, 0);
  nameA_ = new QLabel(pictureArea);
  nameA_->setObjectName(QStringLiteral("nameA"));
  nameB_ = new QLabel(pictureArea);
  nameB_->setObjectName(QStringLiteral("nameB"));
  auto* overlayName = new QLabel(QStringLiteral("Both in one view: 2 laid over 1"), pictureArea);
  for (QLabel* name : {nameA_, nameB_, overlayName}) {
    name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    name->setWordWrap(true);
  }
  previewA_ = new PreviewPicture(pictureArea);
  previewA_->setObjectName(QStringLiteral("previewA"));
  previewB_ = new PreviewPicture(pictureArea);
  previewB_->setObjectName(QStringLiteral("previewB"));
  overlay_ = new OverlayView(pictureArea);
  overlay_->setObjectName(QStringLiteral("overlay"));
  captionA_ = new QLabel(pictureArea);
  captionA_->setObjectName(QStringLiteral("captionA"));
  captionB_ = new QLabel(pictureArea);
  captionB_->setObjectName(QStringLiteral("captionB"));
  for (QLabel* caption : {captionA_, captionB_}) {
    QFont small = caption->font();
    small.setItalic(true);
    caption->setFont(small);
    caption->setWordWrap(true);
    caption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  }
  openFolderA_ = new QPushButton(QStringLiteral("Open folder of &1"), pictureArea);
  openFolderA_->setObjectName(QStringLiteral("openFolderA"));
  openFolderB_ = new QPushButton(QStringLiteral("Open folder of &2"), pictureArea);
  openFolderB_->setObjectName(QStringLiteral("openFolderB"));
  fitOverlayButton_ = new QPushButton(QStringLiteral("&Fit"), pictureArea);
  fitOverlayButton_->setObjectName(QStringLiteral("fitOverlayButton"));
  exportOverlayButton_ = new QPushButton(QStringLiteral("Save o&verlay..."), pictureArea);
  exportOverlayButton_->setObjectName(QStringLiteral("exportOverlayButton"));
  auto* overlayButtons = new QHBoxLayout;
  overlayButtons->addWidget(fitOverlayButton_);
  overlayButtons->addWidget(exportOverlayButton_);
  overlayButtons->addStretch(1);
  pictures->addWidget(nameA_, 0, 0);
  pictures->addWidget(nameB_, 0, 1);
  pictures->addWidget(overlayName, 0, 2);
  pictures->addWidget(previewA_, 1, 0);
  pictures->addWidget(previewB_, 1, 1);
  pictures->addWidget(overlay_, 1, 2);
  pictures->addWidget(captionA_, 2, 0);
  pictures->addWidget(captionB_, 2, 1);
  pictures->addWidget(openFolderA_, 3, 0, Qt::AlignLeft);
  pictures->addWidget(openFolderB_, 3, 1, Qt::AlignLeft);
  pictures->addLayout(overlayButtons, 3, 2);
  pictures->setRowStretch(1, 1);
  for (int c = 0; c < 3; ++c) pictures->setColumnStretch(c, 1);

  // Below: the evidence in words beside the teacher's mark and note.
  auto* lower = words_ = new QScrollArea(splitter);
  lower->setObjectName(QStringLiteral("pairWords"));
  lower->setWidgetResizable(true);
  lower->setFrameShape(QFrame::NoFrame);
  auto* words = new QWidget(lower);
  auto* wordsLayout = new QHBoxLayout(words);
  wordsLayout->setContentsMargins(0, 0, 0, 0);
  auto* said = new QVBoxLayout;
  source_ = new QLabel(words);
  source_->setObjectName(QStringLiteral("pairSource"));
  source_->setWordWrap(true);
  source_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  said->addWidget(source_);
  evidence_ = new QTextBrowser(words);
  evidence_->setObjectName(QStringLiteral("pairEvidence"));
  evidence_->setMinimumHeight(evidence_->fontMetrics().lineSpacing() * 4);
  said->addWidget(evidence_, 1);
  wordsLayout->addLayout(said, 3);

  auto* review = new QGroupBox(words);
  review->setToolTip(QStringLiteral("Kept with the pair as it is chosen or typed, across runs"));
  auto* reviewLayout = new QGridLayout(review);
  auto* markLabel = new QLabel(QStringLiteral("Mar&k:"), review);
  reviewMark_ = new QComboBox(review);
  reviewMark_->setObjectName(QStringLiteral("reviewMark"));
  reviewMark_->addItems({QStringLiteral("no mark"), QStringLiteral("to review"), QStringLiteral("confirmed copy"),
                         QStringLiteral("not a copy")});
  markLabel->setBuddy(reviewMark_);
  auto* noteLabel = new QLabel(QStringLiteral("&Note:"), review);
  reviewNote_ = new QPlainTextEdit(review);
  reviewNote_->setObjectName(QStringLiteral("reviewNote"));
  reviewNote_->setTabChangesFocus(true);
  reviewNote_->setMinimumHeight(reviewNote_->fontMetrics().lineSpacing() * 2 + 12);
  noteLabel->setBuddy(reviewNote_);
  saveReviewButton_ = new QPushButton(QStringLiteral("Keep mark and no&te"), review);
  saveReviewButton_->setObjectName(QStringLiteral("saveReviewButton"));
  reviewStatus_ = new QLabel(review);
  reviewStatus_->setObjectName(QStringLiteral("reviewStatus"));
  reviewStatus_->setWordWrap(true);
  reviewLayout->addWidget(markLabel, 0, 0);
  reviewLayout->addWidget(reviewMark_, 0, 1);
  reviewLayout->addWidget(saveReviewButton_, 0, 2);
  reviewLayout->addWidget(noteLabel, 1, 0, Qt::AlignTop);
  reviewLayout->addWidget(reviewNote_, 1, 1, 1, 2);
  reviewLayout->addWidget(reviewStatus_, 2, 0, 1, 3);
  reviewLayout->setColumnStretch(1, 1);
  reviewLayout->setRowStretch(1, 1);
  wordsLayout->addWidget(review, 2);
  // The boxes of words take what room there is, from a few lines up: the
  // area scrolls only when even those do not fit.
  for (QWidget* box : std::initializer_list<QWidget*>{evidence_, reviewNote_})
    box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
  lower->setWidget(words);
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 1);
  layout->addWidget(splitter, 1);

  // What is typed is kept a moment after the typing stops, and at once
  // when the teacher leaves the note or the pair.
  noteTimer_ = new QTimer(this);
  noteTimer_->setSingleShot(true);
  noteTimer_->setInterval(800);
  connect(noteTimer_, &QTimer::timeout, this, [this] { keepTyped(); });
  connect(reviewNote_, &QPlainTextEdit::textChanged, this, &EvidencePairPage::noteTyped);
  connect(reviewMark_, &QComboBox::activated, this, [this] { saveReview(); });
  reviewNote_->installEventFilter(this);

  connect(openFolderA_, &QPushButton::clicked, this, [this] { openDrawingFolder(0); });
  connect(openFolderB_, &QPushButton::clicked, this, [this] { openDrawingFolder(1); });
  connect(printCaseSheetButton_, &QPushButton::clicked, this, [this] {
    if (findings_ && shownPair_ >= 0) emit caseSheetAsked(shownPair_);
  });
  connect(saveReviewButton_, &QPushButton::clicked, this, &EvidencePairPage::saveReview);
  connect(fitOverlayButton_, &QPushButton::clicked, overlay_, &OverlayView::fit);
  connect(exportOverlayButton_, &QPushButton::clicked, this, &EvidencePairPage::exportOverlay);
  for (QWidget* w : std::initializer_list<QWidget*>{reviewMark_, reviewNote_, saveReviewButton_, fitOverlayButton_,
                                                    exportOverlayButton_, openFolderA_, openFolderB_,
                                                    printCaseSheetButton_, previousButton_, nextButton_})
    w->setEnabled(false);
}

EvidencePairPage::~EvidencePairPage() { stopListeningToChildren(this); }

void EvidencePairPage::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  placeSplitter();
}

void EvidencePairPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  placeSplitter();
}

void EvidencePairPage::placeSplitter() {
  // Once the page has its room: the words and the mark get what they need
  // to show whole, or nearly half the page; the pictures the rest. The
  // teacher moves the line between them from there.
  if (splitterPlaced_ || !isVisible()) return;
  const int total = splitter_->height();
  const int words = words_->widget()->minimumSizeHint().height() + 2 * words_->frameWidth() + 8;
  if (total <= 0) return;
  const int lower = std::min(std::max(words, total * 45 / 100), total * 2 / 3);
  splitter_->setSizes({total - lower, lower});
  splitterPlaced_ = true;
}

void EvidencePairPage::setFindings(std::shared_ptr<evidence::Findings> findings) {
  // What was typed on the pair shown goes with the findings it was typed on.
  keepTyped();
  findings_ = std::move(findings);
  shownPair_ = -1;
  for (QWidget* w : std::initializer_list<QWidget*>{printCaseSheetButton_, previousButton_, nextButton_})
    w->setEnabled(false);
}

bool EvidencePairPage::showPair(int pair) {
  if (!findings_ || pair < 0 || pair >= static_cast<int>(findings_->pairs.size())) return false;
  // Leaving a pair keeps what was typed on it; where it cannot be kept, the
  // pair stays, with what was typed, and the teacher is told.
  if (pair != shownPair_ && !keepTyped()) return false;
  const auto& f = *findings_;
  const evidence::PairFinding& p = f.pairs[static_cast<std::size_t>(pair)];
  shownPair_ = pair;
  title_->setText(QStringLiteral("%1  and  %2: %3, %4").arg(drawingText(f, p.a), drawingText(f, p.b),
                                                             verdictCaption(p.verdict)).arg(p.score));
  const auto& a = f.drawings[p.a];
  const auto& b = f.drawings[p.b];
  nameA_->setText(QStringLiteral("1: %1").arg(drawingText(f, p.a)));
  nameB_->setText(QStringLiteral("2: %1").arg(drawingText(f, p.b)));
  nameA_->setToolTip(qtText(evidence::utf8Path(a.path)));
  nameB_->setToolTip(qtText(evidence::utf8Path(b.path)));
  auto missing = [](const evidence::DrawingFacts& d) {
    return d.preview.format == veldra::dwg::PreviewFormat::kNone ? QStringLiteral("no picture")
                                                                  : QStringLiteral("no picture (a form not shown here)");
  };
  const DrawingPicture pictureA = drawingPicture(a), pictureB = drawingPicture(b);
  previewA_->setPicture(pictureA, missing(a));
  previewB_->setPicture(pictureB, missing(b));
  captionA_->setText(pictureA.caption);
  captionB_->setText(pictureB.caption);
  // Laid as the case sheet and the report lay them.
  overlay_->setPair(evidence::laidPair(f, p));
  fitOverlayButton_->setEnabled(!overlay_->empty());
  exportOverlayButton_->setEnabled(!overlay_->empty());
  showReview(p);
  // A coincidence is no copy: it has no source.
  source_->setVisible(evidence::isCopy(p.verdict));
  source_->setText(QStringLiteral("Likely source: %1").arg(qtText(evidence::sourceText(f, p))));
  evidence_->setHtml(pairEvidenceHtml(f, p));
  for (QWidget* w : std::initializer_list<QWidget*>{openFolderA_, openFolderB_, printCaseSheetButton_, previousButton_,
                                                    nextButton_})
    w->setEnabled(true);
  return true;
}

void EvidencePairPage::showReview(const evidence::PairFinding& p) {
  reviewMark_->setEnabled(true);
  reviewNote_->setEnabled(true);
  saveReviewButton_->setEnabled(true);
  noteTimer_->stop();
  const QSignalBlocker quiet(reviewNote_);
  typed_ = false;
  if (!p.review) {
    reviewMark_->setCurrentIndex(0);
    reviewNote_->clear();
    reviewStatus_->setText(QStringLiteral("Kept with the pair as it is chosen or typed."));
    return;
  }
  reviewMark_->setCurrentIndex(1 + static_cast<int>(p.review->mark));
  reviewNote_->setPlainText(qtText(p.review->note));
  reviewStatus_->setText(p.review->changed
                             ? QStringLiteral("Marked when judged %1, %2; judged otherwise now.")
                                   .arg(verdictCaption(p.review->markedVerdict))
                                   .arg(p.review->markedScore)
                             : QStringLiteral("Marked %1.").arg(qtText(evidence::instantText(
                                   evidence::Instant{p.review->markedAtUnixMs, true}))));
}

void EvidencePairPage::noteTyped() {
  if (!findings_ || shownPair_ < 0) return;
  typed_ = true;
  // A note is kept with a mark: typed on an unmarked pair, it marks it to review.
  if (reviewMark_->currentIndex() <= 0 && !reviewNote_->toPlainText().trimmed().isEmpty()) reviewMark_->setCurrentIndex(1);
  reviewStatus_->setText(QStringLiteral("Typed; kept when you pause."));
  noteTimer_->start();
}

bool EvidencePairPage::keepTyped() {
  noteTimer_->stop();
  if (!typed_ || !findings_ || shownPair_ < 0) return true;
  return saveReview();
}

bool EvidencePairPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == reviewNote_ && event->type() == QEvent::FocusOut) keepTyped();
  return QWidget::eventFilter(watched, event);
}

bool EvidencePairPage::saveReview() {
  noteTimer_->stop();
  if (!findings_ || shownPair_ < 0) return true;
  auto& p = findings_->pairs[static_cast<std::size_t>(shownPair_)];
  const int choice = reviewMark_->currentIndex();
  const std::string note = reviewNote_->toPlainText().trimmed().toStdString();
  Status kept;
  if (choice <= 0) {
    const auto mark = evidence::markOf(*findings_, p, evidence::ReviewMark::kToReview, {}, 0);
    kept = evidence::removeMark(workspace_, project_, mark);
    if (kept) p.review.reset();
  } else {
    const auto mark = evidence::markOf(*findings_, p, kMarks[choice - 1], note, nowUnixMs());
    kept = evidence::saveMark(workspace_, project_, mark);
    if (kept) p.review = evidence::PairReview{mark.mark, mark.note, mark.verdict, mark.score, mark.markedAtUnixMs, false, mark.id};
  }
  if (!kept) {
    reviewStatus_->setText(QStringLiteral("Not kept: %1").arg(qtText(kept.message())));
    emit failed(QStringLiteral("The mark and note of this pair were not kept: %1").arg(qtText(kept.message())));
    return false;
  }
  typed_ = false;
  // Chosen "no mark", the note stays in its box until the pair is left:
  // choosing a mark again keeps it again.
  reviewStatus_->setText(p.review ? QStringLiteral("Kept.")
                         : note.empty() ? QStringLiteral("Mark removed.")
                                        : QStringLiteral("Mark and note removed; choose a mark to keep the note."));
  emit markChanged(shownPair_);
  return true;
}

void EvidencePairPage::exportOverlay() {
  if (overlay_->empty() || !findings_ || shownPair_ < 0) return;
  const QString chosen =
      chooseSaveFile_(QStringLiteral("Save the overlay as a picture"), qtText(project_) + QStringLiteral(" overlay.png"));
  if (chosen.isEmpty()) return;
  const QImage image = overlay_->image(QSize(1600, 1200));
  QByteArray bytes;
  {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
  }
  const Status png =
      replaceFile(pathOf(chosen), std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  if (png)
    emit written(chosen);
  else
    emit failed(QStringLiteral("%1 was not written: %2").arg(chosen, qtText(png.message())));
}

void EvidencePairPage::openDrawingFolder(int side) {
  if (!findings_ || shownPair_ < 0) return;
  const auto& p = findings_->pairs[static_cast<std::size_t>(shownPair_)];
  const auto& d = findings_->drawings[side == 0 ? p.a : p.b];
  const std::filesystem::path folder = d.path.parent_path();
  std::error_code ec;
  if (folder.empty() || !std::filesystem::is_directory(folder, ec)) {
    const QString text = QStringLiteral("The folder of %1 is no longer there: %2")
                             .arg(qtText(evidence::displayName(d)), textOf(folder));
    source_->setText(text);
    emit failed(text);
    return;
  }
  if (!folders_.openFolder(textOf(folder))) {
    // Said in the window too: a file manager that is missing fails quietly.
    const QString text = QStringLiteral("Nothing could open the folder %1: no file manager answered.").arg(textOf(folder));
    source_->setText(text);
    emit failed(text);
  }
}

}  // namespace veldra
